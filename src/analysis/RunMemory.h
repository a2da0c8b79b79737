// The memory an analysis run will take, estimated from its counts before anything is
// allocated, so that a run the computer cannot hold ends in a message instead of a crash.
#pragma once

#include "io/Platform.h" // physicalMemoryBytes, availableMemoryBytes
#include "state/Result.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrik {

// Bytes at the run's peak for g populations and t variables (with the scaled matrices or
// without): the g x g matrices alive during the principal coordinates stage, the g x t and
// t x t matrices of the passes and the inversion, and the text of the matrix listing while it
// grows. The records are streamed and cost nothing.
std::uint64_t runMemoryBytes(std::size_t g, std::size_t t, bool scaled);

// The default budget for the records kept between the passes: a quarter of the physical
// memory, at most 4 GiB (256 MiB when the system does not tell).
std::uint64_t defaultMemoryBudget();

// "640 MB", "8.5 GB": bytes as a message shows them (binary units).
std::string memoryText(std::uint64_t bytes);

// An Analysis error naming the counts, the memory needed and the memory there is, when the
// run needs more than availableBytes (0: unknown, never refused).
[[nodiscard]] Status
checkRunMemory(std::size_t g, std::size_t t, bool scaled, std::uint64_t availableBytes);

} // namespace tavrik
