// The matrix files beyond what the golden quoted_names case pins (five populations in every
// layout): a value rounding to zero from below, twelve populations, and the PHYLIP layout.
#include "export/MatrixExport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace tavrik {
namespace {

Matrix square(std::vector<std::vector<double>> rows)
{
    Matrix m(rows.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (std::size_t j = 0; j < rows.size(); ++j) {
            m(i, j) = rows[i][j];
        }
    }
    return m;
}

// Lines of a text whose every line ends in CR LF (checked).
std::vector<std::string> crLfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        lines.push_back(text.substr(at, end - at));
    }
    EXPECT_EQ(at, text.size()) << "last line has no CR LF";
    return lines;
}

std::size_t fieldCount(const std::string& line, char sep)
{
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), sep)) + 1;
}

const Matrix twoD = square({{0.0, 1.5}, {1.5, 0.0}});

TEST(MatrixSquareLayout, WritesEveryRowWithoutTrailingSeparator)
{
    const std::vector<std::string> names{"p1", "p2", "p3", "p4"};
    Matrix r(4, 4, 0.25);
    r(2, 3) = -1e-9; // rounds to zero from below: keeps its minus sign
    const std::string text = matrixFileText(r, names, MatrixKind::R, MatrixLayout::SquareSpace);
    const std::vector<std::string> lines = crLfLines(text);
    ASSERT_EQ(lines.size(), 5u);
    for (const std::string& line : lines) {
        EXPECT_EQ(fieldCount(line, ' '), 5u) << line;
        EXPECT_NE(line.back(), ' ') << line;
    }
    EXPECT_EQ(lines[3], "p3 0.250000 0.250000 0.250000 -0.000000");
}

TEST(MatrixNtSysLayout, DistanceMatrixOfTwelvePopulations)
{
    std::vector<std::string> names;
    Matrix d(12, 12);
    for (std::size_t i = 0; i < 12; ++i) {
        names.push_back("P" + std::to_string(i + 1));
        for (std::size_t j = 0; j < 12; ++j) {
            d(i, j) = i == j ? 0.0 : static_cast<double>(i + j) / 8.0;
        }
    }
    const std::vector<std::string> lines =
        crLfLines(matrixFileText(d, names, MatrixKind::DSquare, MatrixLayout::NtSys));
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], "2 12L 12 0");
    EXPECT_EQ(lines[1], "P1 P2 P3 P4 P5 P6 P7 P8 P9 P10 P11 P12");
    EXPECT_EQ(lines[2], "0.000000");
    EXPECT_EQ(lines[3], "0.125000 0.000000");
    EXPECT_EQ(lines[4], "0.250000 0.375000 0.000000");
    for (std::size_t row = 1; row <= 12; ++row) {
        EXPECT_EQ(fieldCount(lines[row + 1], ' '), row) << lines[row + 1];
    }
}

const Matrix threeD = square({{0.0, 1.5, 2.0}, {1.5, 0.0, 2.5}, {2.0, 2.5, 0.0}});

TEST(MatrixPhylipLayout, NamesThatFitArePaddedToTenBytesWithBlanksAsUnderscores)
{
    // "Åland" holds six bytes; "Holm Orran" fills the width exactly, and its blank would end
    // the name for a program that reads names up to a blank.
    EXPECT_EQ(
        matrixFileText(
            threeD, {"North", "Åland", "Holm Orran"}, MatrixKind::DSquare, MatrixLayout::Phylip),
        "3\r\n"
        "North      0.000000 1.500000 2.000000\r\n"
        "Åland     1.500000 0.000000 2.500000\r\n"
        "Holm_Orran 2.000000 2.500000 0.000000\r\n");
}

