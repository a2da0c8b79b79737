#include "datafile/CsvImport.h"

#include "datafile/DataFileReader.h"
#include "datafile/InputFile.h"
#include "datafile/TextEncoding.h"
#include "datafile/TvkWriter.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace tavrik {

namespace {

constexpr std::size_t countLimit =
    static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max());
// Lines that leftOutSummary lists before it only counts the rest.
constexpr std::size_t summaryLines = 20;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

Error usageError(const CsvTable& table, const std::string& what)
{
    Error e = dataFileError(table.path, table.displayName, 0, {}, what);
    e.kind = ErrorKind::Usage;
    return e;
}

std::string columnText(const CsvTable& table, std::size_t column)
{
    std::string text = "column " + std::to_string(column + 1);
    if (column < table.header.size() && !table.header[column].empty()) {
        text += " (" + table.header[column] + ")";
    }
    return text;
}

// The parser of one CSV text with a known separator.
class CsvParser
{
public:
    CsvParser(const std::string& text, char separator, const CsvTable& names)
        : m_text(text)
        , m_sep(separator)
        , m_names(names)
    {}

    // Reads the header and the rows into table; the first error stops it.
    std::optional<Error> parse(CsvTable& table);

private:
    // Reads one record starting at m_pos; false at the end of the text.
    bool record(std::vector<std::string>& cells, long& startLine, std::optional<Error>& error);
    void skipBlankLines();
    bool atLineEnd() const
    {
        return m_pos < m_text.size() && (m_text[m_pos] == '\r' || m_text[m_pos] == '\n');
    }
    void takeLineEnd();
    void advance(); // one byte, keeping line and position counts
    Error syntax(long line, long position, const std::string& what) const
    {
        return dataFileError(
            m_names.path, m_names.displayName, line, "position " + std::to_string(position), what);
    }

    const std::string& m_text;
    char m_sep;
    const CsvTable& m_names;
    std::size_t m_pos = 0;
    long m_line = 1;
    long m_column = 1; // 1-based character position in the line (UTF-8 sequences count once)
};

void CsvParser::advance()
{
    const auto c = static_cast<unsigned char>(m_text[m_pos]);
    ++m_pos;
    if ((c & 0xC0u) != 0x80u) {
        ++m_column;
    }
}

void CsvParser::takeLineEnd()
{
    if (m_text[m_pos] == '\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '\n') {
        ++m_pos;
    }
    ++m_pos;
    ++m_line;
    m_column = 1;
}

void CsvParser::skipBlankLines()
{
    for (;;) {
        std::size_t p = m_pos;
        while (p < m_text.size() && isBlank(m_text[p])) {
            ++p;
        }
        if (p < m_text.size() && (m_text[p] == '\r' || m_text[p] == '\n')) {
            m_pos = p;
            takeLineEnd();
            continue;
        }
        if (p == m_text.size()) {
            m_pos = p;
        }
        return;
    }
}

bool CsvParser::record(std::vector<std::string>& cells,
                       long& startLine,
                       std::optional<Error>& error)
{
    cells.clear();
    skipBlankLines();
    if (m_pos >= m_text.size()) {
        return false;
    }
    startLine = m_line;
    for (;;) {
        while (m_pos < m_text.size() && isBlank(m_text[m_pos])) {
            advance();
        }
        std::string cell;
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            const long openLine = m_line;
            const long openColumn = m_column;
            advance();
            for (;;) {
                if (m_pos >= m_text.size()) {
                    error = syntax(openLine,
                                   openColumn,
                                   "the quoted field that starts here has no closing quote");
                    return true;
                }
                const char c = m_text[m_pos];
                if (c == '"') {
                    if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '"') {
                        cell += '"';
                        advance();
                        advance();
                        continue;
                    }
                    advance();
                    break;
                }
                if (c == '\r' || c == '\n') {
                    // kept as LF whatever the file's line ends
                    cell += '\n';
                    takeLineEnd();
                    continue;
                }
                cell += c;
                advance();
            }
            while (m_pos < m_text.size() && isBlank(m_text[m_pos])) {
                advance();
            }
            if (m_pos < m_text.size() && m_text[m_pos] != m_sep && !atLineEnd()) {
                error = syntax(m_line,
                               m_column,
                               std::string("expected '") + m_sep +
                                   "' or the end of the line after the closing quote, found " +
                                   quoteFound(m_text.substr(m_pos, 1)));
                return true;
            }
        } else {
            const std::size_t start = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] != m_sep && !atLineEnd()) {
                advance();
            }
            std::size_t last = m_pos;
            while (last > start && isBlank(m_text[last - 1])) {
                --last;
            }
            cell.assign(m_text, start, last - start);
        }
        cells.push_back(std::move(cell));
        if (m_pos >= m_text.size()) {
            return true;
        }
        if (atLineEnd()) {
            takeLineEnd();
            return true;
        }
        advance(); // the separator
    }
}

