// Names that hold a separator or a quote in the export files: the quoting rules themselves,
// and every comma file read back with the CSV import, every space file split by its own
// rules, so that each line has as many fields as its header.
#include "export/ExportNames.h"

#include "datafile/CsvImport.h"
#include "export/MatrixExport.h"
#include "export/ResultCsv.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tavrik {
namespace {

struct NameCase
{
    const char* stored;
    const char* commaFile;
    const char* spaceFile;
    const char* ntSys;
};

TEST(ExportNames, QuoteOnlyWhatTheFileWouldMisread)
{
    const std::vector<NameCase> cases{
        {"Plain", "Plain", "Plain", "Plain"},
        {"Blue, male", "\"Blue, male\"", "\"Blue, male\"", "Blue,_male"},
        {"Red female", "Red female", "\"Red female\"", "Red_female"},
        {"Wide\tgap", "Wide\tgap", "\"Wide\tgap\"", "Wide_gap"},
        {"O\"Hara", "\"O\"\"Hara\"", "\"O\"\"Hara\"", "O\"Hara"},
        {"a,b", "\"a,b\"", "a,b", "a,b"},
        {"line\r\nbreak", "\"line\r\nbreak\"", "line\r\nbreak", "line\r\nbreak"},
        {"", "", "", ""},
        {"Åland", "Åland", "Åland", "Åland"},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(commaFileName(c.stored), c.commaFile) << c.stored;
        EXPECT_EQ(spaceFileName(c.stored), c.spaceFile) << c.stored;
        EXPECT_EQ(ntSysLabel(c.stored), c.ntSys) << c.stored;
    }
}

const std::vector<std::string> awkwardNames{"Blue, male", "O\"Hara", "Red female", "Plain"};

Matrix symmetric(std::size_t g)
{
    Matrix m(g, g);
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < g; ++j) {
            m(i, j) = 0.01 * static_cast<double>(i + j) - 0.02;
        }
    }
    return m;
}

struct ReadBack
{
    struct Row
    {
        std::vector<std::string> cells;
    };
    std::vector<std::string> header;
    std::vector<Row> rows;
};

// Reads a comma file with the CSV import; every row must have the header's field count (the
// import refuses a file where one has not).
ReadBack readBack(const std::string& text)
{
    ReadBack back;
    auto table = readCsvText(text, "export.csv");
    EXPECT_TRUE(table.ok()) << (table.ok() ? "" : table.error().message);
    if (!table.ok()) {
        return back;
    }
    back.header = table->header;
    auto rows = readRows(*table, [&back](long, std::vector<std::string>& cells) {
        back.rows.push_back({cells});
        return true;
    });
    EXPECT_TRUE(rows.ok());
    return back;
}

TEST(ExportNamesReadBack, ScoreAndVelbrandTorvaneFilesKeepOneFieldPerColumn)
{
    Matrix scores(4, 2, 0.5);
    const ReadBack pc = readBack(scoresCsvText(scores, awkwardNames));
    EXPECT_EQ(pc.header.size(), 3u);
    ASSERT_EQ(pc.rows.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(pc.rows[i].cells.size(), 3u);
        EXPECT_EQ(pc.rows[i].cells[0], awkwardNames[i]);
    }

    AnalysisResults results;
    results.populationNames = awkwardNames;
    results.rMatrix = symmetric(4);
    results.observedVariance = {1, 2, 3, 4};
    results.expectedVariance = {1, 2, 3, 4};
    results.residualVariance = {0, 0, 0, 0};
    const ReadBack vt = readBack(velbrandTorvaneCsvText(results));
    EXPECT_EQ(vt.header.size(), 5u);
    ASSERT_EQ(vt.rows.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(vt.rows[i].cells.size(), 5u);
        EXPECT_EQ(vt.rows[i].cells[0], awkwardNames[i]);
    }
}

TEST(ExportNamesReadBack, CommaMatrixFilesKeepOneFieldPerColumn)
{
    const Matrix m = symmetric(4);
    const ReadBack square =
        readBack(matrixFileText(m, awkwardNames, MatrixKind::R, MatrixLayout::SquareComma));
    EXPECT_EQ(
        square.header,
        (std::vector<std::string>{"Population", "Blue, male", "O\"Hara", "Red female", "Plain"}));
    ASSERT_EQ(square.rows.size(), 4u);
    EXPECT_EQ(square.rows[0].cells.front(), "Blue, male");

    const ReadBack list =
        readBack(matrixFileText(m, awkwardNames, MatrixKind::DSquare, MatrixLayout::ListComma));
    ASSERT_EQ(list.rows.size(), 6u); // the pairs of four populations
    EXPECT_EQ(list.rows[0].cells, (std::vector<std::string>{"Blue, male", "O\"Hara", "-0.010000"}));
}

// A space file's fields: runs of characters between single spaces, a field that starts with
// a double quote running to the quote that closes it ("" inside stands for one quote).
std::vector<std::vector<std::string>> splitSpaceFile(const std::string& text)
{
    std::vector<std::vector<std::string>> lines;
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.empty()) {
            quoted = true;
        } else if (c == ' ' || c == '\r') {
            fields.push_back(field);
            field.clear();
            if (c == '\r') {
                lines.push_back(fields);
                fields.clear();
                ++i; // the LF
            }
        } else {
            field += c;
        }
    }
    return lines;
}

TEST(ExportNamesReadBack, SpaceMatrixFilesKeepOneFieldPerColumn)
{
    const Matrix m = symmetric(4);
    const auto square =
        splitSpaceFile(matrixFileText(m, awkwardNames, MatrixKind::R, MatrixLayout::SquareSpace));
    ASSERT_EQ(square.size(), 5u);
    for (const auto& line : square) {
        EXPECT_EQ(line.size(), 5u);
    }
    EXPECT_EQ(square[0][3], "Red female");
    EXPECT_EQ(square[2][0], "O\"Hara");

    const auto list =
        splitSpaceFile(matrixFileText(m, awkwardNames, MatrixKind::R, MatrixLayout::ListSpace));
    ASSERT_EQ(list.size(), 11u); // header, four diagonal lines, six pairs
    for (const auto& line : list) {
        EXPECT_EQ(line.size(), 3u);
    }
    EXPECT_EQ(list[1][0], "Blue, male");
}

TEST(ExportNamesReadBack, NtSysLabelLineHasOneLabelPerPopulation)
{
    const std::string text =
        matrixFileText(symmetric(4), awkwardNames, MatrixKind::DSquare, MatrixLayout::NtSys);
    const std::string labels = text.substr(text.find("\r\n") + 2);
    EXPECT_EQ(labels.substr(0, labels.find("\r\n")), "Blue,_male O\"Hara Red_female Plain");
}

} // namespace
} // namespace tavrik
