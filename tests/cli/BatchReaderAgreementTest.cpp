// The parallel reader through the whole program under an address space limit: a data file of
// several blocks gives the whole result of the sequential reader or a message about memory,
// never a report from part of the records.
#include <cstdint>

#include "BatchHarness.h"

namespace tavrik::test {
namespace {

// About 3.4 MiB of records, three blocks of the parallel reader and part of a fourth.
constexpr int recordCount = 100000;

[[maybe_unused]] std::string generated() // not used under the address sanitizer
{
    std::string text = "\"Reader agreement: four valleys\"\n4, 4\n"
                       "Ashby, 1, 1200\nBrent, 2, 800\nCorry, 3, 2500\nDunmore, 4, 640\n"
                       "Stature, Head length, Head breadth, Nose height\n";
    std::uint64_t state = 88172645463325252ULL;
    const auto next = [&state](int below) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<int>(state % static_cast<std::uint64_t>(below));
    };
    const int base[4] = {1650, 182, 146, 51};
    for (int r = 0; r < recordCount; ++r) {
        const int pop = 1 + next(4);
        std::string line = std::to_string(pop);
        for (int k = 0; k < 4; ++k) {
            const int hundredths = (base[k] + 7 * pop * (k + 1)) * 100 + next(4000) - 2000;
            const std::string digits = std::to_string(hundredths);
            line +=
                ", " + digits.substr(0, digits.size() - 2) + "." + digits.substr(digits.size() - 2);
        }
        text += line + "\n";
    }
    return text;
}

class BatchReaderAgreement : public BatchProgram
{
protected:
    struct Run
    {
        Outcome outcome;
        std::string report, listing, json;
    };

    Run runWith(const std::string& threads, const std::function<void()>& prepare = {}) const
    {
        for (const char* name : {"r.txt", "l.txt", "j.json"}) {
            fs::remove(m_dir / name);
        }
        Run run;
        run.outcome = BatchProgram::run({"data.tvk",
                                         "--threads",
                                         threads,
                                         "--report",
                                         "r.txt",
                                         "--listing",
                                         "l.txt",
                                         "--json",
                                         "j.json"},
                                        "1000000000",
                                        prepare);
        run.report = readFile(m_dir / "r.txt");
        run.listing = readFile(m_dir / "l.txt");
        run.json = readFile(m_dir / "j.json");
        return run;
    }
};

TEST_F(BatchReaderAgreement, AnAddressSpaceLimitGivesTheWholeResultOrAMessageAboutMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit allows";
#else
    if (!childSetupWorks()) {
        GTEST_SKIP() << "no limit of address space can be set on a child here";
    }
    writeFile(m_dir / "data.tvk", generated());
    const Run whole = runWith("1");
    ASSERT_EQ(whole.outcome.status, 0) << whole.outcome.err;
    // from too little to start the program to enough for the records kept in memory
    int started = 0;
    for (std::uint64_t megabytes = 48; megabytes <= 160; megabytes += 8) {
        SCOPED_TRACE(std::to_string(megabytes) + " MB of address space");
        const Run limited = runWith("3", addressSpaceLimit(megabytes << 20));
        if (limited.outcome.status == 127) {
            continue; // the system could not load the program itself
        }
        ++started;
        if (limited.outcome.status == 0) {
            EXPECT_TRUE(limited.report == whole.report) << "a report from part of the records";
            EXPECT_TRUE(limited.json == whole.json);
        } else {
            EXPECT_EQ(limited.outcome.status, 1) << limited.outcome.err;
            EXPECT_NE(limited.outcome.err.find("memory"), std::string::npos) << limited.outcome.err;
            EXPECT_TRUE(limited.report.empty());
        }
    }
    EXPECT_GT(started, 0);
#endif
}

} // namespace
} // namespace tavrik::test
