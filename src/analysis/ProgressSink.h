// Receives the run's status lines; each new line replaces the previous one. The run also asks
// it, between records and between rotations, whether the user has cancelled.
#pragma once

#include "state/Result.h"

#include <cstdint>
#include <string_view>

namespace tavrik {

class ProgressSink
{
public:
    virtual ~ProgressSink() = default;
    virtual void status(std::string_view line) = 0;
    // Polled often and from the run's own thread: keep it cheap. A run that sees true stops
    // with an error of kind Cancelled and changes nothing.
    virtual bool cancelled() const { return false; }
    // Bytes of the data file read so far in pass 1 or 2, out of its size; given with the
    // pass's status lines, from the run's own thread.
    virtual void
    passProgress(int /*pass*/, std::uint64_t /*bytesDone*/, std::uint64_t /*bytesTotal*/)
    {}
    // Steps of a stage that repeats one computation (the bootstrap's replicates): done out of
    // total, given from the thread that started the stage. Such a stage polls cancelled() from
    // each of its worker threads, between steps.
    virtual void stepProgress(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
};

// The error a run returns when its sink reports that the user has cancelled.
inline Error cancelledRun()
{
    return Error::cancelled("The analysis was cancelled.");
}

class NullProgress final : public ProgressSink
{
public:
    void status(std::string_view) override {}
};

} // namespace tavrik
