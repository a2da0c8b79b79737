// The CSV import: reading CSV text, telling numbers, previewing the rows, census sizes, and
// the .tvk text, which must read back to the same data. That it gives the same analysis as a
// data file typed by hand is checked through tavrik-batch.

#include "datafile/CsvImport.h"

#include "datafile/DataFileReader.h"
#include "datafile/TvkWriter.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "ReaderTestSupport.h"

namespace {

using tavrik::CellStatus;
using tavrik::CsvTable;
using tavrik::ImportPlan;
using tavrik::test::dataFile;
using tavrik::test::ScratchFile;

CsvTable table(const std::string& text)
{
    auto read = tavrik::readCsvText(text, "data.csv");
    EXPECT_TRUE(read.ok()) << read.error().message;
    return read.ok() ? *read : CsvTable{};
}

std::string errorOf(const std::string& text)
{
    auto read = tavrik::readCsvText(text, "data.csv");
    EXPECT_FALSE(read.ok());
    return read.ok() ? std::string() : read.error().message;
}

std::uint64_t bits(double v)
{
    return std::bit_cast<std::uint64_t>(v);
}

// ---- reading CSV text ----

TEST(CsvReader, QuotedFieldsKeepSeparatorsDoubledQuotesAndLineBreaks)
{
    const CsvTable t = table("Pop,Note,X\n"
                             "\"Coast, north\",\"said \"\"no\"\"\",1\n"
                             "Aven,\"two\nlines\",2\n"
                             "  Hills  , \"  kept  \" ,3\n");
    EXPECT_EQ(t.separator, ',');
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0].cells[0], "Coast, north");
    EXPECT_EQ(t.rows[0].cells[1], "said \"no\"");
    EXPECT_EQ(t.rows[1].cells[1], "two\nlines");
    EXPECT_EQ(t.rows[2].cells[0], "Hills");
    EXPECT_EQ(t.rows[2].cells[1], "  kept  ");
    // the line break inside the quotes moves the next row down one line
    EXPECT_EQ(t.rows[0].line, 2);
    EXPECT_EQ(t.rows[1].line, 3);
    EXPECT_EQ(t.rows[2].line, 5);
}

TEST(CsvReader, FindsSemicolonsOutsideQuotesAndReadsDecimalCommas)
{
    const CsvTable t = table("Pop;\"Length, mm\";Width\nA;1,5;2\nB;-0,25;3e2\n");
    EXPECT_EQ(t.separator, ';');
    ASSERT_EQ(t.header.size(), 3u);
    EXPECT_EQ(t.header[1], "Length, mm");
    double v = 0.0;
    EXPECT_EQ(tavrik::parseCell(t.rows[1].cells[1], ';', v), CellStatus::Number);
    EXPECT_EQ(v, -0.25);
    // a decimal comma means nothing in a comma file, where it cannot occur unquoted anyway
    EXPECT_EQ(tavrik::parseCell("1,5", ',', v), CellStatus::NotNumber);
    EXPECT_EQ(tavrik::parseCell("1.000,5", ';', v), CellStatus::NotNumber);
}

TEST(CsvReader, SkipsByteOrderMarkAndBlankLinesAndCountsCrLfLines)
{
    const CsvTable t = table("\xEF\xBB\xBFPop,X\r\n\r\nA,1\r\n , \r\nB,2\r\n\r\n,\r\n");
    EXPECT_EQ(t.header[0], "Pop");
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0].line, 3);
    EXPECT_EQ(t.rows[1].line, 5);
    EXPECT_EQ(t.rows[1].cells[1], "2");
}

TEST(CsvReader, ReadsTextThatIsNotUtf8AsLatin1)
{
    const CsvTable t = table("Pop,X\nK\xF6ln,1\n");
    EXPECT_EQ(t.rows.at(0).cells[0], "K\xC3\xB6ln");
}