std::optional<Error> CsvParser::parse(CsvTable& table)
{
    std::optional<Error> error;
    long line = 0;
    std::vector<std::string> cells;
    if (!record(table.header, table.headerLine, error)) {
        return dataFileError(m_names.path,
                             m_names.displayName,
                             0,
                             {},
                             "the file is empty; expected a header row of column names");
    }
    if (error) {
        return error;
    }
    while (record(cells, line, error)) {
        if (error) {
            return error;
        }
        if (std::all_of(
                cells.begin(), cells.end(), [](const std::string& c) { return c.empty(); })) {
            continue; // ",,," is how spreadsheets write an empty row
        }
        if (cells.size() != table.header.size()) {
            return dataFileError(m_names.path,
                                 m_names.displayName,
                                 line,
                                 {},
                                 "expected " + std::to_string(table.header.size()) +
                                     " fields as in the header row, found " +
                                     std::to_string(cells.size()));
        }
        table.rows.push_back(CsvRow{line, cells});
    }
    return std::nullopt;
}

// Separators outside quotes in the first non-blank row.
void countHeaderSeparators(const std::string& text, long& commas, long& semicolons)
{
    commas = 0;
    semicolons = 0;
    bool quoted = false;
    bool seenContent = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted; // a doubled quote toggles twice
        } else if (!quoted && (c == '\r' || c == '\n')) {
            if (seenContent) {
                return;
            }
        } else if (!quoted && c == ',') {
            ++commas;
        } else if (!quoted && c == ';') {
            ++semicolons;
        }
        seenContent = seenContent || !(isBlank(c) || c == '\r' || c == '\n');
    }
}

template <typename T> CellStatus parseNumber(std::string_view cell, char separator, T& value)
{
    if (cell.empty()) {
        return CellStatus::Empty;
    }
    std::string decimalPoint;
    if (separator == ';' && std::count(cell.begin(), cell.end(), ',') == 1 &&
        cell.find('.') == std::string_view::npos) {
        decimalPoint.assign(cell);
        decimalPoint[decimalPoint.find(',')] = '.';
        cell = decimalPoint;
    }
    switch (parseDecimal(cell, value)) {
    case NumberStatus::Ok:
        return CellStatus::Number;
    case NumberStatus::OutOfRange:
        return CellStatus::OutOfRange;
    case NumberStatus::Bad:
        break;
    }
    return CellStatus::NotNumber; // also "inf", "nan" and blanks
}

Result<std::string> readBytes(const std::filesystem::path& path)
{
    Result<InputFile> file = openInputFile(path);
    if (!file) {
        return file.error();
    }
    std::FILE* const f = file->get();
    std::string bytes;
    std::array<char, 65536> chunk{};
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), f);
        bytes.append(chunk.data(), got);
        if (got < chunk.size()) {
            break;
        }
    }
    if (std::ferror(f) != 0) { // a folder opens, but cannot be read
        const std::string name = pathText(path);
        const int reason = errno != 0 ? errno : EIO;
        return Error{
            ErrorKind::DataFile, "cannot read " + name + ": " + std::strerror(reason), name, 0, {}};
    }
    return bytes;
}

Result<CsvTable> readCsvBytes(std::string text, std::string path, std::string displayName)
{
    if (text.starts_with(utf8ByteOrderMark)) {
        text.erase(0, utf8ByteOrderMark.size());
    }
    if (!isValidUtf8(text)) {
        text = latin1ToUtf8(text);
    }
    CsvTable names;
    names.path = std::move(path);
    names.displayName = std::move(displayName);

    long commas = 0;
    long semicolons = 0;
    countHeaderSeparators(text, commas, semicolons);
    // The separator that splits the header more often goes first (comma on a tie); the other
    // one is tried only if the first leaves rows ragged, as a semicolon file with decimal
    // commas in a quoted header cell could.
    const char first = semicolons > commas ? ';' : ',';
    const char second = first == ',' ? ';' : ',';
    const long secondCount = second == ',' ? commas : semicolons;

    CsvTable table = names;
    table.separator = first;
    std::optional<Error> error = CsvParser(text, first, names).parse(table);
    if (error && secondCount > 0) {
        CsvTable other = names;
        other.separator = second;
        if (!CsvParser(text, second, names).parse(other) && other.header.size() > 1) {
            return other;
        }
    }
    if (error) {
        return *error;
    }
    return table;
}

