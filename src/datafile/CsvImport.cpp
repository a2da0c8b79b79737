#include "datafile/CsvImport.h"

#include "datafile/DataFileReader.h"
#include "datafile/InputFile.h"
#include "datafile/TvkWriter.h"
#include "io/TextEncoding.h"
#include "state/NumberText.h"

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
// Bytes of a bad cell kept to quote it; a message shows fewer.
constexpr std::size_t keptCellBytes = 200;
// The .tvk text is handed on in pieces of about this size.
constexpr std::size_t sinkPieceBytes = std::size_t{1} << 16;

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

// The first bytes of text, never cut inside a UTF-8 sequence.
std::string headOf(const std::string& text, std::size_t bytes)
{
    if (text.size() <= bytes) {
        return text;
    }
    std::size_t n = bytes;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0u) == 0x80u) {
        --n;
    }
    return text.substr(0, n);
}

std::string fileChanged(const CsvTable& table)
{
    if (table.use == CsvUse::Geography) {
        return "the geography file " + table.displayName +
               " changed while it was being read; give it again once it is complete";
    }
    return table.displayName + " changed while it was being imported; import it again";
}

// The bytes of a CSV file or of text in memory, read through a buffer of fixed size.
class ByteSource
{
public:
    explicit ByteSource(std::shared_ptr<const std::string> text)
        : m_text(std::move(text))
    {
        m_data = m_text->data();
        m_end = m_text->size();
    }
    explicit ByteSource(InputFile file)
        : m_file(std::move(file))
        , m_buffer(std::make_unique<char[]>(bufferBytes))
    {
        m_data = m_buffer.get();
    }

    // The byte at offset ahead of the next one, or -1 past the end.
    int peek(std::size_t ahead = 0)
    {
        if (m_pos + ahead >= m_end) {
            refill();
            if (m_pos + ahead >= m_end) {
                return -1;
            }
        }
        return static_cast<unsigned char>(m_data[m_pos + ahead]);
    }
    void take() { ++m_pos; }
    int readErrno() const { return m_errno; }

private:
    static constexpr std::size_t bufferBytes = std::size_t{1} << 16;

    void refill()
    {
        if (!m_file || m_atEof) {
            return;
        }
        std::memmove(m_buffer.get(), m_buffer.get() + m_pos, m_end - m_pos);
        m_end -= m_pos;
        m_pos = 0;
        const std::size_t want = bufferBytes - m_end;
        const std::size_t got = std::fread(m_buffer.get() + m_end, 1, want, m_file.get());
        m_end += got;
        if (got < want) {
            if (std::ferror(m_file.get()) != 0) {
                m_errno = errno != 0 ? errno : EIO;
            }
            m_atEof = true;
        }
    }

    std::shared_ptr<const std::string> m_text;
    InputFile m_file;
    std::unique_ptr<char[]> m_buffer;
    const char* m_data = nullptr;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_atEof = false;
    int m_errno = 0;
};

// Skips a UTF-8 byte-order mark at the start.
void skipByteOrderMark(ByteSource& in)
{
    if (in.peek(0) == 0xEF && in.peek(1) == 0xBB && in.peek(2) == 0xBF) {
        in.take();
        in.take();
        in.take();
    }
}

// Why the file must be a regular one.
std::string_view readsTwice(CsvUse use)
{
    return use == CsvUse::Geography ? "the geography file is read twice and needs a regular file"
                                    : "the import reads its file twice and needs a regular file";
}

// The rows of a table again, for a later pass: the file must be as its first pass found it.
Result<ByteSource> reopen(const CsvTable& table)
{
    if (table.text) {
        return ByteSource(table.text);
    }
    const std::filesystem::path path(std::u8string(table.path.begin(), table.path.end()));
    Result<InputFile> file = openInputFile(path, readsTwice(table.use));
    if (!file) {
        return file.error();
    }
    if (stampOf(file->get()) != table.stamp) {
        return Error::dataFile(fileChanged(table), table.path);
    }
    ByteSource source(std::move(*file));
    skipByteOrderMark(source);
    return source;
}

