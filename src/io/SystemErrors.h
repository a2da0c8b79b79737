// The Windows system's error codes as the errno values whose texts messages show.
#pragma once

namespace tavrik {

// ERROR_FILE_NOT_FOUND as ENOENT, ERROR_ACCESS_DENIED as EACCES, ERROR_DISK_FULL as ENOSPC...;
// EIO for a code with no errno of its own.
int errnoOf(unsigned long systemError);

} // namespace tavrik