std::string stem(const std::string& displayName)
{
    const std::filesystem::path p(std::u8string(displayName.begin(), displayName.end()));
    return pathText(p.stem());
}

} // namespace

Result<CsvTable> readCsvText(std::string text, std::string displayName)
{
    std::string path = displayName;
    return readCsvBytes(std::move(text), std::move(path), std::move(displayName));
}

Result<CsvTable> readCsv(const std::filesystem::path& path)
{
    Result<std::string> bytes = readBytes(path);
    if (!bytes) {
        return bytes.error();
    }
    return readCsvBytes(std::move(*bytes), pathText(path), pathText(path.filename()));
}

CellStatus parseCell(std::string_view cell, char separator, double& value)
{
    return parseNumber(cell, separator, value);
}

CellStatus parseCell(std::string_view cell, char separator, float& value)
{
    return parseNumber(cell, separator, value);
}

std::vector<CsvColumn> analyseColumns(const CsvTable& table)
{
    std::vector<CsvColumn> columns(table.header.size());
    std::vector<bool> bad(table.header.size(), false);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        columns[c].name = table.header[c];
    }
    for (const CsvRow& row : table.rows) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            double v = 0.0;
            const CellStatus s = parseCell(row.cells[c], table.separator, v);
            if (s != CellStatus::Empty) {
                ++columns[c].filled;
                bad[c] = bad[c] || s != CellStatus::Number;
            }
        }
    }
    for (std::size_t c = 0; c < columns.size(); ++c) {
        columns[c].numeric = columns[c].filled > 0 && !bad[c];
    }
    return columns;
}

Result<std::size_t> findColumn(const CsvTable& table, std::string_view name)
{
    std::optional<std::size_t> found;
    for (std::size_t c = 0; c < table.header.size(); ++c) {
        if (table.header[c] != name) {
            continue;
        }
        if (found) {
            return usageError(table,
                              "columns " + std::to_string(*found + 1) + " and " +
                                  std::to_string(c + 1) + " are both called " + quoteFound(name));
        }
        found = c;
    }
    if (!found) {
        return usageError(table, "no column is called " + quoteFound(name));
    }
    return *found;
}

ImportPlan defaultPlan(const CsvTable& table)
{
    const std::vector<CsvColumn> columns = analyseColumns(table);
    ImportPlan plan;
    const auto text =
        std::find_if(columns.begin(), columns.end(), [](const CsvColumn& c) { return !c.numeric; });
    plan.populationColumn =
        text == columns.end() ? 0 : static_cast<std::size_t>(text - columns.begin());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (c != plan.populationColumn && columns[c].numeric) {
            plan.variableColumns.push_back(c);
        }
    }
    plan.title = stem(table.displayName);
    return plan;
}

ImportPreview preview(const CsvTable& table,
                      std::size_t populationColumn,
                      const std::vector<std::size_t>& variableColumns)
{
    assert(populationColumn < table.header.size());
    ImportPreview p;
    std::unordered_map<std::string, std::size_t> index; // cell text -> populations index
    for (const CsvRow& row : table.rows) {
        std::optional<LeftOutRow> out;
        const std::string where = "line " + std::to_string(row.line) + ", ";
        const std::string& population = row.cells[populationColumn];
        if (population.empty()) {
            out = LeftOutRow{row.line,
                             populationColumn,
                             where + columnText(table, populationColumn) + ": no population"};
        }
        for (std::size_t k = 0; k < variableColumns.size() && !out; ++k) {
            const std::size_t c = variableColumns[k];
            assert(c < table.header.size());
            double v = 0.0;
            const std::string& cell = row.cells[c];
            const CellStatus s = parseCell(cell, table.separator, v);
            if (s == CellStatus::Number) {
                continue;
            }
            std::string reason = where + columnText(table, c) + ": ";
            if (s == CellStatus::Empty) {
                reason += "no value";
            } else if (s == CellStatus::OutOfRange) {
                reason += "the number " + quoteFound(cell) + " is out of range";
            } else {
                reason += "expected a number, found " + quoteFound(cell);
            }
            out = LeftOutRow{row.line, c, std::move(reason)};
        }
        if (out) {
            p.leftOut.push_back(std::move(*out));
            continue;
        }
        ++p.keptRows;
        const auto [it, added] = index.try_emplace(population, p.populations.size());
        if (added) {
            p.populations.push_back(ImportPopulation{population, 0});
        }
        ++p.populations[it->second].sampleSize;
    }
    return p;
}

