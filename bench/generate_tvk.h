// Writes synthetic .tvk data files for benchmarks and large-file tests: realistic values
// (two decimals by default), differing population sizes, records in random population order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tavrik::gen {

struct TvkShape
{
    int pops = 5;
    int vars = 4;
    long long records = 1000;  // used when targetBytes is 0
    long long targetBytes = 0; // write records until the file reaches this size
    std::uint64_t seed = 1;
    bool crlf = false;
    int decimals = 2; // digits after the point of every value, 0 to 9
};

struct TvkWritten
{
    long long records = 0;
    long long bytes = 0;
    long long recordBytes = 0; // bytes after the header
};

// Returns false with a message in error when the file cannot be written.
bool writeTvk(const TvkShape& shape,
              const std::filesystem::path& out,
              TvkWritten& written,
              std::string& error);

} // namespace tavrik::gen
