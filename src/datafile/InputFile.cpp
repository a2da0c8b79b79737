#include "datafile/InputFile.h"

#include "io/TextEncoding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#endif

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavrik {

namespace {

Error cannotOpen(const std::filesystem::path& path, const std::string& reason)
{
    const std::string name = pathText(path);
    return Error::dataFile("cannot open " + name + ": " + reason, name);
}

#ifndef _WIN32
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
#endif

} // namespace

FileStamp stampOf(std::FILE* file)
{
    FileStamp stamp;
#ifndef _WIN32
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
#else
    (void)file;
#endif
    return stamp;
}

std::optional<std::uint64_t> openFileSize(int fd)
{
#ifndef _WIN32
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
#else
    const __int64 size = _filelengthi64(fd);
    if (size < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size);
#endif
}

std::optional<std::size_t>
readFileAt(int fd, char* into, std::size_t bytes, std::uint64_t offset, int& errorNumber)
{
    std::size_t done = 0;
    while (done < bytes) {
#ifndef _WIN32
        const ssize_t got = pread(fd, into + done, bytes - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
#else
        // the descriptor's own offset: only the reader that owns it reads through it
        if (_lseeki64(fd, static_cast<__int64>(offset + done), SEEK_SET) < 0) {
            errorNumber = errno != 0 ? errno : EIO;
            return std::nullopt;
        }
        const int want = static_cast<int>(std::min<std::size_t>(bytes - done, 1u << 30));
        const int got = _read(fd, into + done, static_cast<unsigned>(want));
#endif
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
#ifndef _WIN32
    return dup(fd);
#else
    return _dup(fd);
#endif
}

void closeDescriptor(int fd)
{
    if (fd >= 0) {
#ifndef _WIN32
        ::close(fd);
#else
        _close(fd);
#endif
    }
}

bool isMemoryShortage(int errorNumber)
{
    return errorNumber == ENOMEM || errorNumber == ENOBUFS;
}

Result<InputFile> openInputFile(const std::filesystem::path& path,
                                std::string_view needsRegularFile)
{
    errno = 0;
#ifdef _WIN32
    (void)needsRegularFile;
    std::FILE* f = _wfopen(path.c_str(), L"rb");
    if (f == nullptr) {
        return cannotOpen(path, std::strerror(errno != 0 ? errno : ENOENT));
    }
    return InputFile(f);
#else
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type is checked at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return cannotOpen(path, std::strerror(errno != 0 ? errno : ENOENT));
    }
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0) {
        const int reason = errno;
        ::close(fd);
        return cannotOpen(path, std::strerror(reason));
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return cannotOpen(path, std::strerror(EISDIR));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return cannotOpen(path,
                          "it is " + fileTypeText(st.st_mode) + ", not a regular file; " +
                              std::string(needsRegularFile));
    }
    // A regular file never blocks; the flag is cleared so that reads behave as usual.
    const int flags = fcntl(fd, F_GETFL);
    if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        const int reason = errno;
        ::close(fd);
        return cannotOpen(path, std::strerror(reason));
    }
    std::FILE* f = fdopen(fd, "rb");
    if (f == nullptr) {
        const int reason = errno;
        ::close(fd);
        return cannotOpen(path, std::strerror(reason));
    }
    return InputFile(f);
#endif
}

Error dataFileError(const std::string& path,
                    const std::string& displayName,
                    long line,
                    const std::string& field,
                    const std::string& what)
{
    Error e;
    e.kind = ErrorKind::DataFile;
    e.path = path;
    e.line = line;
    e.field = field;
    e.message = displayName;
    if (line > 0) {
        e.message += ", line " + std::to_string(line);
    }
    if (!field.empty()) {
        e.message += ", " + field;
    }
    e.message += ": " + what;
    return e;
}

} // namespace tavrik
