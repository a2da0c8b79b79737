#include "datafile/DataFileReader.h"

#include "datafile/InputFile.h"
#include "io/TextEncoding.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>

namespace tavrik {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Characters that end a numeric field.
constexpr std::array<bool, 256> numberEnds = [] {
    std::array<bool, 256> t{};
    t[static_cast<unsigned char>(',')] = true;
    t[static_cast<unsigned char>(' ')] = true;
    t[static_cast<unsigned char>('\t')] = true;
    t[static_cast<unsigned char>('\r')] = true;
    t[static_cast<unsigned char>('\n')] = true;
    return t;
}();

bool endsNumber(char c)
{
    return numberEnds[static_cast<unsigned char>(c)];
}

} // namespace

struct DataFileReader::Impl
{
    std::string path;        // for Error::path
    std::string displayName; // for messages
    InputFile file;          // null when reading from memory
    std::string memory;
    std::size_t memoryPos = 0;
    std::size_t pieceBytes = 0; // bytes handed over from memory per fill
    std::unique_ptr<char[]> buf;
    std::size_t capacity = 0;
    std::uint64_t bufOffset = 0; // offset in the file of buf[0]
    std::size_t pos = 0;         // next unread byte
    std::size_t end = 0;         // one past the last byte held
    bool atEof = false;          // nothing more to read into the buffer
    int readErrno = 0;
    std::uint64_t fetched = 0; // bytes moved into buf since the start
    std::uint64_t size = 0;    // of the whole file; 0 when unknown
    long line = 1;             // 1-based line of buf[pos]
    long fieldLine = 1;        // line where the last field started

    bool headerDone = false;
    std::vector<std::string> varNames;
    long records = 0;
    std::optional<Error> failure;

    // Moves the unread bytes to the front and reads more behind them.
    void fill();
    void skipByteOrderMark();
    // Skips blanks and line ends; false at the end of the data.
    bool skipToField();
    // After a field: skips blanks and one comma.
    void endField();
    // The numeric field at pos; empty when pos holds a comma. Sets tooLong if it fills the
    // whole buffer.
    std::string_view numberToken(bool& tooLong);

    Error fail(const std::string& field, const std::string& expected, const std::string& found);
    Error readFailure();
    Error endOfFile(const std::string& field, const std::string& expected);

    Result<std::string> readText(const std::string& field, const std::string& expected);
    template <typename T>
    Result<T> readNumber(const std::string& field, const std::string& expected);
    Result<std::int16_t> readWhole(const std::string& field, long least);
    // The name, code and census size of population i (1-based, as the messages count).
    Result<PopulationEntry> readPopulation(int i);
    static std::string describeBadNumber(std::string_view token, bool tooLong, NumberStatus status);
    // One numeric field of a record. On failure badRecordField says what was found, or is
    // empty when the data ended before the field.
    bool readRecordNumber(double& out);
    bool readRecordNumberSlow(double& out);

    std::string lastToken;      // text of the last number readNumber accepted
    std::string badRecordField; // set by readRecordNumber
};

void DataFileReader::Impl::fill()
{
    if (atEof) {
        return;
    }
    if (pos > 0) {
        bufOffset += pos;
        std::memmove(buf.get(), buf.get() + pos, end - pos);
        end -= pos;
        pos = 0;
    }
    const std::size_t want = capacity - end;
    if (!file) {
        const std::size_t got = std::min({want, pieceBytes, memory.size() - memoryPos});
        std::memcpy(buf.get() + end, memory.data() + memoryPos, got);
        memoryPos += got;
        end += got;
        fetched += got;
        atEof = memoryPos == memory.size();
        return;
    }
    // at the reader's own offset: the file's shared offset belongs to nobody, so a reader
    // working beside this one (on a duplicated descriptor) cannot move it
    int reason = 0;
    const std::optional<std::size_t> got =
        readFileAt(fileno(file.get()), buf.get() + end, want, fetched, reason);
    if (!got) {
        readErrno = reason;
        atEof = true;
        return;
    }
    end += *got;
    fetched += *got;
    if (*got < want) {
        atEof = true;
    }
}

void DataFileReader::Impl::skipByteOrderMark()
{
    while (end - pos < 3 && !atEof) {
        fill();
    }
    if (end - pos >= 3 && std::string_view(buf.get() + pos, 3) == utf8ByteOrderMark) {
        pos += 3;
    }
}

