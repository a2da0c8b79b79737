// The CSV import: reading CSV text, telling numbers, naming the columns that are not numeric,
// previewing the rows, census sizes, files that cannot be read twice, and the .tvk text, which
// must read back to the same data and names. That it gives the same analysis as a data file
// typed by hand is checked through tavrik-batch.

#include "datafile/CsvImport.h"

#include "datafile/DataFileReader.h"
#include "datafile/InputFile.h"
#include "datafile/TvkWriter.h"
#include "io/AtomicFile.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
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

struct Row
{
    long line = 0;
    std::vector<std::string> cells;
};

std::vector<Row> rowsOf(const CsvTable& t)
{
    std::vector<Row> rows;
    auto read = tavrik::readRows(t, [&rows](long line, std::vector<std::string>& cells) {
        rows.push_back(Row{line, cells});
        return true;
    });
    EXPECT_TRUE(read.ok()) << read.error().message;
    return rows;
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
    EXPECT_EQ(t.rowCount, 3);
    const std::vector<Row> rows = rowsOf(t);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].cells[0], "Coast, north");
    EXPECT_EQ(rows[0].cells[1], "said \"no\"");
    EXPECT_EQ(rows[1].cells[1], "two\nlines");
    EXPECT_EQ(rows[2].cells[0], "Hills");
    EXPECT_EQ(rows[2].cells[1], "  kept  ");
    // the line break inside the quotes moves the next row down one line
    EXPECT_EQ(rows[0].line, 2);
    EXPECT_EQ(rows[1].line, 3);
    EXPECT_EQ(rows[2].line, 5);
}

TEST(CsvReader, FindsSemicolonsOutsideQuotesAndReadsDecimalCommas)
{
    const CsvTable t = table("Pop;\"Length, mm\";Width\nA;1,5;2\nB;-0,25;3e2\n");
    EXPECT_EQ(t.separator, ';');
    ASSERT_EQ(t.header.size(), 3u);
    EXPECT_EQ(t.header[1], "Length, mm");
    double v = 0.0;
    EXPECT_EQ(tavrik::parseCell(rowsOf(t).at(1).cells[1], ';', v), CellStatus::Number);
    EXPECT_EQ(v, -0.25);
    // a decimal comma means nothing in a comma file, where it cannot occur unquoted anyway
    EXPECT_EQ(tavrik::parseCell("1,5", ',', v), CellStatus::NotNumber);
    EXPECT_EQ(tavrik::parseCell("1.000,5", ';', v), CellStatus::NotNumber);
}

TEST(CsvReader, SkipsByteOrderMarkAndBlankLinesAndCountsCrLfLines)
{
    const CsvTable t = table("\xEF\xBB\xBFPop,X\r\n\r\nA,1\r\n , \r\nB,2\r\n\r\n,\r\n");
    EXPECT_EQ(t.header[0], "Pop");
    const std::vector<Row> rows = rowsOf(t);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].line, 3);
    EXPECT_EQ(rows[1].line, 5);
    EXPECT_EQ(rows[1].cells[1], "2");
}

TEST(CsvReader, ReadsTextThatIsNotUtf8AsLatin1)
{
    // the one byte that is not UTF-8 comes last: the header is converted all the same
    const CsvTable t = table("Pop,Gr\xF6\xDF"
                             "e\nA,1\nK\xF6ln,2\n");
    EXPECT_TRUE(t.latin1);
    EXPECT_EQ(t.header[1],
              "Gr\xC3\xB6\xC3\x9F"
              "e");
    EXPECT_EQ(rowsOf(t).at(1).cells[0], "K\xC3\xB6ln");
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
    // a field too long to become a name is refused as it is read, not held
    EXPECT_EQ(errorOf("Pop,X\nA," + std::string(tavrik::fieldBufferBytes + 1, '7') + "\n"),
              "data.csv, line 2, position 3: the field that starts here is longer than " +
                  std::to_string(tavrik::maxNameBytes) +
                  " bytes, the longest name a data file holds");
    auto missing = tavrik::readCsv(dataFile("csv_no_such_file.csv"));
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.error().message.find("csv_no_such_file.csv"), std::string::npos);
}

