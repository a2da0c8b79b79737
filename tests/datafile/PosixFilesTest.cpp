// What only a POSIX system has: FIFOs, pipes named by /dev/fd, devices such as /dev/null and
// file times set to the nanosecond. Each input that cannot be read twice is refused at once,
// without waiting for a writer, and the stamp of a file carries every part the system keeps.
#include "datafile/CsvImport.h"
#include "datafile/DataFileReader.h"
#include "datafile/GeographyFile.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "ReaderTestSupport.h"

namespace tavrik::test {
namespace {

constexpr const char* header = "T\n1,2\nA,1,5\nStature, Head length\n";

TEST(DataFileReadErrors, RefusesPipesFifosAndDevicesAsTheyCannotBeReadTwice)
{
    const std::string why = "not a regular file; the analysis reads its data file twice and "
                            "needs a regular file";
    ScratchFile scratch("");
    const std::filesystem::path fifo = scratch.path().parent_path() / "data.tvk";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
    // should the open wait for a writer after all, the alarm ends the test instead of a hang
    ::alarm(10);
    Result<DataSet> d = loadDataSet(fifo);
    ::alarm(0);
    ASSERT_FALSE(d.ok());
    EXPECT_EQ(d.error().kind, ErrorKind::DataFile);
    EXPECT_EQ(d.error().message, "cannot open " + fifo.string() + ": it is a pipe or FIFO, " + why);

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const std::string piped = "/dev/fd/" + std::to_string(ends[0]); // as a shell's <(...) gives
    const std::string text = std::string(header) + "1, 2, 3\n";
    ASSERT_EQ(write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    Result<DataFileReader> r = DataFileReader::open(piped);
    ::close(ends[0]);
    ::close(ends[1]);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "cannot open " + piped + ": it is a pipe or FIFO, " + why);

    Result<DataFileReader> device = DataFileReader::open("/dev/null");
    ASSERT_FALSE(device.ok());
    EXPECT_EQ(device.error().message, "cannot open /dev/null: it is a device, " + why);
}

TEST(CsvReader, RefusesWhatCannotBeReadTwiceWithoutWaitingForIt)
{
    ScratchFile dir("Pop,X\nA,1\n");
    const std::filesystem::path fifo = dir.path().parent_path() / "pipe.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // no writer ever opens the FIFO: an import that opened it for reading would hang here
    const std::pair<std::filesystem::path, std::string> cases[] = {
        {fifo, "it is a pipe or FIFO, not a regular file"},
        {"/dev/zero", "it is a device, not a regular file"},
    };
    for (const auto& [path, kind] : cases) {
        auto read = readCsv(path);
        ASSERT_FALSE(read.ok()) << path;
        EXPECT_EQ(read.error().message,
                  "cannot open " + path.string() + ": " + kind +
                      "; the import reads its file twice and needs a regular file");
    }
    // the census sizes too
    auto sizes = readCensusSizes(fifo);
    ASSERT_FALSE(sizes.ok());
    EXPECT_NE(sizes.error().message.find("pipe or FIFO"), std::string::npos);
}

TEST(GeographyFile, APipeIsRefusedAsAGeographyFileNotAsAnImport)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tavrik-geography-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::filesystem::path fifo = dir / "geo.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Result<Geography> geo = readGeography(fifo);
    std::filesystem::remove_all(dir);
    ASSERT_FALSE(geo.ok());
    EXPECT_EQ(geo.error().message,
              "cannot open " + fifo.string() +
                  ": it is a pipe or FIFO, not a regular file; the geography file is read twice "
                  "and needs a regular file");
}

// A run compares the stamps of its data file before and after each pass; a rewrite in place of
// the same size is seen only through the times, so the stamp must carry each part the system
// keeps, and the comparison must look at every one of them.
TEST(DataFileStamp, CarriesSizeAndTimesAndTellsStampsApartByAnyOfThem)
{
    const std::time_t before = std::time(nullptr);
    const std::string text = "T\n1,1\nA,1,5\nX\n1, 2\n";
    ScratchFile file(text);
    const timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.path().c_str(), times, 0), 0);
    auto reader = DataFileReader::open(file.path());
    ASSERT_TRUE(reader.ok()) << reader.error().message;
    const FileStamp stamp = reader->fileStamp();
    EXPECT_EQ(stamp.size, static_cast<std::int64_t>(text.size()));
    EXPECT_EQ(stamp.modifiedSeconds, 1700000000);
    EXPECT_EQ(stamp.modifiedNanoseconds, 123456789);
    EXPECT_GE(stamp.changedSeconds, before - 1); // setting the time is itself a change
    EXPECT_NE(stamp.inode, 0u);

    const std::function<void(FileStamp&)> changes[] = {
        [](FileStamp& s) { ++s.device; },
        [](FileStamp& s) { ++s.inode; },
        [](FileStamp& s) { ++s.size; },
        [](FileStamp& s) { ++s.modifiedSeconds; },
        [](FileStamp& s) { ++s.modifiedNanoseconds; },
        [](FileStamp& s) { ++s.changedSeconds; },
        [](FileStamp& s) { ++s.changedNanoseconds; },
    };
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        FileStamp other = stamp;
        changes[i](other);
        EXPECT_FALSE(other == stamp) << "part " << i + 1;
    }
}

} // namespace
} // namespace tavrik::test
