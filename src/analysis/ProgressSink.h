// Receives the run's status lines; each new line replaces the previous one.
#pragma once

#include <string_view>

namespace tavrik {

class ProgressSink
{
public:
    virtual ~ProgressSink() = default;
    virtual void status(std::string_view line) = 0;
};

class NullProgress final : public ProgressSink
{
public:
    void status(std::string_view) override {}
};

} // namespace tavrik
