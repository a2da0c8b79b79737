// Where tavrik-batch may write: every target is checked before the analysis, devices, links and
// standard output are written as a shell's redirection would, and a failure replaces nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
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
};

// Runs the program with standard output on /dev/full, or closed when full is false; returns
// the exit status.
int runWithBrokenStdout(const std::vector<std::string>& args, bool full)
{
    const pid_t pid = fork();
    if (pid == 0) {
        // Standard error first: a descriptor opened after closing standard output would take
        // its number.
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDERR_FILENO);
        if (full) {
            const int fd = ::open("/dev/full", O_WRONLY);
            if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0) {
                _exit(127);
            }
        } else {
            ::close(STDOUT_FILENO);
        }
        std::vector<char*> argv{const_cast<char*>(TAVRIK_BATCH)};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(TAVRIK_BATCH, argv.data());
        _exit(127);
    }
    int raw = 0;
    return pid > 0 && waitpid(pid, &raw, 0) == pid && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST_F(BatchOutput, ABadTargetIsReportedBeforeTheAnalysisAndReplacesNothing)
{
    writeFile(m_dir / "r.txt", "the previous report\r\n");
    fs::create_directory(m_dir / "adir");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--vt-results adir", "Cannot save \"adir\": is a folder"},
        {"--listing adir/", "Cannot save \"adir/\": is a folder"},
        {"--matrix d2:ntsys:missing/d.nts",
         "Cannot save \"missing/d.nts\": No such file or directory"},
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

    const Outcome stdoutPath = run(args("@cli_three_pops.tvk --report /dev/stdout"));
    ASSERT_EQ(stdoutPath.status, 0) << stdoutPath.err;
    EXPECT_EQ(stdoutPath.out, report);

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

#ifdef TAVRIK_HAVE_CHART
    fs::remove(m_dir / "full");
    ASSERT_TRUE(makeDevice("full.svg", 7));
    const Outcome chart = run(args("@cli_three_pops.tvk --report r.txt --chart full.svg"));
    EXPECT_EQ(chart.status, 1);
    EXPECT_EQ(chart.err, "tavrik-batch: Cannot save \"full.svg\": No space left on device\n");
    EXPECT_TRUE(isCharacterDevice("full.svg"));
#endif
}

TEST_F(BatchOutput, HelpAndVersionFailOnAFullOrClosedStandardOutput)
{
    for (const char* option : {"--help", "--version"}) {
        SCOPED_TRACE(option);
        EXPECT_EQ(runWithBrokenStdout({option}, true), 1);
        EXPECT_EQ(runWithBrokenStdout({option}, false), 1);
    }
}

} // namespace
