// Import of a table of measurements kept as CSV (one row per individual, a header row of
// column names) into the text of a .tvk data file: reading the CSV, telling numeric columns,
// previewing the populations and the rows that would be left out, and building the file.
// Column indices are 0-based here; messages count columns and lines from 1.
#pragma once

#include "datafile/InputFile.h"
#include "state/Result.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

// Missing: a cell that is blank, or one of the missing-value markers NA, N/A and "." (case
// ignored, blanks around them too, quoted or not); the data file gets NA for it.
enum class CellStatus { Number, Missing, NotNumber, OutOfRange };

// Whether a cell is a missing value (see CellStatus::Missing).
bool isMissingCell(std::string_view cell);

struct CsvColumn
{
    std::string name;
    bool numeric = false; // at least one value, and every other cell missing
    long filled = 0;      // cells that are not missing
    // The first cell that is neither a number nor missing: its line (0: none) and its text, cut
    // after a few hundred bytes.
    long badLine = 0;
    std::string badCell;
    CellStatus badStatus = CellStatus::Number;
};

// What a CSV file is read for, as its messages say it: a table to import (census sizes
// included), or the geography of a Mantel test.
enum class CsvUse { Import, Geography };

// What the first pass over a CSV file learns: the header and what every column holds. The
// rows themselves are not kept; preview() and tvkText() read them again, one at a time.
struct CsvTable
{
    std::string path;        // for Error::path, and where the rows are read again
    std::string displayName; // the file name that messages show
    char separator = ',';    // ',' or ';'
    bool latin1 = false;     // the file is not UTF-8 and is read as Latin-1
    long headerLine = 1;     // 1-based line of the header row (blank lines before it are skipped)
    long rowCount = 0;       // data rows
    // Column names as the data file will hold them: line breaks become blanks, and a name met
    // before gets a suffix ("Stature_2"); every change is told in notes.
    std::vector<std::string> header;
    std::vector<CsvColumn> columns;
    std::vector<std::string> notes;
    std::shared_ptr<const std::string> text; // the bytes, when read from memory
    FileStamp stamp; // of the file in the first pass; a later pass refuses a file that differs
    CsvUse use = CsvUse::Import;
};

// Reads a CSV file: comma- or semicolon-separated (the separator found in the header row),
// fields quoted with double quotes that may hold separators, doubled quotes and line breaks;
// CR LF, LF or CR line ends; an optional UTF-8 byte-order mark. A file that is not valid
// UTF-8 is taken as Latin-1 (spreadsheets on Windows write their code page) and converted.
// Unquoted fields lose their surrounding blanks and take a quote inside them literally;
// quoted fields keep what is inside the quotes. Blank lines, and rows whose fields are all
// empty, are skipped. A header row is required; a row whose field count differs from
// the header's is an error naming its line, and so is a field longer than a data file's
// longest name. The file is read as it streams by, in memory that does not grow with its
// rows, and must be a regular file: it is read twice, and a pipe gives its bytes only once.
// Messages about the file as a whole say what it was read for.
Result<CsvTable> readCsv(const std::filesystem::path& path, CsvUse use = CsvUse::Import);
// The same for bytes held in memory; displayName stands for the file in messages.
Result<CsvTable>
readCsvText(std::string text, std::string displayName, CsvUse use = CsvUse::Import);

// A cell read as a number with '.' as decimal point, an optional sign and exponent; no
// blanks, no thousands separators, no "inf" or "nan". In a semicolon-separated file a cell
// with a single ',' and no '.' is read with the comma as decimal point ("1,5" is 1.5). A
// missing value is told apart from a cell that is not a number.
CellStatus parseCell(std::string_view cell, char separator, double& value);
// The same read straight to a 32-bit float, rounded once (census sizes).
CellStatus parseCell(std::string_view cell, char separator, float& value);

// The data rows again, in file order, with their 1-based lines; visit may take the cells and
// returns false to stop. The file must be as the first pass found it.
Status readRows(const CsvTable& table,
                const std::function<bool(long line, std::vector<std::string>& cells)>& visit);

// Why a column that is not numeric cannot be a variable, naming it and its first bad cell:
// 'column 3 (Stature): line 57 holds "7O.5", which is not a number'.
std::string columnProblem(const CsvTable& table, std::size_t column);

// The column whose header is name (exact comparison; names are unique).
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
    // Census size by population: finite and 0 or more (a population of size 0 has no weight).
    // Rows with a value that is neither a number nor missing, or no population, are written
    // only when the user agreed to leave them out; otherwise the import stops at the first one.
    bool leaveOutRows = false;
};

// Population: the first column that is not numeric (else the first); variables: the other
// numeric columns in file order; title: the file name without its extension.
ImportPlan defaultPlan(const CsvTable& table);

struct ImportPopulation
{
    std::string name; // the cell text, which the data file gets as it is
    long sampleSize = 0;
    long firstLine = 0;
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
    // 1, 2, ... in this order, whatever the column holds (names or codes). Collecting stops
    // one past what a data file holds.
    std::vector<ImportPopulation> populations;
    std::vector<LeftOutRow> leftOut; // the first few rows left out, in file order
    long leftOutCount = 0;           // all of them
    long keptRows = 0;
    // Missing values in the kept rows, written as NA: by variable, in the order of the
    // variable columns previewed, and in all.
    std::vector<long> missing;
    long missingCount = 0;
};

// A pass over the rows. Column indices must be valid (asserted).
Result<ImportPreview> preview(const CsvTable& table,
                              std::size_t populationColumn,
                              const std::vector<std::size_t>& variableColumns);

// One message for the user about the rows that would be left out: how many and on which
// lines (the first twenty, then how many more). Empty when none is.
std::string leftOutSummary(const ImportPreview& preview);

// The missing values the data file gets as NA: the total on the first line, then a line for
// each variable that has any ("  column 3 (Stature): 2"). Empty when none is missing.
// variableColumns are those the preview was made with.
std::string missingSummary(const CsvTable& table,
                           const std::vector<std::size_t>& variableColumns,
                           const ImportPreview& preview);

// Receives the .tvk text piece by piece; an error stops the import.
using TvkSink = std::function<Status(std::string_view)>;

// The .tvk file (CR LF lines), built in two passes over the rows and handed to sink piece by
// piece: title, counts, populations with codes 1..P and their census sizes, variable names,
// then one record per kept row in file order, every value written so that it reads back as
// exactly the same double, and every missing value as NA. Refuses, naming the column or line,
// a name the data file reader would refuse.
Status writeTvk(const CsvTable& table, const ImportPlan& plan, const TvkSink& sink);
// The same, the text whole.
Result<std::string> tvkText(const CsvTable& table, const ImportPlan& plan);

// Why text typed as a census size is not one (a finite number of 0 or more), or empty when it
// is; then size holds it.
std::string censusSizeProblem(std::string_view text, char separator, float& size);

// Census sizes from a small CSV of two columns, population name and size; the first row is
// taken as a header unless its second cell is a number. Sizes must be finite and 0 or more;
// a name given twice is an error naming the line.
Result<std::map<std::string, float>> readCensusSizes(const std::filesystem::path& path);
Result<std::map<std::string, float>> readCensusSizesText(std::string text, std::string displayName);

} // namespace tavrik
