// The progress printer of tavrik-batch, driven by a fake clock: how many lines a long pass
// prints, and that the last line of every pass and stage is never held back.
#include "cli/BatchProgress.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace tavrik::test {
namespace {

using namespace std::chrono_literals;

class FakeClockProgress : public ::testing::Test
{
protected:
    std::chrono::steady_clock::time_point m_now{};
    std::ostringstream m_err;
    StderrProgress m_progress{m_err, [this] { return m_now; }};
    std::vector<std::string> m_fed;

    void feed(const std::string& line)
    {
        m_fed.push_back(line);
        m_progress.status(line);
    }

    // A pass as the run reports it: a line every 20 records and one with the last count.
    void pass(int number, long records, std::chrono::nanoseconds perRecord)
    {
        const std::string head = "...pass " + std::to_string(number) + " of 2, cases read = ";
        for (long count = 20; count <= records; count += 20) {
            m_now += perRecord * 20;
            feed(head + std::to_string(count) + " ...");
        }
        m_now += perRecord * (records % 20);
        feed(head + std::to_string(records) + " ...");
    }

    std::vector<std::string> printed() const
    {
        std::vector<std::string> result;
        std::istringstream in(m_err.str());
        for (std::string line; std::getline(in, line);) {
            result.push_back(line);
        }
        return result;
    }
};

bool contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(FakeClockProgress, LongPassesPrintAboutTenLinesASecondAndTheirLastCount)
{
    // 1.5 million records a pass at a microsecond each: 75,000 status lines per pass.
    feed("...computing...");
    pass(1, 1499990, 1us);
    feed("...computing...");
    pass(2, 1499990, 1us);
    feed("...computing...");
    feed("...inverting matrix...");
    m_progress.flush();

    const std::vector<std::string> lines = printed();
    // three seconds at ten lines a second, plus the last line of each of the six series
    EXPECT_LE(lines.size(), 30u + 6u);
    EXPECT_GE(lines.size(), 28u);
    for (const char* last : {"...pass 1 of 2, cases read = 1499990 ...",
                             "...pass 2 of 2, cases read = 1499990 ...",
                             "...inverting matrix..."}) {
        EXPECT_TRUE(contains(lines, last)) << last;
    }
    EXPECT_EQ(lines.front(), "...computing...");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "...computing..."), 3);
    // every printed line was fed, in the order it was fed
    auto next = m_fed.begin();
    for (const std::string& line : lines) {
        next = std::find(next, m_fed.end(), line);
        ASSERT_NE(next, m_fed.end()) << line;
        ++next;
    }
}

TEST_F(FakeClockProgress, SlowLinesAllShowAndAHeldLineWaitsOnlyForTheNextSeriesOrTheEnd)
{
    for (int k = 1; k <= 3; ++k) {
        if (k > 1) {
            m_now += StderrProgress::interval;
        }
        feed("...computing eigenvalues... " + std::to_string(k * 1000) + " rotations done");
    }
    EXPECT_EQ(printed().size(), 3u);

    m_now += 1ms;
    feed("...computing eigenvalues... 3500 rotations done");
    feed("...computing eigenvalues... 3600 rotations done"); // replaces the one held
    EXPECT_EQ(printed().size(), 3u);
    feed("...writing matrices to file...");
    ASSERT_EQ(printed().size(), 4u);
    EXPECT_EQ(printed().back(), "...computing eigenvalues... 3600 rotations done");

    m_progress.flush();
    ASSERT_EQ(printed().size(), 5u);
    EXPECT_EQ(printed().back(), "...writing matrices to file...");
    m_progress.flush();
    EXPECT_EQ(printed().size(), 5u);
}

} // namespace
} // namespace tavrik::test
