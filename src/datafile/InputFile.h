// What the data file reader and the CSV import share in reading a file: opening it, the
// identity of the open file, the message that names file, line and field, and a decimal
// number read from a field.
#pragma once

#include "io/Platform.h"
#include "state/NumberText.h"
#include "state/Result.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fast_float/fast_float.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace tavrik {

// The data file reader scans each field straight out of a buffer of this many bytes, so a field
// and the character that ends it must fit in it.
inline constexpr std::size_t fieldBufferBytes = std::size_t{1} << 20;
// The longest title or name the reader takes (a quoted name and its two quotes fill the
// buffer); whatever writes a data file keeps within it.
inline constexpr std::size_t maxNameBytes = fieldBufferBytes - 2;

struct FileCloser
{
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

// True for the errors that mean the computer ran short of memory, not that a file is bad.
bool isMemoryShortage(int errorNumber);

inline constexpr std::string_view dataFileReadTwice =
    "the analysis reads its data file twice and needs a regular file";

// Opens the file to read its bytes; fails with a DataFile error
// "cannot open <path>: <the system's reason>". Anything but a regular file (a pipe, a FIFO,
// a device, a socket) is refused without waiting for a writer, with a message that ends in
// needsRegularFile, the reason why the caller has to read a regular file.
Result<InputFile> openInputFile(const std::filesystem::path& path,
                                std::string_view needsRegularFile = dataFileReadTwice);

// A DataFile error "<displayName>, line <line>, <field>: <what>"; the line is left out when
// it is 0, the field when it is empty.
Error dataFileError(const std::string& path,
                    const std::string& displayName,
                    long line,
                    const std::string& field,
                    const std::string& what);

enum class NumberStatus { Ok, Bad, OutOfRange };

// A decimal number and nothing else: optional sign, digits with an optional point, optional
// exponent; no blanks, "inf" or "nan". The text is converted directly to T (float or double),
// so a float is rounded only once. out is changed only when the result is Ok.
template <typename T> NumberStatus parseDecimal(std::string_view text, T& out)
{
    const char* first = text.data();
    const char* last = first + text.size();
    const char* digits = first;
    if (digits < last && *digits == '+') {
        first = ++digits; // readNumber takes no plus sign
    } else if (digits < last && *digits == '-') {
        ++digits;
    }
    if (digits == last || !((*digits >= '0' && *digits <= '9') || *digits == '.')) {
        return NumberStatus::Bad;
    }
    const auto [ptr, ec] = readNumber(first, last, out);
    if (ec == std::errc::result_out_of_range) {
        return NumberStatus::OutOfRange;
    }
    if (ec != std::errc{} || ptr != last) {
        return NumberStatus::Bad;
    }
    return NumberStatus::Ok;
}

// The common field of a record in one scan: a decimal number with an optional minus sign,
// whose value is a normal double, followed by a character for which endsField is true, all
// before last. Returns the character after the number, or nullptr for anything else (a field
// running into last, zero, a marker, a fault), which the caller reads the careful way with
// parseDecimal; where this succeeds, parseDecimal gives the same double.
template <typename EndsField>
inline const char*
parsePlainNumber(const char* first, const char* last, double& out, EndsField endsField)
{
    const char* digit = first < last && *first == '-' ? first + 1 : first;
    if (digit == last || *digit < '0' || *digit > '9') {
        return nullptr;
    }
    double value = 0.0;
    const auto parsed = fast_float::from_chars(first, last, value);
    if (parsed.ec != std::errc{} || parsed.ptr == last || !endsField(*parsed.ptr) ||
        !std::isnormal(value)) {
        return nullptr;
    }
    out = value;
    return parsed.ptr;
}

// A record's value field holding only NA or . (unquoted) is a missing value, read as a quiet
// NaN, which no number in a data file can otherwise produce.
inline bool isMissingValueMarker(std::string_view field)
{
    return field == "NA" || field == ".";
}

} // namespace tavrik
