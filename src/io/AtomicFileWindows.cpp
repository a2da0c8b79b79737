// Built on Windows only; the file is empty elsewhere, so that a package may compile every file.
#ifdef _WIN32

#include "io/AtomicFile.h"
#include "io/Platform.h"
#include "io/SaveError.h"
#include "io/SystemErrors.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <cwctype>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <utility>
#include <windows.h>

namespace tavrik {

namespace fs = std::filesystem;

namespace {

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// The names Windows keeps for its devices in every folder, with any extension (NUL, CON,
// COM1...), and the paths of its device namespace (\\.\...): written in place, never replaced.
bool namesDevice(const fs::path& p)
{
    const std::wstring text = p.wstring();
    if (text.starts_with(L"\\\\.\\") || text.starts_with(L"//./")) {
        return true;
    }
    std::wstring stem = p.stem().wstring();
    std::transform(stem.begin(), stem.end(), stem.begin(), [](wchar_t c) {
        return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    });
    static constexpr std::array<const wchar_t*, 4> fixed{L"CON", L"PRN", L"AUX", L"NUL"};
    if (std::find(fixed.begin(), fixed.end(), stem) != fixed.end()) {
        return true;
    }
    return stem.size() == 4 && (stem.starts_with(L"COM") || stem.starts_with(L"LPT")) &&
           stem[3] >= L'1' && stem[3] <= L'9';
}

// A new or replaced file is written beside it, so its folder must exist.
Status checkFolder(const fs::path& given, const fs::path& file)
{
    const fs::path folder = folderOf(file);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const int err = errnoOf(GetLastError());
        if (err == ENOENT) {
            return saveError(given, "the folder " + shownPath(folder) + " does not exist");
        }
        return saveError(given, err);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return notAFolder(given, folder);
    }
    return Done{};
}

// Short, so that a file name of the system's full length still leaves room; unique among the
// program's processes by the process id.
fs::path temporaryName(const fs::path& folder, int attempt)
{
    return folder /
           (".tvk" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt));
}

// A new file in folder opened to write (and read, for staging); a descriptor, or -1 and errno.
// A staging file vanishes when it is closed.
int createTemporary(const fs::path& folder, fs::path& temporary, bool staging)
{
    for (int attempt = 0; attempt < 1000; ++attempt) {
        temporary = temporaryName(folder, attempt);
        const HANDLE h = CreateFileW(temporary.c_str(),
                                     GENERIC_READ | GENERIC_WRITE,
                                     staging ? FILE_SHARE_DELETE : 0,
                                     nullptr,
                                     CREATE_NEW,
                                     staging ? FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE
                                             : FILE_ATTRIBUTE_NORMAL,
                                     nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
                continue;
            }
            temporary.clear();
            errno = errnoOf(error);
            return -1;
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
        if (fd < 0) {
            CloseHandle(h);
            DeleteFileW(temporary.c_str());
            temporary.clear();
            errno = EMFILE;
        }
        if (staging) {
            temporary.clear();
        }
        return fd;
    }
    temporary.clear();
    errno = EEXIST;
    return -1;
}

// Where the bytes for a file written in place wait: beside it, so that they count against the
// same disk, or in the system's temporary folder when its folder takes no new files.
int openStaging(const fs::path& file)
{
    fs::path unused;
    const int fd = createTemporary(folderOf(file), unused, true);
    if (fd >= 0) {
        return fd;
    }
    const int err = errno;
    std::error_code ec;
    const fs::path system = fs::temp_directory_path(ec);
    const int fallback = ec ? -1 : createTemporary(system, unused, true);
    errno = err;
    return fallback;
}

} // namespace