std::string leftOutSummary(const ImportPreview& preview)
{
    const std::size_t n = preview.leftOut.size();
    if (n == 0) {
        return {};
    }
    std::string text = n == 1 ? "1 row has" : std::to_string(n) + " rows have";
    text += " a missing or non-numeric value or no population and would be left out: ";
    text += n == 1 ? "line " : "lines ";
    for (std::size_t i = 0; i < n && i < summaryLines; ++i) {
        text += (i > 0 ? ", " : "") + std::to_string(preview.leftOut[i].line);
    }
    if (n > summaryLines) {
        text += " and " + std::to_string(n - summaryLines) + " more";
    }
    return text + ".";
}

Result<std::string> tvkText(const CsvTable& table, const ImportPlan& plan)
{
    const std::size_t columns = table.header.size();
    if (plan.populationColumn >= columns) {
        return usageError(table,
                          "the population column " + std::to_string(plan.populationColumn + 1) +
                              " does not exist; the file has " + std::to_string(columns) +
                              " columns");
    }
    if (plan.variableColumns.empty()) {
        return usageError(table, "no variable column is chosen");
    }
    std::set<std::size_t> seen;
    for (const std::size_t c : plan.variableColumns) {
        if (c >= columns) {
            return usageError(table,
                              "the variable column " + std::to_string(c + 1) +
                                  " does not exist; the file has " + std::to_string(columns) +
                                  " columns");
        }
        if (c == plan.populationColumn) {
            return usageError(table,
                              columnText(table, c) +
                                  " holds the populations and cannot also be a variable");
        }
        if (!seen.insert(c).second) {
            return usageError(table, columnText(table, c) + " is chosen twice as a variable");
        }
    }
    if (plan.variableColumns.size() > countLimit) {
        return usageError(table,
                          std::to_string(plan.variableColumns.size()) +
                              " variables are chosen; a data file holds at most " +
                              std::to_string(countLimit));
    }
    if (table.rows.empty()) {
        return dataFileError(table.path, table.displayName, 0, {}, "no data rows below the header");
    }

    const ImportPreview p = preview(table, plan.populationColumn, plan.variableColumns);
    if (!p.leftOut.empty() && !plan.leaveOutRows) {
        const LeftOutRow& bad = p.leftOut.front();
        Error e = dataFileError(table.path, table.displayName, 0, {}, {});
        e.line = bad.line;
        e.field = columnText(table, bad.column);
        e.message = table.displayName + ", " + bad.reason; // the reason names line and column
        if (p.leftOut.size() > 1) {
            e.message += " (and " + std::to_string(p.leftOut.size() - 1) + " more rows)";
        }
        return e;
    }
    if (p.keptRows == 0) {
        return dataFileError(table.path,
                             table.displayName,
                             0,
                             {},
                             "no row is left once the rows with a missing or non-numeric value "
                             "or no population are left out");
    }
    if (p.populations.size() > countLimit) {
        return dataFileError(table.path,
                             table.displayName,
                             0,
                             columnText(table, plan.populationColumn),
                             "holds " + std::to_string(p.populations.size()) +
                                 " populations; a data file holds at most " +
                                 std::to_string(countLimit));
    }

    DataFileHeader h;
    h.title = plan.title;
    h.popCount = static_cast<std::int16_t>(p.populations.size());
    h.varCount = static_cast<std::int16_t>(plan.variableColumns.size());
    std::unordered_set<std::string> found;
    for (const ImportPopulation& q : p.populations) {
        found.insert(q.name);
    }
    for (const auto& [name, size] : plan.censusSizes) {
        if (found.count(name) == 0) {
            return usageError(table,
                              "a census size is given for " + quoteFound(name) +
                                  ", which is no population of " +
                                  columnText(table, plan.populationColumn));
        }
    }
    std::unordered_map<std::string, std::int16_t> codes;
    for (std::size_t i = 0; i < p.populations.size(); ++i) {
        PopulationEntry e;
        e.name = p.populations[i].name;
        e.code = static_cast<std::int16_t>(i + 1); // codes 1..P in order of first appearance
        e.size = defaultCensusSize;
        if (!plan.censusSizes.empty()) {
            const auto size = plan.censusSizes.find(e.name);
            if (size == plan.censusSizes.end()) {
                return usageError(table,
                                  "no census size is given for population " + quoteFound(e.name));
            }
            e.size = size->second;
        }
        if (!std::isfinite(e.size) || e.size <= 0.0f) {
            return usageError(table,
                              "the census size of population " + quoteFound(e.name) +
                                  " must be a number above 0, found " + shortestText(e.size));
        }
        codes.emplace(e.name, e.code);
        h.populations.push_back(std::move(e));
    }
    for (const std::size_t c : plan.variableColumns) {
        h.varNames.push_back(table.header[c]);
    }

    Result<TvkWriter> writer = TvkWriter::start(h);
    if (!writer) {
        return writer.error();
    }
    std::vector<double> values(plan.variableColumns.size());
    std::size_t next = 0; // walks the left-out rows alongside, both in file order
    for (const CsvRow& row : table.rows) {
        if (next < p.leftOut.size() && p.leftOut[next].line == row.line) {
            ++next;
            continue;
        }
        for (std::size_t k = 0; k < values.size(); ++k) {
            const CellStatus s =
                parseCell(row.cells[plan.variableColumns[k]], table.separator, values[k]);
            assert(s == CellStatus::Number);
            (void)s;
        }
        Status added = writer->addRecord(codes.at(row.cells[plan.populationColumn]), values);
        if (!added) {
            return added.error();
        }
    }
    return std::move(*writer).text();
}

