// The messages of a save that fails, shared by the safe file writer of each system.
#pragma once

#include "state/Result.h"

#include <filesystem>
#include <string>

namespace tavrik {

// A path as a message shows it: whole, in quotes, with its controls escaped.
std::string shownPath(const std::filesystem::path& p);

// "Cannot save "<target>": <reason>", the reason given or the system's text for errno err.
Error saveError(const std::filesystem::path& target, const std::string& reason);
Error saveError(const std::filesystem::path& target, int err);

// Where a file was to be saved, part of the folder's path is a file.
Error notAFolder(const std::filesystem::path& given, const std::filesystem::path& folder);

// The folder a file is in, "." for a bare name.
std::filesystem::path folderOf(const std::filesystem::path& p);

} // namespace tavrik