TEST(CsvReader, HeaderOnlyFileHasNoRowsAndImportsNothing)
{
    const CsvTable t = table("Pop,X,Y\n");
    EXPECT_EQ(t.header.size(), 3u);
    EXPECT_TRUE(t.rows.empty());
    ImportPlan plan;
    plan.variableColumns = {1, 2};
    auto text = tavrik::tvkText(t, plan);
    ASSERT_FALSE(text.ok());
    EXPECT_EQ(text.error().message, "data.csv: no data rows below the header");
}

TEST(CsvReader, RefusesMalformedTextNamingTheLine)
{
    EXPECT_EQ(errorOf("Pop,X,Y\nA,1,2\nB,3\n"),
              "data.csv, line 3: expected 3 fields as in the header row, found 2");
    EXPECT_EQ(errorOf("Pop,X\nA,1\n\"B,2\nC,3\n"),
              "data.csv, line 3, position 1: the quoted field that starts here has no closing "
              "quote");
    EXPECT_EQ(errorOf("Pop,X\n\"A\"x,1\n"),
              "data.csv, line 2, position 4: expected ',' or the end of the line after the "
              "closing quote, found \"x\"");
    EXPECT_EQ(errorOf("\n  \n"),
              "data.csv: the file is empty; expected a header row of column names");
    auto missing = tavrik::readCsv(dataFile("csv_no_such_file.csv"));
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.error().message.find("csv_no_such_file.csv"), std::string::npos);
}

// ---- numbers and columns ----

