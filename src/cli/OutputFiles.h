// Output files of a batch run, written all or nothing: every target is checked before any is
// touched; every file's bytes are written aside first (beside it, or for a file with several
// names, to an unnamed file) and put in place only when every output has been written, so that a
// failing one leaves every file as it was.
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
    std::string bytes; // written byte for byte (the texts already carry CR LF line ends)
};

// Writes every output aside, then the devices and FIFOs, then calls lastStep (the program's own
// standard output), and puts the files in place only when all of it succeeded.
Status writeOutputs(std::span<const PendingOutput> outputs,
                    const std::function<Status()>& lastStep = {});

// Whether two paths lead to the same file: the same existing file (links included), or the
// same absolute path once "." and ".." steps are resolved.
bool namesSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace tavrik
