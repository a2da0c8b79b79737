// Output files of a batch run, written all or nothing: every target is checked before any is
// touched; new and replaced files are written to temporaries that are put in place only when
// every output has been written, and outputs written in place (devices, FIFOs, /dev/stdout) go
// last before that, so that a failing one leaves every file as it was.
#pragma once

#include "state/Result.h"

#include <filesystem>
#include <span>
#include <string>

namespace tavrik {

struct PendingOutput
{
    std::filesystem::path target;
    std::string bytes; // written byte for byte (the texts already carry CR LF line ends)
};

Status writeOutputs(std::span<const PendingOutput> outputs);

// Whether two paths lead to the same file: the same existing file (links included), or the
// same absolute path once "." and ".." steps are resolved.
bool namesSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Whether path names an existing character device (/dev/null), which any number of outputs may
// share.
bool isCharacterDevice(const std::filesystem::path& path);

} // namespace tavrik
