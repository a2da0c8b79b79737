// What the data file reader and the CSV import share in reading a file: opening it, the
// message that names file, line and field, and a decimal number read from a field.
#pragma once

#include "state/Result.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace tavrik {

struct FileCloser
{
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens the file to read its bytes; fails with a DataFile error
// "cannot open <path>: <the system's reason>".
Result<InputFile> openInputFile(const std::filesystem::path& path);

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
        first = ++digits; // from_chars takes no plus sign
    } else if (digits < last && *digits == '-') {
        ++digits;
    }
    if (digits == last || !((*digits >= '0' && *digits <= '9') || *digits == '.')) {
        return NumberStatus::Bad;
    }
    const auto [ptr, ec] = std::from_chars(first, last, out);
    if (ec == std::errc::result_out_of_range) {
        return NumberStatus::OutOfRange;
    }
    if (ec != std::errc{} || ptr != last) {
        return NumberStatus::Bad;
    }
    return NumberStatus::Ok;
}

} // namespace tavrik
