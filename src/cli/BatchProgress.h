// The progress lines of tavrik-batch on standard error, at most about ten a second: a pass
// over a large file counts its records far faster than anyone can read them.
#pragma once

#include "analysis/ProgressSink.h"

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace tavrik {

// Lines that differ only in their last number (the record count of a pass, the rotations of
// a stage) are one series. A line that comes sooner than the interval after the last one
// printed is held back; it is printed when a line of another series follows, so the last
// line of every series shows, or by flush() once the run has ended.
class StderrProgress final : public ProgressSink
{
public:
    using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::chrono::milliseconds interval{100};

    explicit StderrProgress(std::ostream& err, SteadyNow now = std::chrono::steady_clock::now);
    void status(std::string_view line) override;
    // Prints the line held back, if any.
    void flush();

private:
    void print(std::string_view line);

    std::ostream& m_err;
    SteadyNow m_now;
    std::optional<std::chrono::steady_clock::time_point> m_lastPrinted;
    std::optional<std::string> m_held;
    std::string m_heldSeries;
};

} // namespace tavrik
