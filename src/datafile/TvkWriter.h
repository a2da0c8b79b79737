// Writer of .tvk data files: the header, then one record per individual, as text that the
// data file reader gives back unchanged (names as written, numbers to the last bit).
#pragma once

#include "datafile/DataFileReader.h"
#include "state/Result.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace tavrik {

// Why a data file cannot hold text as its title or as a name, or empty when it can. A quoted
// field runs to the next double quote and may not span lines, and the format has no escape, so
// a name with a double quote is written bare; a bare field ends at a comma or a line end and
// loses its outer blanks, and one that starts with a double quote reads as quoted. Hence the
// limits: at most maxNameBytes, no line break, and a double quote only in a name without a
// comma that neither starts with it nor has blanks at either end.
std::string tvkNameProblem(std::string_view text);

// Builds the text of a .tvk file in memory, header first, records appended one by one.
// Lines end with CR LF; names and the title are quoted unless they hold a double quote.
class TvkWriter
{
public:
    // Checks the header (1 to 32767 populations and variables, as many names as counted, every
    // name one the format holds, sizes finite and 0 or more) and writes it. Errors are of kind
    // Usage: the caller is expected to have checked its input with messages of its own.
    static Result<TvkWriter> start(const DataFileHeader& header);

    // One record: the population code, then exactly varCount values, each finite or NaN for a
    // missing value (written NA, which the reader gives back as NaN).
    Status addRecord(std::int16_t code, std::span<const double> values);

    long recordCount() const { return m_records; }
    const std::string& text() const& { return m_text; }
    std::string text() && { return std::move(m_text); }
    // Hands over the text written so far and goes on from empty, so that a long file can be
    // passed on piece by piece.
    std::string drain() { return std::exchange(m_text, {}); }

private:
    TvkWriter() = default;
    std::string m_text;
    std::size_t m_varCount = 0;
    long m_records = 0;
};

// Writes the text as the file at path, whole or not at all (an existing file stays as it was
// on failure).
[[nodiscard]] Status writeTvkFile(const std::filesystem::path& path, std::string_view text);

} // namespace tavrik