TEST(CsvReader, RefusesAFileThatChangedAfterItsFirstPass)
{
    ScratchFile file("Pop,X\nA,1\nB,2\n");
    auto t = tavrik::readCsv(file.path());
    ASSERT_TRUE(t.ok()) << t.error().message;
    std::ofstream(file.path(), std::ios::binary | std::ios::app) << "C,3\n";
    ImportPlan plan;
    plan.variableColumns = {1};
    auto text = tavrik::tvkText(*t, plan);
    ASSERT_FALSE(text.ok());
    EXPECT_EQ(text.error().message,
              "scratch.tvk changed while it was being imported; import it again");
}

TEST(CsvReader, ATableChangedDuringTheImportLeavesEveryNameOfItsDataFileAsItWas)
{
    // Enough rows for the data file to be handed on in several pieces before the change shows.
    std::string csv = "Pop,X\n";
    for (int i = 0; i < 20000; ++i) {
        csv += (i % 2 == 0 ? "A," : "B,") + std::to_string(i) + ".25\n";
    }
    ScratchFile file(csv);
    const std::filesystem::path folder = file.path().parent_path();
    std::ofstream(folder / "kept.tvk", std::ios::binary) << "the data file kept before\r\n";
    std::filesystem::create_hard_link(folder / "kept.tvk", folder / "backup.tvk");
    auto t = tavrik::readCsv(file.path());
    ASSERT_TRUE(t.ok()) << t.error().message;
    ImportPlan plan;
    plan.variableColumns = {1};
    {
        tavrik::Result<tavrik::AtomicFile> target = tavrik::AtomicFile::open(folder / "kept.tvk");
        ASSERT_TRUE(target.ok()) << target.error().message;
        int pieces = 0;
        const tavrik::Status written =
            tavrik::writeTvk(*t, plan, [&](std::string_view piece) -> tavrik::Status {
                if (++pieces == 1) {
                    std::ofstream(file.path(), std::ios::binary | std::ios::app) << "C,1\n";
                }
                return target->write(piece);
            });
        ASSERT_FALSE(written.ok());
        EXPECT_GT(pieces, 1);
        EXPECT_EQ(written.error().message,
                  "scratch.tvk changed while it was being imported; import it again");
    }
    const std::string kept = "the data file kept before\r\n";
    for (const char* name : {"kept.tvk", "backup.tvk"}) {
        std::ifstream in(folder / name, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(bytes.substr(0, 2 * kept.size()), kept) << name; // a short excerpt if not
    }
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
        {"l.25", CellStatus::NotNumber, 0.0},
        {"1.2.3", CellStatus::NotNumber, 0.0},
        {"1e", CellStatus::NotNumber, 0.0},
        {"inf", CellStatus::NotNumber, 0.0},
        {"nan", CellStatus::NotNumber, 0.0},
        {"0x10", CellStatus::NotNumber, 0.0},
        {"1 000", CellStatus::NotNumber, 0.0},
        {"1e999", CellStatus::OutOfRange, 0.0},
        // missing: blank, or NA, N/A or "." in any case and with blanks around them
        {"", CellStatus::Missing, 0.0},
        {" \t ", CellStatus::Missing, 0.0},
        {"NA", CellStatus::Missing, 0.0},
        {"na", CellStatus::Missing, 0.0},
        {"nA", CellStatus::Missing, 0.0},
        {"N/A", CellStatus::Missing, 0.0},
        {"n/a", CellStatus::Missing, 0.0},
        {" . ", CellStatus::Missing, 0.0},
        // near misses are no markers: the column is left out and the cell named
        {"N.A.", CellStatus::NotNumber, 0.0},
        {"NAN", CellStatus::NotNumber, 0.0},
        {"#N/A", CellStatus::NotNumber, 0.0},
        {"..", CellStatus::NotNumber, 0.0},
        {"-", CellStatus::NotNumber, 0.0},
        {"NA5", CellStatus::NotNumber, 0.0},
        {"N A", CellStatus::NotNumber, 0.0},
        {" 12 ", CellStatus::NotNumber, 0.0}, // blanks that quotes kept
    };
    for (const Case& c : cases) {
        double v = 0.0;
        EXPECT_EQ(tavrik::parseCell(c.text, ',', v), c.status) << c.text;
        if (c.status == CellStatus::Number) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(CsvColumns, PreselectNumericColumnsAndNameTheFirstCellThatKeepsOthersOut)
{
    const CsvTable t = table("ID,Pop,X,Note,Y,Empty,Z\n"
                             "1,A,1.5,ok,,NA,1\n"
                             "2,B,2,,7,\" n/a\",NA\n"
                             "3,A,7O.5,,8,.,1e999\n");
    const auto& columns = t.columns;
    ASSERT_EQ(columns.size(), 7u);
    EXPECT_TRUE(columns[0].numeric);
    EXPECT_FALSE(columns[1].numeric);
    EXPECT_FALSE(columns[2].numeric); // one cell is "7O.5"
    EXPECT_FALSE(columns[3].numeric);
    EXPECT_TRUE(columns[4].numeric);  // an empty cell does not spoil a column
    EXPECT_FALSE(columns[5].numeric); // every value missing: nothing to analyse
    EXPECT_FALSE(columns[6].numeric); // the marker is passed over, the range is not
    EXPECT_EQ(columns[4].filled, 2);
    EXPECT_EQ(tavrik::columnProblem(t, 2),
              "column 3 (X): line 4 holds \"7O.5\", which is not a number");
    EXPECT_EQ(tavrik::columnProblem(t, 5), "column 6 (Empty): it holds no value");
    EXPECT_EQ(tavrik::columnProblem(t, 6),
              "column 7 (Z): line 4 holds \"1e999\", a number out of range");
    EXPECT_EQ(tavrik::columnProblem(t, 4), "");

    const ImportPlan plan = tavrik::defaultPlan(t);
    EXPECT_EQ(plan.populationColumn, 1u);
    EXPECT_EQ(plan.variableColumns, (std::vector<std::size_t>{0, 4}));
    EXPECT_EQ(plan.title, "data");

    EXPECT_EQ(tavrik::findColumn(t, "Y").value(), 4u);
    EXPECT_EQ(tavrik::findColumn(t, "y").error().message, "data.csv: no column is called \"y\"");
}

TEST(CsvColumns, NamesGivenTwiceOrWithLineBreaksAreMadeDataFileNamesWithANote)
{
    const CsvTable t = table("A,A_2,A,\"B\nmm\",B mm\n1,2,3,4,5\n");
    EXPECT_EQ(t.header, (std::vector<std::string>{"A", "A_2", "A_3", "B mm", "B mm_2"}));
    EXPECT_EQ(t.notes,
              (std::vector<std::string>{
                  "column 3 has the name of column 1, \"A\"; it is imported as \"A_3\"",
                  "column 4: the line break in \"B\\x0Amm\" becomes a blank",
                  "column 5 has the name of column 4, \"B mm\"; it is imported as \"B mm_2\""}));
    EXPECT_EQ(tavrik::findColumn(t, "A_3").value(), 2u);
}

// ---- preview and rows left out ----

TEST(CsvPreview, CountsPopulationsInOrderOfFirstAppearanceAndNamesRowsLeftOut)
{
    const CsvTable t = table("Pop,X,Y\n"
                             "B,1,2\n"
                             "A,3,\n" // line 3: no Y, kept
                             "B,5,6\n"
                             ",7,8\n" // line 5: no population
                             "A,9,10\n"
                             "C,l.25,1\n" // line 7: not a number
                             "n/a,1,2\n"  // line 8: no population either
                             "A,1,1\n");
    const auto previewed = tavrik::preview(t, 0, {1, 2});
    ASSERT_TRUE(previewed.ok()) << previewed.error().message;
    const tavrik::ImportPreview& p = *previewed;
    ASSERT_EQ(p.populations.size(), 2u); // C has no row left
    EXPECT_EQ(p.populations[0].name, "B");
    EXPECT_EQ(p.populations[0].sampleSize, 2);
    EXPECT_EQ(p.populations[1].name, "A");
    EXPECT_EQ(p.populations[1].sampleSize, 3);
    EXPECT_EQ(p.keptRows, 5);
    ASSERT_EQ(p.leftOut.size(), 3u);
    EXPECT_EQ(p.leftOut[0].reason, "line 5, column 1 (Pop): no population");
    EXPECT_EQ(p.leftOut[1].reason, "line 7, column 2 (X): expected a number, found \"l.25\"");
    EXPECT_EQ(p.leftOut[2].reason, "line 8, column 1 (Pop): no population (\"n/a\")");
    EXPECT_EQ(tavrik::leftOutSummary(p),
              "3 rows have a value that is not a number or no population and would be left "
              "out: lines 5, 7, 8.");

    // only the chosen variables count: without X, line 7 is kept
    EXPECT_EQ(tavrik::preview(t, 0, {2})->leftOutCount, 2);

    ImportPlan plan;
    plan.variableColumns = {1, 2};
    auto refused = tavrik::tvkText(t, plan);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message,
              "data.csv, line 5, column 1 (Pop): no population (and 2 more rows)");
    EXPECT_EQ(refused.error().line, 5);

    plan.leaveOutRows = true;
    plan.title = "T";
    auto text = tavrik::tvkText(t, plan);
    ASSERT_TRUE(text.ok()) << text.error().message;
    EXPECT_EQ(*text,
              "\"T\"\r\n2, 2\r\n\"B\", 1, 100\r\n\"A\", 2, 100\r\n\"X\", \"Y\"\r\n"
              "1, 1, 2\r\n2, 3, NA\r\n1, 5, 6\r\n2, 9, 10\r\n2, 1, 1\r\n");
}

TEST(CsvPreview, CountsTheMissingValuesOfTheRowsKeptByVariable)
{
    const CsvTable t = table("Pop,X,Y,Z\n"
                             "A,NA,1,\n"
                             "A,.,2,\n"
                             ",,3,\n" // no population: its missing X and Z are not written
                             "B,4,NA,5\n"
                             "B,n/a,N/A,6\n");
    const auto p = tavrik::preview(t, 0, {3, 1, 2});
    ASSERT_TRUE(p.ok()) << p.error().message;
    EXPECT_EQ(p->missing, (std::vector<long>{2, 3, 2}));
    EXPECT_EQ(p->missingCount, 7);
    EXPECT_EQ(tavrik::missingSummary(t, {3, 1, 2}, *p),
              "7 values are missing and are written as NA:\n"
              "  column 4 (Z): 2\n"
              "  column 2 (X): 3\n"
              "  column 3 (Y): 2");
}

TEST(CsvPreview, SummaryListsTwentyLinesAndCountsTheRest)
{
    std::string text = "Pop,X\n";
    for (int i = 0; i < 25; ++i) {
        text += ",1\n";
    }
    const auto p = tavrik::preview(table(text), 0, {1});
    EXPECT_EQ(p->leftOut.size(), 20u); // the count goes on, the reasons kept do not
    const std::string summary = tavrik::leftOutSummary(*p);
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
    const auto message = [&t](ImportPlan plan, const CsvTable* other = nullptr) {
        auto text = tavrik::tvkText(other != nullptr ? *other : t, plan);
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
    plan.censusSizes = {{"A", 10.0f}, {"B", -1.0f}};
    EXPECT_EQ(message(plan),
              "data.csv: the census size of population \"B\" must be a number of 0 or more, "
              "found -1");
    plan.censusSizes = {{"A", 10.0f}, {"B", 0.0f}}; // no weight, as a data file allows
    EXPECT_TRUE(tavrik::tvkText(t, plan).ok());

    plan.censusSizes.clear();
    const CsvTable headerOnly = table("Pop,X,Y\n");
    EXPECT_EQ(headerOnly.header.size(), 3u);
    EXPECT_EQ(headerOnly.rowCount, 0);
    EXPECT_EQ(message(plan, &headerOnly), "data.csv: no data rows below the header");

    std::string text = "Pop,X\n";
    for (int i = 0; i < 32768; ++i) {
        text += "P" + std::to_string(i) + ",1\n";
    }
    const CsvTable many = table(text);
    EXPECT_EQ(message(plan, &many),
              "data.csv, column 1 (Pop): holds more than 32767 populations, the most a data "
              "file holds");
}

// ---- census sizes ----

TEST(CensusSizes, ReadWithOrWithoutHeaderAndRefuseBadLines)
{
    auto withHeader = tavrik::readCensusSizes(dataFile("csv_census.csv"));
    ASSERT_TRUE(withHeader.ok()) << withHeader.error().message;
    EXPECT_EQ(withHeader->size(), 3u);
    EXPECT_EQ(withHeader->at("Brisk \"old\" town"), 300.0f);

    auto bare = tavrik::readCensusSizesText("North;150,3\nSouth;2e3\nEast;0\n", "sizes.csv");
    ASSERT_TRUE(bare.ok()) << bare.error().message;
    EXPECT_EQ(bare->at("North"), std::strtof("150.3", nullptr)); // rounded once, to float
    EXPECT_EQ(bare->at("South"), 2000.0f);
    EXPECT_EQ(bare->at("East"), 0.0f);

    const auto error = [](const std::string& text) {
        auto sizes = tavrik::readCensusSizesText(text, "sizes.csv");
        EXPECT_FALSE(sizes.ok());
        return sizes.ok() ? std::string() : sizes.error().message;
    };
    EXPECT_EQ(error("Name,Size\nA,1\n\nA,2\n"),
              "sizes.csv, line 4, column 1: population \"A\" was already given on line 2");
    EXPECT_EQ(error("Name,Size\nA,-1\n"),
              "sizes.csv, line 2, column 2: expected a census size of 0 or more, found \"-1\"");
    EXPECT_EQ(
        error("Name,Size\nA,\n"),
        "sizes.csv, line 2, column 2: expected a census size of 0 or more, found an empty field");
    EXPECT_EQ(error("Name,Size\nA,1e39\n"),
              "sizes.csv, line 2, column 2: expected a census size of 0 or more, found \"1e39\"");
    EXPECT_EQ(error("Name,Size,Extra\n"),
              "sizes.csv, line 1: expected two columns, population name and census size, found 3");
    EXPECT_EQ(error("Name,Size\n"), "sizes.csv: no census sizes are given");

    // as typed in the dialog
    const std::pair<const char*, const char*> typed[] = {
        {"abc", "\"abc\" is not a number"},
        {"-5", "\"-5\" is below 0"},
        {"", "no census size is given"},
        {"NA", "no census size is given"},
        {"1e39", "\"1e39\" is out of range"},
        {"0", ""},
        {"2,5", ""},
    };
    for (const auto& [text, problem] : typed) {
        float size = -1.0f;
        EXPECT_EQ(tavrik::censusSizeProblem(text, ';', size), problem) << text;
    }
}

// ---- round trip through the data file reader ----

TEST(CsvRoundTrip, WrittenFileReadsBackTheSameNamesCodesSizesAndValuesBitForBit)
{
    // Values chosen for their decimal text: 0.1 is inexact, 1e-300 and 5e-324 are tiny, the
    // long one needs 17 digits, -0 keeps its sign bit.
    const std::vector<std::string> x = {
        "0.1", "-0", "123456789.12345678", "1e-300", "1.7976931348623157e308", "5e-324"};
    const std::vector<std::string> y = {"3", "2.5e10", "-7.125", "0.30000000000000004", "1", "2"};
    // names with double quotes are kept, as a bare field of the data file holds them
    std::string csv = "\"Y \"\"mm\"\"\";\"Group \"\"a\"\"\";X\r\n";
    const char* groups[] = {"5'10\" tall", "K\xC3\xB6ln", "5'10\" tall", "3", "K\xC3\xB6ln", "3"};
    for (std::size_t r = 0; r < x.size(); ++r) {
        csv += y[r] + ";" + groups[r] + ";" + x[r] + "\r\n";
    }
    const CsvTable t = table(csv);
    ImportPlan plan;
    plan.populationColumn = 1;
    plan.variableColumns = {2, 0};
    plan.title = "Say \"cheese\" twice";
    plan.censusSizes = {{"5'10\" tall", 150.3f}, {"K\xC3\xB6ln", 1e30f}, {"3", 0.0f}};
    auto text = tavrik::tvkText(t, plan);
    ASSERT_TRUE(text.ok()) << text.error().message;

    ScratchFile file(*text);
    auto loaded = tavrik::loadDataSet(file.path());
    ASSERT_TRUE(loaded.ok()) << loaded.error().message;
    EXPECT_EQ(loaded->popNames, (std::vector<std::string>{"5'10\" tall", "K\xC3\xB6ln", "3"}));
    EXPECT_EQ(loaded->varNames, (std::vector<std::string>{"X", "Y \"mm\""}));
    EXPECT_FALSE(loaded->equalSizes);

    const auto contents = tavrik::test::readAll(tavrik::DataFileReader::open(file.path()));
    ASSERT_FALSE(contents.failed) << contents.error.message;
    EXPECT_EQ(contents.header.title, "Say \"cheese\" twice");
    ASSERT_EQ(contents.header.populations.size(), 3u);
    const float sizes[] = {150.3f, 1e30f, 0.0f};
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

TEST(CsvRoundTrip, MissingCellsAreWrittenAsNaAndReadBackAsMissing)
{
    // decimal commas, markers quoted and with blanks, a column with no value at all
    const CsvTable t = table("Site;Length;Width;Notes\r\n"
                             "North;1,5;\"NA\";\r\n"
                             "North;\" n/a \";2;.\r\n"
                             "South;.;3,25;NA\r\n"
                             "South;4;;\r\n");
    const ImportPlan plan = tavrik::defaultPlan(t);
    EXPECT_EQ(plan.populationColumn, 0u);
    EXPECT_EQ(plan.variableColumns, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(tavrik::columnProblem(t, 3), "column 4 (Notes): it holds no value");

    auto text = tavrik::tvkText(t, plan);
    ASSERT_TRUE(text.ok()) << text.error().message;
    EXPECT_EQ(*text,
              "\"data\"\r\n2, 2\r\n\"North\", 1, 100\r\n\"South\", 2, 100\r\n"
              "\"Length\", \"Width\"\r\n"
              "1, 1.5, NA\r\n1, NA, 2\r\n2, NA, 3.25\r\n2, 4, NA\r\n");

    ScratchFile file(*text);
    const auto contents = tavrik::test::readAll(tavrik::DataFileReader::open(file.path()));
    ASSERT_FALSE(contents.failed) << contents.error.message;
    ASSERT_EQ(contents.records.size(), 4u);
    const double na = std::nan("");
    const double expected[4][2] = {{1.5, na}, {na, 2.0}, {na, 3.25}, {4.0, na}};
    for (std::size_t r = 0; r < 4; ++r) {
        for (std::size_t k = 0; k < 2; ++k) {
            const double got = contents.records[r].values.at(k);
            if (std::isnan(expected[r][k])) {
                EXPECT_TRUE(std::isnan(got)) << "record " << r << ", value " << k;
            } else {
                EXPECT_EQ(got, expected[r][k]) << "record " << r << ", value " << k;
            }
        }
    }
}

TEST(CsvRoundTrip, NamesTheReaderWouldRefuseAreRefusedWithTheirColumnOrLine)
{
    const auto refusal = [](const std::string& csv, std::vector<std::size_t> variables) {
        ImportPlan plan;
        plan.variableColumns = std::move(variables);
        auto text = tavrik::tvkText(table(csv), plan);
        EXPECT_FALSE(text.ok());
        return text.ok() ? std::string() : text.error().message;
    };
    // the longest name the reader takes is written and read back; one byte more is refused
    const std::string longest(tavrik::maxNameBytes, 'n');
    ImportPlan plan;
    plan.variableColumns = {1};
    auto text = tavrik::tvkText(table("Pop," + longest + "\nA,1\n"), plan);
    ASSERT_TRUE(text.ok()) << text.error().message;
    ScratchFile file(*text);
    auto loaded = tavrik::loadDataSet(file.path());
    ASSERT_TRUE(loaded.ok()) << loaded.error().message;
    EXPECT_EQ(loaded->varNames, std::vector<std::string>{longest});
    EXPECT_EQ(refusal("Pop," + longest + "n\nA,1\n", {1}),
              "data.csv, line 1, column 2: the name cannot be a variable name: it is " +
                  std::to_string(tavrik::maxNameBytes + 1) +
                  " bytes long; a data file holds at most " + std::to_string(tavrik::maxNameBytes));

    EXPECT_EQ(refusal("Pop,\"X \"\"a\"\", b\"\nA,1\n", {1}),
              "data.csv, line 1, column 2: the name cannot be a variable name: it holds a double "
              "quote and a comma, which a data file cannot hold together");
    EXPECT_EQ(refusal("Pop,X\nA,1\n\"\"\"B\"\"\",2\n", {1}),
              "data.csv, line 3, column 1 (Pop): the population name \"\"B\"\" cannot be written: "
              "it starts with a double quote, which a data file cannot hold");
    EXPECT_EQ(
        refusal("Pop,X\nA,1\n\"B\nC\",2\n", {1}),
        "data.csv, line 3, column 1 (Pop): the population name \"B\\x0AC\" cannot be written: "
        "it holds a line break, which a data file cannot hold in a name");
}

TEST(CsvRoundTrip, WriterRefusesWhatTheFormatCannotHold)
{
    tavrik::DataFileHeader h;
    h.popCount = 1;
    h.varCount = 1;
    h.populations = {{"A", 1, -1.0f}};
    h.varNames = {"X"};
    EXPECT_FALSE(tavrik::TvkWriter::start(h).ok());
    h.populations[0].size = 0.0f;
    h.varNames = {"\"X\""};
    EXPECT_FALSE(tavrik::TvkWriter::start(h).ok());
    h.varNames = {"X"};
    h.varCount = 2;
    EXPECT_FALSE(tavrik::TvkWriter::start(h).ok());
    h.varCount = 1;
    auto writer = tavrik::TvkWriter::start(h);
    ASSERT_TRUE(writer.ok());
    const std::string before = writer->text();
    const double inf[] = {HUGE_VAL};
    EXPECT_FALSE(writer->addRecord(1, inf).ok());
    const double minusInf[] = {-HUGE_VAL};
    EXPECT_FALSE(writer->addRecord(1, minusInf).ok());
    const double two[] = {1.0, 2.0};
    EXPECT_FALSE(writer->addRecord(1, two).ok());
    EXPECT_EQ(writer->text(), before);
    EXPECT_EQ(writer->recordCount(), 0);
    // NaN is how a missing value is held; the reader's marker is written for it
    const double missing[] = {std::nan("")};
    ASSERT_TRUE(writer->addRecord(1, missing).ok());
    EXPECT_EQ(writer->text(), before + "1, NA\r\n");
}

} // namespace
