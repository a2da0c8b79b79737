#include "export/AtomicFile.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

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

    fs::path m_dir;
};

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
              "Cannot save \"" + target.string() + "\": No such file or directory");
    EXPECT_EQ(written.error().path, target.string());
    EXPECT_TRUE(entries().empty());
}

TEST_F(AtomicFileTest, FailedWriteLeavesTheEarlierFileIntact)
{
    const fs::path target = m_dir / "scores.csv";
    put(target, "earlier\r\n");

    // A file size limit makes the write fail part way, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status written = writeFileAtomically(target, std::string(4096, 'x'));
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().message, "Cannot save \"" + target.string() + "\": File too large");
    EXPECT_EQ(contents(target), "earlier\r\n");
    EXPECT_EQ(entries(), std::set<std::string>{"scores.csv"});
}

} // namespace
} // namespace tavrik