// The parser of CSV records with a known separator.
class CsvParser
{
public:
    CsvParser(ByteSource& source, char separator, const CsvTable& names)
        : m_in(source)
        , m_sep(separator)
        , m_names(names)
    {}

    // Reads the next record into cells; false at the end of the text (or on error).
    bool record(std::vector<std::string>& cells, long& startLine, std::optional<Error>& error);
    // The next record that is not all empty, checked to have as many fields as the header.
    bool row(std::vector<std::string>& cells, long& line, std::optional<Error>& error);

private:
    void skipBlankLines();
    bool atLineEnd() { return m_in.peek() == '\r' || m_in.peek() == '\n'; }
    bool atEnd() { return m_in.peek() < 0; }
    void takeLineEnd();
    void advance(); // one byte, keeping the position count
    Error syntax(long line, long position, const std::string& what) const
    {
        return dataFileError(
            m_names.path, m_names.displayName, line, "position " + std::to_string(position), what);
    }
    bool tooLong(const std::string& cell, long line, long position, std::optional<Error>& error);

    ByteSource& m_in;
    char m_sep;
    const CsvTable& m_names;
    long m_line = 1;
    long m_column = 1; // 1-based character position in the line (UTF-8 sequences count once)
};

void CsvParser::advance()
{
    const int c = m_in.peek();
    m_in.take();
    if ((static_cast<unsigned>(c) & 0xC0u) != 0x80u) {
        ++m_column;
    }
}

void CsvParser::takeLineEnd()
{
    if (m_in.peek() == '\r' && m_in.peek(1) == '\n') {
        m_in.take();
    }
    m_in.take();
    ++m_line;
    m_column = 1;
}

void CsvParser::skipBlankLines()
{
    // Blanks before a line end are dropped with it; blanks before a field are skipped by
    // record() anyway.
    for (;;) {
        std::size_t ahead = 0;
        int c = m_in.peek();
        while (c == ' ' || c == '\t') {
            c = m_in.peek(++ahead);
            if (ahead >= 4096) {
                return; // a long run of blanks is read as a field
            }
        }
        if (c != '\r' && c != '\n' && c >= 0) {
            return;
        }
        for (std::size_t i = 0; i < ahead; ++i) {
            advance();
        }
        if (c < 0) {
            return;
        }
        takeLineEnd();
    }
}

bool CsvParser::tooLong(const std::string& cell,
                        long line,
                        long position,
                        std::optional<Error>& error)
{
    if (cell.size() <= fieldBufferBytes) {
        return false;
    }
    error = syntax(line,
                   position,
                   "the field that starts here is longer than " + std::to_string(maxNameBytes) +
                       " bytes, the longest name a data file holds");
    return true;
}

bool CsvParser::record(std::vector<std::string>& cells,
                       long& startLine,
                       std::optional<Error>& error)
{
    cells.clear();
    skipBlankLines();
    if (atEnd()) {
        return false;
    }
    startLine = m_line;
    for (;;) {
        while (m_in.peek() == ' ' || m_in.peek() == '\t') {
            advance();
        }
        std::string cell;
        const long openLine = m_line;
        const long openColumn = m_column;
        if (m_in.peek() == '"') {
            advance();
            for (;;) {
                const int c = m_in.peek();
                if (c < 0) {
                    error = syntax(openLine,
                                   openColumn,
                                   "the quoted field that starts here has no closing quote");
                    return false;
                }
                if (c == '"') {
                    if (m_in.peek(1) == '"') {
                        cell += '"';
                        advance();
                        advance();
                        continue;
                    }
                    advance();
                    break;
                }
                if (c == '\r' || c == '\n') {
                    cell += '\n'; // kept as LF whatever the file's line ends
                    takeLineEnd();
                } else {
                    cell += static_cast<char>(c);
                    advance();
                }
                if (tooLong(cell, openLine, openColumn, error)) {
                    return false;
                }
            }
            while (m_in.peek() == ' ' || m_in.peek() == '\t') {
                advance();
            }
            if (!atEnd() && m_in.peek() != m_sep && !atLineEnd()) {
                error = syntax(m_line,
                               m_column,
                               std::string("expected '") + m_sep +
                                   "' or the end of the line after the closing quote, found " +
                                   quoteFound(std::string(1, static_cast<char>(m_in.peek()))));
                return false;
            }
        } else {
            for (int c = m_in.peek(); c >= 0 && c != m_sep && c != '\r' && c != '\n';
                 c = m_in.peek()) {
                cell += static_cast<char>(c);
                advance();
                if (tooLong(cell, openLine, openColumn, error)) {
                    return false;
                }
            }
            while (!cell.empty() && isBlank(cell.back())) {
                cell.pop_back();
            }
        }
        cells.push_back(std::move(cell));
        if (atEnd()) {
            return true;
        }
        if (atLineEnd()) {
            takeLineEnd();
            return true;
        }
        advance(); // the separator
    }
}

