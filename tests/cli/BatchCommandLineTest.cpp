// How tavrik-batch reads its command line: which argument is an option, a value or an operand,
// which complaint is printed, and that the manual page and --help list the same options.
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "BatchHarness.h"

namespace {

using namespace tavrik::test;

const std::string tryHelp = "Try 'tavrik-batch --help' for more information.\n";

// Each line is refused with status 2 and exactly this complaint, nothing else on standard
// error: no text of the parsing library, no second complaint.
TEST_F(BatchProgram, NamesTheFirstFaultOfTheLineInItsOwnWords)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        // no built-in help flag, no abbreviations, no case folding
        {"-h @cli_three_pops.tvk", "unknown option \"-h\""},
        {"--herit 0.5 @cli_three_pops.tvk", "unknown option \"--herit\""},
        {"--Heritability 0.5 @cli_three_pops.tvk", "unknown option \"--Heritability\""},
        {"-1 @cli_three_pops.tvk", "unknown option \"-1\""},
        {"--colour=red @cli_three_pops.tvk", "unknown option \"--colour=red\""},
        // a flag never takes a value, not even one that reads as true or false
        {"--scaled=0 @cli_three_pops.tvk", "option --scaled takes no value"},
        {"--no-bias-correction=false @cli_three_pops.tvk",
         "option --no-bias-correction takes no value"},
        {"--progress= @cli_three_pops.tvk", "option --progress takes no value"},
        // an empty value is a value: it does not take the next argument
        {"--listing= @cli_three_pops.tvk", "--listing needs a file name"},
        {"--title= --import-csv= --population-column P --output o.tvk",
         "--import-csv needs a file name"},
        {"@cli_three_pops.tvk --matrix", "option --matrix needs a value (WHICH:LAYOUT:FILE)"},
        // of two faults, the one met first
        {"--colour --heritability 5 @cli_three_pops.tvk", "unknown option \"--colour\""},
        {"--heritability 5 --colour @cli_three_pops.tvk",
         "heritability \"5\" is not a number in the range 0 < H <= 1"},
        {"--heritability 5 --scaled=1 @cli_three_pops.tvk",
         "heritability \"5\" is not a number in the range 0 < H <= 1"},
        {"--bootstrap 1 --report",
         "--bootstrap \"1\": expected a whole number of replicates "
         "from 2 to 10000000"},
        // after "--" every argument is an operand; before it, a value may look like an option
        {"@cli_three_pops.tvk -- --scaled", "one data file expected, found also \"--scaled\""},
        {"--chart -- @cli_three_pops.tvk",
         "--chart \"--\": the file name must end in .png or .svg"},
    };
    for (const auto& [line, complaint] : cases) {
        SCOPED_TRACE(line);
        const Outcome o = run(args(line));
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.err, "tavrik-batch: " + complaint + "\n" + tryHelp);
        EXPECT_EQ(filesIn(), std::vector<std::string>{});
    }
}

TEST_F(BatchProgram, LaterOccurrenceOfAnOptionWinsAndRepeatedNamesAddUp)
{
    const Outcome o = run(args("--heritability 0.5 @cli_three_pops.tvk --heritability=0.7 "
                               "--report r.txt --report=- --variable Breadth --variable Length"));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(filesIn(), std::vector<std::string>{});
    const std::vector<std::string> head = lines(o.out);
    ASSERT_GE(head.size(), 12u);
    EXPECT_EQ(head[9], " Data selected for:  3  populations and  2  variables\r");
    EXPECT_EQ(head[11], "Heritability = 0.700\r");
}

// Every option in --help is described in the manual page, and the manual page names no
// option that --help leaves out.
TEST_F(BatchProgram, ManualPageAndHelpListTheSameOptions)
{
    const Outcome help = run({"--help"});
    ASSERT_EQ(help.status, 0);
    std::set<std::string> listed;
    for (const std::string& line : lines(help.out)) {
        if (line.starts_with("  --")) {
            listed.insert(line.substr(2, line.find(' ', 2) - 2));
        }
    }
    EXPECT_GE(listed.size(), 30u);

    // roff writes a minus sign as \-, so --no-bias-correction is \-\-no\-bias\-correction
    const std::string page = readFile(dataDir / "../../docs/man/tavrik-batch.1");
    ASSERT_FALSE(page.empty());
    std::set<std::string> described;
    for (std::size_t at = page.find("\\-\\-"); at != std::string::npos;
         at = page.find("\\-\\-", at + 1)) {
        std::string name = "--";
        for (std::size_t i = at + 4; i < page.size(); ++i) {
            if (page[i] >= 'a' && page[i] <= 'z') {
                name += page[i];
            } else if (page.compare(i, 2, "\\-") == 0 && i + 2 < page.size() &&
                       page[i + 2] >= 'a' && page[i + 2] <= 'z') {
                name += '-';
                ++i;
            } else {
                break;
            }
        }
        if (name.size() > 2) {
            described.insert(name);
        }
    }
    EXPECT_EQ(described, listed);
}

} // namespace