Result<std::map<std::string, float>> readCensusSizesText(std::string text, std::string displayName)
{
    Result<CsvTable> read = readCsvText(std::move(text), std::move(displayName));
    if (!read) {
        return read.error();
    }
    return [](const CsvTable& table) -> Result<std::map<std::string, float>> {
        if (table.header.size() != 2) {
            return dataFileError(table.path,
                                 table.displayName,
                                 table.headerLine,
                                 {},
                                 "expected two columns, population name and census size, found " +
                                     std::to_string(table.header.size()));
        }
        std::vector<CsvRow> rows;
        float ignored = 0.0f;
        if (parseNumber(table.header[1], table.separator, ignored) == CellStatus::Number) {
            rows.push_back(CsvRow{table.headerLine, table.header}); // no header row: data
        }
        rows.insert(rows.end(), table.rows.begin(), table.rows.end());
        std::map<std::string, float> sizes;
        std::map<std::string, long> lines;
        for (const CsvRow& row : rows) {
            const long line = row.line;
            const std::string& name = row.cells[0];
            if (name.empty()) {
                return dataFileError(
                    table.path, table.displayName, line, "column 1", "no population name");
            }
            float size = 0.0f;
            const CellStatus s = parseNumber(row.cells[1], table.separator, size);
            if (s != CellStatus::Number || !std::isfinite(size) || size <= 0.0f) {
                return dataFileError(table.path,
                                     table.displayName,
                                     line,
                                     "column 2",
                                     "expected a census size above 0, found " +
                                         (row.cells[1].empty() ? std::string("an empty field")
                                                               : quoteFound(row.cells[1])));
            }
            const auto [at, added] = lines.try_emplace(name, line);
            if (!added) {
                return dataFileError(table.path,
                                     table.displayName,
                                     line,
                                     "column 1",
                                     "population " + quoteFound(name) +
                                         " was already given on line " +
                                         std::to_string(at->second));
            }
            sizes.emplace(name, size);
        }
        if (sizes.empty()) {
            return dataFileError(table.path, table.displayName, 0, {}, "no census sizes are given");
        }
        return sizes;
    }(*read);
}

Result<std::map<std::string, float>> readCensusSizes(const std::filesystem::path& path)
{
    Result<std::string> bytes = readBytes(path);
    if (!bytes) {
        return bytes.error();
    }
    Result<std::map<std::string, float>> sizes =
        readCensusSizesText(std::move(*bytes), pathText(path.filename()));
    if (!sizes) {
        Error e = sizes.error();
        e.path = pathText(path);
        return e;
    }
    return sizes;
}

} // namespace tavrik
