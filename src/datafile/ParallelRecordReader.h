// The records after a data file's header, turned into numbers on several threads and handed
// out in file order. The text is cut into blocks just after a line end (a number never spans
// a line, a record may); worker threads turn blocks into flat arrays of numbers, and
// nextRecord takes the fields from the blocks in order, so every record arrives exactly as
// the sequential reader would give it.
//
// A missing-value marker (NA or .) becomes a quiet NaN, as in the sequential reader. Anything
// unusual (a field that is neither a plain decimal number nor a marker, a missing population
// code, a record cut short by the end of the file, a read error) is not diagnosed here: the reader
// stops and needsSequential() tells the caller to read the pass again with the sequential reader,
// whose messages name the line and field.
#pragma once

#include "datafile/InputFile.h"
#include "state/Result.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace tavrik {

class ParallelRecordReader
{
public:
    static constexpr std::size_t defaultBlockBytes = std::size_t{1} << 20;

    // Reads the open file (fd is duplicated; the caller keeps its own) from byte offset
    // start to the size it has now, with valuesPerRecord values after each code. Throws
    // std::system_error when a thread cannot be started.
    ParallelRecordReader(int fd,
                         std::uint64_t start,
                         std::size_t valuesPerRecord,
                         unsigned threads,
                         std::size_t blockBytes);
    ParallelRecordReader(const ParallelRecordReader&) = delete;
    ParallelRecordReader& operator=(const ParallelRecordReader&) = delete;
    ~ParallelRecordReader();

    // As DataFileReader::nextRecord, but never an error: false at the end of the records and
    // when needsSequential() turned true.
    Result<bool> nextRecord(double& code, std::span<double> values);
    bool needsSequential() const { return m_needsSequential; }
    long recordsRead() const { return m_records; }
    // Bytes of the file up to the end of the block being read, and the file's size, as
    // DataFileReader tells them for its progress bar.
    std::uint64_t bytesRead() const;
    std::uint64_t sizeBytes() const { return m_size; }

private:
    enum class SlotState { Free, Parsing, Ready };
    struct Slot
    {
        SlotState state = SlotState::Free;
        std::string text;
        std::string probe; // bytes read while looking for a line end
        std::vector<double> fields;
        bool unusual = false;
    };

    void work();
    // Tells the workers to stop, waits for them and closes the descriptor.
    void stopWorkers();
    void parseBlock(std::size_t block, Slot& slot);
    // One past the first line end at or after pos (or the size); false on a read error.
    bool lineEndFrom(std::uint64_t pos, std::uint64_t& after, std::string& scratch) const;
    bool readRange(std::uint64_t from, std::uint64_t to, std::string& text) const;
    // Waits for the next block; false at the end of the blocks.
    bool nextBlock();

    int m_fd = -1;
    std::uint64_t m_start = 0;
    std::uint64_t m_size = 0;
    std::size_t m_valuesPerRecord = 0;
    std::size_t m_blockBytes = 0;
    std::size_t m_blockCount = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Slot> m_slots;
    std::size_t m_nextToParse = 0; // guarded by m_mutex
    bool m_stop = false;           // guarded by m_mutex
    std::vector<std::thread> m_workers;

    // consumer side, touched only by the thread that calls nextRecord
    std::size_t m_current = 0; // block being consumed
    bool m_holding = false;    // m_slots[m_current % size] is Ready and being consumed
    std::size_t m_field = 0;   // next field of the current block
    long m_records = 0;
    bool m_needsSequential = false;
    bool m_ended = false;
};

} // namespace tavrik
