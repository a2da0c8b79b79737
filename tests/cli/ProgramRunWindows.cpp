#include <windows.h>

#include "ProgramRun.h"

namespace tavrik::test {

namespace {

std::wstring wide(const std::string& utf8)
{
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    return text;
}

// One argument as the C runtime's parser splits the command line again: quoted, with the
// backslashes before a quote doubled.
std::wstring quoted(const std::wstring& arg)
{
    std::wstring text = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, L'\\');
    return text + L"\"";
}

HANDLE inheritableFile(const std::filesystem::path& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(),
                       GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       &inherit,
                       CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

} // namespace

int runProgram(const std::filesystem::path& program,
               const std::vector<std::string>& args,
               const std::filesystem::path& dir,
               const std::filesystem::path& out,
               const std::filesystem::path& err,
               const std::string& epoch,
               const std::function<void()>& prepare)
{
    if (prepare) {
        return -1; // see childSetupWorks
    }
    std::wstring line = quoted(program.wstring());
    for (const std::string& a : args) {
        line += L" " + quoted(wide(a));
    }
    const HANDLE outFile = inheritableFile(out);
    const HANDLE errFile = inheritableFile(err);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outFile;
    startup.hStdError = errFile;
    // The child takes this process's environment, as changed for it and changed back after.
    SetEnvironmentVariableW(L"SOURCE_DATE_EPOCH", epoch.empty() ? nullptr : wide(epoch).c_str());
    PROCESS_INFORMATION child{};
    const bool started = CreateProcessW(
        nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, dir.c_str(), &startup, &child);
    SetEnvironmentVariableW(L"SOURCE_DATE_EPOCH", nullptr);
    CloseHandle(outFile);
    CloseHandle(errFile);
    if (!started) {
        return -1;
    }
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    return static_cast<int>(status);
}

bool childSetupWorks()
{
    return false;
}

std::function<void()> addressSpaceLimit(std::uint64_t)
{
    return [] {};
}

long processId()
{
    return static_cast<long>(GetCurrentProcessId());
}

} // namespace tavrik::test