bool DataFileReader::Impl::skipToField()
{
    for (;;) {
        const char* const b = buf.get();
        const char* p = b + pos;
        const char* const e = b + end;
        while (p < e) {
            const char c = *p;
            if (isBlank(c)) {
                ++p;
            } else if (c == '\n') {
                ++line;
                ++p;
            } else if (c == '\r') {
                if (p + 1 == e && !atEof) {
                    break; // look at the next byte before counting the line
                }
                if (p + 1 == e || p[1] != '\n') {
                    ++line; // a lone CR also ends a line; in CR LF the LF counts
                }
                ++p;
            } else {
                pos = static_cast<std::size_t>(p - b);
                fieldLine = line;
                return true;
            }
        }
        pos = static_cast<std::size_t>(p - b);
        if (atEof && pos == end) {
            return false;
        }
        fill();
    }
}

void DataFileReader::Impl::endField()
{
    for (;;) {
        while (pos < end && isBlank(buf[pos])) {
            ++pos;
        }
        if (pos < end) {
            if (buf[pos] == ',') {
                ++pos;
            }
            return;
        }
        if (atEof) {
            return;
        }
        fill();
    }
}

std::string_view DataFileReader::Impl::numberToken(bool& tooLong)
{
    tooLong = false;
    std::size_t scanned = 0;
    for (;;) {
        const char* const start = buf.get() + pos;
        const char* p = start + scanned;
        const char* const e = buf.get() + end;
        while (p < e && !endsNumber(*p)) {
            ++p;
        }
        const auto length = static_cast<std::size_t>(p - start);
        if (p < e || atEof) {
            pos += length;
            return {start, length};
        }
        if (pos == 0 && end == capacity) {
            tooLong = true;
            return {start, length};
        }
        scanned = length;
        fill();
    }
}

Error DataFileReader::Impl::fail(const std::string& field,
                                 const std::string& expected,
                                 const std::string& found)
{
    Error e = dataFileError(path, displayName, fieldLine, field, expected + ", found " + found);
    failure = e;
    return e;
}

Error DataFileReader::Impl::readFailure()
{
    Error e;
    e.kind = ErrorKind::DataFile;
    e.path = path;
    e.line = line;
    e.message =
        "cannot read " + path + ", line " + std::to_string(line) + ": " + std::strerror(readErrno);
    if (isMemoryShortage(readErrno)) {
        // the file is not at fault: say so, and let the run end as one that cannot proceed
        e.kind = ErrorKind::Analysis;
        e.message = "cannot read " + path + ": the computer has not enough memory for this run (" +
                    std::strerror(readErrno) + ")";
    }
    failure = e;
    return e;
}

Error DataFileReader::Impl::endOfFile(const std::string& field, const std::string& expected)
{
    if (readErrno != 0) {
        return readFailure();
    }
    return fail(field, expected, "the end of the file");
}

Result<std::string> DataFileReader::Impl::readText(const std::string& field,
                                                   const std::string& expected)
{
    if (!skipToField()) {
        return endOfFile(field, expected);
    }
    if (buf[pos] == ',') {
        ++pos;
        return std::string();
    }
    const bool quoted = buf[pos] == '"';
    const std::size_t skip = quoted ? 1 : 0;
    std::size_t scanned = skip;
    for (;;) {
        const char* const start = buf.get() + pos;
        const char* p = start + scanned;
        const char* const e = buf.get() + end;
        if (quoted) {
            while (p < e && *p != '"' && *p != '\n' && *p != '\r') {
                ++p;
            }
        } else {
            while (p < e && *p != ',' && *p != '\n' && *p != '\r') {
                ++p;
            }
        }
        if (p == e && !atEof) {
            if (pos == 0 && end == capacity) {
                return fail(field,
                            expected + " of at most " + std::to_string(maxNameBytes) + " bytes",
                            quoteFound({start, static_cast<std::size_t>(p - start)}));
            }
            scanned = static_cast<std::size_t>(p - start);
            fill();
            continue;
        }
        if (!quoted) {
            const char* last = p;
            while (last > start && isBlank(last[-1])) {
                --last;
            }
            std::string text(start, last);
            pos += static_cast<std::size_t>(p - start);
            if (p < e && *p == ',') {
                ++pos;
            }
            return text;
        }
        if (p == e || *p != '"') {
            return fail(field,
                        "expected a closing quote",
                        p == e ? "the end of the file" : "the end of the line");
        }
        std::string text(start + 1, p);
        pos += static_cast<std::size_t>(p - start) + 1;
        for (;;) {
            while (pos < end && isBlank(buf[pos])) {
                ++pos;
            }
            if (pos < end || atEof) {
                break;
            }
            fill();
        }
        if (pos < end) {
            const char c = buf[pos];
            if (c == ',') {
                ++pos;
            } else if (c != '\n' && c != '\r') {
                bool tooLong = false;
                const std::string_view rest = numberToken(tooLong);
                return fail(field,
                            "expected a comma or the end of the line after the closing quote",
                            quoteFound(rest));
            }
        }
        return text;
    }
}

