#include "io/TextEncoding.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ReaderTestSupport.h"

namespace tavrik::test {
namespace {

constexpr const char* header = "T\n1,2\nA,1,5\nStature, Head length\n"; // 4 lines

TEST(DataFileReadErrors, NameFileLineFieldAndWhatWasFound)
{
    const std::string count = "expected a whole number from 1 to 32767, found ";
    const std::string code = "expected a whole number from -32768 to 32767, found ";
    const std::string size = "expected a number of 0 or more, found ";
    const std::string number = "expected a number, found ";
    const std::string end = "the end of the file";
    const std::string rec = header;
    const std::string stature1 = "value of variable Stature in record 1";
    const std::string length1 = "value of variable Head length in record 1";
    const std::string stature2 = "value of variable Stature in record 2";
    const struct
    {
        std::string text;
        long line;
        std::string field;
        std::string complaint; // what follows "<field>: "
    } cases[] = {
        {"", 1, "title", "expected the title, found " + end},
        {"\n\n  \n", 1, "title", "expected the title, found " + end},
        {"\"Skulls\n3,1", 1, "title", "expected a closing quote, found the end of the line"},
        {"T\n", 1, "population count", count + end},
        {"T\n0, 2", 2, "population count", count + "\"0\""},
        {"T\n-3, 2", 2, "population count", count + "\"-3\""},
        {"T\n2.5, 2", 2, "population count", count + "\"2.5\""},
        {"T\n32768, 2", 2, "population count", count + "\"32768\""},
        {"T\n, 2", 2, "population count", count + "an empty field"},
        {"T\n3\n\n 0", 4, "variable count", count + "\"0\""},
        {"T\n1,1\nA, 40000, 5", 3, "code of population 1", code + "\"40000\""},
        {"T\n1,1\nA, -32769, 5", 3, "code of population 1", code + "\"-32769\""},
        {"T\n1,1\nA, 1.5, 5", 3, "code of population 1", code + "\"1.5\""},
        {"T\n1,1\nA, one, 5", 3, "code of population 1", code + "\"one\""},
        {"T\n1,1\nA, 1,, X", 3, "population size of population 1", size + "an empty field"},
        {"T\n1,1\nA, 1, -5, X", 3, "population size of population 1", size + "\"-5\""},
        {"T\n1,1\nA, 1, 1e39, X",
         3,
         "population size of population 1",
         size + "\"1e39\", which is out of range"},
        {"T\n1,1\nA, 1, nan, X", 3, "population size of population 1", size + "\"nan\""},
        {"T\n2,1\nA, 1, 5\n", 3, "name of population 2", "expected a name, found " + end},
        {"T\n2,1\nA, 1, 5\n\"B\" x, 2, 5",
         4,
         "name of population 2",
         "expected a comma or the end of the line after the closing quote, found \"x\""},
        {"T\n1,3\nA, 1, 5\nX, Y\n", 4, "name of variable 3", "expected a name, found " + end},
        {rec + "1, 2, 3\n1, l.25, 3", 6, stature2, number + "\"l.25\""},
        {rec + "x, 2, 3", 5, "population code of record 1", number + "\"x\""},
        {rec + "1, 2,, 3", 5, length1, number + "an empty field"},
        {rec + "1, 2\n\n", 5, length1, number + end},
        {rec + "1, 2, 3\n4\n", 6, stature2, number + end},
        {rec + "1, 2, 1.5x", 5, length1, number + "\"1.5x\""},
        {rec + "1, inf, 3", 5, stature1, number + "\"inf\""},
        {rec + "1, 1e400, 3", 5, stature1, number + "\"1e400\", which is out of range"},
        {"T\n1,2\nA,1,5\nStature, \"\"\n1, 2, -",
         5,
         "value of variable 2 in record 1",
         number + "\"-\""},
        {"T\n1,1\nA,1,5\nX\n1, 123456789012345678901234567890123456789012345x",
         5,
         "value of variable X in record 1",
         number + "\"1234567890123456789012345678901234567890...\""},
    };
    for (const auto& b : cases) {
        SCOPED_TRACE(b.text);
        Contents c = readText(b.text);
        ASSERT_TRUE(c.failed) << "accepted";
        EXPECT_EQ(c.error.kind, ErrorKind::DataFile);
        EXPECT_EQ(c.error.path, "pops.tvk");
        EXPECT_EQ(c.error.line, b.line);
        EXPECT_EQ(c.error.field, b.field);
        EXPECT_EQ(c.error.message,
                  "pops.tvk, line " + std::to_string(b.line) + ", " + b.field + ": " + b.complaint);

        // The same when the bytes arrive one at a time.
        Contents piecemeal = readAll(DataFileReader::fromBuffer(b.text, "pops.tvk", 1));
        EXPECT_EQ(piecemeal.error.message, c.error.message);
    }
}

TEST(DataFileReadErrors, NamedFilesReportTheLineOfTheBadField)
{
    Contents bad = readAll(DataFileReader::open(dataFile("record_bad_value.tvk")));
    ASSERT_TRUE(bad.failed);
    EXPECT_EQ(bad.records.size(), 3u);
    EXPECT_EQ(bad.error.message,
              "record_bad_value.tvk, line 10, value of variable Head length in record 4: "
              "expected a number, found \"l.25\"");
    EXPECT_EQ(bad.error.path, dataFile("record_bad_value.tvk").string());

    Contents shortLast = readAll(DataFileReader::open(dataFile("record_short_last.tvk")));
    ASSERT_TRUE(shortLast.failed);
    EXPECT_EQ(shortLast.error.message,
              "record_short_last.tvk, line 7, value of variable Head length in record 2: "
              "expected a number, found the end of the file");
}

TEST(DataFileReadErrors, HeaderOnlyNeedsTheHeaderToBeComplete)
{
    // File Open reads the header alone, so a broken last record does not stop it.
    Result<DataSet> d = loadDataSet(dataFile("record_short_last.tvk"));
    ASSERT_TRUE(d.ok()) << d.error().message;
    EXPECT_EQ(d->popCount, 2);
}

TEST(DataFileReadErrors, UnopenableFileGivesPathAndSystemReason)
{
    const std::filesystem::path missing = dataFile("no_such_file.tvk");
    Result<DataFileReader> r = DataFileReader::open(missing);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind, ErrorKind::DataFile);
    EXPECT_EQ(r.error().path, missing.string());
    EXPECT_EQ(r.error().message, "cannot open " + missing.string() + ": " + std::strerror(ENOENT));

