#include <cstdint>
#include <cstdio>
#include <cstring>

#include "ReaderTestSupport.h"

namespace tavrik::test {
namespace {

// The code is a number that need not be whole nor a code of the header.
TEST(DataFileRecords, RecordsMaySpanLinesShareLinesAndUseBlanks)
{
    Contents c = readText("T\r\n1,2\r\nA,1,5\r\nX,Y\r\n"
                          "1, 170.5,\r\n  191.0\r\n"          // split after a comma
                          "2\r\n\r\n168.0\r\n188.5\r\n"       // one field a line, an empty line
                          "1 172.25 193.0 2 , -1.5e1,+.5\r\n" // blanks, two records on a line
                          "3,0.1,7,\r\n  \r\n\r\n"            // trailing comma, blank lines
                          "1.5, 2, 3\r\n-40000, 4, 5\r\n");
    ASSERT_FALSE(c.failed) << c.error.message;
    ASSERT_EQ(c.records.size(), 7u);
    EXPECT_EQ(c.records[0].values, (std::vector<double>{170.5, 191.0}));
    EXPECT_EQ(c.records[1].code, 2.0);
    EXPECT_EQ(c.records[1].values, (std::vector<double>{168.0, 188.5}));
    EXPECT_EQ(c.records[2].values, (std::vector<double>{172.25, 193.0}));
    EXPECT_EQ(c.records[3].code, 2.0);
    EXPECT_EQ(c.records[3].values, (std::vector<double>{-15.0, 0.5}));
    EXPECT_EQ(c.records[4].values, (std::vector<double>{0.1, 7.0}));
    EXPECT_EQ(c.records[5].code, 1.5);
    EXPECT_EQ(c.records[6].code, -40000.0);
}

TEST(DataFileRecords, HeaderWithoutRecordsEndsAtOnce)
{
    for (const char* text : {"T\n1,1\nA,1,5\nX", "T\n1,1\nA,1,5\nX\n\n  \n", "T\n1,1\nA,1,5\nX,"}) {
        Contents c = readText(text);
        EXPECT_FALSE(c.failed) << c.error.message;
        EXPECT_TRUE(c.records.empty());
    }
}

TEST(DataFileRecords, BytesArrivingInSmallPiecesReadTheSame)
{
    const std::string samples[] = {
        "\xEF\xBB\xBF\"Skulls, 1998\" \r\n 2 , 2\r\n\"North, upper\" , 1, 10\r\n"
        "  Coast  ,2,2e1\r\nX,\r\n\r\nY\r\n1, 170.5,\r\n  191.0\r\n2 3 4 1,\r\n5,6\r\n\r\n",
        "T\r1,1\rA,1,5\rX\r1,2\r3,4\r",
        "T\n1,2\nA,1,5\nX,Y\n1, 2, 3\n1,  2.5e-3   ,   -7  \n  4"};
    const std::size_t recordCounts[] = {3, 2, 2}; // the last sample ends inside record 3
    for (std::size_t n = 0; n < std::size(samples); ++n) {
        const std::string& text = samples[n];
        Contents whole = readText(text);
        EXPECT_EQ(whole.records.size(), recordCounts[n]) << whole.error.message;
        for (std::size_t piece = 1; piece <= 4; ++piece) {
            Contents c = readAll(DataFileReader::fromBuffer(text, "pops.tvk", piece));
            EXPECT_EQ(c.error.message, whole.error.message) << "piece " << piece;
            EXPECT_EQ(c.header.title, whole.header.title);
            EXPECT_EQ(c.header.varNames, whole.header.varNames);
            ASSERT_EQ(c.records.size(), whole.records.size()) << "piece " << piece;
            for (std::size_t i = 0; i < c.records.size(); ++i) {
                EXPECT_EQ(c.records[i].code, whole.records[i].code);
                EXPECT_EQ(c.records[i].values, whole.records[i].values);
            }
        }
    }
}

// Fixed-width record lines, "c , ddd.dd" + line end, with the value given in hundredths, so
// that the expected double is hundredths / 100.0 (one correctly rounded division).
std::string fixedWidthRecords(int count, const char* eol, std::vector<long>& hundredths)
{
    std::string text;
    char line[32];
    for (int i = 0; i < count; ++i) {
        const long h = 10000 + (i * 7919L) % 89999;
        hundredths.push_back(h);
        std::snprintf(line, sizeof line, "%d , %ld.%02ld%s", i % 9 + 1, h / 100, h % 100, eol);
        text += line;
    }
    return text;
}

// The reader refills a 1 MiB buffer. Shifting the records by 0..width-1 bytes puts every
// byte of a record line (digits, blanks, comma, CR, LF) once at the first refill point.
TEST(DataFileRecords, EveryPositionAtTheBufferEdgeReadsTheSame)
{
    constexpr std::size_t bufferEdge = std::size_t{1} << 20;
    for (const char* eol : {"\n", "\r\n"}) {
        std::vector<long> hundredths;
        const std::string records = fixedWidthRecords(120000, eol, hundredths);
        const std::size_t width = 11 + std::strlen(eol);
        for (std::size_t shift = 0; shift < width; ++shift) {
            const std::string head = "T\n1,1\nA,1,5\nX\n" + std::string(shift, ' ') + "\n";
            ASSERT_GT(head.size() + records.size(), bufferEdge + width);
            ScratchFile file(head + records);
            Contents c = readAll(DataFileReader::open(file.path()));
            ASSERT_FALSE(c.failed) << c.error.message;
            ASSERT_EQ(c.records.size(), hundredths.size()) << "shift " << shift;
            for (std::size_t i = 0; i < hundredths.size(); ++i) {
                ASSERT_EQ(c.records[i].code, static_cast<double>(i % 9 + 1));
                ASSERT_EQ(c.records[i].values[0], static_cast<double>(hundredths[i]) / 100.0)
                    << "record " << i + 1 << ", shift " << shift;
            }
        }
    }
}

TEST(DataFileRecords, LargeFileIsCountedAndLinesStayRightAcrossRefills)
{
    std::vector<long> hundredths;
    const int count = 400000; // about 4.4 MB: several refills
    const std::string text =
        "T\r\n1,1\r\nA,1,5\r\nX\r\n" + fixedWidthRecords(count, "\r\n", hundredths);
    {
        ScratchFile file(text);
        Contents c = readAll(DataFileReader::open(file.path()));
        ASSERT_FALSE(c.failed) << c.error.message;
        EXPECT_EQ(c.records.size(), static_cast<std::size_t>(count));
        EXPECT_EQ(c.records.back().values[0], static_cast<double>(hundredths.back()) / 100.0);
    }
    ScratchFile broken(text + "1, 2.0.0\r\n");
    Contents c = readAll(DataFileReader::open(broken.path()));
    ASSERT_TRUE(c.failed);
    EXPECT_EQ(c.error.line, 4 + count + 1);
    EXPECT_EQ(c.error.field, "value of variable X in record " + std::to_string(count + 1));
}

} // namespace
} // namespace tavrik::test
