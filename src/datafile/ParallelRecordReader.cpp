#include "datafile/ParallelRecordReader.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <optional>

namespace tavrik {

namespace {

// Longer fields are left to the sequential reader, which knows its buffer's limits.
constexpr std::size_t longestPlainField = 4096;

// Bytes read at a time while looking for a line end.
constexpr std::size_t lineEndProbeBytes = 4096;

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool endsField(char c)
{
    return c == ',' || isSpace(c);
}

} // namespace

ParallelRecordReader::ParallelRecordReader(int fd,
                                           std::uint64_t start,
                                           std::size_t valuesPerRecord,
                                           unsigned threads,
                                           std::size_t blockBytes)
    : m_start(start)
    , m_valuesPerRecord(valuesPerRecord)
    , m_blockBytes(std::max<std::size_t>(1, blockBytes))
{
    m_fd = duplicateDescriptor(fd);
    // The size from the system, never by seeking: a duplicated descriptor shares the file's
    // offset with the sequential reader that may take the pass over.
    const std::optional<std::uint64_t> size =
        m_fd >= 0 ? openFileSize(m_fd) : std::optional<std::uint64_t>();
    if (!size) {
        m_needsSequential = true;
        return;
    }
    m_size = *size;
    const std::uint64_t bytes = m_size > m_start ? m_size - m_start : 0;
    m_blockCount = static_cast<std::size_t>((bytes + m_blockBytes - 1) / m_blockBytes);
    const unsigned workers = std::max(1u, threads);
    m_slots.resize(2 * std::size_t{workers});
    try {
        for (unsigned i = 0; i < workers; ++i) {
            m_workers.emplace_back([this] { work(); });
        }
    } catch (...) {
        stopWorkers();
        throw;
    }
}

ParallelRecordReader::~ParallelRecordReader()
{
    stopWorkers();
}

void ParallelRecordReader::stopWorkers()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    for (std::thread& w : m_workers) {
        w.join();
    }
    closeDescriptor(m_fd);
}

void ParallelRecordReader::work()
{
    for (;;) {
        std::size_t block = 0;
        Slot* slot = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] {
                return m_stop || (m_nextToParse < m_blockCount &&
                                  m_slots[m_nextToParse % m_slots.size()].state == SlotState::Free);
            });
            if (m_stop) {
                return;
            }
            block = m_nextToParse++;
            slot = &m_slots[block % m_slots.size()];
            slot->state = SlotState::Parsing;
        }
        parseBlock(block, *slot);
        {
            const std::lock_guard lock(m_mutex);
            slot->state = SlotState::Ready;
        }
        m_changed.notify_all();
    }
}

bool ParallelRecordReader::readRange(std::uint64_t from, std::uint64_t to, std::string& text) const
{
    text.resize(static_cast<std::size_t>(to - from));
    int reason = 0;
    const std::optional<std::size_t> got = readFileAt(m_fd, text.data(), text.size(), from, reason);
    // an error, or a file that shrank: the sequential reader's checks will tell
    return got && *got == text.size();
}

bool ParallelRecordReader::lineEndFrom(std::uint64_t pos,
                                       std::uint64_t& after,
                                       std::string& scratch) const
{
    while (pos < m_size) {
        const std::uint64_t to = std::min<std::uint64_t>(m_size, pos + lineEndProbeBytes);
        if (!readRange(pos, to, scratch)) {
            return false;
        }
        const auto at = std::find_if(scratch.begin(), scratch.end(), isLineEnd);
        if (at != scratch.end()) {
            after = pos + static_cast<std::uint64_t>(at - scratch.begin()) + 1;
            return true;
        }
        pos = to;
    }
    after = m_size;
    return true;
}