bool CsvParser::row(std::vector<std::string>& cells, long& line, std::optional<Error>& error)
{
    while (record(cells, line, error)) {
        if (std::all_of(
                cells.begin(), cells.end(), [](const std::string& c) { return c.empty(); })) {
            continue; // ",,," is how spreadsheets write an empty row
        }
        if (cells.size() != m_names.header.size()) {
            error = dataFileError(m_names.path,
                                  m_names.displayName,
                                  line,
                                  {},
                                  "expected " + std::to_string(m_names.header.size()) +
                                      " fields as in the header row, found " +
                                      std::to_string(cells.size()));
            return false;
        }
        return true;
    }
    if (!error && m_in.readErrno() != 0) {
        error = Error::dataFile("cannot read " + m_names.path + ", line " + std::to_string(m_line) +
                                    ": " + std::strerror(m_in.readErrno()),
                                m_names.path,
                                m_line);
    }
    return false;
}

// Separators outside quotes in the first non-blank row.
void countHeaderSeparators(ByteSource& in, long& commas, long& semicolons)
{
    commas = 0;
    semicolons = 0;
    bool quoted = false;
    bool seenContent = false;
    for (int b = in.peek(); b >= 0; in.take(), b = in.peek()) {
        const char c = static_cast<char>(b);
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

// Compares ASCII letters without case; the markers hold no other letters.
bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lower(x) == lower(y);
           });
}

template <typename T> CellStatus parseNumber(std::string_view cell, char separator, T& value)
{
    if (isMissingCell(cell)) {
        return CellStatus::Missing;
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
    return CellStatus::NotNumber; // also "inf", "nan" and a number with blanks around it
}

// The header row: line breaks in a name become blanks and a name met before gets a suffix,
// each change noted, so that the data file never holds two variables of one name.
void settleHeader(CsvTable& table)
{
    std::unordered_set<std::string> taken;
    for (std::string& name : table.header) {
        if (table.latin1) {
            name = latin1ToUtf8(name);
        }
    }
    for (const std::string& name : table.header) {
        taken.insert(name);
    }
    std::unordered_map<std::string, std::size_t> firstColumn;
    for (std::size_t c = 0; c < table.header.size(); ++c) {
        std::string& name = table.header[c];
        const std::string original = name;
        std::replace(name.begin(), name.end(), '\n', ' ');
        if (name != original) {
            table.notes.push_back("column " + std::to_string(c + 1) + ": the line break in " +
                                  quoteFound(original) + " becomes a blank");
            taken.insert(name);
        }
        const auto [first, added] = firstColumn.try_emplace(name, c);
        if (added) {
            continue;
        }
        std::string unique;
        for (int k = 2;; ++k) {
            unique = name + "_" + std::to_string(k);
            if (taken.insert(unique).second) {
                break;
            }
        }
        table.notes.push_back("column " + std::to_string(c + 1) + " has the name of column " +
                              std::to_string(first->second + 1) + ", " + quoteFound(name) +
                              "; it is imported as " + quoteFound(unique));
        name = std::move(unique);
        firstColumn.emplace(name, c);
    }
}

// A control character other than a tab or a line end: text has none, binary files (a
// spreadsheet's own format, a picture) are full of them.
bool holdsControlCharacter(const std::string& cell)
{
    return std::any_of(cell.begin(), cell.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 && b != '\t' && b != '\n' && b != '\r';
    });
}

