// Built on POSIX systems only; the file is empty on Windows, so that a package may compile every
// file.
#ifndef _WIN32

#include "io/Platform.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrik {

namespace {

// What a file that is not a regular file is, in a user's words.
std::string fileTypeText(mode_t mode)
{
    if (S_ISFIFO(mode)) {
        return "a pipe or FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "a special file";
}

} // namespace

FileStamp stampOf(std::FILE* file)
{
    FileStamp stamp;
    struct stat st
    {
    };
    if (file != nullptr && fstat(fileno(file), &st) == 0) {
        stamp.device = static_cast<std::uint64_t>(st.st_dev);
        stamp.inode = static_cast<std::uint64_t>(st.st_ino);
        stamp.size = static_cast<std::int64_t>(st.st_size);
        stamp.modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
        stamp.modifiedNanoseconds = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
        stamp.changedSeconds = static_cast<std::int64_t>(st.st_ctim.tv_sec);
        stamp.changedNanoseconds = static_cast<std::int64_t>(st.st_ctim.tv_nsec);
    }
    return stamp;
}

OpenedForReading openRegularFile(const std::filesystem::path& path)
{
    OpenedForReading opened;
    errno = 0;
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type is checked at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        opened.errorNumber = errno != 0 ? errno : ENOENT;
        return opened;
    }
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0) {
        opened.errorNumber = errno;
    } else if (S_ISDIR(st.st_mode)) {
        opened.errorNumber = EISDIR;
    } else if (!S_ISREG(st.st_mode)) {
        opened.notRegular = fileTypeText(st.st_mode);
    } else {
        // A regular file never blocks; the flag is cleared so that reads behave as usual.
        const int flags = fcntl(fd, F_GETFL);
        if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
            opened.errorNumber = errno;
        } else if (std::FILE* f = fdopen(fd, "rb"); f == nullptr) {
            opened.errorNumber = errno;
        } else {
            opened.file = f;
            return opened;
        }
    }
    ::close(fd);
    return opened;
}

std::optional<std::uint64_t> openFileSize(int fd)
{
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::size_t>
readFileAt(int fd, char* into, std::size_t bytes, std::uint64_t offset, int& errorNumber)
{
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t got = pread(fd, into + done, bytes - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            errorNumber = errno != 0 ? errno : EIO;
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

int duplicateDescriptor(int fd)
{
    return dup(fd);
}

void closeDescriptor(int fd)
{
    if (fd >= 0) {
        ::close(fd);
    }
}

int writeDescriptor(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

bool isCharacterDevice(const std::filesystem::path& path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

std::uint64_t physicalMemoryBytes()
{
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    }
#endif
    return 0;
}

std::uint64_t availableMemoryBytes()
{
    std::uint64_t most = physicalMemoryBytes();
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit limit{};
        if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
            const auto bytes = static_cast<std::uint64_t>(limit.rlim_cur);
            most = most == 0 ? bytes : std::min(most, bytes);
        }
    }
    return most;
}

std::tm localCalendarTime(std::time_t when)
{
    std::tm tm{};
    localtime_r(&when, &tm);
    return tm;
}

void settleStandardStreams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            int placeholder = ::open("/dev/null", O_RDONLY);
            if (placeholder < 0) {
                placeholder = ::open("/", O_RDONLY | O_DIRECTORY);
            }
            if (placeholder >= 0 && placeholder != fd) {
                ::dup2(placeholder, fd);
                ::close(placeholder);
            }
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
}

std::vector<std::string> programArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

} // namespace tavrik

#endif // _WIN32
