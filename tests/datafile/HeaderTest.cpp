#include <cmath>

#include "ReaderTestSupport.h"

namespace tavrik::test {
namespace {

TEST(DataFileHeader, ReadsTheExampleFileWithoutTouchingItsRecordsAndLoadsItsDataSet)
{
    Result<DataFileReader> reader = DataFileReader::open(dataFile("header_example.tvk"));
    ASSERT_TRUE(reader.ok());
    Result<DataFileHeader> h = reader->readHeader();
    ASSERT_TRUE(h.ok()) << h.error().message;
    EXPECT_EQ(h->title, "Example data set");
    EXPECT_EQ(h->popCount, 3);
    EXPECT_EQ(h->varCount, 2);
    ASSERT_EQ(h->populations.size(), 3u);
    EXPECT_EQ(h->populations[0].code, 1);
    EXPECT_EQ(h->populations[2].code, 3);
    EXPECT_EQ(h->populations[0].size, 150.0f);
    EXPECT_EQ(h->populations[1].size, 300.0f);
    EXPECT_EQ(h->varNames, (std::vector<std::string>{"Stature", "Head length"}));
    EXPECT_EQ(reader->recordsRead(), 0);

    Result<DataSet> d = loadDataSet(dataFile("header_example.tvk"));
    ASSERT_TRUE(d.ok()) << d.error().message;
    EXPECT_TRUE(std::filesystem::path(d->dataPath).is_absolute());
    EXPECT_EQ(std::filesystem::path(d->dataPath).filename(), "header_example.tvk");
    EXPECT_EQ(d->popCount, 3);
    EXPECT_EQ(d->varCount, 2);
    EXPECT_EQ(d->popNames, (std::vector<std::string>{"North", "Coast", "Hills"}));
    EXPECT_EQ(d->varNames, h->varNames);
    EXPECT_FALSE(d->equalSizes); // 150, 300, 300
}

TEST(DataFileHeader, EqualSizesComparesAllSizesToTheFirstAsFloats)
{
    // 300, 300.0 and 3e2 (CR LF lines, a blank line after the records)
    Result<DataSet> equal = loadDataSet(dataFile("header_sizes_equal_crlf.tvk"));
    ASSERT_TRUE(equal.ok()) << equal.error().message;
    EXPECT_TRUE(equal->equalSizes);
    EXPECT_EQ(equal->popNames.back(), "Hills");

    Result<DataSet> one = loadDataSet(dataFile("header_one_population.tvk"));
    ASSERT_TRUE(one.ok()) << one.error().message;
    EXPECT_TRUE(one->equalSizes);

    // Population 1 differs from the two others, which agree with each other.
    ScratchFile firstDiffers("T\n3,1\nA,1,150\nB,2,300\nC,3,300\nX\n");
    EXPECT_FALSE(loadDataSet(firstDiffers.path())->equalSizes);
    // Only the last differs.
    ScratchFile lastDiffers("T\n3,1\nA,1,300\nB,2,300\nC,3,301\nX\n");
    EXPECT_FALSE(loadDataSet(lastDiffers.path())->equalSizes);
    // 300.00001 differs from 300 as a double but not as a 32-bit float (spacing 2^-15).
    ScratchFile floatEqual("T\n2,1\nA,1,300\nB,2,300.00001\nX\n");
    EXPECT_TRUE(loadDataSet(floatEqual.path())->equalSizes);
}

TEST(DataFileHeader, SizeIsRoundedOnceStraightToFloat)
{
    // 1 + 2^-24 + 2.5e-17: through a double it becomes the tie 1 + 2^-24, which rounds to
    // 1.0f; read directly it lies above the tie and rounds up to 1 + 2^-23.
    Contents c = readText("T\n1,1\nA,1,1.0000000596046448\nX\n");
    ASSERT_FALSE(c.failed) << c.error.message;
    EXPECT_EQ(c.header.populations[0].size, std::nextafter(1.0f, 2.0f));
}

TEST(DataFileHeader, FailedLoadReturnsOnlyTheError)
{
    Result<DataSet> d = loadDataSet(dataFile("record_bad_value.tvk").replace_filename("nope.tvk"));
    ASSERT_FALSE(d.ok());
    EXPECT_EQ(d.error().kind, ErrorKind::DataFile);

    ScratchFile partial("T\n2,1\nA,1,5\n");
    Result<DataSet> p = loadDataSet(partial.path());
    ASSERT_FALSE(p.ok());
    EXPECT_EQ(p.error().field, "name of population 2");
}

TEST(DataFileText, QuotedFieldsKeepCommasAndBlanks)
{
    Contents c = readText("\"Skulls, 1998 \"\n2,1\n\"North, upper\" , 1, 10\n"
                          "\" Coast \",2,20\n\"Length, cm\"\n");
    ASSERT_FALSE(c.failed) << c.error.message;
    EXPECT_EQ(c.header.title, "Skulls, 1998 ");
    EXPECT_EQ(c.header.populations[0].name, "North, upper");
    EXPECT_EQ(c.header.populations[1].name, " Coast ");
    EXPECT_EQ(c.header.varNames[0], "Length, cm");
}

TEST(DataFileText, UnquotedTitleEndsAtItsComma)
{
    // The part after the comma becomes the population count.
    Contents c = readText("Survey 1998, 2\n1\nNorth,1,10\nSouth,2,20\nStature\n");
    ASSERT_FALSE(c.failed) << c.error.message;
    EXPECT_EQ(c.header.title, "Survey 1998");
    EXPECT_EQ(c.header.popCount, 2);
    EXPECT_EQ(c.header.varCount, 1);

    Contents bad = readText("Skulls, North and South\n3, 2\n");
    ASSERT_TRUE(bad.failed);
    EXPECT_EQ(bad.error.field, "population count");
    EXPECT_NE(bad.error.message.find("found \"North\""), std::string::npos) << bad.error.message;
}

TEST(DataFileText, BlanksAroundUnquotedTextAndEmptyLinesAreDropped)
{
    Contents c = readText("\xEF\xBB\xBF  Example data set \t \n\n  \n 2 , 1\n\n"
                          "  North  ,1,10\nSouth Hills\t,2,20\n\n  Stature  \n");
    ASSERT_FALSE(c.failed) << c.error.message;
    EXPECT_EQ(c.header.title, "Example data set");
    EXPECT_EQ(c.header.populations[0].name, "North");
    EXPECT_EQ(c.header.populations[1].name, "South Hills");
    EXPECT_EQ(c.header.varNames[0], "Stature");
}

TEST(DataFileText, EntriesMayShareLinesOrSpreadOverThem)
{
    Contents c = readText("T\n2\n2\nA,1,\n10,B,2,20\nX,\nY\n");
    ASSERT_FALSE(c.failed) << c.error.message;
    EXPECT_EQ(c.header.popCount, 2);
    EXPECT_EQ(c.header.varCount, 2);
    EXPECT_EQ(c.header.populations[1].name, "B");
    EXPECT_EQ(c.header.populations[1].size, 20.0f);
    EXPECT_EQ(c.header.varNames, (std::vector<std::string>{"X", "Y"}));
}

TEST(DataFileText, Latin1HeaderIsConvertedAndUtf8KeptAsItIs)
{
    Result<DataSet> latin = loadDataSet(dataFile("header_latin1.tvk"));
    ASSERT_TRUE(latin.ok()) << latin.error().message;
    EXPECT_EQ(latin->popNames[0],
              "Gr\xC3\xB6"
              "den");
    EXPECT_EQ(latin->popNames[1], "Vinschgau, Ober");
    EXPECT_EQ(latin->varNames[0],
              "K\xC3\xB6rpergr\xC3\xB6\xC3\x9F"
              "e");

    // Valid UTF-8 in one field keeps the whole header as UTF-8.
    Contents utf8 = readText("S\xC3\xBC"
                             "d\n1,1\nA,1,5\nK\xC3\xB6rpergr\xC3\xB6\xC3\x9F"
                             "e\n");
    ASSERT_FALSE(utf8.failed) << utf8.error.message;
    EXPECT_EQ(utf8.header.title,
              "S\xC3\xBC"
              "d");
    EXPECT_EQ(utf8.header.varNames[0],
              "K\xC3\xB6rpergr\xC3\xB6\xC3\x9F"
              "e");
}

TEST(DataFileText, DuplicateAndEmptyNamesAreAccepted)
{
    Contents c = readText("T\n3,2\nA,1,5\nA,2,5\n\"\",3,5\nX,X\n");
    ASSERT_FALSE(c.failed) << c.error.message;
    EXPECT_EQ(c.header.populations[1].name, "A");
    EXPECT_EQ(c.header.populations[2].name, "");
    EXPECT_EQ(c.header.varNames, (std::vector<std::string>{"X", "X"}));
}

TEST(DataFileText, WholeNumbersMayBeWrittenAsDecimals)
{
    Contents c = readText("T\n+2.0, 1e0\nA,-32768,0\nB,32767,+7.5\nX\n");
    ASSERT_FALSE(c.failed) << c.error.message;
    EXPECT_EQ(c.header.popCount, 2);
    EXPECT_EQ(c.header.varCount, 1);
    EXPECT_EQ(c.header.populations[0].code, -32768);
    EXPECT_EQ(c.header.populations[1].code, 32767);
    EXPECT_EQ(c.header.populations[1].size, 7.5f);
}

} // namespace
} // namespace tavrik::test
