// Built on POSIX systems only; the file is empty on Windows, so that a package may compile every
// file.
#ifndef _WIN32

#include "io/AtomicFile.h"
#include "io/Platform.h"
#include "io/SaveError.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tavrik {

namespace fs = std::filesystem;

namespace {

// As many links as the system itself follows before it gives up with ELOOP.
constexpr int linkLimit = 40;

// The file system type of /proc (Linux's PROC_SUPER_MAGIC); other systems never report it.
constexpr long procSuperMagic = 0x9fa0;

bool onProcFileSystem(const fs::path& folder)
{
    struct statfs info = {};
    return ::statfs(folder.c_str(), &info) == 0 && info.f_type == procSuperMagic;
}

bool mayWrite(const fs::path& p)
{
    return ::faccessat(AT_FDCWD, p.c_str(), W_OK, AT_EACCESS) == 0;
}

// The descriptor of this process that a link of /proc names (/proc/self/fd/1, /dev/fd/63), or -1.
int ownDescriptor(const fs::path& link)
{
    char folder[PATH_MAX];
    if (::realpath(folderOf(link).c_str(), folder) == nullptr ||
        fs::path(folder) != fs::path("/proc") / std::to_string(::getpid()) / "fd") {
        return -1;
    }
    const std::string name = link.filename().string();
    int fd = -1;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), fd);
    return ec == std::errc{} && end == name.data() + name.size() ? fd : -1;
}

// A new or replaced file is written beside it, so its folder must let the user create files.
Status checkFolder(const fs::path& given, const fs::path& file, bool replacing)
{
    const fs::path folder = folderOf(file);
    struct stat st = {};
    int err = 0;
    if (::stat(folder.c_str(), &st) != 0) {
        err = errno;
    } else if (!S_ISDIR(st.st_mode)) {
        err = ENOTDIR;
    } else if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        err = errno;
        if (replacing) {
            // The file itself may be written: say why it is refused all the same.
            return saveError(given,
                             "cannot create a file in its folder " + shownPath(folder) + ": " +
                                 std::strerror(err));
        }
    }
    if (err == ENOENT) {
        return saveError(given, "the folder " + shownPath(folder) + " does not exist");
    }
    if (err == ENOTDIR) {
        return notAFolder(given, folder);
    }
    if (err != 0) {
        return saveError(given, err);
    }
    return Done{};
}

// Short, so that a file name of the system's full length still leaves room; unique among the
// program's processes by the process id; created exclusively with mode 0666, so that the umask
// gives it the usual permissions.
fs::path temporaryName(const fs::path& folder, int attempt)
{
    return folder / (".tvk" + std::to_string(::getpid()) + "-" + std::to_string(attempt));
}

int createNamedTemporary(const fs::path& folder, fs::path& temporary, int access = O_WRONLY)
{
    for (int attempt = 0; attempt < 1000; ++attempt) {
        temporary = temporaryName(folder, attempt);
        const int fd = ::open(temporary.c_str(), access | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            if (fd < 0) {
                temporary.clear();
            }
            return fd;
        }
    }
    temporary.clear();
    errno = EEXIST;
    return -1;
}

bool noUnnamedFiles(int err)
{
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL;
}

// A file without a name to write and read back, in folder; -1 and errno when it cannot be made.
int openScratch(const fs::path& folder)
{
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && noUnnamedFiles(errno)) {
        fs::path name;
        fd = createNamedTemporary(folder, name, O_RDWR);
        if (fd >= 0) {
            ::unlink(name.c_str());
        }
    }
    return fd;
}

// Where the bytes for a file written in place wait: beside it, so that they count against the
// same disk, or in the system's temporary folder when its folder takes no new files.
int openStaging(const fs::path& file)
{
    const int fd = openScratch(folderOf(file));
    if (fd >= 0) {
        return fd;
    }
    const int err = errno;
    std::error_code ec;
    const fs::path system = fs::temp_directory_path(ec);
    const int fallback = ec ? -1 : openScratch(system);
    errno = err;
    return fallback;
}

