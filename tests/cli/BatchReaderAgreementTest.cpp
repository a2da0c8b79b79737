// The parallel reader against the sequential one, through the whole program: a data file of
// several blocks with one unusual but valid field, or one fault, placed just before, on and
// after a block boundary (in the first, a middle and the last block) must give the same
// report, listing, JSON and messages with --threads 3 as with --threads 1, and the report's
// total must count every complete record of the file.
#include <cstdint>

#include "BatchHarness.h"

namespace tavrik::test {
namespace {

// The reader's blocks are this long, measured from the end of the header.
constexpr std::size_t blockBytes = std::size_t{1} << 20;

// About 3.4 MiB of records: boundaries after the first, second and third block.
constexpr int recordCount = 100000;

// A data file as lines (each with its line end); lines[0..6] are the header.
struct DataLines
{
    std::vector<std::string> lines;
    std::size_t headerLines = 0;

    std::string text() const
    {
        std::string all;
        for (const std::string& l : lines) {
            all += l;
        }
        return all;
    }
    // The byte offset where line i starts.
    std::size_t offsetOf(std::size_t i) const
    {
        std::size_t at = 0;
        for (std::size_t k = 0; k < i; ++k) {
            at += lines[k].size();
        }
        return at;
    }
    // The record line holding byte offset `at`.
    std::size_t lineAt(std::size_t at) const
    {
        std::size_t start = 0;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            if (at < start + lines[k].size()) {
                return k;
            }
            start += lines[k].size();
        }
        return lines.size() - 1;
    }
};

DataLines generated()
{
    DataLines d;
    d.lines = {"\"Reader agreement: four valleys\"\n",
               "4, 4\n",
               "Ashby, 1, 1200\n",
               "Brent, 2, 800\n",
               "Corry, 3, 2500\n",
               "Dunmore, 4, 640\n",
               "Stature, Head length, Head breadth, Nose height\n"};
    d.headerLines = d.lines.size();
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
        d.lines.push_back(line + "\n");
    }
    return d;
}

// Start and end (exclusive) of field f of a record line: fields are separated by ", ".
std::pair<std::size_t, std::size_t> fieldRange(const std::string& line, int f)
{
    std::size_t start = 0;
    for (int k = 0; k < f; ++k) {
        start = line.find(", ", start) + 2;
    }
    const std::size_t end = std::min(line.find(", ", start), line.size() - 1);
    return {start, end};
}

// The field of the line that holds the byte `at` of the line (the next one on a separator).
int fieldHolding(const std::string& line, std::size_t at)
{
    for (int f = 0; f <= 4; ++f) {
        if (at < fieldRange(line, f).second) {
            return f;
        }
    }
    return 4;
}

enum class Change {
    LongNumber,   // valid: the same value with 5000 more digits
    Exponent,     // valid: the value written with an exponent
    MissingValue, // valid: NA for a value, so the record is left out
    Blanks,       // valid: blanks and a tab around the field
    SplitLine,    // valid: the record goes on on the next line before this field
    BadValue,     // fault: a value that is no number
    MissingCode,  // fault: NA for the population code
};

struct Placement
{
    std::string where;
    std::size_t line = 0;
    int field = 1;
};

