// The black-box harness of tavrik-batch: runs the built program in a fresh folder per test
// and reads back what it printed and wrote.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "ProgramRun.h"

namespace tavrik::test {

namespace fs = std::filesystem;

// Absolute as the program shows it (on Windows, with its drive).
inline const fs::path dataDir = fs::absolute(TAVRIK_TEST_DATA);

inline std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

// Every line of an output file ends with CR LF, and no CR stands alone.
inline bool allLinesEndCrLf(const std::string& text)
{
    if (text.empty() || !text.ends_with("\r\n")) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            return false;
        }
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) {
            return false;
        }
    }
    return true;
}

class BatchProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                (std::string("tavrik-cli-") + info->name() + "-" + std::to_string(processId()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Runs the program in m_dir with SOURCE_DATE_EPOCH set unless epoch is empty; prepare is
    // called in the child just before the program starts (to break its standard output, or to
    // limit it). A program ended by a signal gives 128 plus its number, as a shell shows it.
    Outcome run(const std::vector<std::string>& args,
                const std::string& epoch = "1000000000",
                const std::function<void()>& prepare = {}) const
    {
        const fs::path outPath = m_dir / ".stdout";
        const fs::path errPath = m_dir / ".stderr";
        Outcome outcome;
        outcome.status = runProgram(TAVRIK_BATCH, args, m_dir, outPath, errPath, epoch, prepare);
        outcome.out = readFile(outPath);
        outcome.err = readFile(errPath);
        fs::remove(outPath);
        fs::remove(errPath);
        return outcome;
    }

    // Runs the arguments of line (see args) and expects the exit status, the complaint on
    // standard error, and nothing in m_dir but the files named.
    void expectRefused(const std::string& line,
                       int status,
                       const std::string& complaint,
                       const std::vector<std::string>& filesLeft = {}) const
    {
        SCOPED_TRACE(line);
        const Outcome o = run(args(line));
        EXPECT_EQ(o.status, status);
        EXPECT_NE(o.err.find(complaint), std::string::npos) << o.err;
        EXPECT_EQ(filesIn(), filesLeft);
    }

    // Names in m_dir other than the ones the test created itself: temporaries left behind.
    std::vector<std::string> filesIn() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string data(const std::string& name) { return (dataDir / name).string(); }
    // Arguments written as one line and split at blanks; a word "@name" stands for the test
    // data file of that name.
    static std::vector<std::string> args(const std::string& line)
    {
        std::vector<std::string> result;
        std::istringstream in(line);
        for (std::string word; in >> word;) {
            result.push_back(word.starts_with('@') ? data(word.substr(1)) : word);
        }
        return result;
    }
    // The report shows the data file's absolute path without "." or ".." steps.
    static std::string shownPath(const std::string& name)
    {
        return (dataDir / name).lexically_normal().string();
    }

    fs::path m_dir;
};

} // namespace tavrik::test
