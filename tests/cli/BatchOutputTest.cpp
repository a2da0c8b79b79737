// Where tavrik-batch may write: every target is checked before the analysis, devices, links and
// standard output are written as a shell's redirection would, and a failure replaces nothing.
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <vector>

#include "BatchHarness.h"

namespace {

using namespace tavrik::test;

class BatchOutput : public BatchProgram
{
protected:
    // A copy of the system device (1, minor) in m_dir: 3 is the null device, 7 the full one.
    bool makeDevice(const std::string& name, unsigned minor) const
    {
        return ::geteuid() == 0 &&
               ::mknod((m_dir / name).c_str(), S_IFCHR | 0666, ::makedev(1, minor)) == 0;
    }

    bool isCharacterDevice(const std::string& name) const
    {
        struct stat st = {};
        return ::lstat((m_dir / name).c_str(), &st) == 0 && S_ISCHR(st.st_mode);
    }

    Outcome run(const std::vector<std::string>& args, const std::function<void()>& prepare) const
    {
        return BatchProgram::run(args, "1000000000", prepare);
    }
    using BatchProgram::run;

    // Ways for standard output to fail, with the reason the program gives: closed, on a pipe
    // whose reader is gone, and on the full device where the test may make one.
    std::vector<std::pair<std::function<void()>, std::string>> brokenStdouts() const
    {
        std::vector<std::pair<std::function<void()>, std::string>> ways = {
            {[] { ::close(STDOUT_FILENO); }, "Bad file descriptor"},
            {[] { pipeWithoutReader(STDOUT_FILENO); }, "Broken pipe"},
        };
        if (isCharacterDevice("full") || makeDevice("full", 7)) {
            ways.emplace_back(
                [full = m_dir / "full"] {
                    const int fd = ::open(full.c_str(), O_WRONLY);
                    if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0 || ::close(fd) != 0) {
                        _exit(127);
                    }
                },
                "No space left on device");
        }
        return ways;
    }

    // Puts on descriptor fd the writing end of a pipe that nobody reads.
    static void pipeWithoutReader(int fd)
    {
        int ends[2] = {-1, -1};
        if (::pipe(ends) != 0 || ::dup2(ends[1], fd) < 0) {
            _exit(127);
        }
        ::close(ends[0]);
        ::close(ends[1]);
    }
};

TEST_F(BatchOutput, ABadTargetIsReportedBeforeTheAnalysisAndReplacesNothing)
{
    writeFile(m_dir / "r.txt", "the previous report\r\n");
    fs::create_directory(m_dir / "adir");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--vt-results adir", "Cannot save \"adir\": is a folder"},
        {"--listing adir/", "Cannot save \"adir/\": is a folder"},
        {"--matrix d2:ntsys:missing/d.nts",
         "Cannot save \"missing/d.nts\": the folder \"missing\" does not exist"},
    };
    for (const auto& [option, complaint] : cases) {
        SCOPED_TRACE(option);
        // With --progress the run would print its progress: the one line is the complaint.
        const Outcome o = run(args("@cli_three_pops.tvk --progress --report r.txt " + option));
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, "tavrik-batch: " + complaint + "\n");
        EXPECT_EQ(readFile(m_dir / "r.txt"), "the previous report\r\n");
        EXPECT_EQ(filesIn(), (std::vector<std::string>{"adir", "r.txt"}));
    }
    const Outcome import = run(args("--import-csv @csv_measurements.csv --population-column "
                                    "Population --leave-out-bad-rows --output adir"));
    EXPECT_EQ(import.status, 1);
    EXPECT_EQ(import.err, "tavrik-batch: Cannot save \"adir\": is a folder\n");
}

TEST_F(BatchOutput, StandardOutputLinksAndDevicesAreWrittenAsAShellWould)
{
    const Outcome file = run(args("@cli_three_pops.tvk --report r.txt"));
    ASSERT_EQ(file.status, 0) << file.err;
    const std::string report = readFile(m_dir / "r.txt");

    // standard output by a name, as /dev/stdout names it, through a link of the test's own
    const fs::path stdoutLink = m_dir / "stdout";
    fs::create_symlink("/proc/self/fd/1", stdoutLink);
    const Outcome stdoutPath = run(args("@cli_three_pops.tvk --report stdout"));
    ASSERT_EQ(stdoutPath.status, 0) << stdoutPath.err;
    EXPECT_EQ(stdoutPath.out, report);
    EXPECT_TRUE(fs::is_symlink(stdoutLink));
    fs::remove(stdoutLink);

    fs::create_symlink("r.txt", m_dir / "link.txt");
    writeFile(m_dir / "r.txt", "old");
    const Outcome linked = run(args("@cli_three_pops.tvk --report link.txt"));
    ASSERT_EQ(linked.status, 0) << linked.err;
    EXPECT_TRUE(fs::is_symlink(m_dir / "link.txt"));
    EXPECT_EQ(readFile(m_dir / "r.txt"), report);
    EXPECT_EQ(filesIn(), (std::vector<std::string>{"link.txt", "r.txt"}));

    if (!makeDevice("null", 3) || !makeDevice("full", 7)) {
        GTEST_SKIP() << "device nodes need root and a folder that allows them";
    }
    // Any number of outputs may go to the null device.
    const Outcome discarded = run(args("@cli_three_pops.tvk --report null --listing null"));
    EXPECT_EQ(discarded.status, 0) << discarded.err;
    // A full device fails the run's writing before any file is replaced.
    const Outcome full = run(args("@cli_three_pops.tvk --report full --listing l.txt"));
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "tavrik-batch: Cannot save \"full\": No space left on device\n");
    EXPECT_TRUE(isCharacterDevice("null") && isCharacterDevice("full"));
    EXPECT_EQ(filesIn(), (std::vector<std::string>{"full", "link.txt", "null", "r.txt"}));

    fs::remove(m_dir / "full");
    ASSERT_TRUE(makeDevice("full.svg", 7));
    const Outcome chart = run(args("@cli_three_pops.tvk --report r.txt --chart full.svg"));
    EXPECT_EQ(chart.status, 1);
    EXPECT_EQ(chart.err, "tavrik-batch: Cannot save \"full.svg\": No space left on device\n");
    EXPECT_TRUE(isCharacterDevice("full.svg"));
}

