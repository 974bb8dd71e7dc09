#include <windows.h>

#include <vector>

#include "program.h"
#include "test_tree.h"

std::wstring ProgramPath()
{
    WCHAR path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    return length == 0 || length >= ARRAYSIZE(path) ? std::wstring() : std::wstring(path, length);
}

std::wstring ProgramFolder()
{
    return ParentOf(ProgramPath());
}

bool StartProgram(const std::wstring& program, const std::wstring& tail, PROCESS_INFORMATION& process,
                  const WCHAR* currentFolder, const WCHAR* desktop)
{
    // CreateProcessW may write into both.
    std::wstring commandLine = L"\"" + program + L"\"" + tail;
    std::vector<WCHAR> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    std::wstring desktopName = desktop != nullptr ? desktop : L"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.lpDesktop = desktop != nullptr ? &desktopName[0] : nullptr;
    return CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          currentFolder, &startup, &process) != FALSE;
}

bool EndProgram(PROCESS_INFORMATION& process, DWORD waitMs, DWORD* exitCode)
{
    bool ended = WaitForSingleObject(process.hProcess, waitMs) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    if (exitCode != nullptr) {
        *exitCode = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, exitCode);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    process = {};
    return ended;
}

std::string DescribeState(const PROCESS_INFORMATION& process)
{
    DWORD code = 0;
    if (!GetExitCodeProcess(process.hProcess, &code)) {
        return "in an unknown state (error " + std::to_string(GetLastError()) + ")";
    }
    return code == STILL_ACTIVE ? "still running" : "ended with exit code " + std::to_string(code);
}

namespace {

// Whether an open of path with access and share meets a sharing violation.
bool MeetsSharingViolation(const std::wstring& path, DWORD access, DWORD share)
{
    HANDLE probe = CreateFileW(Long(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_SHARING_VIOLATION;
    }
    CloseHandle(probe);
    return false;
}

} // namespace

bool WaitUntilHeld(const std::wstring& path, DWORD waitMs)
{
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    DWORD start = GetTickCount();
    // Held without delete sharing, or held for writing (sharing deletion).
    while (!MeetsSharingViolation(path, DELETE, shareAll) &&
           !MeetsSharingViolation(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE)) {
        if (GetTickCount() - start >= waitMs) {
            return false;
        }
        Sleep(10);
    }
    return true;
}
