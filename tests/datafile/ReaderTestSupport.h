// Helpers shared by the data file tests: reading text held in memory, and scratch files.
#pragma once

#include "datafile/DataFileReader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tavrik::test {

inline std::filesystem::path dataFile(const std::string& name)
{
    return std::filesystem::path(TAVRIK_TEST_DATA) / name;
}

// A file in a folder of its own, removed with the object.
class ScratchFile
{
public:
    explicit ScratchFile(const std::string& contents)
    {
        static int made = 0;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() /
                ("tavrik-datafile-" + std::string(info->test_suite_name()) + "-" + info->name() +
                 "-" + std::to_string(++made));
        std::string name = m_dir.filename().string();
        std::replace(name.begin(), name.end(), '/', '_');
        m_dir.replace_filename(name);
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        m_path = m_dir / "scratch.tvk";
        std::ofstream(m_path, std::ios::binary) << contents;
    }
    ~ScratchFile() { std::filesystem::remove_all(m_dir); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_dir;
    std::filesystem::path m_path;
};

struct Record
{
    double code = 0.0;
    std::vector<double> values;
};

// Everything a reader yields: the header, the records, and the first error if any.
struct Contents
{
    DataFileHeader header;
    std::vector<Record> records;
    bool failed = false;
    Error error;
};

inline Contents readAll(Result<DataFileReader> opened)
{
    Contents c;
    if (!opened) {
        c.failed = true;
        c.error = opened.error();
        return c;
    }
    DataFileReader& reader = *opened;
    Result<DataFileHeader> header = reader.readHeader();
    if (!header) {
        c.failed = true;
        c.error = header.error();
        return c;
    }
    c.header = *header;
    Record r;
    r.values.resize(static_cast<std::size_t>(c.header.varCount));
    for (;;) {
        Result<bool> more = reader.nextRecord(r.code, r.values);
        if (!more) {
            c.failed = true;
            c.error = more.error();
            return c;
        }
        if (!*more) {
            break;
        }
        c.records.push_back(r);
    }
    EXPECT_EQ(reader.recordsRead(), static_cast<long>(c.records.size()));
    return c;
}

inline Contents readText(const std::string& text)
{
    return readAll(DataFileReader::fromBuffer(text, "pops.tvk"));
}

} // namespace tavrik::test
