#include "analysis/RunMemory.h"

#include <algorithm>
#include <cstdio>

namespace tavrik {

namespace {

// g x g matrices alive at once while the principal coordinates are computed: R, D-square and
// their two standard-error matrices, the two scaled matrices when there are, and the centred
// matrix, the solver's eigenvectors and their transposed copy.
constexpr std::uint64_t squareMatrices = 4 + 3;
constexpr std::uint64_t scaledSquareMatrices = 2;

// Bytes of the listing per pair of populations: an R line and a D-square line of 54 bytes
// each (value and standard error at fixed columns, CR LF), and two lines of 42 bytes for the
// scaled matrices. Longer names make longer lines; these are the least.
constexpr std::uint64_t listingPairBytes = 2 * 54;
constexpr std::uint64_t scaledListingPairBytes = 2 * 42;

// The listing is built in one growing string: when it doubles, the old and the new buffer
// are held together, so twice its size is counted.
constexpr std::uint64_t listingGrowth = 2;

// The passes (population means and variances g x t, pooled covariance t x t), the inversion
// (a working copy, its inverse and the genetic covariance, t x t each) and the relationship
// stage (two g x t products) in doubles.
constexpr std::uint64_t gtMatrices = 4;
constexpr std::uint64_t ttMatrices = 4;

// The code table, the reader's buffer and the solver's log of rotations.
constexpr std::uint64_t fixedBytes =
    (std::uint64_t{1} << 18) + (std::uint64_t{1} << 20) + (std::uint64_t{1} << 19);

} // namespace

std::uint64_t runMemoryBytes(std::size_t g, std::size_t t, bool scaled)
{
    const std::uint64_t gg = std::uint64_t{g} * g;
    const std::uint64_t pairs = std::uint64_t{g} * (g - (g > 0 ? 1 : 0)) / 2;
    const std::uint64_t squares = squareMatrices + (scaled ? scaledSquareMatrices : 0);
    const std::uint64_t listing =
        pairs * (listingPairBytes + (scaled ? scaledListingPairBytes : 0)) * listingGrowth;
    const std::uint64_t doubles =
        squares * gg + gtMatrices * std::uint64_t{g} * t + ttMatrices * std::uint64_t{t} * t;
    return doubles * sizeof(double) + listing + fixedBytes;
}

std::uint64_t defaultMemoryBudget()
{
    constexpr std::uint64_t most = std::uint64_t{4} << 30;
    const std::uint64_t physical = physicalMemoryBytes();
    if (physical == 0) {
        return std::uint64_t{256} << 20;
    }
    return std::min(physical / 4, most);
}

std::string memoryText(std::uint64_t bytes)
{
    constexpr std::uint64_t mb = std::uint64_t{1} << 20;
    constexpr std::uint64_t gb = std::uint64_t{1} << 30;
    if (bytes < 10 * gb) {
        // whole megabytes, rounded up: a need is never understated
        return std::to_string((bytes + mb - 1) / mb) + " MB";
    }
    char text[32];
    std::snprintf(
        text, sizeof text, "%.1f GB", static_cast<double>(bytes) / static_cast<double>(gb));
    return text;
}

Status checkRunMemory(std::size_t g, std::size_t t, bool scaled, std::uint64_t availableBytes)
{
    const std::uint64_t need = runMemoryBytes(g, t, scaled);
    if (availableBytes == 0 || need <= availableBytes) {
        return Done{};
    }
    return Error::analysis(
        std::to_string(g) + " populations and " + std::to_string(t) +
            (t == 1 ? " variable need " : " variables need ") + memoryText(need) +
            " for the matrices of the analysis and their listing, more than the " +
            memoryText(availableBytes) +
            " of memory of this computer; choose fewer populations or variables.",
        {},
        0,
        "populations");
}

} // namespace tavrik
