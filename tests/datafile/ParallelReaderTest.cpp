// The parallel record reader against the sequential one: the same records, bit for bit, for
// every thread count and for blocks so small that a block ends at every byte of the file
// (inside a number, between CR and LF, on a blank line), missing values included. Faults met
// by the parallel reader are checked through whole runs, which must give the sequential
// reader's message.
#include <bit>
#include <charconv>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "ReaderTestSupport.h"

namespace tavrik {
namespace {

using test::Contents;
using test::ScratchFile;

constexpr const char* header = "Layouts\r\n2, 3\r\nNorth, 1, 50\r\nSouth, 2, 70\r\nA, B, C\r\n";

// Records split over lines, several on one line, CR LF and LF and lone CR, blank lines,
// trailing commas, tabs, signs, exponents, seventeen-digit values and missing values.
const std::string layouts = std::string(header) + "1, 10.125, 3.000001, -7\r\n"
                                                  "2, 0.1234567890123456, 1e-5,\r\n  4.5\r\n"
                                                  "\r\n"
                                                  "1,2.5,NA,4.5 2, +6, -0.0, 1E3\n"
                                                  "1\t7.25\t.\t9\r"
                                                  "2, 123456.654321,\n\n 0.000001, NA\r\n"
                                                  "   \r\n"
                                                  "1, ., NA, 3,\r\n"
                                                  "2,.,1,NA\n";

struct Read
{
    std::vector<std::uint64_t> bits; // code and values of every record, as bits
    long records = 0;
    bool needsSequential = false;
};

std::vector<std::uint64_t> bitsOf(const Contents& c)
{
    std::vector<std::uint64_t> bits;
    for (const auto& r : c.records) {
        bits.push_back(std::bit_cast<std::uint64_t>(r.code));
        for (const double v : r.values) {
            bits.push_back(std::bit_cast<std::uint64_t>(v));
        }
    }
    return bits;
}

Read readParallel(const std::filesystem::path& path, unsigned threads, std::size_t blockBytes)
{
    Read out;
    auto reader = DataFileReader::open(path);
    EXPECT_TRUE(reader.ok());
    auto h = reader->readHeader();
    EXPECT_TRUE(h.ok());
    auto parallel = reader->parallelRecords(threads, blockBytes);
    EXPECT_NE(parallel, nullptr);
    if (parallel == nullptr) {
        return out;
    }
    double code = 0;
    std::vector<double> values(static_cast<std::size_t>(h->varCount));
    for (;;) {
        auto more = parallel->nextRecord(code, values);
        EXPECT_TRUE(more.ok());
        if (!more.ok() || !*more) {
            break;
        }
        out.bits.push_back(std::bit_cast<std::uint64_t>(code));
        for (const double v : values) {
            out.bits.push_back(std::bit_cast<std::uint64_t>(v));
        }
    }
    out.records = parallel->recordsRead();
    out.needsSequential = parallel->needsSequential();
    return out;
}

TEST(ParallelReader, GivesTheSequentialRecordsForEveryThreadCountAndBlockSize)
{
    // a large file too, of many one-line records, so that blocks of the default size meet
    std::string many = "Many\n2, 2\nP, 1, 5\nQ, 2, 5\nX, Y\n";
    for (int r = 0; r < 60000; ++r) {
        many += std::to_string(r % 2 + 1) + ", " + std::to_string(r) + "." +
                std::to_string(r % 997) + ", -" + std::to_string(r % 13) + ".000" +
                std::to_string(r % 7) + "\n";
    }
    const std::string* const texts[] = {&layouts, &many};
    for (const std::string* text : texts) {
        ScratchFile file(*text);
        const Contents sequential = test::readAll(DataFileReader::open(file.path()));
        ASSERT_FALSE(sequential.failed) << sequential.error.message;
        ASSERT_GT(sequential.records.size(), 5u);
        const std::vector<std::uint64_t> expected = bitsOf(sequential);
        const std::vector<std::size_t> blocks =
            text == &layouts ? std::vector<std::size_t>{1, 2, 3, 5, 8, 13, 64, 1 << 20}
                             : std::vector<std::size_t>{4093, 65536, 1 << 20};
        for (const unsigned threads : {2u, 3u, 8u}) {
            for (const std::size_t blockBytes : blocks) {
                SCOPED_TRACE(std::to_string(threads) + " threads, blocks of " +
                             std::to_string(blockBytes));
                const Read parallel = readParallel(file.path(), threads, blockBytes);
                EXPECT_FALSE(parallel.needsSequential);
                EXPECT_EQ(parallel.records, static_cast<long>(sequential.records.size()));
                EXPECT_EQ(parallel.bits, expected);
            }
        }
    }
}

TEST(DecimalNumbers, AgreeWithStdFromCharsToTheLastBit)
{
    // the fast parser decides only where it must agree; check that it does, near the edges
    // of the double range and on many values with up to seventeen digits
    std::vector<std::string> texts = {"0",
                                      "-0.0",
                                      "1.",
                                      ".5",
                                      "-.25",
                                      "1e308",
                                      "1.7976931348623157e308",
                                      "1.7976931348623159e308",
                                      "2.2250738585072014e-308",
                                      "2.2250738585072011e-308",
                                      "4.9e-324",
                                      "1e-400",
                                      "1e999",
                                      "0.1000000000000000055511151231257827",
                                      "9007199254740993",
                                      "1e",
                                      "1.5.2",
                                      "0x1p3",
                                      "1d5"};
    std::uint64_t state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const int digits = static_cast<int>(state >> 60) + 1;
        const int point = static_cast<int>((state >> 40) % static_cast<unsigned>(digits + 1));
        std::string t = (state >> 63) != 0 ? "-" : "";
        for (int d = 0; d < digits; ++d) {
            t += static_cast<char>('0' + (state >> (d * 3 % 60)) % 10);
            if (d + 1 == point) {
                t += '.';
            }
        }
        if (i % 5 == 0) {
            t += "e" + std::to_string(static_cast<int>((state >> 20) % 600) - 300);
        }
        texts.push_back(t);
    }
    for (const std::string& t : texts) {
        SCOPED_TRACE(t);
        double expected = -1.0;
        const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), expected);
        const bool whole = ec == std::errc{} && ptr == t.data() + t.size();
        double got = -1.0;
        const NumberStatus status = parseDecimal(t, got);
        EXPECT_EQ(status == NumberStatus::Ok, whole);
        if (whole) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected));
        }
    }
}

} // namespace
} // namespace tavrik
