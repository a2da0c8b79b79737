#include "io/AtomicFile.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tavrik {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tavrik-export-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::set<std::string> entries() const
    {
        std::set<std::string> names;
        for (const fs::directory_entry& e : fs::directory_iterator(m_dir)) {
            names.insert(e.path().filename().string());
        }
        return names;
    }

    static std::string contents(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    static void put(const fs::path& p, const std::string& bytes)
    {
        std::ofstream(p, std::ios::binary) << bytes;
    }

    static unsigned mode(const fs::path& p)
    {
        struct stat st = {};
        EXPECT_EQ(::stat(p.c_str(), &st), 0);
        return st.st_mode & 07777u;
    }

    static struct stat info(const fs::path& p)
    {
        struct stat st = {};
        EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
        return st;
    }

    // A copy of a system device (major, minor) in the test's folder, or a reason to skip.
    std::string makeDevice(const std::string& name, unsigned minor) const
    {
        if (::geteuid() != 0) {
            return "device nodes can be made only by root";
        }
        if (::mknod((m_dir / name).c_str(), S_IFCHR | 0666, ::makedev(1, minor)) != 0) {
            return "mknod is not allowed here";
        }
        const int fd = ::open((m_dir / name).c_str(), O_WRONLY);
        if (fd < 0) {
            return "the temporary folder does not allow devices";
        }
        ::close(fd);
        return {};
    }

    fs::path m_dir;
};

// Written in the child of a fork: the child's exit status tells whether it finished.
template <typename Body> int inChild(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    return status;
}

TEST_F(AtomicFileTest, ReplacesTheContentWithTheUsualPermissions)
{
    const fs::path target = m_dir / "out.txt";
    put(target, "old content that is longer than the new one\r\n");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);

    const std::string bytes("new\r\n\0binary\xff", 13);
    const Status written = writeFileAtomically(target, bytes);
    ASSERT_TRUE(written.ok()) << written.error().message;
    EXPECT_EQ(contents(target), bytes);
    EXPECT_EQ(mode(target), 0640u);
    EXPECT_EQ(entries(), std::set<std::string>{"out.txt"});

    const mode_t previousMask = ::umask(022);
    const Status created = writeFileAtomically(m_dir / "new.csv", "x\r\n");
    ::umask(previousMask);
    ASSERT_TRUE(created.ok()) << created.error().message;
    EXPECT_EQ(mode(m_dir / "new.csv"), 0644u);
}

TEST_F(AtomicFileTest, MissingFolderNamesTheFileAndTheReason)
{
    const fs::path target = m_dir / "missing" / "out.txt";
    const Status written = writeFileAtomically(target, "text");
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().kind, ErrorKind::Io);
    EXPECT_EQ(written.error().message,
              "Cannot save \"" + target.string() + "\": the folder \"" +
                  (m_dir / "missing").string() + "\" does not exist");
    EXPECT_EQ(written.error().path, target.string());
    EXPECT_TRUE(entries().empty());

    // a folder name that is not there is not "a folder", nor is a file on the way
    EXPECT_EQ(writeFileAtomically(m_dir / "missing/", "x").error().message,
              "Cannot save \"" + (m_dir / "missing/").string() +
                  "\": a name that ends in \"/\" names a folder, not a file");
    put(m_dir / "plain.txt", "kept");
    EXPECT_EQ(writeFileAtomically(m_dir / "plain.txt/x.txt", "x").error().message,
              "Cannot save \"" + (m_dir / "plain.txt/x.txt").string() + "\": \"" +
                  (m_dir / "plain.txt").string() + "\" is not a folder");
    EXPECT_EQ(contents(m_dir / "plain.txt"), "kept");
}

