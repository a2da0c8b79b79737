// Reader of .tvk data files: the header (title, counts, populations, variable names) and a
// streaming pass over the records that never holds them in memory. Every error names the
// file, the line and the field, and what was found there.
#pragma once

#include "datafile/InputFile.h"
#include "datafile/ParallelRecordReader.h"
#include "state/ProgramState.h"
#include "state/Result.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tavrik {

struct PopulationEntry
{
    std::string name;
    std::int16_t code = 0;
    float size = 0.0f; // census size, deliberately 32-bit
    bool operator==(const PopulationEntry&) const = default;
};

struct DataFileHeader
{
    std::string title;
    std::int16_t popCount = 0;
    std::int16_t varCount = 0;
    std::vector<PopulationEntry> populations; // file order
    std::vector<std::string> varNames;        // file order
    bool operator==(const DataFileHeader&) const = default;
};

class DataFileReader
{
public:
    // Opens the file; fails with a DataFile error naming the path and the system's reason.
    static Result<DataFileReader> open(const std::filesystem::path& path);

    // Reads bytes held in memory as if they were a file called displayName, which the
    // messages name (tests and fuzzing). With pieceBytes > 0 the bytes arrive that many at
    // a time, as from a slow pipe, so that every field can meet the end of the buffer.
    static Result<DataFileReader>
    fromBuffer(std::string data, std::string displayName, std::size_t pieceBytes = 0);

    DataFileReader(DataFileReader&&) noexcept;
    DataFileReader& operator=(DataFileReader&&) noexcept;
    ~DataFileReader();

    // Reads the whole header; must be called once, before the records.
    Result<DataFileHeader> readHeader();

    // Reads the next record: its population code and exactly values.size() values (the
    // header's varCount). A value field holding only NA or . (unquoted) is missing and
    // comes back as a quiet NaN; the code may not be missing. Returns false at the end of the file
    // (trailing blanks and empty lines allowed), true when a record was read, or an error for a
    // short or bad record.
    Result<bool> nextRecord(double& code, std::span<double> values);

    // A reader of the records after the header on several threads (see ParallelRecordReader),
    // leaving this reader where it is; null for bytes in memory, after the first record, or
    // when no thread can be started. blockBytes: the size of the blocks handed to the threads.
    std::unique_ptr<ParallelRecordReader>
    parallelRecords(unsigned threads,
                    std::size_t blockBytes = ParallelRecordReader::defaultBlockBytes) const;

    // Records read so far by nextRecord.
    long recordsRead() const;
    // Bytes of the file taken in so far, and its size when it was opened (0 if unknown).
    std::uint64_t bytesRead() const;
    std::uint64_t sizeBytes() const;

    // The open file's stamp as the system tells it now (all zero for bytes in memory).
    FileStamp fileStamp() const;

private:
    struct Impl;
    explicit DataFileReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// The DataSet that File Open installs for a header read from path (made absolute).
DataSet dataSetFromHeader(const DataFileHeader& header, const std::filesystem::path& path);

// Opens the file, reads its header and builds the DataSet that File Open installs
// (path, counts, names, equalSizes). The caller's current DataSet is untouched: on any
// error nothing is returned but the error.
Result<DataSet> loadDataSet(const std::filesystem::path& path);
// The same of a data file's bytes held in memory, which name stands for in the report and in
// messages; the data set keeps the bytes.
Result<DataSet> loadHeldDataSet(std::shared_ptr<const std::string> text, const std::string& name);
// A reader of the data set's file: the bytes it holds, or the file at its dataPath.
Result<DataFileReader> openDataSet(const DataSet& dataSet);

} // namespace tavrik
