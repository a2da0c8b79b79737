// Starting a program as a test's child, one implementation per system.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tavrik::test {

struct Outcome
{
    int status = -1;
    std::string out;
    std::string err;
};

// Runs program with args (UTF-8) in folder dir, its standard output and error going to the
// files out and err, with SOURCE_DATE_EPOCH set to epoch (unset when it is empty); prepare is
// called in the child just before the program starts. Returns the exit status; a program ended
// by a signal gives 128 plus its number, as a shell shows it.
int runProgram(const std::filesystem::path& program,
               const std::vector<std::string>& args,
               const std::filesystem::path& dir,
               const std::filesystem::path& out,
               const std::filesystem::path& err,
               const std::string& epoch,
               const std::function<void()>& prepare);

// Whether a prepare step can run: it needs a child set up between its start and the program's
// (fork), which Windows does not have. A test that needs one is skipped without.
bool childSetupWorks();

// A prepare step for runProgram: the program may map at most bytes of address space.
std::function<void()> addressSpaceLimit(std::uint64_t bytes);

// This test process's id, which keeps the scratch folders of parallel tests apart.
long processId();

} // namespace tavrik::test