TEST(CsvColumns, CellsAreNumbersOnlyWhenTheWholeTextIsOne)
{
    struct Case
    {
        const char* text;
        CellStatus status;
        double value;
    };
    const Case cases[] = {
        {"12", CellStatus::Number, 12.0},
        {"+2.5", CellStatus::Number, 2.5},
        {".5", CellStatus::Number, 0.5},
        {"5.", CellStatus::Number, 5.0},
        {"-1e-3", CellStatus::Number, -0.001},
        {"1E3", CellStatus::Number, 1000.0},
        {"", CellStatus::Empty, 0.0},
        {"l.25", CellStatus::NotNumber, 0.0},
        {"1.2.3", CellStatus::NotNumber, 0.0},
        {"1e", CellStatus::NotNumber, 0.0},
        {"inf", CellStatus::NotNumber, 0.0},
        {"nan", CellStatus::NotNumber, 0.0},
        {"0x10", CellStatus::NotNumber, 0.0},
        {"1 000", CellStatus::NotNumber, 0.0},
        {"NA", CellStatus::NotNumber, 0.0},
        {"1e999", CellStatus::OutOfRange, 0.0},
    };
    for (const Case& c : cases) {
        double v = 0.0;
        EXPECT_EQ(tavrik::parseCell(c.text, ',', v), c.status) << c.text;
        if (c.status == CellStatus::Number) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(CsvColumns, PreselectNumericColumnsAfterTheFirstTextColumn)
{
    const CsvTable t = table("ID,Pop,X,Note,Y,Empty\n"
                             "1,A,1.5,ok,,\n"
                             "2,B,2,,7,\n"
                             "3,A,x3,,8,\n");
    const auto columns = tavrik::analyseColumns(t);
    ASSERT_EQ(columns.size(), 6u);
    EXPECT_TRUE(columns[0].numeric);
    EXPECT_FALSE(columns[1].numeric);
    EXPECT_FALSE(columns[2].numeric); // one cell is "x3"
    EXPECT_FALSE(columns[3].numeric);
    EXPECT_TRUE(columns[4].numeric);  // an empty cell does not spoil a column
    EXPECT_FALSE(columns[5].numeric); // nothing in it at all
    EXPECT_EQ(columns[4].filled, 2);

    const ImportPlan plan = tavrik::defaultPlan(t);
    EXPECT_EQ(plan.populationColumn, 1u);
    EXPECT_EQ(plan.variableColumns, (std::vector<std::size_t>{0, 4}));
    EXPECT_EQ(plan.title, "data");

    EXPECT_EQ(tavrik::findColumn(t, "Y").value(), 4u);
    EXPECT_EQ(tavrik::findColumn(t, "y").error().message, "data.csv: no column is called \"y\"");
    const CsvTable twice = table("A,B,A\n1,2,3\n");
    EXPECT_EQ(tavrik::findColumn(twice, "A").error().message,
              "data.csv: columns 1 and 3 are both called \"A\"");
}

// ---- preview and rows left out ----

TEST(CsvPreview, CountsPopulationsInOrderOfFirstAppearanceAndNamesRowsLeftOut)
{
    const CsvTable t = table("Pop,X,Y\n"
                             "B,1,2\n"
                             "A,3,\n" // line 3: no Y
                             "B,5,6\n"
                             ",7,8\n" // line 5: no population
                             "A,9,10\n"
                             "C,l.25,1\n" // line 7: not a number
                             "A,1,1\n");
    const auto p = tavrik::preview(t, 0, {1, 2});
    ASSERT_EQ(p.populations.size(), 2u); // C has no row left
    EXPECT_EQ(p.populations[0].name, "B");
    EXPECT_EQ(p.populations[0].sampleSize, 2);
    EXPECT_EQ(p.populations[1].name, "A");
    EXPECT_EQ(p.populations[1].sampleSize, 2);
    EXPECT_EQ(p.keptRows, 4);
    ASSERT_EQ(p.leftOut.size(), 3u);
    EXPECT_EQ(p.leftOut[0].reason, "line 3, column 3 (Y): no value");
    EXPECT_EQ(p.leftOut[1].reason, "line 5, column 1 (Pop): no population");
    EXPECT_EQ(p.leftOut[2].reason, "line 7, column 2 (X): expected a number, found \"l.25\"");
    EXPECT_EQ(tavrik::leftOutSummary(p),
              "3 rows have a missing or non-numeric value or no population and would be left "
              "out: lines 3, 5, 7.");

    // only the chosen variables count: without Y, line 3 is kept
    EXPECT_EQ(tavrik::preview(t, 0, {1}).leftOut.size(), 2u);

    ImportPlan plan;
    plan.variableColumns = {1, 2};
    auto refused = tavrik::tvkText(t, plan);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message,
              "data.csv, line 3, column 3 (Y): no value (and 2 more rows)");
    EXPECT_EQ(refused.error().line, 3);

    plan.leaveOutRows = true;
    plan.title = "T";
    auto text = tavrik::tvkText(t, plan);
    ASSERT_TRUE(text.ok()) << text.error().message;
    EXPECT_EQ(*text,
              "\"T\"\r\n2, 2\r\n\"B\", 1, 100\r\n\"A\", 2, 100\r\n\"X\", \"Y\"\r\n"
              "1, 1, 2\r\n1, 5, 6\r\n2, 9, 10\r\n2, 1, 1\r\n");
}

TEST(CsvPreview, SummaryListsTwentyLinesAndCountsTheRest)
{
    std::string text = "Pop,X\n";
    for (int i = 0; i < 25; ++i) {
        text += "A,\n";
    }
    const auto p = tavrik::preview(table(text), 0, {1});
    const std::string summary = tavrik::leftOutSummary(p);
    EXPECT_NE(summary.find("25 rows have"), std::string::npos);
    EXPECT_NE(summary.find("lines 2, 3,"), std::string::npos);
    EXPECT_NE(summary.find(", 21 and 5 more."), std::string::npos);

    ImportPlan plan;
    plan.variableColumns = {1};
    plan.leaveOutRows = true;
    auto none = tavrik::tvkText(table(text), plan);
    ASSERT_FALSE(none.ok());
    EXPECT_NE(none.error().message.find("no row is left"), std::string::npos);
}

TEST(CsvPlan, RefusesChoicesThatMakeNoDataFile)
{
    const CsvTable t = table("Pop,X,Y\nA,1,2\nB,3,4\n");
    const auto message = [&t](ImportPlan plan) {
        auto text = tavrik::tvkText(t, plan);
        EXPECT_FALSE(text.ok());
        return text.ok() ? std::string() : text.error().message;
    };
    ImportPlan plan;
    EXPECT_EQ(message(plan), "data.csv: no variable column is chosen");
    plan.variableColumns = {1, 0};
    EXPECT_EQ(message(plan),
              "data.csv: column 1 (Pop) holds the populations and cannot also be a variable");
    plan.variableColumns = {2, 2};
    EXPECT_EQ(message(plan), "data.csv: column 3 (Y) is chosen twice as a variable");
    plan.variableColumns = {1, 3};
    EXPECT_EQ(message(plan),
              "data.csv: the variable column 4 does not exist; the file has 3 columns");

    plan.variableColumns = {1};
    plan.censusSizes = {{"A", 10.0f}};
    EXPECT_EQ(message(plan), "data.csv: no census size is given for population \"B\"");
    plan.censusSizes = {{"A", 10.0f}, {"B", 20.0f}, {"b", 5.0f}};
    EXPECT_EQ(message(plan),
              "data.csv: a census size is given for \"b\", which is no population of column 1 "
              "(Pop)");
    plan.censusSizes = {{"A", 10.0f}, {"B", 0.0f}};
    EXPECT_EQ(message(plan),
              "data.csv: the census size of population \"B\" must be a number above 0, found 0");
}

TEST(CsvPlan, RefusesMorePopulationsThanADataFileCounts)
{
    std::string text = "Pop,X\n";
    for (int i = 0; i < 32768; ++i) {
        text += "P" + std::to_string(i) + ",1\n";
    }
    ImportPlan plan;
    plan.variableColumns = {1};
    auto result = tavrik::tvkText(table(text), plan);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().message,
              "data.csv, column 1 (Pop): holds 32768 populations; a data file holds at most "
              "32767");
}