void apply(Change change, std::string& line, int field)
{
    if (change == Change::MissingCode) {
        field = 0;
    } else if (field == 0) {
        field = 1;
    }
    const auto [start, end] = fieldRange(line, field);
    const std::string value = line.substr(start, end - start);
    std::string replaced;
    switch (change) {
    case Change::LongNumber:
        replaced = value + std::string(5000, '0');
        break;
    case Change::Exponent: {
        const std::size_t point = value.find('.');
        replaced = value.substr(0, 1) + "." + value.substr(1, point - 1) + value.substr(point + 1) +
                   "e" + std::to_string(point - 1);
        break;
    }
    case Change::MissingValue:
    case Change::MissingCode:
        replaced = "NA";
        break;
    case Change::Blanks:
        replaced = " \t " + value + "\t  ";
        break;
    case Change::SplitLine:
        replaced = "\n" + value;
        break;
    case Change::BadValue:
        replaced = value.substr(0, 2) + "x" + value.substr(3);
        break;
    }
    line.replace(start, end - start, replaced);
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

    // The parallel and the sequential run of the data file agree byte for byte; a run that
    // succeeds counts `complete` records.
    void expectAgreement(const std::string& text, long complete) const
    {
        writeFile(m_dir / "data.tvk", text);
        const Run parallel = runWith("3");
        const Run sequential = runWith("1");
        EXPECT_EQ(parallel.outcome.status, sequential.outcome.status);
        EXPECT_EQ(parallel.outcome.err, sequential.outcome.err);
        EXPECT_EQ(parallel.outcome.out, sequential.outcome.out);
        EXPECT_TRUE(parallel.report == sequential.report) << "the reports differ";
        EXPECT_TRUE(parallel.listing == sequential.listing) << "the listings differ";
        EXPECT_TRUE(parallel.json == sequential.json) << "the JSON documents differ";
        if (complete > 0) {
            ASSERT_EQ(sequential.outcome.status, 0) << sequential.outcome.err;
            const std::string total = "Total           " + std::to_string(complete) + "\r\n";
            EXPECT_NE(parallel.report.find(total), std::string::npos)
                << "no \"" << total.substr(0, total.size() - 2) << "\" in the report";
        } else {
            EXPECT_EQ(sequential.outcome.status, 3);
            EXPECT_NE(sequential.outcome.err.find(", line "), std::string::npos)
                << sequential.outcome.err;
        }
    }
};

std::vector<Placement> placements(const DataLines& d)
{
    // the parallel reader starts where the header's last field ends, just before its line end
    const std::size_t recordsStart = d.offsetOf(d.headerLines) - 1;
    std::vector<Placement> result;
    for (const auto& [name, block] :
         std::vector<std::pair<std::string, std::size_t>>{{"first", 1}, {"middle", 2}}) {
        const std::size_t boundary = recordsStart + block * blockBytes;
        const std::size_t on = d.lineAt(boundary);
        const int field = fieldHolding(d.lines[on], boundary - d.offsetOf(on));
        result.push_back({"before the " + name + " boundary", on - 1, 4});
        result.push_back({"on the " + name + " boundary", on, field});
        result.push_back({"after the " + name + " boundary", on + 1, 1});
    }
    result.push_back({"in the last block", d.lines.size() - 40, 2});
    result.push_back({"in the last record", d.lines.size() - 1, 4});
    return result;
}

TEST_F(BatchReaderAgreement, UnusualValidFieldsAtBlockBoundariesGiveTheSameResults)
{
    const DataLines d = generated();
    ASSERT_GT(d.text().size(), 3 * blockBytes);
    for (const Change change : {Change::LongNumber,
                                Change::Exponent,
                                Change::MissingValue,
                                Change::Blanks,
                                Change::SplitLine}) {
        for (const Placement& p : placements(d)) {
            SCOPED_TRACE("change " + std::to_string(static_cast<int>(change)) + " " + p.where);
            DataLines changed = d;
            apply(change, changed.lines[p.line], p.field);
            expectAgreement(changed.text(), recordCount - (change == Change::MissingValue ? 1 : 0));
        }
    }
}

TEST_F(BatchReaderAgreement, FaultsAtBlockBoundariesAreNamedAtTheSameLine)
{
    const DataLines d = generated();
    for (const Change change : {Change::BadValue, Change::MissingCode}) {
        for (const Placement& p : placements(d)) {
            SCOPED_TRACE("change " + std::to_string(static_cast<int>(change)) + " " + p.where);
            DataLines changed = d;
            apply(change, changed.lines[p.line], p.field);
            expectAgreement(changed.text(), 0);
        }
    }
    // a last record cut short, and the first block's end not on a line end
    DataLines cut = d;
    std::string& last = cut.lines.back();
    last = last.substr(0, fieldRange(last, 4).first - 2) + "\n";
    expectAgreement(cut.text(), 0);
}

TEST_F(BatchReaderAgreement, AnAddressSpaceLimitGivesTheWholeResultOrAMessageAboutMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit allows";
#else
    const DataLines d = generated();
    writeFile(m_dir / "data.tvk", d.text());
    const Run whole = runWith("1");
    ASSERT_EQ(whole.outcome.status, 0) << whole.outcome.err;
    // from too little to start the program to enough for the records kept in memory
    int started = 0;
    for (rlim_t megabytes = 48; megabytes <= 160; megabytes += 8) {
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