// Claims the disk blocks for the first size bytes of a file without changing its length; 0 or
// the errno. File systems that cannot claim them ahead are written without the claim.
int claimSpace(int fd, std::size_t size)
{
#ifdef __linux__
    if (size == 0 || ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0 ||
        errno == EOPNOTSUPP || errno == ENOSYS) {
        return 0;
    }
    return errno;
#else
    // a system without Linux's fallocate (the browser's file system in memory)
    (void)fd;
    (void)size;
    return 0;
#endif
}

// Gives the unnamed file open at fd the name name; 0 or the errno.
int linkUnnamed(int fd, const fs::path& name)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return 0;
    }
    if (errno != ENOENT) {
        return errno;
    }
    // without /proc: the direct way, which some systems grant only to privileged users
    return ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

// Makes the rename durable. The target is already replaced at this point, so a failure here
// cannot be undone and is not reported.
void syncFolder(const fs::path& file)
{
    const int fd = ::open(folderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

Result<OutputTarget> checkOutputTarget(const fs::path& target)
{
    OutputTarget out;
    out.given = target;
    if (target.empty()) {
        return saveError(target, ENOENT);
    }
    fs::path p = target;
    for (int hops = 0;; ++hops) {
        if (!p.has_filename()) { // "adir/"
            struct stat st = {};
            if (::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                return saveError(target, "is a folder");
            }
            return saveError(target, "a name that ends in \"/\" names a folder, not a file");
        }
        struct stat st = {};
        if (::lstat(p.c_str(), &st) != 0) {
            if (errno == ENOTDIR) {
                return notAFolder(target, folderOf(p));
            }
            if (errno != ENOENT) {
                return saveError(target, errno);
            }
            // Nothing there (a dangling link included): the file is created, as a shell would.
            out.file = p;
            out.kind = OutputKind::NewFile;
            if (Status folder = checkFolder(target, p, false); !folder) {
                return folder.error();
            }
            return out;
        }
        if (S_ISLNK(st.st_mode)) {
            if (hops == linkLimit) {
                return saveError(target, ELOOP);
            }
            if (onProcFileSystem(folderOf(p))) {
                // A link of /proc names an open file, a pipe or a socket rather than a path:
                // only opening it reaches what it stands for.
                out.file = p;
                out.kind = OutputKind::InPlace;
                out.descriptor = ownDescriptor(p);
                if (out.descriptor >= 0) {
                    const int flags = ::fcntl(out.descriptor, F_GETFL);
                    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
                        return saveError(target, EBADF);
                    }
                } else if (!mayWrite(p)) {
                    return saveError(target, errno);
                }
                return out;
            }
            std::error_code ec;
            const fs::path link = fs::read_symlink(p, ec);
            if (ec) {
                return saveError(target, ec.value());
            }
            p = link.is_absolute() ? link : folderOf(p) / link;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            return saveError(target, "is a folder");
        }
        out.file = p;
        if (!mayWrite(p)) {
            return saveError(target, errno);
        }
        if (S_ISREG(st.st_mode) && st.st_nlink == 1) {
            out.kind = OutputKind::ReplacedFile;
            if (Status folder = checkFolder(target, p, true); !folder) {
                return folder.error();
            }
        } else {
            out.kind = OutputKind::InPlace;
        }
        return out;
    }
}

Result<AtomicFile> AtomicFile::open(const fs::path& target)
{
    Result<OutputTarget> checked = checkOutputTarget(target);
    if (!checked) {
        return checked.error();
    }
    AtomicFile f;
    f.m_target = std::move(checked.value());
    const OutputTarget& t = f.m_target;
    if (t.kind == OutputKind::InPlace) {
        // Never created and never truncated here: a regular file keeps its bytes until they
        // are overwritten, and is cut to length only once the new ones are all there.
        f.m_fd = t.descriptor >= 0 ? ::fcntl(t.descriptor, F_DUPFD_CLOEXEC, 0)
                                   : ::open(t.file.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (f.m_fd < 0) {
            return saveError(t.given, errno);
        }
        struct stat st = {};
        f.m_regularInPlace = t.descriptor < 0 && ::fstat(f.m_fd, &st) == 0 && S_ISREG(st.st_mode);
        if (f.m_regularInPlace) {
            f.m_staged = openStaging(t.file);
            if (f.m_staged < 0) {
                return saveError(t.given, errno);
            }
        }
        return f;
    }

    const fs::path folder = folderOf(t.file);
    f.m_fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (f.m_fd < 0 && noUnnamedFiles(errno)) {
        f.m_fd = createNamedTemporary(folder, f.m_temporary);
    }
    if (f.m_fd < 0) {
        return saveError(t.given, errno);
    }
    struct stat existing = {};
    if (t.kind == OutputKind::ReplacedFile && ::stat(t.file.c_str(), &existing) == 0) {
        // The replacement keeps the permissions and, where the user may give it, the owner.
        if (::fchmod(f.m_fd, existing.st_mode & 07777) != 0) {
            return saveError(t.given, errno);
        }
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored = ::fchown(f.m_fd, existing.st_uid, existing.st_gid);
        }
    }
    return f;
}

void AtomicFile::discard() noexcept
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_staged >= 0) {
        ::close(m_staged);
        m_staged = -1;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

Status AtomicFile::reserve(std::size_t size)
{
    if (!m_regularInPlace) {
        return Done{};
    }
    if (const int err = claimSpace(m_fd, size); err != 0) {
        return saveError(m_target.given, err);
    }
    return Done{};
}

Status AtomicFile::commit()
{
    assert(m_fd >= 0);
    const fs::path& given = m_target.given;
    if (m_target.kind == OutputKind::InPlace) {
        // The file's blocks are claimed before its first byte changes: a full disk then
        // leaves it whole. A crash during the copy is the one thing that can still cut it.
        int err = m_regularInPlace ? claimSpace(m_fd, m_written) : 0;
        if (m_regularInPlace && err == 0) {
            err = copyStaged();
        }
        if (m_regularInPlace && err == 0) {
            if (::ftruncate(m_fd, static_cast<off_t>(m_written)) != 0 || ::fsync(m_fd) != 0) {
                err = errno;
            }
        }
        // close() can report a delayed write error (full disk, network file system).
        if (::close(std::exchange(m_fd, -1)) != 0 && err == 0 && errno != EINTR) {
            err = errno;
        }
        return err == 0 ? Status(Done{}) : Status(saveError(given, err));
    }

    const fs::path& file = m_target.file;
    if (::fsync(m_fd) != 0) {
        return saveError(given, errno);
    }
    if (!m_temporary.empty()) {
        if (::close(std::exchange(m_fd, -1)) != 0) {
            return saveError(given, errno);
        }
        if (std::rename(m_temporary.c_str(), file.c_str()) != 0) {
            return saveError(given, errno);
        }
        m_temporary.clear();
        syncFolder(file);
        return Done{};
    }

    // An unnamed file: a new one gets its name directly, so that no other name ever shows;
    // one that replaces a file gets a short name first, renamed over the old one.
    int err = m_target.kind == OutputKind::NewFile ? linkUnnamed(m_fd, file) : EEXIST;
    if (err == EEXIST) {
        const fs::path folder = folderOf(file);
        for (int attempt = 0; attempt < 1000; ++attempt) {
            const fs::path name = temporaryName(folder, attempt);
            err = linkUnnamed(m_fd, name);
            if (err == 0) {
                m_temporary = name; // removed by discard() should the rename fail
                break;
            }
            if (err != EEXIST) {
                break;
            }
        }
    }
    if (err != 0) {
        return saveError(given, err);
    }
    ::close(std::exchange(m_fd, -1));
    if (!m_temporary.empty()) {
        if (std::rename(m_temporary.c_str(), file.c_str()) != 0) {
            return saveError(given, errno);
        }
        m_temporary.clear();
    }
    syncFolder(file);
    return Done{};
}

} // namespace tavrik

#endif // _WIN32
