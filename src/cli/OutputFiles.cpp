#include "cli/OutputFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tavrik {

namespace {

Error ioError(const std::filesystem::path& path, std::string_view what, int err)
{
    return Error{ErrorKind::Io,
                 "cannot " + std::string(what) + " " + path.string() + ": " + std::strerror(err),
                 path.string(),
                 0,
                 {}};
}

// A temporary in the target's folder, so that the final rename never crosses file systems.
// Created exclusively with mode 0666 so that the umask gives the usual permissions.
Result<std::filesystem::path> createTemporary(const std::filesystem::path& target, int& fd)
{
    const std::filesystem::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate =
            folder / ("." + target.filename().string() + ".tmp" + std::to_string(getpid()) + "-" +
                      std::to_string(attempt) + target.extension().string());
        fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return candidate;
        }
        if (errno != EEXIST) {
            return ioError(target, "write", errno);
        }
    }
    return ioError(target, "write", EEXIST);
}

Status writeAll(int fd, std::string_view text, const std::filesystem::path& target)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return ioError(target, "write", errno);
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    if (::fsync(fd) != 0) {
        return ioError(target, "write", errno);
    }
    return Done{};
}

Status writeTemporary(const PendingOutput& output, std::filesystem::path& temporary)
{
    int fd = -1;
    Result<std::filesystem::path> created = createTemporary(output.target, fd);
    if (!created) {
        return created.error();
    }
    temporary = created.value();
    // A file that is replaced keeps its permission bits.
    struct stat existing
    {
    };
    if (::stat(output.target.c_str(), &existing) == 0) {
        ::fchmod(fd, existing.st_mode & 07777);
    }
    Status written = output.write ? Status(Done{}) : writeAll(fd, output.text, output.target);
    // close() reports delayed write errors (full disk, network file systems): check it too.
    if (::close(fd) != 0 && written.ok()) {
        written = ioError(output.target, "write", errno);
    }
    if (written.ok() && output.write) {
        written = output.write(temporary);
    }
    return written;
}

void removeAll(const std::vector<std::filesystem::path>& temporaries)
{
    for (const std::filesystem::path& p : temporaries) {
        std::error_code ignored;
        std::filesystem::remove(p, ignored);
    }
}

} // namespace

bool namesSameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) {
        return true;
    }
    return std::filesystem::absolute(a, ec).lexically_normal() ==
           std::filesystem::absolute(b, ec).lexically_normal();
}

Status writeOutputs(std::span<const PendingOutput> outputs)
{
    std::vector<std::filesystem::path> temporaries;
    for (const PendingOutput& output : outputs) {
        std::filesystem::path temporary;
        Status written = writeTemporary(output, temporary);
        if (!temporary.empty()) {
            temporaries.push_back(temporary);
        }
        if (!written) {
            removeAll(temporaries);
            return written;
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (std::rename(temporaries[i].c_str(), outputs[i].target.c_str()) != 0) {
            const int err = errno;
            removeAll(std::vector(temporaries.begin() + static_cast<std::ptrdiff_t>(i),
                                  temporaries.end()));
            return ioError(outputs[i].target, "replace", err);
        }
    }
    return Done{};
}

} // namespace tavrik
