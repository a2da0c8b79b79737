#include "cli/BatchProgress.h"

#include <utility>

namespace tavrik {

namespace {

// The line without its last run of digits: "...pass 1 of 2, cases read =  ...".
std::string seriesOf(std::string_view line)
{
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t end = line.size();
    while (end > 0 && !isDigit(line[end - 1])) {
        --end;
    }
    std::size_t begin = end;
    while (begin > 0 && isDigit(line[begin - 1])) {
        --begin;
    }
    return std::string(line.substr(0, begin)) + std::string(line.substr(end));
}

} // namespace

StderrProgress::StderrProgress(std::ostream& err, SteadyNow now)
    : m_err(err)
    , m_now(std::move(now))
{}

void StderrProgress::status(std::string_view line)
{
    std::string series = seriesOf(line);
    if (m_held && series != m_heldSeries) {
        flush();
    }
    const auto now = m_now();
    if (!m_lastPrinted || now - *m_lastPrinted >= interval) {
        m_held.reset();
        print(line);
        m_lastPrinted = now;
        return;
    }
    m_held = std::string(line);
    m_heldSeries = std::move(series);
}

void StderrProgress::flush()
{
    if (m_held) {
        print(*m_held);
        m_held.reset();
    }
}

void StderrProgress::print(std::string_view line)
{
    // One status line per output line: a terminal or a log both read it.
    m_err << line << '\n' << std::flush;
}

} // namespace tavrik