// ---- census sizes ----

TEST(CensusSizes, ReadWithOrWithoutHeaderAndRefuseBadLines)
{
    auto withHeader = tavrik::readCensusSizes(dataFile("csv_census.csv"));
    ASSERT_TRUE(withHeader.ok()) << withHeader.error().message;
    EXPECT_EQ(withHeader->size(), 3u);
    EXPECT_EQ(withHeader->at("Brisk \"old\" town"), 300.0f);

    auto bare = tavrik::readCensusSizesText("North;150,3\nSouth;2e3\n", "sizes.csv");
    ASSERT_TRUE(bare.ok()) << bare.error().message;
    EXPECT_EQ(bare->at("North"), std::strtof("150.3", nullptr)); // rounded once, to float
    EXPECT_EQ(bare->at("South"), 2000.0f);

    const auto error = [](const std::string& text) {
        auto sizes = tavrik::readCensusSizesText(text, "sizes.csv");
        EXPECT_FALSE(sizes.ok());
        return sizes.ok() ? std::string() : sizes.error().message;
    };
    EXPECT_EQ(error("Name,Size\nA,1\n\nA,2\n"),
              "sizes.csv, line 4, column 1: population \"A\" was already given on line 2");
    EXPECT_EQ(error("Name,Size\nA,-1\n"),
              "sizes.csv, line 2, column 2: expected a census size above 0, found \"-1\"");
    EXPECT_EQ(error("Name,Size\nA,\n"),
              "sizes.csv, line 2, column 2: expected a census size above 0, found an empty field");
    EXPECT_EQ(error("Name,Size\nA,1e39\n"),
              "sizes.csv, line 2, column 2: expected a census size above 0, found \"1e39\"");
    EXPECT_EQ(error("Name,Size,Extra\n"),
              "sizes.csv, line 1: expected two columns, population name and census size, found 3");
    EXPECT_EQ(error("Name,Size\n"), "sizes.csv: no census sizes are given");
}

// ---- round trip through the data file reader ----