TEST_F(BatchOutput, HelpAndVersionFailOnAFullOrClosedStandardOutput)
{
    for (const auto& [prepare, reason] : brokenStdouts()) {
        for (const char* option : {"--help", "--version"}) {
            SCOPED_TRACE(std::string(option) + ", " + reason);
            const Outcome o = run({option}, prepare);
            EXPECT_EQ(o.status, 1);
            EXPECT_EQ(o.err, "tavrik-batch: cannot write to standard output: " + reason + "\n");
        }
    }
}

TEST_F(BatchOutput, AFailingStandardOutputLeavesEveryFileAsItWas)
{
    const std::vector<std::string> old = {"r.txt", "l.txt", "p.csv", "j.json", "m.phy"};
    for (const auto& [prepare, reason] : brokenStdouts()) {
        // the report on standard output, or the results document
        for (const std::string layout : {"--listing l.txt --pc-scores p.csv --json j.json",
                                         "--report r.txt --listing l.txt --json - "
                                         "--matrix d2:phylip:m.phy --pc-scores p.csv"}) {
            SCOPED_TRACE(layout + ", " + reason);
            for (const std::string& name : old) {
                writeFile(m_dir / name, "kept " + name);
            }
            const Outcome o = run(args("@cli_three_pops.tvk " + layout), prepare);
            EXPECT_EQ(o.status, 1);
            EXPECT_EQ(o.err,
                      "tavrik-batch: cannot write to standard output: " + reason +
                          "; the output files are left as they were\n");
            for (const std::string& name : old) {
                EXPECT_EQ(readFile(m_dir / name), "kept " + name);
            }
            std::vector<std::string> left = old;
            if (isCharacterDevice("full")) {
                left.push_back("full");
            }
            std::sort(left.begin(), left.end());
            EXPECT_EQ(filesIn(), left);
        }
    }
    // with standard output working, the same run replaces them
    const Outcome done =
        run(args("@cli_three_pops.tvk --listing l.txt --pc-scores p.csv --json j.json"));
    ASSERT_EQ(done.status, 0) << done.err;
    EXPECT_NE(readFile(m_dir / "l.txt"), "kept l.txt");
}

TEST_F(BatchOutput, AnImportOntoAGoneReaderOrIntoAFullDiskSaysSoAndKeepsTheFile)
{
    std::string csv = "Pop,X,Y\n";
    for (int i = 0; i < 2000; ++i) {
        csv += (i % 3 == 0 ? "North," : "South,") + std::to_string(i) + ".5," +
               std::to_string(2 * i) + "\n";
    }
    csv += "South,NA,1\n"; // a missing value, which the import notes after the file is written
    writeFile(m_dir / "big.csv", csv);
    const std::string import = "--import-csv big.csv --population-column Pop --output ";

    const Outcome piped = run(args(import + "-"), [] { pipeWithoutReader(STDOUT_FILENO); });
    EXPECT_EQ(piped.status, 1);
    EXPECT_EQ(piped.err, "tavrik-batch: cannot write the data file to standard output\n");

    // A file with a second name is written in place, so that both names see the new file; a
    // full disk (here a file size limit) leaves both as they were.
    writeFile(m_dir / "data.tvk", "kept\r\n");
    fs::create_hard_link(m_dir / "data.tvk", m_dir / "copy.tvk");
    const Outcome full = run(args(import + "data.tvk"), [] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 8192;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "tavrik-batch: Cannot save \"data.tvk\": File too large\n");
    EXPECT_EQ(readFile(m_dir / "data.tvk"), "kept\r\n");
    EXPECT_EQ(readFile(m_dir / "copy.tvk"), "kept\r\n");
    EXPECT_EQ(filesIn(), (std::vector<std::string>{"big.csv", "copy.tvk", "data.tvk"}));

    // Notes on a standard error that nobody reads cost the import nothing.
    const Outcome imported =
        run(args(import + "data.tvk"), [] { pipeWithoutReader(STDERR_FILENO); });
    EXPECT_EQ(imported.status, 0);
    const std::string written = readFile(m_dir / "data.tvk");
    EXPECT_TRUE(written.starts_with("\"big\"\r\n2, 2\r\n")) << written.substr(0, 40);
    EXPECT_EQ(readFile(m_dir / "copy.tvk"), written);
}

} // namespace
