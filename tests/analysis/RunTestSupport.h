// Helpers shared by the tests of whole runs: a fixed report clock, the test data folder, a
// progress sink that records what it is told, a run without progress, and a matrix written out
// row by row.
#pragma once

#include "analysis/AnalysisRun.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik::test {

inline Matrix fromRows(std::initializer_list<std::initializer_list<double>> rows)
{
    Matrix m(rows.size(), rows.begin()->size());
    std::size_t i = 0;
    for (const auto& row : rows) {
        std::size_t j = 0;
        for (const double v : row) {
            m(i, j++) = v;
        }
        ++i;
    }
    return m;
}

// Saturday, December 05, 2026, 3:07 PM in every report header.
inline Clock fixedClock()
{
    return [] { return LocalTime{2026, 12, 5, 6, 15, 7}; };
}

inline std::string dataFile(const std::string& name)
{
    return std::string(TAVRIK_TEST_DATA) + "/" + name;
}

// Records every status line and every report of the bytes read.
class RecordingProgress final : public ProgressSink
{
public:
    void status(std::string_view line) override { lines.emplace_back(line); }
    void passProgress(int pass, std::uint64_t done, std::uint64_t total) override
    {
        bytes.push_back({static_cast<std::uint64_t>(pass), done, total});
    }
    std::vector<std::string> lines;
    std::vector<std::array<std::uint64_t, 3>> bytes; // pass, done, total
};

inline Result<RunOutput> run(const RunInput& in, ProgressSink& progress)
{
    return runAnalysis(in, fixedClock(), progress);
}

inline Result<RunOutput> run(const RunInput& in)
{
    NullProgress quiet;
    return run(in, quiet);
}

} // namespace tavrik::test