TEST(CsvRoundTrip, WrittenFileReadsBackTheSameNamesCodesSizesAndValuesBitForBit)
{
    // Values chosen for their decimal text: 0.1 is inexact, 1e-300 and 5e-324 are tiny, the
    // long one needs 17 digits, -0 keeps its sign bit.
    const std::vector<std::string> x = {
        "0.1", "-0", "123456789.12345678", "1e-300", "1.7976931348623157e308", "5e-324"};
    const std::vector<std::string> y = {"3", "2.5e10", "-7.125", "0.30000000000000004", "1", "2"};
    std::string csv = "Y;\"Group \"\"a\"\"\";X\r\n";
    const char* groups[] = {"Two\nlines", "K\xC3\xB6ln", "Two\nlines", "3", "K\xC3\xB6ln", "3"};
    for (std::size_t r = 0; r < x.size(); ++r) {
        csv += y[r] + ";\"" + groups[r] + "\";" + x[r] + "\r\n";
    }
    const CsvTable t = table(csv);
    ImportPlan plan;
    plan.populationColumn = 1;
    plan.variableColumns = {2, 0};
    plan.title = "Say \"cheese\", twice";
    plan.censusSizes = {{"Two\nlines", 150.3f}, {"K\xC3\xB6ln", 1e30f}, {"3", 0.001f}};
    auto text = tavrik::tvkText(t, plan);
    ASSERT_TRUE(text.ok()) << text.error().message;

    ScratchFile file(*text);
    auto loaded = tavrik::loadDataSet(file.path());
    ASSERT_TRUE(loaded.ok()) << loaded.error().message;
    EXPECT_EQ(loaded->popNames, (std::vector<std::string>{"Two lines", "K\xC3\xB6ln", "3"}));
    EXPECT_EQ(loaded->varNames, (std::vector<std::string>{"X", "Y"}));
    EXPECT_EQ(loaded->equalSizes, 0);

    const auto contents = tavrik::test::readAll(tavrik::DataFileReader::open(file.path()));
    ASSERT_FALSE(contents.failed) << contents.error.message;
    EXPECT_EQ(contents.header.title, "Say 'cheese', twice");
    ASSERT_EQ(contents.header.populations.size(), 3u);
    const float sizes[] = {150.3f, 1e30f, 0.001f};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(contents.header.populations[i].code, static_cast<std::int16_t>(i + 1));
        EXPECT_EQ(std::bit_cast<std::uint32_t>(contents.header.populations[i].size),
                  std::bit_cast<std::uint32_t>(sizes[i]));
    }
    const double codes[] = {1, 2, 1, 3, 2, 3};
    ASSERT_EQ(contents.records.size(), x.size());
    for (std::size_t r = 0; r < x.size(); ++r) {
        EXPECT_EQ(contents.records[r].code, codes[r]);
        EXPECT_EQ(bits(contents.records[r].values[0]), bits(std::strtod(x[r].c_str(), nullptr)))
            << x[r];
        EXPECT_EQ(bits(contents.records[r].values[1]), bits(std::strtod(y[r].c_str(), nullptr)))
            << y[r];
    }
}

TEST(CsvRoundTrip, WriterRefusesWhatTheFormatCannotHold)
{
    tavrik::DataFileHeader h;
    h.popCount = 1;
    h.varCount = 1;
    h.populations = {{"A", 1, 0.0f}};
    h.varNames = {"X"};
    EXPECT_FALSE(tavrik::TvkWriter::start(h).ok());
    h.populations[0].size = 1.0f;
    h.varCount = 2;
    EXPECT_FALSE(tavrik::TvkWriter::start(h).ok());
    h.varCount = 1;
    auto writer = tavrik::TvkWriter::start(h);
    ASSERT_TRUE(writer.ok());
    const std::string before = writer->text();
    const double inf[] = {HUGE_VAL};
    EXPECT_FALSE(writer->addRecord(1, inf).ok());
    const double two[] = {1.0, 2.0};
    EXPECT_FALSE(writer->addRecord(1, two).ok());
    EXPECT_EQ(writer->text(), before);
    EXPECT_EQ(writer->recordCount(), 0);
}

} // namespace