std::string
DataFileReader::Impl::describeBadNumber(std::string_view token, bool tooLong, NumberStatus status)
{
    if (token.empty()) {
        return "an empty field";
    }
    if (status == NumberStatus::OutOfRange && !tooLong) {
        return quoteFound(token) + ", which is out of range";
    }
    return quoteFound(token);
}

template <typename T>
Result<T> DataFileReader::Impl::readNumber(const std::string& field, const std::string& expected)
{
    if (!skipToField()) {
        return endOfFile(field, expected);
    }
    bool tooLong = false;
    const std::string_view token = numberToken(tooLong);
    T value{};
    const NumberStatus status =
        token.empty() || tooLong ? NumberStatus::Bad : parseDecimal(token, value);
    if (status != NumberStatus::Ok) {
        return fail(field, expected, describeBadNumber(token, tooLong, status));
    }
    lastToken.assign(token);
    endField();
    return value;
}

Result<std::int16_t> DataFileReader::Impl::readWhole(const std::string& field, long least)
{
    constexpr long most = std::numeric_limits<std::int16_t>::max();
    const std::string expected =
        "expected a whole number from " + std::to_string(least) + " to " + std::to_string(most);
    Result<double> number = readNumber<double>(field, expected);
    if (!number) {
        return number.error();
    }
    const double v = *number;
    if (v != std::trunc(v) || v < static_cast<double>(least) || v > static_cast<double>(most)) {
        return fail(field, expected, quoteFound(lastToken));
    }
    return static_cast<std::int16_t>(v);
}

Result<PopulationEntry> DataFileReader::Impl::readPopulation(int i)
{
    const std::string n = std::to_string(i);
    PopulationEntry p;
    Result<std::string> name = readText("name of population " + n, "expected a name");
    if (!name) {
        return name.error();
    }
    p.name = std::move(*name);
    Result<std::int16_t> code = readWhole("code of population " + n, -32768);
    if (!code) {
        return code.error();
    }
    p.code = *code;
    const std::string sizeField = "population size of population " + n;
    const std::string sizeExpected = "expected a number of 0 or more";
    Result<float> censusSize = readNumber<float>(sizeField, sizeExpected);
    if (!censusSize) {
        return censusSize.error();
    }
    if (*censusSize < 0.0f) {
        return fail(sizeField, sizeExpected, quoteFound(lastToken));
    }
    p.size = *censusSize;
    return p;
}

namespace {

// One decision for the whole header: a single invalid UTF-8 sequence means the text was
// written in Latin-1 (or a Windows code page close to it).
void decodeHeaderText(DataFileHeader& h)
{
    bool utf8 = isValidUtf8(h.title);
    for (const PopulationEntry& p : h.populations) {
        utf8 = utf8 && isValidUtf8(p.name);
    }
    for (const std::string& v : h.varNames) {
        utf8 = utf8 && isValidUtf8(v);
    }
    if (!utf8) {
        h.title = latin1ToUtf8(h.title);
        for (PopulationEntry& p : h.populations) {
            p.name = latin1ToUtf8(p.name);
        }
        for (std::string& v : h.varNames) {
            v = latin1ToUtf8(v);
        }
    }
}

NumberStatus missingValue(double& out)
{
    out = std::numeric_limits<double>::quiet_NaN();
    return NumberStatus::Ok;
}

} // namespace

bool DataFileReader::Impl::readRecordNumber(double& out)
{
    // Fast path for a field that lies wholly inside the buffer, with the scan position and
    // line count kept in locals; anything touching the buffer's end takes the general path.
    const char* const b = buf.get();
    const char* const e = b + end;
    const char* p = b + pos;
    long lines = line;
    for (; p < e; ++p) {
        const char c = *p;
        if (c == '\n') {
            ++lines;
        } else if (c == '\r') {
            if (p + 1 == e) {
                break;
            }
            lines += p[1] != '\n' ? 1 : 0;
        } else if (!isBlank(c)) {
            break;
        }
    }
    const char* t = parsePlainNumber(p, e, out, endsNumber);
    if (t == nullptr) {
        t = p;
        while (t < e && !endsNumber(*t)) {
            ++t;
        }
        if (t == e || p == t) {
            return readRecordNumberSlow(out);
        }
        const std::string_view token(p, static_cast<std::size_t>(t - p));
        const NumberStatus status =
            isMissingValueMarker(token) ? missingValue(out) : parseDecimal(token, out);
        if (status != NumberStatus::Ok) {
            line = lines;
            fieldLine = lines;
            pos = static_cast<std::size_t>(p - b);
            badRecordField = describeBadNumber(token, false, status);
            return false;
        }
    }
    line = lines;
    fieldLine = lines;
    while (t < e && isBlank(*t)) {
        ++t;
    }
    pos = static_cast<std::size_t>(t - b);
    if (t == e) {
        endField(); // a comma may follow in the next piece
    } else if (*t == ',') {
        ++pos;
    }
    return true;
}