Result<OutputTarget> checkOutputTarget(const fs::path& target)
{
    OutputTarget out;
    out.given = target;
    out.file = target;
    if (target.empty()) {
        return saveError(target, ENOENT);
    }
    if (!target.has_filename()) { // "adir/"
        std::error_code ec;
        if (fs::is_directory(target, ec)) {
            return saveError(target, "is a folder");
        }
        return saveError(target, "a name that ends in \"/\" names a folder, not a file");
    }
    if (namesDevice(target)) {
        out.kind = OutputKind::InPlace;
        return out;
    }
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            return saveError(target, errnoOf(error));
        }
        out.kind = OutputKind::NewFile;
        if (Status folder = checkFolder(target, target); !folder) {
            return folder.error();
        }
        return out;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return saveError(target, "is a folder");
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return saveError(target, EACCES);
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // a symbolic link: the file it points to is replaced, and the link stays
        std::error_code ec;
        const fs::path resolved = fs::canonical(target, ec);
        if (!ec) {
            out.file = resolved;
        }
    }
    // A file with several names, or anything that is not a file on a disk, is written where
    // it is; the system tells both from a handle that asks for no access.
    const HANDLE h = CreateFileW(out.file.c_str(),
                                 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr,
                                 OPEN_EXISTING,
                                 0,
                                 nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return saveError(target, errnoOf(GetLastError()));
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool single = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                        info.nNumberOfLinks <= 1;
    CloseHandle(h);
    if (!single) {
        out.kind = OutputKind::InPlace;
        return out;
    }
    out.kind = OutputKind::ReplacedFile;
    if (Status folder = checkFolder(target, out.file); !folder) {
        return folder.error();
    }
    return out;
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
        f.m_fd = _wopen(t.file.c_str(), _O_WRONLY | _O_BINARY);
        if (f.m_fd < 0) {
            return saveError(t.given, errno);
        }
        f.m_regularInPlace = GetFileType(handleOf(f.m_fd)) == FILE_TYPE_DISK;
        if (f.m_regularInPlace) {
            f.m_staged = openStaging(t.file);
            if (f.m_staged < 0) {
                return saveError(t.given, errno);
            }
        }
        return f;
    }
    f.m_fd = createTemporary(folderOf(t.file), f.m_temporary, false);
    if (f.m_fd < 0) {
        return saveError(t.given, errno);
    }
    return f;
}

void AtomicFile::discard() noexcept
{
    if (m_fd >= 0) {
        _close(m_fd);
        m_fd = -1;
    }
    if (m_staged >= 0) {
        _close(m_staged);
        m_staged = -1;
    }
    if (!m_temporary.empty()) {
        DeleteFileW(m_temporary.c_str());
        m_temporary.clear();
    }
}

Status AtomicFile::reserve(std::size_t)
{
    // The bytes of a file written in place are copied over it only once they are all staged;
    // the system has no portable way to claim its blocks first.
    return Done{};
}

Status AtomicFile::commit()
{
    assert(m_fd >= 0);
    const fs::path& given = m_target.given;
    if (m_target.kind == OutputKind::InPlace) {
        int err = m_regularInPlace ? copyStaged() : 0;
        if (m_regularInPlace && err == 0) {
            if (_chsize_s(m_fd, static_cast<long long>(m_written)) != 0) {
                err = errno;
            } else if (!FlushFileBuffers(handleOf(m_fd))) {
                err = errnoOf(GetLastError());
            }
        }
        if (_close(std::exchange(m_fd, -1)) != 0 && err == 0) {
            err = errno;
        }
        return err == 0 ? Status(Done{}) : Status(saveError(given, err));
    }

    // On the disk before it takes the file's place, so that a crash leaves the old file or
    // the whole new one.
    if (!FlushFileBuffers(handleOf(m_fd))) {
        return saveError(given, errnoOf(GetLastError()));
    }
    if (_close(std::exchange(m_fd, -1)) != 0) {
        return saveError(given, errno);
    }
    const fs::path& file = m_target.file;
    // Replacing keeps the old file's attributes and permissions; where the system cannot,
    // the file is moved over it.
    const bool replaced =
        m_target.kind == OutputKind::ReplacedFile && ReplaceFileW(file.c_str(),
                                                                  m_temporary.c_str(),
                                                                  nullptr,
                                                                  REPLACEFILE_IGNORE_MERGE_ERRORS,
                                                                  nullptr,
                                                                  nullptr);
    if (!replaced && !MoveFileExW(m_temporary.c_str(),
                                  file.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return saveError(given, errnoOf(GetLastError()));
    }
    m_temporary.clear();
    return Done{};
}

} // namespace tavrik

#endif // _WIN32