void ParallelRecordReader::parseBlock(std::size_t block, Slot& slot)
{
    // Block b covers the bytes from just after the first line end at or after its nominal
    // start - 1 to just after the first line end at or after its nominal end - 1, so that
    // neighbouring blocks meet exactly and each starts where the sequential reader would be
    // looking for the next field.
    slot.fields.clear();
    slot.unusual = false;
    try {
        const std::uint64_t nominal = m_start + std::uint64_t{block} * m_blockBytes;
        const std::uint64_t nominalEnd = std::min<std::uint64_t>(m_size, nominal + m_blockBytes);
        std::uint64_t begin = m_start;
        std::uint64_t end = m_size;
        // the probe has a string of its own, so that the text keeps its size from block to
        // block and is not filled with zeros anew before every read
        std::string& scratch = slot.probe;
        if ((block > 0 && !lineEndFrom(nominal - 1, begin, scratch)) ||
            (nominalEnd < m_size && !lineEndFrom(nominalEnd - 1, end, scratch))) {
            slot.unusual = true;
            return;
        }
        if (begin >= end) {
            return; // a line longer than a block: a neighbour holds it
        }
        if (!readRange(begin, end, slot.text)) {
            slot.unusual = true;
            return;
        }
        // The same fields as the sequential reader: blanks and line ends between fields,
        // a field ends at a comma, blank or line end, and one comma after a field's blanks
        // belongs to it.
        const char* p = slot.text.data();
        const char* const e = p + slot.text.size();
        for (;;) {
            while (p < e && isSpace(*p)) {
                ++p;
            }
            if (p == e) {
                return;
            }
            double value = 0.0;
            const char* t = parsePlainNumber(p, e, value, endsField);
            if (t == nullptr || static_cast<std::size_t>(t - p) > longestPlainField) {
                t = p;
                while (t < e && !endsField(*t)) {
                    ++t;
                }
                const std::string_view field(p, static_cast<std::size_t>(t - p));
                if (isMissingValueMarker(field)) {
                    value = std::numeric_limits<double>::quiet_NaN();
                } else if (field.empty() || field.size() > longestPlainField ||
                           parseDecimal(field, value) != NumberStatus::Ok) {
                    slot.unusual = true;
                    return;
                }
            }
            slot.fields.push_back(value);
            while (t < e && (*t == ' ' || *t == '\t')) {
                ++t;
            }
            if (t < e && *t == ',') {
                ++t;
            }
            p = t;
        }
    } catch (...) {
        // memory the system will not give, most likely: the sequential reader does the work
        slot.fields.clear();
        slot.unusual = true;
    }
}

bool ParallelRecordReader::nextBlock()
{
    if (m_holding) {
        {
            const std::lock_guard lock(m_mutex);
            m_slots[m_current % m_slots.size()].state = SlotState::Free;
        }
        m_changed.notify_all();
        m_holding = false;
        ++m_current;
    }
    if (m_current >= m_blockCount) {
        return false;
    }
    Slot& slot = m_slots[m_current % m_slots.size()];
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&slot] { return slot.state == SlotState::Ready; });
    }
    m_holding = true;
    m_field = 0;
    return true;
}

std::uint64_t ParallelRecordReader::bytesRead() const
{
    // the nominal end of the block: close enough for a bar
    return std::min<std::uint64_t>(m_size, m_start + std::uint64_t{m_current + 1} * m_blockBytes);
}

Result<bool> ParallelRecordReader::nextRecord(double& code, std::span<double> values)
{
    assert(values.size() == m_valuesPerRecord);
    if (m_needsSequential || m_ended) {
        return false;
    }
    // field 0 is the code, fields 1..V the values; a record may continue in the next block
    for (std::size_t f = 0; f <= m_valuesPerRecord;) {
        const Slot* slot = m_holding ? &m_slots[m_current % m_slots.size()] : nullptr;
        if (slot == nullptr || m_field == slot->fields.size()) {
            if (slot != nullptr && slot->unusual) {
                m_needsSequential = true;
                return false;
            }
            if (!nextBlock()) {
                m_ended = true;
                if (f > 0) {
                    m_needsSequential = true; // cut short by the end of the file
                }
                return false;
            }
            continue;
        }
        const std::size_t take = std::min(m_valuesPerRecord + 1 - f, slot->fields.size() - m_field);
        const double* from = slot->fields.data() + m_field;
        for (std::size_t i = 0; i < take; ++i, ++f) {
            if (f == 0) {
                code = from[i];
            } else {
                values[f - 1] = from[i];
            }
        }
        m_field += take;
    }
    if (std::isnan(code)) {
        m_needsSequential = true; // a missing code: the sequential reader names the field
        return false;
    }
    ++m_records;
    return true;
}

} // namespace tavrik