bool DataFileReader::Impl::readRecordNumberSlow(double& out)
{
    if (!skipToField()) {
        badRecordField.clear();
        return false;
    }
    bool tooLong = false;
    const std::string_view token = numberToken(tooLong);
    const NumberStatus status = token.empty() || tooLong      ? NumberStatus::Bad
                                : isMissingValueMarker(token) ? missingValue(out)
                                                              : parseDecimal(token, out);
    if (status != NumberStatus::Ok) {
        badRecordField = describeBadNumber(token, tooLong, status);
        return false;
    }
    endField();
    return true;
}

DataFileReader::DataFileReader(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{}
DataFileReader::DataFileReader(DataFileReader&&) noexcept = default;
DataFileReader& DataFileReader::operator=(DataFileReader&&) noexcept = default;
DataFileReader::~DataFileReader() = default;

Result<DataFileReader> DataFileReader::open(const std::filesystem::path& path)
{
    auto impl = std::make_unique<Impl>();
    impl->path = pathText(path);
    impl->displayName = pathText(path.filename());
    Result<InputFile> file = openInputFile(path);
    if (!file) {
        return file.error();
    }
    impl->file = std::move(*file);
    std::error_code sizeError;
    const std::uintmax_t size = std::filesystem::file_size(path, sizeError);
    impl->size = sizeError ? 0 : static_cast<std::uint64_t>(size);
    impl->capacity = fieldBufferBytes;
    impl->buf = std::make_unique<char[]>(fieldBufferBytes);
    impl->fill();
    if (impl->readErrno != 0) { // a directory opens, but cannot be read
        return Error::dataFile("cannot open " + impl->path + ": " + std::strerror(impl->readErrno),
                               impl->path);
    }
    impl->skipByteOrderMark();
    return DataFileReader(std::move(impl));
}

Result<DataFileReader>
DataFileReader::fromBuffer(std::string data, std::string displayName, std::size_t pieceBytes)
{
    auto impl = std::make_unique<Impl>();
    impl->path = displayName;
    impl->displayName = std::move(displayName);
    // Exactly the data's size, so that a sanitizer sees any read past its end.
    impl->capacity = data.size();
    impl->buf = std::make_unique<char[]>(data.size());
    impl->pieceBytes = pieceBytes == 0 ? data.size() : pieceBytes;
    impl->size = data.size();
    impl->memory = std::move(data);
    impl->fill();
    impl->skipByteOrderMark();
    return DataFileReader(std::move(impl));
}

Result<DataFileHeader> DataFileReader::readHeader()
{
    Impl& r = *m_impl;
    assert(!r.headerDone);
    if (r.failure) {
        return *r.failure;
    }
    DataFileHeader h;

    Result<std::string> title = r.readText("title", "expected the title");
    if (!title) {
        return title.error();
    }
    h.title = std::move(*title);

    Result<std::int16_t> popCount = r.readWhole("population count", 1);
    if (!popCount) {
        return popCount.error();
    }
    h.popCount = *popCount;
    Result<std::int16_t> varCount = r.readWhole("variable count", 1);
    if (!varCount) {
        return varCount.error();
    }
    h.varCount = *varCount;

    h.populations.reserve(static_cast<std::size_t>(h.popCount));
    for (int i = 1; i <= h.popCount; ++i) {
        Result<PopulationEntry> population = r.readPopulation(i);
        if (!population) {
            return population.error();
        }
        h.populations.push_back(std::move(*population));
    }

    h.varNames.reserve(static_cast<std::size_t>(h.varCount));
    for (int k = 1; k <= h.varCount; ++k) {
        Result<std::string> name =
            r.readText("name of variable " + std::to_string(k), "expected a name");
        if (!name) {
            return name.error();
        }
        h.varNames.push_back(std::move(*name));
    }

    decodeHeaderText(h);
    r.varNames = h.varNames;
    r.headerDone = true;
    return h;
}

Result<bool> DataFileReader::nextRecord(double& code, std::span<double> values)
{
    Impl& r = *m_impl;
    assert(r.headerDone);
    assert(values.size() == r.varNames.size());
    if (r.failure) {
        return *r.failure;
    }
    // The end of the file is tested before each record.
    if (!r.skipToField()) {
        if (r.readErrno != 0) {
            return r.readFailure();
        }
        return false;
    }
    const long number = r.records + 1;
    // Field names are built only on failure: this loop runs for every value of the file.
    const auto codeField = [number] {
        return "population code of record " + std::to_string(number);
    };
    const auto valueField = [&r, number](std::size_t k) {
        const std::string& name = r.varNames[k];
        return "value of variable " + (name.empty() ? std::to_string(k + 1) : shownText(name)) +
               " in record " + std::to_string(number);
    };
    static const std::string expected = "expected a number";

    if (!r.readRecordNumber(code)) {
        return r.fail(codeField(), expected, r.badRecordField);
    }
    if (std::isnan(code)) {
        return r.fail(codeField(),
                      "expected a number (a population code cannot be missing)",
                      "the missing-value marker");
    }
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (!r.readRecordNumber(values[k])) {
            if (r.badRecordField.empty()) {
                return r.endOfFile(valueField(k), expected);
            }
            return r.fail(valueField(k), expected, r.badRecordField);
        }
    }
    ++r.records;
    return true;
}