TEST_F(AtomicFileTest, FailedWriteLeavesTheEarlierFileIntact)
{
    // A file with a second name is written in place: both names keep the earlier bytes too.
    put(m_dir / "scores.csv", "earlier\r\n");
    put(m_dir / "shared.csv", "shared\r\n");
    fs::create_hard_link(m_dir / "shared.csv", m_dir / "backup.csv");

    // A file size limit makes the write fail part way, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 16;
    std::vector<Status> written;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    for (const char* name : {"scores.csv", "shared.csv"}) {
        written.push_back(writeFileAtomically(m_dir / name, std::string(4096, 'x')));
    }
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, previousHandler);

    for (std::size_t i = 0; i < written.size(); ++i) {
        const fs::path target = m_dir / (i == 0 ? "scores.csv" : "shared.csv");
        ASSERT_FALSE(written[i].ok()) << target;
        EXPECT_EQ(written[i].error().message,
                  "Cannot save \"" + target.string() + "\": File too large");
    }
    EXPECT_EQ(contents(m_dir / "scores.csv"), "earlier\r\n");
    EXPECT_EQ(contents(m_dir / "shared.csv"), "shared\r\n");
    EXPECT_EQ(contents(m_dir / "backup.csv"), "shared\r\n");
    EXPECT_EQ(entries(), (std::set<std::string>{"backup.csv", "scores.csv", "shared.csv"}));
}

TEST_F(AtomicFileTest, LongFileNamesNeedNoLongerTemporaryNames)
{
    const fs::path target = m_dir / (std::string(246, 'n') + ".txt"); // 250 bytes
    const Status created = writeFileAtomically(target, "first");
    ASSERT_TRUE(created.ok()) << created.error().message;
    const Status replaced = writeFileAtomically(target, "second");
    ASSERT_TRUE(replaced.ok()) << replaced.error().message;
    EXPECT_EQ(contents(target), "second");
    EXPECT_EQ(entries(), std::set<std::string>{target.filename().string()});
}

TEST_F(AtomicFileTest, AWriterKilledMidWayLeavesNoFileAndNoTemporary)
{
    put(m_dir / "old.txt", "earlier\n");
    // The file size limit kills the child with SIGXFSZ inside its write, at a known point.
    for (const char* name : {"new.txt", "old.txt"}) {
        SCOPED_TRACE(name);
        const int status = inChild([&] {
            const rlimit noCore{0, 0};
            const rlimit small{1 << 20, 1 << 20};
            ::setrlimit(RLIMIT_CORE, &noCore);
            ::setrlimit(RLIMIT_FSIZE, &small);
            std::signal(SIGXFSZ, SIG_DFL);
            (void)writeFileAtomically(m_dir / name, std::string(8 << 20, 'x'));
        });
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
        EXPECT_EQ(entries(), std::set<std::string>{"old.txt"});
        EXPECT_EQ(contents(m_dir / "old.txt"), "earlier\n");
    }
}

TEST_F(AtomicFileTest, FollowsLinksAndReplacesTheFileTheyName)
{
    fs::create_directory(m_dir / "real");
    put(m_dir / "real" / "report.txt", "old");
    fs::create_symlink("real/report.txt", m_dir / "link.txt");
    fs::create_symlink(m_dir / "real" / "new.txt", m_dir / "dangling.txt");

    for (const char* name : {"link.txt", "dangling.txt"}) {
        const Status written = writeFileAtomically(m_dir / name, name);
        ASSERT_TRUE(written.ok()) << written.error().message;
        EXPECT_TRUE(S_ISLNK(info(m_dir / name).st_mode)) << name;
    }
    EXPECT_EQ(contents(m_dir / "real" / "report.txt"), "link.txt");
    EXPECT_EQ(contents(m_dir / "real" / "new.txt"), "dangling.txt");
    EXPECT_EQ(fs::read_symlink(m_dir / "link.txt"), fs::path("real/report.txt"));
    EXPECT_EQ(entries(), (std::set<std::string>{"dangling.txt", "link.txt", "real"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "real"), {}), 2);
}

