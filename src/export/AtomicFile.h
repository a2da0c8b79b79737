// Writes a whole file or nothing: the bytes go to a temporary file in the target's folder, which
// is renamed over the target only once every byte is written, synced and closed.
#pragma once

#include "state/Result.h"

#include <filesystem>
#include <string_view>

namespace tavrik {

// On failure the target is left as it was, the temporary file is removed, and the error's
// message names the target and the system's reason. A new file gets 0666 less the umask; a
// file that is replaced keeps its permission bits.
[[nodiscard]] Status writeFileAtomically(const std::filesystem::path& target,
                                         std::string_view bytes);

} // namespace tavrik
