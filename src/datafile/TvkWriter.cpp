#include "datafile/TvkWriter.h"

#include "export/AtomicFile.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace tavrik {

namespace {

constexpr long countLimit = std::numeric_limits<std::int16_t>::max();

Error usage(std::string message)
{
    Error e;
    e.kind = ErrorKind::Usage;
    e.message = std::move(message);
    return e;
}

template <typename T> std::string shortest(T value)
{
    // 32 bytes hold the longest shortest form of a double ("-2.2250738585072014e-308").
    std::array<char, 32> buf{};
    const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    if (ec != std::errc{}) {
        return {};
    }
    return std::string(buf.data(), end);
}

void appendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    out += tvkSafeText(text);
    out += '"';
}

} // namespace

std::string tvkSafeText(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c == '"') {
            c = '\'';
        } else if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

std::string shortestText(double value)
{
    return shortest(value);
}

std::string shortestText(float value)
{
    return shortest(value);
}

Result<TvkWriter> TvkWriter::start(const DataFileHeader& header)
{
    const long popCount = header.popCount;
    const long varCount = header.varCount;
    if (popCount < 1 || popCount > countLimit ||
        static_cast<std::size_t>(popCount) != header.populations.size()) {
        return usage("a data file needs 1 to " + std::to_string(countLimit) +
                     " populations, this one has " + std::to_string(header.populations.size()));
    }
    if (varCount < 1 || varCount > countLimit ||
        static_cast<std::size_t>(varCount) != header.varNames.size()) {
        return usage("a data file needs 1 to " + std::to_string(countLimit) +
                     " variables, this one has " + std::to_string(header.varNames.size()));
    }
    for (const PopulationEntry& p : header.populations) {
        if (!std::isfinite(p.size) || p.size <= 0.0f) {
            return usage("the population size of \"" + p.name +
                         "\" must be a finite number above 0, found " + shortest(p.size));
        }
    }

    TvkWriter w;
    std::string& t = w.m_text;
    appendQuoted(t, header.title);
    t += "\r\n";
    t += std::to_string(popCount) + ", " + std::to_string(varCount) + "\r\n";
    for (const PopulationEntry& p : header.populations) {
        appendQuoted(t, p.name);
        t += ", " + std::to_string(p.code) + ", " + shortestText(p.size) + "\r\n";
    }
    for (std::size_t k = 0; k < header.varNames.size(); ++k) {
        if (k > 0) {
            t += ", ";
        }
        appendQuoted(t, header.varNames[k]);
    }
    t += "\r\n";
    w.m_varCount = header.varNames.size();
    return w;
}

Status TvkWriter::addRecord(std::int16_t code, std::span<const double> values)
{
    const std::string number = std::to_string(m_records + 1);
    if (values.size() != m_varCount) {
        return usage("record " + number + " has " + std::to_string(values.size()) +
                     " values, the header names " + std::to_string(m_varCount) + " variables");
    }
    for (const double v : values) {
        if (!std::isfinite(v)) {
            return usage("record " + number + " holds a value that is not a finite number");
        }
    }
    // Built aside so that a refused record leaves the text as it was.
    std::string line = std::to_string(code);
    for (const double v : values) {
        line += ", ";
        line += shortestText(v);
    }
    line += "\r\n";
    m_text += line;
    ++m_records;
    return Done{};
}

Status writeTvkFile(const std::filesystem::path& path, std::string_view text)
{
    return writeFileAtomically(path, text);
}

} // namespace tavrik
