// Built on Windows only; the file is empty elsewhere, so that a package may compile every file.
#ifdef _WIN32

#include "io/Platform.h"
#include "io/SystemErrors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// declared with the types windows.h defines
#include <shellapi.h>

namespace tavrik {

namespace {

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// A time of the system (100-nanosecond steps since 1601) as seconds and nanoseconds.
void splitTime(std::int64_t ticks, std::int64_t& seconds, std::int64_t& nanoseconds)
{
    seconds = ticks / 10'000'000;
    nanoseconds = ticks % 10'000'000 * 100;
}

std::int64_t ticksOf(const FILETIME& t)
{
    return static_cast<std::int64_t>((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
}

// An existing file or folder, shared with every other reader and writer.
HANDLE openExisting(const std::filesystem::path& path, DWORD access)
{
    return CreateFileW(path.c_str(),
                       access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr,
                       OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS,
                       nullptr);
}

std::string utf8Of(const wchar_t* wide)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) {
        return {};
    }
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), bytes, nullptr, nullptr);
    text.pop_back(); // the terminating zero
    return text;
}

} // namespace

int errnoOf(unsigned long systemError)
{
    switch (systemError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
        return ENOMEM;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
        return EPIPE;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    default:
        return EIO;
    }
}

FileStamp stampOf(std::FILE* file)
{
    FileStamp stamp;
    BY_HANDLE_FILE_INFORMATION info{};
    const HANDLE h = file != nullptr ? handleOf(_fileno(file)) : INVALID_HANDLE_VALUE;
    if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &info)) {
        return stamp;
    }
    stamp.device = info.dwVolumeSerialNumber;
    stamp.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    stamp.size =
        static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
    splitTime(ticksOf(info.ftLastWriteTime), stamp.modifiedSeconds, stamp.modifiedNanoseconds);
    FILE_BASIC_INFO basic{};
    if (GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)) {
        splitTime(basic.ChangeTime.QuadPart, stamp.changedSeconds, stamp.changedNanoseconds);
    }
    return stamp;
}

OpenedForReading openRegularFile(const std::filesystem::path& path)
{
    OpenedForReading opened;
    // Others may go on reading, writing, renaming or removing it, as on other systems; the
    // stamps tell when they did. A folder opens too, so that it can be named as one.
    const HANDLE h = openExisting(path, GENERIC_READ);
    if (h == INVALID_HANDLE_VALUE) {
        opened.errorNumber = errnoOf(GetLastError());
        return opened;
    }
    const DWORD type = GetFileType(h);
    BY_HANDLE_FILE_INFORMATION info{};
    if (type == FILE_TYPE_PIPE) {
        opened.notRegular = "a pipe or FIFO";
    } else if (type == FILE_TYPE_CHAR) {
        opened.notRegular = "a device";
    } else if (type != FILE_TYPE_DISK) {
        opened.notRegular = "a special file";
    } else if (!GetFileInformationByHandle(h, &info)) {
        opened.errorNumber = errnoOf(GetLastError());
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        opened.errorNumber = EISDIR;
    } else {
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
        if (fd < 0) {
            opened.errorNumber = errno != 0 ? errno : EMFILE;
        } else if (std::FILE* f = _fdopen(fd, "rb"); f == nullptr) {
            opened.errorNumber = errno != 0 ? errno : ENOMEM;
            _close(fd);
            return opened;
        } else {
            opened.file = f;
            return opened;
        }
    }
    CloseHandle(h);
    return opened;
}

std::optional<std::uint64_t> openFileSize(int fd)
{
    const HANDLE h = handleOf(fd);
    LARGE_INTEGER size{};
    if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size) ||
        size.QuadPart < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::optional<std::size_t>
readFileAt(int fd, char* into, std::size_t bytes, std::uint64_t offset, int& errorNumber)
{
    const HANDLE h = handleOf(fd);
    std::size_t done = 0;
    while (done < bytes) {
        // The offset goes with each read; the file pointer it moves is used by no one.
        OVERLAPPED at{};
        const std::uint64_t from = offset + done;
        at.Offset = static_cast<DWORD>(from);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(h, into + done, want, &got, &at)) {
            const DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF) {
                break;
            }
            errorNumber = errnoOf(error);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

int duplicateDescriptor(int fd)
{
    return _dup(fd);
}

void closeDescriptor(int fd)
{
    if (fd >= 0) {
        _close(fd);
    }
}

int writeDescriptor(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const auto chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 30));
        const int n = _write(fd, bytes.data(), chunk);
        if (n < 0) {
            return errno != 0 ? errno : EIO;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

bool isCharacterDevice(const std::filesystem::path& path)
{
    const HANDLE h = openExisting(path, 0);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool device = GetFileType(h) == FILE_TYPE_CHAR;
    CloseHandle(h);
    return device;
}

std::uint64_t physicalMemoryBytes()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

std::uint64_t availableMemoryBytes()
{
    return physicalMemoryBytes();
}

std::tm localCalendarTime(std::time_t when)
{
    std::tm tm{};
    localtime_s(&tm, &when);
    return tm;
}

void settleStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        const intptr_t h = _get_osfhandle(fd);
        if (h == -1 || h == -2) {
            const int placeholder = _wopen(L"NUL", _O_RDONLY | _O_BINARY);
            if (placeholder >= 0 && placeholder != fd) {
                _dup2(placeholder, fd);
                _close(placeholder);
            }
        }
        // Reports carry their own CR LF; text mode would add a CR before each of them.
        _setmode(fd, _O_BINARY);
    }
    SetConsoleOutputCP(CP_UTF8);
}

std::vector<std::string> programArguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
    }
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(utf8Of(wide[i]));
    }
    LocalFree(wide);
    return args;
}

} // namespace tavrik

#endif // _WIN32
