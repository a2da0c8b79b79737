#include "io/AtomicFile.h"

#include "io/Platform.h"
#include "io/SaveError.h"
#include "io/TextEncoding.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace tavrik {

namespace fs = std::filesystem;

std::string shownPath(const fs::path& p)
{
    return "\"" + escapedText(pathText(p)) + "\"";
}

Error saveError(const fs::path& target, const std::string& reason)
{
    return Error::io("Cannot save " + shownPath(target) + ": " + reason, pathText(target));
}

Error saveError(const fs::path& target, int err)
{
    return saveError(target, std::strerror(err));
}

Error notAFolder(const fs::path& given, const fs::path& folder)
{
    return saveError(given, shownPath(folder) + " is not a folder");
}

fs::path folderOf(const fs::path& p)
{
    const fs::path folder = p.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : m_target(std::move(other.m_target))
    , m_fd(std::exchange(other.m_fd, -1))
    , m_temporary(std::exchange(other.m_temporary, {}))
    , m_regularInPlace(other.m_regularInPlace)
    , m_staged(std::exchange(other.m_staged, -1))
    , m_written(other.m_written)
{}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept
{
    if (this != &other) {
        discard();
        m_target = std::move(other.m_target);
        m_fd = std::exchange(other.m_fd, -1);
        m_temporary = std::exchange(other.m_temporary, {});
        m_regularInPlace = other.m_regularInPlace;
        m_staged = std::exchange(other.m_staged, -1);
        m_written = other.m_written;
    }
    return *this;
}

AtomicFile::~AtomicFile()
{
    discard();
}

Status AtomicFile::write(std::string_view bytes)
{
    assert(m_fd >= 0);
    if (const int err = writeDescriptor(m_regularInPlace ? m_staged : m_fd, bytes); err != 0) {
        return saveError(m_target.given, err);
    }
    m_written += bytes.size();
    return Done{};
}

int AtomicFile::copyStaged()
{
    std::vector<char> buffer(std::size_t{1} << 16);
    for (std::size_t at = 0; at < m_written;) {
        int err = 0;
        const std::optional<std::size_t> n =
            readFileAt(m_staged, buffer.data(), std::min(buffer.size(), m_written - at), at, err);
        if (!n || *n == 0) {
            return n ? EIO : err; // shorter than what was written to it
        }
        if (const int failed = writeDescriptor(m_fd, {buffer.data(), *n}); failed != 0) {
            return failed;
        }
        at += *n;
    }
    return 0;
}

Status writeFileAtomically(const fs::path& target, std::string_view bytes)
{
    Result<AtomicFile> file = AtomicFile::open(target);
    if (!file) {
        return file.error();
    }
    if (Status reserved = file->reserve(bytes.size()); !reserved) {
        return reserved;
    }
    if (Status written = file->write(bytes); !written) {
        return written;
    }
    return file->commit();
}

} // namespace tavrik
