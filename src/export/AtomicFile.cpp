#include "export/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrik {

namespace {

Error saveError(const std::filesystem::path& target, int err)
{
    return Error{ErrorKind::Io,
                 "Cannot save \"" + target.string() + "\": " + std::strerror(err),
                 target.string(),
                 0,
                 {}};
}

// Created exclusively with mode 0666, so that the kernel applies the umask as it would for a
// plain new file. Kept in the target's folder so that the final rename never crosses file
// systems.
int createTemporary(const std::filesystem::path& target, std::filesystem::path& temporary)
{
    const std::filesystem::path folder = target.parent_path();
    const std::string stem = "." + target.filename().string() + ".tmp" + std::to_string(::getpid());
    for (int attempt = 0; attempt < 1000; ++attempt) {
        temporary = folder / (stem + "-" + std::to_string(attempt));
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Returns 0 or the errno of the first failing call.
int writeAll(int fd, std::string_view bytes)
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

// A replaced file keeps its permissions; anything else (no target yet, a target that is not a
// regular file) keeps what the umask gave the temporary.
int keepTargetMode(int fd, const std::filesystem::path& target)
{
    struct stat existing = {};
    if (::stat(target.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) {
        return 0;
    }
    return ::fchmod(fd, existing.st_mode & 07777) == 0 ? 0 : errno;
}

// Makes the rename itself durable. The target is already replaced at this point, so a failure
// here cannot be undone and is not reported.
void syncFolder(const std::filesystem::path& target)
{
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

Status writeFileAtomically(const std::filesystem::path& target, std::string_view bytes)
{
    std::filesystem::path temporary;
    const int fd = createTemporary(target, temporary);
    if (fd < 0) {
        return saveError(target, errno);
    }

    int err = writeAll(fd, bytes);
    if (err == 0) {
        err = keepTargetMode(fd, target);
    }
    if (err == 0 && ::fsync(fd) != 0) {
        err = errno;
    }
    // close() can report a delayed write error (full disk, network file system): check it too.
    if (::close(fd) != 0 && err == 0) {
        err = errno;
    }
    if (err == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) {
        err = errno;
    }
    if (err != 0) {
        ::unlink(temporary.c_str());
        return saveError(target, err);
    }
    syncFolder(target);
    return Done{};
}

} // namespace tavrik
