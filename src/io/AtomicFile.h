// Writes an output as a shell's redirection would, without ever destroying what it writes to: a
// regular file is replaced whole or not at all, a symbolic link is followed and the file it names
// replaced, and anything that is not a plain file (a device, a FIFO, a descriptor of the program
// such as /dev/stdout) is written in place, never renamed over or removed.
#pragma once

#include "state/Result.h"

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace tavrik {

enum class OutputKind {
    NewFile,      // nothing there yet: the file appears, complete, once every byte is written
    ReplacedFile, // a regular file with one name: replaced whole by a file written beside it
    InPlace,      // a device, a FIFO, a descriptor of the program, or a regular file with several
                  // hard links (so that every name keeps seeing it): opened and written where it is
};

struct OutputTarget
{
    std::filesystem::path given; // as the user named it; messages show it
    std::filesystem::path file;  // after following symbolic links
    OutputKind kind = OutputKind::NewFile;
    int descriptor = -1; // the program's own open descriptor that given names (/dev/stdout), or -1
};

// What writing to target would do, and whether it can, changing nothing: a folder is refused
// ("is a folder"), the folder of a new or replaced file must exist and let the user create files
// in it, and an existing file must be writable for the user (otherwise the system's reason, as a
// shell gives it: "Permission denied"). Lets a front end refuse a target before any work starts.
[[nodiscard]] Result<OutputTarget> checkOutputTarget(const std::filesystem::path& target);

// One output while it is written. The bytes of a new or replaced file go to an unnamed temporary
// file in its folder (a short-named one where the file system has no unnamed files), which
// commit() puts in place; an AtomicFile destroyed before commit() leaves the target as it was and
// no temporary behind. A regular file written in place (one with several hard links) is kept
// the same way: its bytes wait in an unnamed file until commit() copies them over it, so that a
// writer that stops half-way leaves every name of it as it was. Devices and FIFOs receive the
// bytes as they are written.
class AtomicFile
{
public:
    [[nodiscard]] static Result<AtomicFile> open(const std::filesystem::path& target);
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    OutputKind kind() const { return m_target.kind; }
    // Claims the disk space for size bytes before a regular file written in place is touched, so
    // that a full disk leaves it as it was. Does nothing for other targets.
    [[nodiscard]] Status reserve(std::size_t size);
    [[nodiscard]] Status write(std::string_view bytes);
    [[nodiscard]] Status commit();

private:
    AtomicFile() = default;
    void discard() noexcept;
    [[nodiscard]] int copyStaged();

    OutputTarget m_target;
    int m_fd = -1;
    std::filesystem::path m_temporary; // a named temporary, when the file system has no unnamed
    bool m_regularInPlace = false;
    int m_staged = -1; // where the bytes of a regular file written in place wait for commit()
    std::size_t m_written = 0;
};

// On failure the target is left as it was (a device or FIFO may have received part of the bytes),
// and the error's message names the target and the system's reason. A new file gets 0666 less
// the umask; a file that is replaced keeps its permission bits.
[[nodiscard]] Status writeFileAtomically(const std::filesystem::path& target,
                                         std::string_view bytes);

} // namespace tavrik