TEST(MatrixPhylipLayout, NamesThatDoNotFitBecomeNumberedCodesWithAMap)
{
    struct Case
    {
        std::vector<std::string> names;
        PhylipNames mode;
        std::vector<std::string> labels; // as written, before the values
        std::string map;
    };
    const std::vector<Case> cases{
        // one long name gives every population a code
        {{"North", "Saundry Fell", "Tenletters"},
         PhylipNames::Codes,
         {"North1    ", "Saundry_F2", "Tenletter3"},
         "Code,Name\r\nNorth1,North\r\nSaundry_F2,Saundry Fell\r\nTenletter3,Tenletters\r\n"},
        // the prefix stops before a cut UTF-8 sequence: four Å are 8 bytes, a fifth would be 10
        {{"ÅÅÅÅÅÅ", "B"},
         PhylipNames::Codes,
         {"ÅÅÅÅ1 ", "B2        "},
         "Code,Name\r\nÅÅÅÅ1,ÅÅÅÅÅÅ\r\nB2,B\r\n"},
        // two names that are equal once written
        {{"A b", "A_b"},
         PhylipNames::Codes,
         {"A_b1      ", "A_b2      "},
         "Code,Name\r\nA_b1,A b\r\nA_b2,A_b\r\n"},
        // relaxed: the long name whole, no map
        {{"North", "Saundry Fell"}, PhylipNames::Relaxed, {"North     ", "Saundry_Fell"}, ""},
    };
    for (const Case& c : cases) {
        const std::size_t g = c.names.size();
        const Matrix d = g == 3 ? threeD : twoD;
        const PhylipFile file = phylipFile(d, c.names, c.mode);
        const std::vector<std::string> lines = crLfLines(file.text);
        ASSERT_EQ(lines.size(), g + 1) << c.names[0];
        for (std::size_t i = 0; i < g; ++i) {
            EXPECT_EQ(lines[i + 1].substr(0, c.labels[i].size() + 1), c.labels[i] + " ")
                << c.names[i];
        }
        EXPECT_EQ(file.nameMap, c.map);
        EXPECT_TRUE(file.renamed.empty());
    }
}

TEST(MatrixPhylipLayout, ReservedCharactersBecomeUnderscoresAndAreNamed)
{
    const PhylipFile file = phylipFile(twoD, {"Blue,_male", "Red (a)"}, PhylipNames::Codes);
    EXPECT_EQ(file.text, "2\r\nBlue__male 0.000000 1.500000\r\nRed__a_    1.500000 0.000000\r\n");
    ASSERT_EQ(file.renamed.size(), 2u);
    EXPECT_EQ(file.renamed[0].name, "Blue,_male");
    EXPECT_EQ(file.renamed[0].label, "Blue__male");
    const std::vector<std::string> notes = phylipNotes(file, "d.dist");
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[1],
              "Population \"Red (a)\" holds characters that tree programs reserve; "
              "d.dist names it Red__a_.");
    EXPECT_EQ(file.nameMap, "");
}

TEST(MatrixPhylipLayout, RowsCarryEveryValueOfTheirRow)
{
    // Twelve populations: the row is not cut into lines, and the values keep the sign and
    // the six decimals of the other matrix files.
    std::vector<std::string> names;
    Matrix d(12, 12);
    for (std::size_t i = 0; i < 12; ++i) {
        names.push_back("P" + std::to_string(i + 1));
        for (std::size_t j = 0; j < 12; ++j) {
            d(i, j) = i == j ? 0.0 : -0.25 + static_cast<double>(i + j) / 8.0;
        }
    }
    const std::vector<std::string> lines =
        crLfLines(matrixFileText(d, names, MatrixKind::DSquare, MatrixLayout::Phylip));
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "12");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::istringstream fields(lines[i]);
        std::vector<std::string> tokens{std::istream_iterator<std::string>(fields), {}};
        ASSERT_EQ(tokens.size(), 13u) << lines[i];
        EXPECT_EQ(tokens[0], names[i - 1]);
        EXPECT_EQ(tokens[i], "0.000000");
    }
    EXPECT_EQ(lines[1].substr(0, 29), "P1         0.000000 -0.125000");
}

TEST(MatrixPhylipLayout, OnlyDistancesFitTheLayout)
{
    EXPECT_TRUE(layoutFitsKind(MatrixLayout::Phylip, MatrixKind::DSquare));
    EXPECT_TRUE(layoutFitsKind(MatrixLayout::Phylip, MatrixKind::ScaledDSquare));
    EXPECT_FALSE(layoutFitsKind(MatrixLayout::Phylip, MatrixKind::R));
    EXPECT_FALSE(layoutFitsKind(MatrixLayout::Phylip, MatrixKind::ScaledR));
    EXPECT_TRUE(layoutFitsKind(MatrixLayout::NtSys, MatrixKind::R));
    EXPECT_EQ(matrixFileFilter(MatrixLayout::Phylip), "PHYLIP Distance Files (*.DIST)");
}

} // namespace
} // namespace tavrik