TEST_F(AtomicFileTest, AFileWithSeveralNamesIsWrittenInPlace)
{
    put(m_dir / "a.txt", "the first content, longer than the next one");
    fs::create_hard_link(m_dir / "a.txt", m_dir / "b.txt");
    const ino_t inode = info(m_dir / "a.txt").st_ino;

    for (const std::string bytes : {"short", "a longer content than the one before it"}) {
        const Status written = writeFileAtomically(m_dir / "a.txt", bytes);
        ASSERT_TRUE(written.ok()) << written.error().message;
        EXPECT_EQ(contents(m_dir / "b.txt"), bytes);
    }
    EXPECT_EQ(info(m_dir / "a.txt").st_ino, inode);
    EXPECT_EQ(info(m_dir / "a.txt").st_nlink, 2u);

    // A writer that stops half-way (its source turned out to be bad) changes neither name.
    {
        Result<AtomicFile> file = AtomicFile::open(m_dir / "b.txt");
        ASSERT_TRUE(file.ok()) << file.error().message;
        ASSERT_TRUE(file->write("the first half of a file that never ends").ok());
    }
    EXPECT_EQ(contents(m_dir / "a.txt"), "a longer content than the one before it");
    EXPECT_EQ(entries(), (std::set<std::string>{"a.txt", "b.txt"}));
}

TEST_F(AtomicFileTest, FoldersAndFilesTheUserMayNotWriteAreRefused)
{
    fs::create_directory(m_dir / "sub");
    for (const fs::path& folder : {m_dir / "sub", m_dir / "sub/"}) {
        EXPECT_EQ(writeFileAtomically(folder, "x").error().message,
                  "Cannot save \"" + folder.string() + "\": is a folder");
    }

    const fs::path readOnly = m_dir / "locked.txt";
    put(readOnly, "kept");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    const std::string refusal = "Cannot save \"" + readOnly.string() + "\": Permission denied";
    if (::geteuid() != 0) {
        EXPECT_EQ(writeFileAtomically(readOnly, "new").error().message, refusal);
        EXPECT_EQ(contents(readOnly), "kept");
        return;
    }
    // An ordinary user is refused; root may write, as a shell lets it, and the mode stays.
    const uid_t nobody = 65534;
    ASSERT_EQ(::chmod(m_dir.c_str(), 0755), 0);
    ASSERT_EQ(::chown(readOnly.c_str(), nobody, nobody), 0);
    const int status = inChild([&] {
        if (::setgid(nobody) != 0 || ::setuid(nobody) != 0) {
            ::_exit(2);
        }
        const Status written = writeFileAtomically(readOnly, "new");
        ::_exit(!written.ok() && written.error().message == refusal ? 0 : 1);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(contents(readOnly), "kept");

    const Status asRoot = writeFileAtomically(readOnly, "new");
    ASSERT_TRUE(asRoot.ok()) << asRoot.error().message;
    EXPECT_EQ(contents(readOnly), "new");
    EXPECT_EQ(mode(readOnly), 0444u);
}

TEST_F(AtomicFileTest, DevicesAreWrittenInPlaceAndTheirErrorsReported)
{
    for (const auto& [name, minor] : {std::pair{"null", 3u}, std::pair{"full", 7u}}) {
        if (const std::string skip = makeDevice(name, minor); !skip.empty()) {
            GTEST_SKIP() << skip;
        }
    }
    EXPECT_TRUE(writeFileAtomically(m_dir / "null", "discarded").ok());
    const Status full = writeFileAtomically(m_dir / "full", "lost");
    ASSERT_FALSE(full.ok());
    EXPECT_EQ(full.error().message,
              "Cannot save \"" + (m_dir / "full").string() + "\": No space left on device");
    for (const char* name : {"null", "full"}) {
        EXPECT_TRUE(S_ISCHR(info(m_dir / name).st_mode)) << name;
    }
    EXPECT_EQ(entries(), (std::set<std::string>{"full", "null"}));
}

TEST_F(AtomicFileTest, AFifoIsWrittenInPlace)
{
    const fs::path fifo = m_dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The reading end is open before the write, so the writer need not wait, and the bytes
    // fit in the pipe's buffer: the test reads them after the write returns, never hanging.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const Status written = writeFileAtomically(fifo, "through the pipe");
    char buffer[64] = {};
    const ssize_t n = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    const std::string received(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    ASSERT_TRUE(written.ok()) << written.error().message;
    EXPECT_EQ(received, "through the pipe");
    EXPECT_TRUE(S_ISFIFO(info(fifo).st_mode));
    EXPECT_EQ(entries(), std::set<std::string>{"pipe"});
}

} // namespace
} // namespace tavrik
