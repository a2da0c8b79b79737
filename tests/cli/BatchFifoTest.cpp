// Inputs that only a POSIX system has: a FIFO given as the data file or as the table to
// import is refused at once, never waited on.
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "BatchHarness.h"

namespace {

using namespace tavrik::test;

TEST_F(BatchProgram, RefusesADataFileThatIsNotARegularFileWithoutWaiting)
{
    const fs::path fifo = m_dir / "data.tvk";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // no writer ever comes: a program that waited for one would hang here, so a child of the
    // test opens the FIFO after a while to release it, and the test fails instead
    const pid_t releaser = fork();
    if (releaser == 0) {
        sleep(10);
        const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
        _exit(fd >= 0 ? 0 : 1);
    }
    const Outcome o = run({"data.tvk"});
    kill(releaser, SIGKILL);
    waitpid(releaser, nullptr, 0);
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("it is a pipe or FIFO, not a regular file; the analysis reads its data "
                         "file twice and needs a regular file"),
              std::string::npos)
        << o.err;
}

TEST_F(BatchProgram, RefusesATableToImportThatIsAFifoWithoutWaiting)
{
    // nothing writes to the FIFO: opening it to read would wait for ever
    ASSERT_EQ(::mkfifo((m_dir / "pipe.csv").c_str(), 0600), 0);
    expectRefused("--import-csv pipe.csv --population-column Site --output o.tvk",
                  3,
                  "tavrik-batch: cannot open pipe.csv: it is a pipe or FIFO, not a regular file; "
                  "the import reads its file twice and needs a regular file",
                  {"pipe.csv"});
}

} // namespace
