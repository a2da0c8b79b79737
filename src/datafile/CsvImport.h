// Import of a table of measurements kept as CSV (one row per individual, a header row of
// column names) into the text of a .tvk data file: reading the CSV, telling numeric columns,
// previewing the populations and the rows that would be left out, and building the file.
// Column indices are 0-based here; messages count columns and lines from 1.
#pragma once

#include "state/Result.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

struct CsvRow
{
    long line = 0; // 1-based line of the file where the row starts
    std::vector<std::string> cells;
};

struct CsvTable
{
    std::string path;        // for Error::path
    std::string displayName; // the file name that messages show
    char separator = ',';    // ',' or ';'
    long headerLine = 1;     // 1-based line of the header row (blank lines before it are skipped)
    std::vector<std::string> header;
    std::vector<CsvRow> rows; // data rows in file order, as many cells each as the header
};

// Reads a CSV file: comma- or semicolon-separated (the separator found in the header row),
// fields quoted with double quotes that may hold separators, doubled quotes and line breaks;
// CR LF, LF or CR line ends; an optional UTF-8 byte-order mark. A file that is not valid
// UTF-8 is taken as Latin-1 (spreadsheets on Windows write their code page) and converted.
// Unquoted fields lose their surrounding blanks and take a quote inside them literally;
// quoted fields keep what is inside the quotes. Blank lines, and rows whose fields are all
// empty, are skipped. A header row is required; a row whose field count differs from
// the header's is an error naming its line.
Result<CsvTable> readCsv(const std::filesystem::path& path);
// The same for bytes held in memory; displayName stands for the file in messages.
Result<CsvTable> readCsvText(std::string text, std::string displayName);

enum class CellStatus { Number, Empty, NotNumber, OutOfRange };

// A cell read as a number with '.' as decimal point, an optional sign and exponent; no
// blanks, no thousands separators, no "inf" or "nan". In a semicolon-separated file a cell
// with a single ',' and no '.' is read with the comma as decimal point ("1,5" is 1.5).
CellStatus parseCell(std::string_view cell, char separator, double& value);
// The same read straight to a 32-bit float, rounded once (census sizes).
CellStatus parseCell(std::string_view cell, char separator, float& value);

struct CsvColumn
{
    std::string name;
    bool numeric = false; // at least one value, and every non-empty cell a number
    long filled = 0;      // non-empty cells
};
std::vector<CsvColumn> analyseColumns(const CsvTable& table);

// The column whose header is name (exact comparison); an error when no column or more than
// one carries it.
Result<std::size_t> findColumn(const CsvTable& table, std::string_view name);

// Census size that every population gets unless the user gives one: equal sizes weight the
// populations equally; the value itself only matters once the sizes differ.
inline constexpr float defaultCensusSize = 100.0f;

struct ImportPlan
{
    std::size_t populationColumn = 0;
    std::vector<std::size_t> variableColumns; // in the order the data file lists them
    std::string title;
    // Census size by population (the cell text of the population column). Empty: every
    // population gets defaultCensusSize. Otherwise it must name every population and no other.
    std::map<std::string, float> censusSizes;
    // Rows with a missing or non-numeric value, or no population, are written only when the
    // user agreed to leave them out; otherwise the import stops at the first one.
    bool leaveOutRows = false;
};

// Population: the first column that is not numeric (else the first); variables: the other
// numeric columns in file order; title: the file name without its extension.
ImportPlan defaultPlan(const CsvTable& table);

struct ImportPopulation
{
    std::string name; // the cell text; the data file gets it with '"' as '\'' (see tvkSafeText)
    long sampleSize = 0;
};

struct LeftOutRow
{
    long line = 0;          // 1-based line of the file
    std::size_t column = 0; // 0-based column found wanting (the first one)
    std::string reason;     // "line 7, column 3 (Stature): no value" and the like
};

struct ImportPreview
{
    // Populations of the kept rows, in order of first appearance; the data file numbers them
    // 1, 2, ... in this order, whatever the column holds (names or codes).
    std::vector<ImportPopulation> populations;
    std::vector<LeftOutRow> leftOut;
    long keptRows = 0;
};

// Column indices must be valid (asserted).
ImportPreview preview(const CsvTable& table,
                      std::size_t populationColumn,
                      const std::vector<std::size_t>& variableColumns);

// One message for the user about the rows that would be left out: how many and on which
// lines (the first twenty, then how many more). Empty when none is.
std::string leftOutSummary(const ImportPreview& preview);

// The text of the .tvk file (CR LF lines): title, counts, populations with codes 1..P and
// their census sizes, variable names, then one record per kept row in file order, every
// value written so that it reads back as exactly the same double.
Result<std::string> tvkText(const CsvTable& table, const ImportPlan& plan);

// Census sizes from a small CSV of two columns, population name and size; the first row is
// taken as a header unless its second cell is a number. Sizes must be finite and above 0;
// a name given twice is an error naming the line.
Result<std::map<std::string, float>> readCensusSizes(const std::filesystem::path& path);
Result<std::map<std::string, float>> readCensusSizesText(std::string text, std::string displayName);

} // namespace tavrik
