// Runs that must end in a message instead of a wrong report: a data file that changes between
// the two passes, a run cancelled in either pass or in the eigen stage, and sizes the computer
// cannot hold.
#include "analysis/AnalysisRun.h"
#include "analysis/Bootstrap.h"
#include "analysis/Eigen.h"
#include "analysis/RunMemory.h"
#include "analysis/WorkerPool.h"
#include "datafile/DataFileReader.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

#include "RunTestSupport.h"

namespace tavrik {
namespace {

using test::fixedClock;
using test::RecordingProgress;
using test::run;

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// populations named P1..Pg with codes 1..g and sizes 100 + i, two variables, `perPopulation`
// records each; the values differ by population and record so that no variance is zero.
std::string generatedFile(int g, int perPopulation)
{
    std::string text = "Generated\n" + std::to_string(g) + ", 2\n";
    for (int i = 1; i <= g; ++i) {
        text += "P" + std::to_string(i) + ", " + std::to_string(i) + ", " +
                std::to_string(100 + i) + "\n";
    }
    text += "Length, Breadth\n";
    for (int r = 0; r < perPopulation; ++r) {
        for (int i = 1; i <= g; ++i) {
            text += std::to_string(i) + ", " + std::to_string(10 + (i * 7 + r * 3) % 11) + "." +
                    std::to_string((i * r) % 10) + ", " + std::to_string(20 + (i * i + r) % 13) +
                    "\n";
        }
    }
    return text;
}

// Rewrites the file in place with other values of the same length (the records' codes and
// counts stay, every ".1" becomes ".2"); with keepTime it sets its modification time back, as a
// careless tool might.
void rewriteInPlace(const fs::path& p, const std::string& text, bool keepTime)
{
    const auto modified = fs::last_write_time(p);
    std::string changed = text;
    for (std::size_t at = changed.find(".1"); at != std::string::npos;
         at = changed.find(".1", at)) {
        changed[at + 1] = '2';
    }
    ASSERT_NE(changed, text);
    std::fstream(p, std::ios::binary | std::ios::in | std::ios::out) << changed;
    if (keepTime) {
        fs::last_write_time(p, modified);
    }
}

class RunReliability : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                (std::string("tavrik-run-") + info->name() + "-" + std::to_string(getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Writes the data file and the input of a run on every population and variable.
    RunInput inputFor(const std::string& text)
    {
        m_data = m_dir / "data.tvk";
        writeFile(m_data, text);
        auto loaded = loadDataSet(m_data);
        EXPECT_TRUE(loaded.ok()) << loaded.error().message;
        RunInput in;
        in.dataSet = std::move(loaded.value());
        in.selection.popSelected.assign(static_cast<std::size_t>(in.dataSet.popCount), true);
        in.selection.varSelected.assign(static_cast<std::size_t>(in.dataSet.varCount), true);
        return in;
    }

    fs::path m_dir;
    fs::path m_data;
};

TEST_F(RunReliability, DataFileChangedBetweenThePassesStopsTheRun)
{
    const std::string original = generatedFile(3, 4);
    const std::size_t lastRecordBytes =
        original.size() - original.rfind('\n', original.size() - 2) - 1;
    const struct
    {
        const char* what;
        std::function<void(const fs::path&)> change;
    } cases[] = {
        {"replaced by a copy of itself (an editor's save)",
         [&](const fs::path& p) {
             writeFile(p.string() + ".new", original);
             fs::rename(p.string() + ".new", p);
         }},
        {"truncated by one record",
         [&](const fs::path& p) { fs::resize_file(p, original.size() - lastRecordBytes); }},
        {"appended to",
         [&](const fs::path& p) { std::ofstream(p, std::ios::app) << "1, 11.5, 24\n"; }},
        {"emptied", [&](const fs::path& p) { fs::resize_file(p, 0); }},
        {"rewritten in place, same size",
         [&](const fs::path& p) { rewriteInPlace(p, original, false); }},
        {"rewritten in place, same size, modification time set back",
         [&](const fs::path& p) { rewriteInPlace(p, original, true); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RunInput in = inputFor(original);
        in.memoryBudget = 0; // read the file twice
        in.betweenPasses = [&] { c.change(m_data); };
        auto out = run(in);
        ASSERT_FALSE(out.ok());
        EXPECT_EQ(out.error().message,
                  "The data file changed while it was being analysed; run the analysis again");
        EXPECT_EQ(out.error().kind, ErrorKind::DataFile);
    }

    // the same run with a file left alone succeeds, hook or not
    RunInput in = inputFor(original);
    auto plain = run(in);
    ASSERT_TRUE(plain.ok()) << plain.error().message;
    int calls = 0;
    in.betweenPasses = [&] { ++calls; };
    auto hooked = run(in);
    ASSERT_TRUE(hooked.ok()) << hooked.error().message;
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(hooked->report, plain->report);

    // Records kept in memory spare the second read and with it the check; once they overflow
    // the budget (12 records of 24 bytes against 256) the file is read again and the change
    // is seen.
    for (const std::uint64_t budget : {std::uint64_t{256}, std::uint64_t{1} << 20}) {
        SCOPED_TRACE("budget " + std::to_string(budget));
        in.memoryBudget = budget;
        in.betweenPasses = [&] { std::ofstream(m_data, std::ios::app) << "1, 11.5, 24\n"; };
        auto changed = run(in);
        writeFile(m_data, original);
        if (budget == 256) {
            ASSERT_FALSE(changed.ok());
            EXPECT_EQ(changed.error().message, dataFileChangedMessage);
        } else {
            ASSERT_TRUE(changed.ok()) << changed.error().message;
            EXPECT_EQ(changed->report, plain->report);
        }
    }
}

TEST_F(RunReliability, TheBootstrapReadsTheRecordsOfTheRunsOwnFileOrNothing)
{
    const std::string original = generatedFile(3, 6);
    RunInput in = inputFor(original);
    auto out = run(in);
    ASSERT_TRUE(out.ok()) << out.error().message;
    EXPECT_TRUE(loadChosenRecords(in.dataSet, out->basis, bootstrapMemoryBudget).ok());

    rewriteInPlace(m_data, original, true);
    auto changed = loadChosenRecords(in.dataSet, out->basis, bootstrapMemoryBudget);
    ASSERT_FALSE(changed.ok());
    EXPECT_EQ(changed.error().message, dataFileChangedMessage);

    // the same bytes written back are still not the file the run read
    writeFile(m_data, original);
    EXPECT_FALSE(loadChosenRecords(in.dataSet, out->basis, bootstrapMemoryBudget).ok());
}

TEST(WorkerPool, ATaskThatThrowsStopsTheOthersAndComesBackAsAnError)
{
    std::atomic<bool> stop{false};
    std::atomic<int> pieces{0};
    const auto work = [&] {
        while (!stop.load()) {
            if (++pieces == 50) {
                throw std::bad_alloc();
            }
            std::this_thread::yield();
        }
    };
    const Status failed = runOnThreads(4, stop, "the bootstrap", work);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().kind, ErrorKind::Analysis);
    EXPECT_EQ(failed.error().message,
              "The computer has not enough memory for the bootstrap; close other programs, or "
              "ask for less.");
    EXPECT_TRUE(stop.load());

    std::atomic<bool> keepOn{false};
    std::atomic<int> done{0};
    EXPECT_TRUE(runOnThreads(3, keepOn, "the Mantel test", [&] { ++done; }).ok());
    EXPECT_EQ(done.load(), 3);
    const Status other = runOnThreads(
        2, keepOn, "the Mantel test", [] { throw std::runtime_error("no such permutation"); });
    ASSERT_FALSE(other.ok());
    EXPECT_EQ(other.error().message, "The Mantel test failed: no such permutation");
}

// Says "cancelled" from its (limit + 1)th poll on, whichever thread polls.
class CancelAfterPolls final : public ProgressSink
{
public:
    explicit CancelAfterPolls(int limit)
        : m_left(limit)
    {}
    void status(std::string_view) override {}
    bool cancelled() const override { return m_left.fetch_sub(1) <= 0; }
    void stepProgress(std::uint64_t done, std::uint64_t) override
    {
        steps.push_back(done);
        stepThreads.push_back(std::this_thread::get_id());
    }
    std::vector<std::uint64_t> steps;
    std::vector<std::thread::id> stepThreads;

private:
    mutable std::atomic<int> m_left;
};

TEST(WorkerPool, CancelEndsEveryThreadBeforeItsNextBatchAndLeavesNoBatchHalfDone)
{
    // Each batch begins after one poll that said "go on", so exactly 40 batches of 7 run; the
    // bootstrap and the Mantel test both hand their work out through this pool.
    constexpr std::size_t count = 10000;
    constexpr std::size_t batch = 7;
    std::vector<std::atomic<int>> seen(count);
    CancelAfterPolls progress(40);
    const Status st = runBatches(count, batch, 4, progress, true, "the Mantel test", [&] {
        return [&](std::size_t first, std::size_t last) {
            for (std::size_t i = first; i < last; ++i) {
                ++seen[i];
                std::this_thread::yield();
            }
        };
    });
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.error().kind, ErrorKind::Cancelled);
    EXPECT_EQ(st.error().message, "The analysis was cancelled.");
    std::size_t batchesDone = 0;
    for (std::size_t first = 0; first < count; first += batch) {
        const int mark = seen[first].load();
        ASSERT_LE(mark, 1) << "element " << first << " taken twice";
        for (std::size_t i = first; i < std::min(count, first + batch); ++i) {
            ASSERT_EQ(seen[i].load(), mark) << "batch from " << first << " half done";
        }
        batchesDone += static_cast<std::size_t>(mark);
    }
    EXPECT_EQ(batchesDone, 40u);
    for (std::size_t k = 0; k < progress.steps.size(); ++k) {
        EXPECT_EQ(progress.stepThreads[k], std::this_thread::get_id());
        EXPECT_LE(progress.steps[k], 40 * batch);
        if (k > 0) {
            EXPECT_GT(progress.steps[k], progress.steps[k - 1]);
        }
    }
}

// The bytes of every stored result, so that two runs compare to the last bit.
std::string resultBytes(const AnalysisResults& r)
{
    std::string bytes;
    const auto add = [&](std::span<const double> v) {
        bytes.append(reinterpret_cast<const char*>(v.data()), v.size_bytes());
    };
    for (const Matrix* m : {&r.rMatrix, &r.dSquare, &r.pcScores, &r.scaledPcScores}) {
        add(m->data());
    }
    for (const auto* v : {&r.observedVariance, &r.expectedVariance, &r.residualVariance}) {
        add(*v);
    }
    return bytes;
}

TEST_F(RunReliability, EveryThreadCountAndMemoryBudgetGivesTheSameRun)
{
    // blocks of 7 bytes end inside numbers and between records; the last blocks come from a
    // record split over lines with a CR LF, and from records with missing values. 204 records
    // of 24 bytes are kept: 2 KiB overflows in the middle of the first pass, 1 MiB holds them
    // all, and 0 reads the file twice.
    std::string text =
        generatedFile(5, 40) + "3, 12.25,\r\n 21\r\n\r\n4, 13.5, 22\r\n5, NA, 23\r\n2,11.5,.\n";
    RunInput in = inputFor(text);
    in.threads = 1;
    in.memoryBudget = 0;
    RecordingProgress referenceLines;
    auto reference = run(in, referenceLines);
    ASSERT_TRUE(reference.ok()) << reference.error().message;
    ASSERT_FALSE(referenceLines.bytes.empty());
    EXPECT_EQ(referenceLines.bytes.back()[1], text.size());
    for (const unsigned threads : {1u, 2u, 3u, 8u}) {
        for (const std::uint64_t budget :
             {std::uint64_t{0}, std::uint64_t{2} << 10, std::uint64_t{1} << 20}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, budget " + std::to_string(budget));
            in.threads = threads;
            in.memoryBudget = budget;
            in.readBlockBytes = 7;
            RecordingProgress lines;
            auto out = run(in, lines);
            ASSERT_TRUE(out.ok()) << out.error().message;
            EXPECT_EQ(resultBytes(out->results), resultBytes(reference->results));
            EXPECT_EQ(out->report, reference->report);
            EXPECT_EQ(out->matrixFile, reference->matrixFile);
            EXPECT_EQ(lines.lines, referenceLines.lines);
            // the bar reaches the file's size at the end, however the pass was read
            ASSERT_FALSE(lines.bytes.empty());
            EXPECT_EQ(lines.bytes.back(), referenceLines.bytes.back());
        }
    }
}

TEST_F(RunReliability, ReadErrorsNameTheSameLineAndFieldOnEveryThreadCount)
{
    // 200 records of about 14 bytes in blocks of 256 bytes: the faults lie in the first, a
    // middle and the last block
    const std::string good = generatedFile(5, 40);
    const std::size_t headerEnd = good.find("Length, Breadth\n") + 16;
    const std::size_t middle = good.find('\n', good.size() / 2) + 1;
    const struct
    {
        const char* what;
        std::string text;
    } cases[] = {
        {"first block", good.substr(0, headerEnd) + "2, 1O.5, 3\n" + good.substr(headerEnd)},
        {"middle block", good.substr(0, middle) + "1, 10.5,, 3\n" + good.substr(middle)},
        {"missing code", good.substr(0, middle) + "NA, 10.5, 3\n" + good.substr(middle)},
        {"last block", good + "3, 10.5, \"3\"\n"},
        {"a quoted missing value", good + "3, \"NA\", 4\n"},
        {"a number out of range", good + "3, 1e999, 4\n"},
        {"end of the file", good + "3, 10.5\n"},
        {"a long but valid number", good + "3, 10." + std::string(5000, '0') + "1, 4\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RunInput in = inputFor(good);
        writeFile(m_data, c.text);
        in.threads = 1;
        RecordingProgress referenceLines;
        auto reference = run(in, referenceLines);
        for (const unsigned threads : {2u, 8u}) {
            in.threads = threads;
            in.readBlockBytes = 256;
            RecordingProgress lines;
            auto out = run(in, lines);
            ASSERT_EQ(out.ok(), reference.ok());
            if (!out.ok()) {
                EXPECT_EQ(out.error().message, reference.error().message);
                EXPECT_EQ(out.error().line, reference.error().line);
                EXPECT_EQ(out.error().field, reference.error().field);
            } else {
                EXPECT_EQ(out->report, reference->report);
            }
            EXPECT_EQ(lines.lines, referenceLines.lines);
        }
    }
}

// Cancels once a status line starting with `trigger` has been shown; counts the polls after.
class CancellingProgress final : public ProgressSink
{
public:
    explicit CancellingProgress(std::string trigger)
        : m_trigger(std::move(trigger))
    {}
    void status(std::string_view line) override
    {
        lines.emplace_back(line);
        m_seen = m_seen || line.starts_with(m_trigger);
    }
    bool cancelled() const override
    {
        polls += m_seen ? 1 : 0;
        return m_seen;
    }
    std::vector<std::string> lines;
    mutable int polls = 0;

private:
    std::string m_trigger;
    bool m_seen = false;
};

TEST_F(RunReliability, CancelledRunStopsInEitherPassAndInTheEigenStage)
{
    // 30 populations: the solver needs a few thousand rotations, so it is asked to stop
    // before it ends
    RunInput in = inputFor(generatedFile(30, 3));
    NullProgress quiet;
    auto whole = run(in, quiet);
    ASSERT_TRUE(whole.ok()) << whole.error().message;

    for (const std::uint64_t budget : {std::uint64_t{0}, defaultMemoryBudget()}) {
        in.memoryBudget = budget;
        for (const std::string stage :
             {"...pass 1 of 2", "...pass 2 of 2", "...performing PCA..."}) {
            SCOPED_TRACE(stage + " with a budget of " + std::to_string(budget));
            CancellingProgress progress(stage);
            auto out = run(in, progress);
            ASSERT_FALSE(out.ok());
            EXPECT_EQ(out.error().kind, ErrorKind::Cancelled);
            EXPECT_EQ(progress.polls, 1); // the run stopped at the first answer
            EXPECT_TRUE(progress.lines.back().starts_with(stage)) << progress.lines.back();
        }
    }
    // a sink that never cancels changes nothing
    CancellingProgress never("no such line");
    auto again = run(in, never);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->report, whole->report);
}

// Symmetric, with distinct off-diagonal values, so that every pair needs rotating.
Matrix spreadMatrix(std::size_t g)
{
    Matrix m(g, g);
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j <= i; ++j) {
            const double v = static_cast<double>((i * 131 + j * 71) % 97) / 97.0;
            m(i, j) = v;
            m(j, i) = v;
        }
    }
    return m;
}

TEST(EigenProgress, LargeMatricesShowTheRotationsDoneAndHonourCancel)
{
    // 300 populations take over 131,072 rotations: a status line every 65,536
    const Matrix a = spreadMatrix(300);
    CancellingProgress watching("no such line");
    const EigenDecomposition full = decompose(a, &watching, "...performing PCA...");
    ASSERT_TRUE(full.converged);
    ASSERT_GE(full.rotationCount, 2 * 65536);
    ASSERT_GE(watching.lines.size(), 2u);
    EXPECT_EQ(watching.lines[0], "...performing PCA... 65536 rotations done");
    EXPECT_EQ(watching.lines[1], "...performing PCA... 131072 rotations done");
    // the sink changes nothing of the result
    const EigenDecomposition plain = decompose(a);
    EXPECT_EQ(plain.centredMatrix, full.centredMatrix);
    EXPECT_EQ(plain.eigenvectors, full.eigenvectors);

    CancellingProgress stopping("...performing PCA...");
    const EigenDecomposition stopped = decompose(a, &stopping, "...performing PCA...");
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_FALSE(stopped.converged);
    EXPECT_EQ(stopping.polls, 1);
    EXPECT_EQ(stopping.lines.size(), 1u); // at 65536 rotations, the first time it was asked
}

TEST(RunMemory, CountsTheMatricesAndTheListingOfTheRun)
{
    // 2000 populations, 10 variables, scaled: 9 matrices of 2000 x 2000 doubles, 4 of
    // 2000 x 10 and 4 of 10 x 10 = 288,643,200 bytes; 1,999,000 pairs of 192 listing bytes,
    // counted twice = 767,616,000; 1,835,008 fixed.
    EXPECT_EQ(runMemoryBytes(2000, 10, true), 288643200u + 767616000u + 1835008u);
    // without the scaled matrices: 7 matrices and 108 bytes a pair
    EXPECT_EQ(runMemoryBytes(2000, 10, false), 224643200u + 431784000u + 1835008u);

    EXPECT_EQ(memoryText(1), "1 MB");
    EXPECT_EQ(memoryText(std::uint64_t{640} << 20), "640 MB");
    EXPECT_EQ(memoryText((std::uint64_t{640} << 20) + 1), "641 MB");
    EXPECT_EQ(memoryText(std::uint64_t{17} << 29), "8704 MB");
    EXPECT_EQ(memoryText(std::uint64_t{21} << 29), "10.5 GB");

    const Status refused = checkRunMemory(2000, 10, true, std::uint64_t{512} << 20);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().kind, ErrorKind::Analysis);
    EXPECT_EQ(refused.error().message,
              "2000 populations and 10 variables need 1010 MB for the matrices of the analysis "
              "and their listing, more than the 512 MB of memory of this computer; choose fewer "
              "populations or variables.");
    // 7 matrices and 108 listing bytes a pair: 224,064,032 + 431,784,000 + 1,835,008 bytes
    EXPECT_TRUE(checkRunMemory(2000, 1, false, 1u << 20)
                    .error()
                    .message.starts_with("2000 populations and 1 variable need 628 MB "));
    EXPECT_TRUE(checkRunMemory(2000, 10, true, std::uint64_t{2} << 30).ok());
    EXPECT_TRUE(checkRunMemory(2000, 10, true, 0).ok()); // memory unknown
}

TEST_F(RunReliability, RunTooLargeForTheComputerIsRefusedBeforeReadingTheFile)
{
    // 30,000 populations with two records each: over 64 GB for the matrices alone
    RunInput in = inputFor(generatedFile(30000, 2));
    const std::uint64_t need = runMemoryBytes(30000, 2, false);
    if (physicalMemoryBytes() >= need) {
        GTEST_SKIP() << "this computer could hold the run";
    }
    CancellingProgress progress("no such line");
    auto out = run(in, progress);
    ASSERT_FALSE(out.ok());
    EXPECT_EQ(out.error().kind, ErrorKind::Analysis);
    EXPECT_TRUE(out.error().message.starts_with("30000 populations and 2 variables need "))
        << out.error().message;
    EXPECT_TRUE(progress.lines.empty()); // refused before the first pass

    // the memory the run may plan for is an input: the small file of the other tests
    RunInput small = inputFor(generatedFile(3, 4));
    small.memoryBytes = 1u << 20;
    auto refused = run(small);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().message.find("more than the 1 MB of memory"), std::string::npos)
        << refused.error().message;
}

} // namespace
} // namespace tavrik
