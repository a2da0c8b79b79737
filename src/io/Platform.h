// What the program asks of the operating system, beyond the safe file writer: opening a file to
// read, reading it at an offset, the identity of an open file, memory, calendar time, and the
// standard streams and arguments of a command-line program. One implementation per system
// (PlatformPosix.cpp, PlatformWindows.cpp); every name is UTF-8 text or a path, whatever the
// system's own encoding of names is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

// What the system tells of an open file: its identity, size and times of last change. Two
// stamps of one file differ when it was replaced, truncated, appended to or rewritten. The
// status change time counts too: a program can set the modification time back after a
// rewrite, but nothing sets the change time back. The identity is the device and inode, or on
// Windows the volume's serial number and the file's index.
struct FileStamp
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::int64_t changedSeconds = 0;
    std::int64_t changedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of an open file; all zero where the platform tells nothing.
FileStamp stampOf(std::FILE* file);

// A file opened to read its bytes, or why not: errorNumber (an errno value) when the system
// refused, or, for anything but a regular file, what it is in a user's words ("a pipe or
// FIFO", "a device"). Opening never waits for a writer at the other end of a FIFO.
struct OpenedForReading
{
    std::FILE* file = nullptr;
    int errorNumber = 0;
    std::string notRegular;
};
OpenedForReading openRegularFile(const std::filesystem::path& path);

// The size of an open regular file as the system tells it now, without moving the file's
// offset (which descriptors duplicated from it share); nullopt where it cannot be told.
std::optional<std::uint64_t> openFileSize(int fd);

// Reads up to bytes bytes at offset of the open file into into, without depending on the
// file's shared offset, so that several readers of one file never disturb each other. Returns
// the bytes read (fewer only at the end of the file), or nullopt with errorNumber set.
std::optional<std::size_t>
readFileAt(int fd, char* into, std::size_t bytes, std::uint64_t offset, int& errorNumber);

// A second descriptor of the open file, or -1; and its closing.
int duplicateDescriptor(int fd);
void closeDescriptor(int fd);

// Writes every byte to the descriptor; 0, or the errno of the write that failed.
int writeDescriptor(int fd, std::string_view bytes);

// Whether the path names a character device (/dev/null, a terminal, NUL, CON).
bool isCharacterDevice(const std::filesystem::path& path);

// The computer's physical memory in bytes; 0 when the system does not tell.
std::uint64_t physicalMemoryBytes();

// The memory this process may take: the physical memory, or less where a limit on the
// process's address space or data says so; 0 when nothing tells.
std::uint64_t availableMemoryBytes();

// The calendar fields of a moment in the computer's time zone.
std::tm localCalendarTime(std::time_t when);

// For a command-line program, before anything else: a standard descriptor it was started
// without is taken by a file that refuses writes (so that no file opened later takes its
// number and receives its messages or its report); standard output and error carry the bytes
// as written, line ends and UTF-8 alike, to a file, a pipe or the console; and a reader gone
// from a pipe is a failed write, not the end of the program.
void settleStandardStreams();

// The program's arguments (without its own name) as UTF-8 text, whatever the system's code
// page; argc and argv as main() received them.
std::vector<std::string> programArguments(int argc, char** argv);

} // namespace tavrik
