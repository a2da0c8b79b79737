// Output files of a batch run, written all or nothing: every text goes to a temporary file in
// its target's folder, and only when all of them are written, flushed and closed are they
// renamed over their targets. On failure the temporary files are removed and every target is
// left as it was. A temporary keeps its target's extension, for writers that choose the format
// by the file name.
#pragma once

#include "state/Result.h"

#include <filesystem>
#include <functional>
#include <span>
#include <string>

namespace tavrik {

struct PendingOutput
{
    std::filesystem::path target;
    std::string text; // written byte for byte (the texts already carry CR LF line ends)
    // For a file that another library writes itself (the chart): given the path of the empty
    // temporary, it must leave the whole file there, or fail. text is not used then.
    std::function<Status(const std::filesystem::path& temporary)> write;
};

Status writeOutputs(std::span<const PendingOutput> outputs);

// Whether two paths lead to the same file: the same existing file (links included), or the
// same absolute path once "." and ".." steps are resolved.
bool namesSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace tavrik