std::unique_ptr<ParallelRecordReader> DataFileReader::parallelRecords(unsigned threads,
                                                                      std::size_t blockBytes) const
{
    const Impl& r = *m_impl;
    assert(r.headerDone);
    if (!r.file || r.records > 0 || r.failure) {
        return nullptr;
    }
    try {
        return std::make_unique<ParallelRecordReader>(
            fileno(r.file.get()), r.bufOffset + r.pos, r.varNames.size(), threads, blockBytes);
    } catch (const std::system_error&) {
        return nullptr; // no threads to be had: the sequential reader does the work
    }
}

long DataFileReader::recordsRead() const
{
    return m_impl->records;
}

FileStamp DataFileReader::fileStamp() const
{
    return m_impl->file ? stampOf(m_impl->file.get()) : FileStamp{};
}

std::uint64_t DataFileReader::bytesRead() const
{
    return m_impl->fetched - (m_impl->end - m_impl->pos);
}

std::uint64_t DataFileReader::sizeBytes() const
{
    return m_impl->size;
}

DataSet dataSetFromHeader(const DataFileHeader& header, const std::filesystem::path& path)
{
    DataSet d;
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    d.dataPath = pathText(ec ? path : full.lexically_normal());
    d.popCount = header.popCount;
    d.varCount = header.varCount;
    d.popNames.reserve(header.populations.size());
    for (const PopulationEntry& p : header.populations) {
        d.popNames.push_back(p.name);
    }
    d.varNames = header.varNames;
    // Populations 2..P whose size equals population 1's, compared as 32-bit floats; with
    // one population the count is 0 = P - 1, so a single population counts as equal.
    const float first = header.populations.front().size;
    int same = 0;
    for (std::size_t i = 1; i < header.populations.size(); ++i) {
        if (header.populations[i].size == first) {
            ++same;
        }
    }
    d.equalSizes = same == header.popCount - 1;
    return d;
}

Result<DataSet> loadDataSet(const std::filesystem::path& path)
{
    Result<DataFileReader> reader = DataFileReader::open(path);
    if (!reader) {
        return reader.error();
    }
    Result<DataFileHeader> header = reader->readHeader();
    if (!header) {
        return header.error();
    }
    return dataSetFromHeader(*header, path);
}

Result<DataSet> loadHeldDataSet(std::shared_ptr<const std::string> text, const std::string& name)
{
    Result<DataFileReader> reader = DataFileReader::fromBuffer(*text, name);
    if (!reader) {
        return reader.error();
    }
    Result<DataFileHeader> header = reader->readHeader();
    if (!header) {
        return header.error();
    }
    DataSet dataSet = dataSetFromHeader(*header, name);
    dataSet.dataPath = name; // a name, not a path of this machine
    dataSet.heldText = std::move(text);
    return dataSet;
}

Result<DataFileReader> openDataSet(const DataSet& dataSet)
{
    if (dataSet.heldText) {
        return DataFileReader::fromBuffer(*dataSet.heldText, dataSet.dataPath);
    }
    return DataFileReader::open(pathFromText(dataSet.dataPath));
}

} // namespace tavrik