Error notText(const CsvTable& table, long line, std::size_t column)
{
    return dataFileError(table.path,
                         table.displayName,
                         line,
                         "column " + std::to_string(column + 1),
                         "holds control characters, so the file is not a CSV text file; save "
                         "the table as CSV (comma- or semicolon-separated values) and " +
                             std::string(table.use == CsvUse::Geography
                                             ? "use that as the geography file"
                                             : "import that"));
}

// The first pass with one separator: the header, and what each column holds.
std::optional<Error> scan(ByteSource& in, CsvTable& table)
{
    CsvParser parser(in, table.separator, table);
    std::optional<Error> error;
    bool utf8 = true;
    const auto check = [&utf8](const std::string& cell) { utf8 = utf8 && isValidUtf8(cell); };
    if (!parser.record(table.header, table.headerLine, error)) {
        if (error) {
            return error;
        }
        return dataFileError(table.path,
                             table.displayName,
                             0,
                             {},
                             "the file is empty; expected a header row of column names");
    }
    std::for_each(table.header.begin(), table.header.end(), check);
    for (std::size_t c = 0; c < table.header.size(); ++c) {
        if (holdsControlCharacter(table.header[c])) {
            return notText(table, table.headerLine, c);
        }
    }
    table.columns.assign(table.header.size(), CsvColumn{});
    std::vector<std::string> cells;
    long line = 0;
    while (parser.row(cells, line, error)) {
        ++table.rowCount;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            check(cells[c]);
            if (holdsControlCharacter(cells[c])) {
                return notText(table, line, c);
            }
            CsvColumn& column = table.columns[c];
            double value = 0.0;
            const CellStatus s = parseCell(cells[c], table.separator, value);
            if (s == CellStatus::Missing) {
                continue;
            }
            ++column.filled;
            if (s != CellStatus::Number && column.badLine == 0) {
                column.badLine = line;
                column.badCell = headOf(cells[c], keptCellBytes);
                column.badStatus = s;
            }
        }
    }
    if (error) {
        return error;
    }
    table.latin1 = !utf8;
    settleHeader(table);
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        CsvColumn& column = table.columns[c];
        column.name = table.header[c];
        column.numeric = column.filled > 0 && column.badLine == 0;
        if (table.latin1) {
            column.badCell = latin1ToUtf8(column.badCell);
        }
    }
    return std::nullopt;
}

