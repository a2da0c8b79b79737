// Receives the run's status lines; each new line replaces the previous one. The run also asks
// it, between records and between rotations, whether the user has cancelled.
#pragma once

#include "state/Result.h"

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
};

// The error a run returns when its sink reports that the user has cancelled.
inline Error cancelledRun()
{
    return Error{ErrorKind::Cancelled, "The analysis was cancelled.", {}, 0, {}};
}

class NullProgress final : public ProgressSink
{
public:
    void status(std::string_view) override {}
};

} // namespace tavrik
