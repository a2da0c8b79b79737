// Arbitrary bytes read as a data file: the header, then every record. The reader must end
// with a value or an error, never crash, hang or read outside its buffer, and it must give
// the same outcome when the bytes arrive a few at a time (every field meeting a refill).
#include "datafile/DataFileReader.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Everything the reader yields, as text; numbers by their bits.
std::string outcome(tavrik::Result<tavrik::DataFileReader> reader)
{
    if (!reader) {
        return "open: " + reader.error().message;
    }
    auto header = reader->readHeader();
    if (!header) {
        if (header.error().field.empty() || header.error().line < 1) {
            __builtin_trap(); // every header error names its field and line
        }
        return "header: " + header.error().message;
    }
    if (header->populations.size() != static_cast<std::size_t>(header->popCount) ||
        header->varNames.size() != static_cast<std::size_t>(header->varCount)) {
        __builtin_trap();
    }
    std::string out = header->title + '\n';
    for (const auto& p : header->populations) {
        out += p.name + '\n' + std::to_string(p.code) + ' ' + std::to_string(p.size) + '\n';
    }
    for (const auto& v : header->varNames) {
        out += v + '\n';
    }
    std::vector<double> values(static_cast<std::size_t>(header->varCount));
    double code = 0.0;
    for (;;) {
        auto more = reader->nextRecord(code, values);
        if (!more) {
            return out + "record: " + more.error().message;
        }
        if (!*more) {
            return out + "records: " + std::to_string(reader->recordsRead());
        }
        std::uint64_t bits = 0;
        std::memcpy(&bits, &code, sizeof bits);
        out += std::to_string(bits);
        for (const double v : values) {
            std::memcpy(&bits, &v, sizeof bits);
            out += ' ' + std::to_string(bits);
        }
        out += '\n';
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string whole = outcome(tavrik::DataFileReader::fromBuffer(bytes, "fuzz.tvk"));
    const std::size_t piece = 1 + size % 5;
    const std::string pieces =
        outcome(tavrik::DataFileReader::fromBuffer(bytes, "fuzz.tvk", piece));
    if (whole != pieces) {
        __builtin_trap();
    }
    return 0;
}