// The first pass: the separator, then the header and columns with it.
Result<CsvTable> firstPass(const CsvTable& names, const std::function<Result<ByteSource>()>& open)
{
    Result<ByteSource> head = open();
    if (!head) {
        return head.error();
    }
    long commas = 0;
    long semicolons = 0;
    countHeaderSeparators(*head, commas, semicolons);
    // The separator that splits the header more often goes first (comma on a tie); the other
    // one is tried only if the first leaves rows ragged, as a semicolon file with decimal
    // commas in a quoted header cell could.
    const char first = semicolons > commas ? ';' : ',';
    const char second = first == ',' ? ';' : ',';
    const long secondCount = second == ',' ? commas : semicolons;

    const auto tryWith = [&](char separator, CsvTable& table) -> std::optional<Error> {
        table = names;
        table.separator = separator;
        Result<ByteSource> in = open();
        if (!in) {
            return in.error();
        }
        return scan(*in, table);
    };
    CsvTable table;
    std::optional<Error> error = tryWith(first, table);
    if (error && secondCount > 0) {
        CsvTable other;
        if (!tryWith(second, other) && other.header.size() > 1) {
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

// Why a row is left out, or nothing when it is kept.
std::optional<LeftOutRow> rowProblem(const CsvTable& table,
                                     long line,
                                     const std::vector<std::string>& cells,
                                     std::size_t populationColumn,
                                     const std::vector<std::size_t>& variableColumns)
{
    const std::string where = "line " + std::to_string(line) + ", ";
    if (const std::string& population = cells[populationColumn]; isMissingCell(population)) {
        std::string reason = where + columnText(table, populationColumn) + ": no population";
        if (!population.empty()) {
            reason += " (" + quoteFound(population) + ")";
        }
        return LeftOutRow{line, populationColumn, std::move(reason)};
    }
    for (const std::size_t c : variableColumns) {
        double v = 0.0;
        const std::string& cell = cells[c];
        const CellStatus s = parseCell(cell, table.separator, v);
        if (s == CellStatus::Number || s == CellStatus::Missing) {
            continue;
        }
        std::string reason = where + columnText(table, c) + ": ";
        if (s == CellStatus::OutOfRange) {
            reason += "the number " + quoteFound(cell) + " is out of range";
        } else {
            reason += "expected a number, found " + quoteFound(cell);
        }
        return LeftOutRow{line, c, std::move(reason)};
    }
    return std::nullopt;
}

// Visits every data row of a later pass; visit returns false to stop early.
Status eachRow(const CsvTable& table,
               const std::function<bool(long, std::vector<std::string>&)>& visit)
{
    Result<ByteSource> in = reopen(table);
    if (!in) {
        return in.error();
    }
    CsvParser parser(*in, table.separator, table);
    std::optional<Error> error;
    std::vector<std::string> cells;
    long line = 0;
    if (!parser.record(cells, line, error)) {
        return error ? *error : Error::dataFile(fileChanged(table), table.path);
    }
    while (parser.row(cells, line, error)) {
        if (table.latin1) {
            for (std::string& cell : cells) {
                cell = latin1ToUtf8(cell);
            }
        }
        if (!visit(line, cells)) {
            return Done{};
        }
    }
    if (error) {
        return *error;
    }
    return Done{};
}

} // namespace

Result<CsvTable> readCsvText(std::string text, std::string displayName, CsvUse use)
{
    if (std::string_view(text).starts_with(utf8ByteOrderMark)) {
        text.erase(0, utf8ByteOrderMark.size());
    }
    CsvTable names;
    names.use = use;
    names.path = displayName;
    names.displayName = std::move(displayName);
    names.text = std::make_shared<const std::string>(std::move(text));
    return firstPass(names, [&names]() -> Result<ByteSource> { return ByteSource(names.text); });
}

Result<CsvTable> readCsv(const std::filesystem::path& path, CsvUse use)
{
    CsvTable names;
    names.use = use;
    names.path = pathText(path);
    names.displayName = pathText(path.filename());
    bool opened = false;
    return firstPass(names, [&]() -> Result<ByteSource> {
        if (opened) {
            return reopen(names);
        }
        Result<InputFile> file = openInputFile(path, readsTwice(use));
        if (!file) {
            return file.error();
        }
        names.stamp = stampOf(file->get());
        opened = true;
        ByteSource source(std::move(*file));
        skipByteOrderMark(source);
        return source;
    });
}

Status readRows(const CsvTable& table,
                const std::function<bool(long line, std::vector<std::string>& cells)>& visit)
{
    return eachRow(table, visit);
}

bool isMissingCell(std::string_view cell)
{
    while (!cell.empty() && isBlank(cell.front())) {
        cell.remove_prefix(1);
    }
    while (!cell.empty() && isBlank(cell.back())) {
        cell.remove_suffix(1);
    }
    return cell.empty() || cell == "." || sameIgnoringCase(cell, "NA") ||
           sameIgnoringCase(cell, "N/A");
}

CellStatus parseCell(std::string_view cell, char separator, double& value)
{
    return parseNumber(cell, separator, value);
}

CellStatus parseCell(std::string_view cell, char separator, float& value)
{
    return parseNumber(cell, separator, value);
}

std::string columnProblem(const CsvTable& table, std::size_t column)
{
    const CsvColumn& c = table.columns.at(column);
    std::string text = columnText(table, column) + ": ";
    if (c.filled == 0) {
        return text + "it holds no value";
    }
    if (c.badLine == 0) {
        return {};
    }
    text += "line " + std::to_string(c.badLine) + " holds " + quoteFound(c.badCell);
    return text + (c.badStatus == CellStatus::OutOfRange ? ", a number out of range"
                                                         : ", which is not a number");
}

Result<std::size_t> findColumn(const CsvTable& table, std::string_view name)
{
    const auto found = std::find(table.header.begin(), table.header.end(), name);
    if (found == table.header.end()) {
        return usageError(table, "no column is called " + quoteFound(name));
    }
    return static_cast<std::size_t>(found - table.header.begin());
}

ImportPlan defaultPlan(const CsvTable& table)
{
    const std::vector<CsvColumn>& columns = table.columns;
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

Result<ImportPreview> preview(const CsvTable& table,
                              std::size_t populationColumn,
                              const std::vector<std::size_t>& variableColumns)
{
    assert(populationColumn < table.header.size());
    for ([[maybe_unused]] const std::size_t c : variableColumns) {
        assert(c < table.header.size());
    }
    ImportPreview p;
    p.missing.assign(variableColumns.size(), 0);
    std::unordered_map<std::string, std::size_t> index; // cell text -> populations index
    long rows = 0;
    Status read = readRows(table, [&](long line, std::vector<std::string>& cells) {
        ++rows;
        if (std::optional<LeftOutRow> out =
                rowProblem(table, line, cells, populationColumn, variableColumns)) {
            if (p.leftOut.size() < summaryLines) {
                p.leftOut.push_back(std::move(*out));
            }
            ++p.leftOutCount;
            return true;
        }
        ++p.keptRows;
        for (std::size_t k = 0; k < variableColumns.size(); ++k) {
            if (isMissingCell(cells[variableColumns[k]])) {
                ++p.missing[k];
                ++p.missingCount;
            }
        }
        std::string& population = cells[populationColumn];
        const auto found = index.find(population);
        if (found != index.end()) {
            ++p.populations[found->second].sampleSize;
        } else if (p.populations.size() <= countLimit) { // one past the limit tells it
            index.emplace(population, p.populations.size());
            p.populations.push_back(ImportPopulation{std::move(population), 1, line});
        }
        return true;
    });
    if (!read) {
        return read.error();
    }
    if (rows != table.rowCount) {
        return Error::dataFile(fileChanged(table), table.path);
    }
    return p;
}

std::string leftOutSummary(const ImportPreview& preview)
{
    const auto n = static_cast<std::size_t>(preview.leftOutCount);
    if (n == 0) {
        return {};
    }
    std::string text = n == 1 ? "1 row has" : std::to_string(n) + " rows have";
    text += " a value that is not a number or no population and would be left out: ";
    text += n == 1 ? "line " : "lines ";
    for (std::size_t i = 0; i < preview.leftOut.size() && i < summaryLines; ++i) {
        text += (i > 0 ? ", " : "") + std::to_string(preview.leftOut[i].line);
    }
    if (n > summaryLines) {
        text += " and " + std::to_string(n - summaryLines) + " more";
    }
    return text + ".";
}

std::string missingSummary(const CsvTable& table,
                           const std::vector<std::size_t>& variableColumns,
                           const ImportPreview& preview)
{
    assert(preview.missing.size() == variableColumns.size());
    const long n = preview.missingCount;
    if (n == 0) {
        return {};
    }
    std::string text = n == 1 ? "1 value is missing and is written as NA:"
                              : std::to_string(n) + " values are missing and are written as NA:";
    for (std::size_t k = 0; k < variableColumns.size(); ++k) {
        if (preview.missing[k] > 0) {
            text += "\n  " + columnText(table, variableColumns[k]) + ": " +
                    std::to_string(preview.missing[k]);
        }
    }
    return text;
}

namespace {

// The plan's columns and title, as a data file can hold them.
Status checkPlan(const CsvTable& table, const ImportPlan& plan)
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
        if (std::string problem = tvkNameProblem(table.header[c]); !problem.empty()) {
            return dataFileError(table.path,
                                 table.displayName,
                                 table.headerLine,
                                 "column " + std::to_string(c + 1),
                                 "the name cannot be a variable name: " + problem);
        }
    }
    if (std::string problem = tvkNameProblem(plan.title); !problem.empty()) {
        return usageError(table, "the title cannot be written: " + problem);
    }
    if (plan.variableColumns.size() > countLimit) {
        return usageError(table,
                          std::to_string(plan.variableColumns.size()) +
                              " variables are chosen; a data file holds at most " +
                              std::to_string(countLimit));
    }
    if (table.rowCount == 0) {
        return dataFileError(table.path, table.displayName, 0, {}, "no data rows below the header");
    }
    return Done{};
}

// The rows the file will hold: rows that cannot be imported are refused unless the plan leaves
// them out.
Result<ImportPreview> importedRows(const CsvTable& table, const ImportPlan& plan)
{
    Result<ImportPreview> previewed = preview(table, plan.populationColumn, plan.variableColumns);
    if (!previewed) {
        return previewed.error();
    }
    const ImportPreview& p = *previewed;
    if (p.leftOutCount > 0 && !plan.leaveOutRows) {
        const LeftOutRow& bad = p.leftOut.front();
        Error e = dataFileError(table.path, table.displayName, 0, {}, {});
        e.line = bad.line;
        e.field = columnText(table, bad.column);
        e.message = table.displayName + ", " + bad.reason; // the reason names line and column
        if (p.leftOutCount > 1) {
            e.message += " (and " + std::to_string(p.leftOutCount - 1) + " more rows)";
        }
        return e;
    }
    if (p.keptRows == 0) {
        return dataFileError(table.path,
                             table.displayName,
                             0,
                             {},
                             "no row is left once the rows with a value that is not a number "
                             "or no population are left out");
    }
    if (p.populations.size() > countLimit) {
        return dataFileError(table.path,
                             table.displayName,
                             0,
                             columnText(table, plan.populationColumn),
                             "holds more than " + std::to_string(countLimit) +
                                 " populations, the most a data file holds");
    }
    return previewed;
}

// The header: the populations in order of first appearance with their census sizes, and the
// variables in the plan's order.
Result<DataFileHeader>
importHeader(const CsvTable& table, const ImportPlan& plan, const ImportPreview& p)
{
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
    for (std::size_t i = 0; i < p.populations.size(); ++i) {
        PopulationEntry e;
        e.name = p.populations[i].name;
        if (std::string problem = tvkNameProblem(e.name); !problem.empty()) {
            return dataFileError(table.path,
                                 table.displayName,
                                 p.populations[i].firstLine,
                                 columnText(table, plan.populationColumn),
                                 "the population name " + quoteFound(e.name) +
                                     " cannot be written: " + problem);
        }
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
        if (!std::isfinite(e.size) || e.size < 0.0f) {
            return usageError(table,
                              "the census size of population " + quoteFound(e.name) +
                                  " must be a number of 0 or more, found " + shortestText(e.size));
        }
        h.populations.push_back(std::move(e));
    }
    for (const std::size_t c : plan.variableColumns) {
        h.varNames.push_back(table.header[c]);
    }
    return h;
}

// The records below the header, passed to sink in pieces; a table that no longer reads as it
// did when previewed is refused.
Status writeRecords(const CsvTable& table,
                    const ImportPlan& plan,
                    const ImportPreview& p,
                    const DataFileHeader& h,
                    const TvkSink& sink)
{
    std::unordered_map<std::string, std::int16_t> codes;
    for (const PopulationEntry& e : h.populations) {
        codes.emplace(e.name, e.code);
    }
    Result<TvkWriter> writer = TvkWriter::start(h);
    if (!writer) {
        return writer.error();
    }
    std::vector<double> values(plan.variableColumns.size());
    std::optional<Error> failure;
    long kept = 0;
    Status read = readRows(table, [&](long line, std::vector<std::string>& cells) {
        if (rowProblem(table, line, cells, plan.populationColumn, plan.variableColumns)) {
            return true;
        }
        const auto code = codes.find(cells[plan.populationColumn]);
        if (code == codes.end()) {
            failure = Error::dataFile(fileChanged(table), table.path);
            return false;
        }
        for (std::size_t k = 0; k < values.size(); ++k) {
            const CellStatus s =
                parseCell(cells[plan.variableColumns[k]], table.separator, values[k]);
            assert(s == CellStatus::Number || s == CellStatus::Missing);
            if (s == CellStatus::Missing) {
                values[k] = std::numeric_limits<double>::quiet_NaN(); // the writer's NA
            }
        }
        if (Status added = writer->addRecord(code->second, values); !added) {
            failure = added.error();
            return false;
        }
        ++kept;
        if (writer->text().size() >= sinkPieceBytes) {
            if (Status passed = sink(writer->drain()); !passed) {
                failure = passed.error();
                return false;
            }
        }
        return true;
    });
    if (!read) {
        return read.error();
    }
    if (failure) {
        return *failure;
    }
    if (kept != p.keptRows) {
        return Error::dataFile(fileChanged(table), table.path);
    }
    return sink(writer->drain());
}

} // namespace

Status writeTvk(const CsvTable& table, const ImportPlan& plan, const TvkSink& sink)
{
    if (Status planned = checkPlan(table, plan); !planned) {
        return planned;
    }
    Result<ImportPreview> rows = importedRows(table, plan);
    if (!rows) {
        return rows.error();
    }
    Result<DataFileHeader> header = importHeader(table, plan, *rows);
    if (!header) {
        return header.error();
    }
    return writeRecords(table, plan, *rows, *header, sink);
}

Result<std::string> tvkText(const CsvTable& table, const ImportPlan& plan)
{
    std::string text;
    Status written = writeTvk(table, plan, [&text](std::string_view piece) -> Status {
        text += piece;
        return Done{};
    });
    if (!written) {
        return written.error();
    }
    return text;
}

std::string censusSizeProblem(std::string_view text, char separator, float& size)
{
    float value = 0.0f;
    switch (parseCell(text, separator, value)) {
    case CellStatus::Missing:
        return "no census size is given";
    case CellStatus::NotNumber:
        return quoteFound(text) + " is not a number";
    case CellStatus::OutOfRange:
        return quoteFound(text) + " is out of range";
    case CellStatus::Number:
        break;
    }
    if (!std::isfinite(value) || value < 0.0f) {
        return quoteFound(text) + " is below 0";
    }
    size = value;
    return {};
}

namespace {

Result<std::map<std::string, float>> censusSizesOf(const CsvTable& table)
{
    if (table.header.size() != 2) {
        return dataFileError(table.path,
                             table.displayName,
                             table.headerLine,
                             {},
                             "expected two columns, population name and census size, found " +
                                 std::to_string(table.header.size()));
    }
    std::map<std::string, float> sizes;
    std::map<std::string, long> lines;
    std::optional<Error> failure;
    const auto take = [&](long line, const std::vector<std::string>& cells) {
        const std::string& name = cells[0];
        if (name.empty()) {
            failure = dataFileError(
                table.path, table.displayName, line, "column 1", "no population name");
            return false;
        }
        float size = 0.0f;
        const CellStatus s = parseNumber(cells[1], table.separator, size);
        if (s != CellStatus::Number || !std::isfinite(size) || size < 0.0f) {
            failure = dataFileError(
                table.path,
                table.displayName,
                line,
                "column 2",
                "expected a census size of 0 or more, found " +
                    (cells[1].empty() ? std::string("an empty field") : quoteFound(cells[1])));
            return false;
        }
        const auto [at, added] = lines.try_emplace(name, line);
        if (!added) {
            failure = dataFileError(table.path,
                                    table.displayName,
                                    line,
                                    "column 1",
                                    "population " + quoteFound(name) +
                                        " was already given on line " + std::to_string(at->second));
            return false;
        }
        sizes.emplace(name, size);
        return true;
    };
    float ignored = 0.0f;
    if (parseNumber(table.header[1], table.separator, ignored) == CellStatus::Number &&
        !take(table.headerLine, table.header)) { // no header row: data
        return *failure;
    }
    Status rows = readRows(table, take);
    if (!rows) {
        return rows.error();
    }
    if (failure) {
        return *failure;
    }
    if (sizes.empty()) {
        return dataFileError(table.path, table.displayName, 0, {}, "no census sizes are given");
    }
    return sizes;
}

} // namespace

Result<std::map<std::string, float>> readCensusSizesText(std::string text, std::string displayName)
{
    Result<CsvTable> read = readCsvText(std::move(text), std::move(displayName));
    if (!read) {
        return read.error();
    }
    return censusSizesOf(*read);
}

Result<std::map<std::string, float>> readCensusSizes(const std::filesystem::path& path)
{
    Result<CsvTable> read = readCsv(path);
    if (!read) {
        return read.error();
    }
    return censusSizesOf(*read);
}

} // namespace tavrik
