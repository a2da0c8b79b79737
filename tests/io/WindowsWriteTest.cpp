// The safe file writer on Windows: a replaced file keeps its old bytes until the new ones are
// complete, a writer given up leaves no temporary file, devices are written in place, and
// read-only files and missing folders are refused with the system's reason.
#include "io/AtomicFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <string>

namespace tavrik {
namespace {

namespace fs = std::filesystem;

class WindowsWrite : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                (std::string("tavrik-io-") +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(m_dir / "locked.txt", fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove_all(m_dir);
    }
    static std::string contents(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    long entries() const
    {
        return static_cast<long>(
            std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }

    fs::path m_dir;
};

TEST_F(WindowsWrite, ReplacesAFileOnlyWhenCommittedAndLeavesNoTemporary)
{
    const fs::path target = m_dir / "report.txt";
    std::ofstream(target, std::ios::binary) << "old\r\n";
    {
        Result<AtomicFile> f = AtomicFile::open(target);
        ASSERT_TRUE(f.ok()) << f.error().message;
        EXPECT_EQ(f->kind(), OutputKind::ReplacedFile);
        ASSERT_TRUE(f->write("given up\r\n").ok());
        EXPECT_EQ(contents(target), "old\r\n");
    }
    EXPECT_EQ(contents(target), "old\r\n");
    EXPECT_EQ(entries(), 1);

    ASSERT_TRUE(writeFileAtomically(target, "new\r\n").ok());
    EXPECT_EQ(contents(target), "new\r\n");
    ASSERT_TRUE(writeFileAtomically(m_dir / "fresh.txt", "first\r\n").ok());
    EXPECT_EQ(contents(m_dir / "fresh.txt"), "first\r\n");
    EXPECT_EQ(entries(), 2);
}

TEST_F(WindowsWrite, DevicesAreWrittenInPlaceUnderAnyFolderAndExtension)
{
    for (const fs::path& device : {fs::path("NUL"), m_dir / "nul.txt", fs::path("CON")}) {
        Result<OutputTarget> t = checkOutputTarget(device);
        ASSERT_TRUE(t.ok()) << t.error().message;
        EXPECT_EQ(t->kind, OutputKind::InPlace) << device;
    }
    EXPECT_TRUE(writeFileAtomically("NUL", "nothing\r\n").ok());
    EXPECT_EQ(entries(), 0);
}

TEST_F(WindowsWrite, RefusesFoldersMissingFoldersAndReadOnlyFilesWithTheReason)
{
    const fs::path locked = m_dir / "locked.txt";
    std::ofstream(locked, std::ios::binary) << "kept";
    fs::permissions(locked, fs::perms::owner_write, fs::perm_options::remove);
    const struct
    {
        fs::path target;
        std::string reason;
    } cases[] = {
        {m_dir, "is a folder"},
        {m_dir / "missing" / "r.txt", "the folder"},
        {locked, "Permission denied"},
    };
    for (const auto& c : cases) {
        Status s = writeFileAtomically(c.target, "x");
        ASSERT_FALSE(s.ok()) << c.target;
        EXPECT_NE(s.error().message.find(c.reason), std::string::npos) << s.error().message;
    }
    EXPECT_EQ(contents(locked), "kept");
}

} // namespace
} // namespace tavrik
