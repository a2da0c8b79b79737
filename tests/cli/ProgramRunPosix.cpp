#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ProgramRun.h"

namespace tavrik::test {

int runProgram(const std::filesystem::path& program,
               const std::vector<std::string>& args,
               const std::filesystem::path& dir,
               const std::filesystem::path& out,
               const std::filesystem::path& err,
               const std::string& epoch,
               const std::function<void()>& prepare)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0 || !freopen(out.c_str(), "wb", stdout) ||
            !freopen(err.c_str(), "wb", stderr)) {
            _exit(127);
        }
        // Charts are drawn without a display, whatever the session offers.
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (epoch.empty()) {
            unsetenv("SOURCE_DATE_EPOCH");
        } else {
            setenv("SOURCE_DATE_EPOCH", epoch.c_str(), 1);
        }
        if (prepare) {
            prepare();
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int raw = 0;
    if (pid > 0 && waitpid(pid, &raw, 0) == pid) {
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
    return -1;
}

bool childSetupWorks()
{
    return true;
}

std::function<void()> addressSpaceLimit(std::uint64_t bytes)
{
    return [bytes] {
        const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
        setrlimit(RLIMIT_AS, &limit);
    };
}

long processId()
{
    return static_cast<long>(getpid());
}

} // namespace tavrik::test
