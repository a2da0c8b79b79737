#include "datafile/InputFile.h"

#include "datafile/TextEncoding.h"

#include <cerrno>
#include <cstring>

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
    return Error{ErrorKind::DataFile, "cannot open " + name + ": " + reason, name, 0, {}};
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
    }
#else
    (void)file;
#endif
    return stamp;
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