    Result<DataFileReader> dir = DataFileReader::open(TAVRIK_TEST_DATA);
    ASSERT_FALSE(dir.ok());
    EXPECT_EQ(dir.error().message,
              "cannot open " + std::string(TAVRIK_TEST_DATA) + ": " + std::strerror(EISDIR));
}

TEST(DataFileReadErrors, NamesInMessagesHaveTheirControlCharactersReplaced)
{
    Contents c = readText("T\n1,1\nA,1,5\n\"Sta\x1b[2Jture\"\n1, x\n");
    ASSERT_TRUE(c.failed);
    EXPECT_EQ(c.error.field, "value of variable Sta\\x1B[2Jture in record 1");
    EXPECT_EQ(c.error.message.find('\x1b'), std::string::npos) << c.error.message;

    // a Latin-1 header: its byte 0x85 becomes U+0085, a control all the same
    c = readText("T\n1,1\nA,1,5\nSta\x85ture\n1, x\n");
    ASSERT_TRUE(c.failed);
    EXPECT_EQ(c.error.field, "value of variable Sta\\x85ture in record 1");
}

TEST(MessageText, EscapesWhatATerminalWouldObeyAndKeepsOtherText)
{
    const struct
    {
        std::string raw;
        std::string quoted;
    } cases[] = {
        {"Tab\there\x7F", "\"Tab\\x09here\\x7F\""},
        {"NEL\xC2\x85 CSI\xC2\x9B"
         "2J",
         "\"NEL\\x85 CSI\\x9B2J\""},                              // C1 written as UTF-8
        {"Latin\x85\x9B\xE9", "\"Latin\\x85\\x9B\xC3\xA9\""},     // the same bytes as Latin-1
        {"g\xE2\x80\xAAh\xE2\x80\xAEk", "\"g\\u202Ah\\u202Ek\""}, // embedding, override
        {"m\xE2\x81\xA6n\xE2\x81\xA9p", "\"m\\u2066n\\u2069p\""}, // isolates
        // their neighbours are text: no-break space, paragraph separator, U+206A
        {"\xC2\xA0\xE2\x80\xA9\xE2\x81\xAA", "\"\xC2\xA0\xE2\x80\xA9\xE2\x81\xAA\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quoteFound(c.raw), c.quoted);
    }
    // A message pieced together from text and a path that is no UTF-8: its line ends stay.
    EXPECT_EQ(escapedText("line 1\nfile \xFF\xE2\x80\xAE\r", true),
              "line 1\nfile \\xFF\\u202E\\x0D");
    EXPECT_EQ(escapedText("a\nb"), "a\\x0Ab");
}

TEST(MessageText, NameListsShowFiveNamesAndCountTheRest)
{
    const std::vector<std::string> five = {"A", "B", "C", "D", "E\x1B"};
    EXPECT_EQ(quotedNameList(five), "\"A\", \"B\", \"C\", \"D\", \"E\\x1B\"");
    std::vector<std::string> six = five;
    six.push_back("F");
    EXPECT_EQ(quotedNameList(six), "\"A\", \"B\", \"C\", \"D\", \"E\\x1B\" and 1 more");
    EXPECT_EQ(quotedNameList({}), "");
}

TEST(DataFileReadErrors, ErrorIsRepeatedOnceTheReaderHasFailed)
{
    Result<DataFileReader> r =
        DataFileReader::fromBuffer(std::string(header) + "1, x, 2\n3,4,5\n", "pops.tvk");
    ASSERT_TRUE(r.ok());
    ASSERT_TRUE(r->readHeader().ok());
    double code = 0.0;
    std::vector<double> v(2);
    Result<bool> first = r->nextRecord(code, v);
    Result<bool> again = r->nextRecord(code, v);
    ASSERT_FALSE(first.ok());
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.error().message, first.error().message);
    EXPECT_EQ(r->recordsRead(), 0);
}

} // namespace
} // namespace tavrik::test
