#include <windows.h>

#include <psapi.h>

#include <stdio.h>

#include <set>
#include <sstream>

#include "e2e_run.h"
#include "program.h"
#include "test_tree.h"

namespace e2e {

namespace {

const DWORD kPromptLimitMs = 15000;
const DWORD kIgnoredAfterMs = 1500;
const DWORD kPollMs = 40;

std::vector<LoadedModule> ModulesOf(HANDLE process)
{
    std::vector<LoadedModule> loaded;
    HMODULE modules[512];
    DWORD needed = 0;
    if (!EnumProcessModules(process, modules, sizeof(modules), &needed)) {
        return loaded;
    }
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < ARRAYSIZE(modules); ++i) {
        WCHAR path[MAX_PATH] = {};
        MODULEINFO info = {};
        if (GetModuleFileNameExW(process, modules[i], path, MAX_PATH) != 0 &&
            GetModuleInformation(process, modules[i], &info, sizeof(info))) {
            loaded.push_back({path, info.SizeOfImage});
        }
    }
    return loaded;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    return lines;
}

bool HasLine(const std::wstring& file, const std::string& wanted)
{
    for (const std::string& line : Lines(ReadTextFile(file))) {
        if (line == wanted) {
            return true;
        }
    }
    return false;
}

} // namespace

std::wstring CheckProgram()
{
    return ProgramFolder() + L"\\FullUninstallCheck.exe";
}

CheckRun RunCheck(const std::wstring& commandTail, Answer answer)
{
    return RunCheck(CheckStart{CheckProgram(), L""}, commandTail, answer);
}

CheckRun RunCheck(const CheckStart& start, const std::wstring& commandTail, Answer answer)
{
    CheckRun run;
    std::set<HWND> known;
    for (HWND window : TopLevelWindows()) {
        known.insert(window);
    }

    PROCESS_INFORMATION process = {};
    DWORD started = GetTickCount();
    if (!StartProgram(start.program, commandTail, process,
                      start.currentFolder.empty() ? nullptr : start.currentFolder.c_str())) {
        return run;
    }
    run.started = true;

    HWND prompt = nullptr;
    DWORD answeredAt = 0;
    for (;;) {
        bool ended = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        for (HWND window : TopLevelWindows()) {
            if (known.count(window) || !IsWindowVisible(window)) {
                continue;
            }
            known.insert(window);
            if (prompt != nullptr || !IsPrompt(window, process.dwProcessId)) {
                run.otherWindows.push_back(DescribeWindow(window));
                continue;
            }
            prompt = window;
            run.prompted = true;
            run.modulesAtPrompt = ModulesOf(process.hProcess);
            RecordPrompt(window, run.prompt);
            AnswerPrompt(window, answer);
            answeredAt = GetTickCount();
        }
        if (ended) {
            run.exited = true;
            break;
        }
        DWORD now = GetTickCount();
        if (prompt != nullptr && !run.boxStayed && answer != Answer::Yes && answer != Answer::No &&
            now - answeredAt > kIgnoredAfterMs && IsWindowVisible(prompt)) {
            run.boxStayed = true;
            AnswerPrompt(prompt, Answer::No);
            answeredAt = now;
        }
        if ((prompt == nullptr && now - started > kPromptLimitMs) ||
            (prompt != nullptr && now - answeredAt > start.exitLimitMs)) {
            break;
        }
        Sleep(kPollMs);
    }
    DWORD exitCode = STILL_ACTIVE;
    EndProgram(process, 0, &exitCode);
    if (run.exited) {
        run.exitCode = exitCode;
    }
    run.milliseconds = GetTickCount() - started;
    run.afterAnswerMs = prompt != nullptr ? GetTickCount() - answeredAt : 0;
    return run;
}

bool StartHost(HostStandIn& host, const std::wstring& heldFile)
{
    static unsigned long launches = 0; // test-side only: names each stand-in uniquely
    ++launches;
    std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(launches);
    host.resultFile = WorkFolder() + L"\\host-" + tag + L".txt";
    DeleteFileW(host.resultFile.c_str());
    std::wstring title = L"FullCheck E2E host " + tag;
    std::wstring tail = L" \"" + host.resultFile + L"\" \"" + title + L"\"";
    if (!heldFile.empty()) {
        tail += L" \"" + heldFile + L"\"";
    }
    if (!StartProgram(ProgramFolder() + L"\\e2e_host.exe", tail, host.process)) {
        return false;
    }
    DWORD started = GetTickCount();
    while (GetTickCount() - started < 15000) {
        if (WaitForSingleObject(host.process.hProcess, 0) == WAIT_OBJECT_0) {
            return false;
        }
        host.window = FindWindowW(L"FullCheckE2EHostStandIn", title.c_str());
        for (const std::string& line : Lines(ReadTextFile(host.resultFile))) {
            unsigned id = 0;
            if (host.window != nullptr && sscanf(line.c_str(), "registered %u", &id) == 1) {
                host.registeredId = id;
                return true;
            }
        }
        Sleep(kPollMs);
    }
    return false;
}

std::vector<CloseRequest> ReceivedCloseRequests(HostStandIn& host, bool& settled)
{
    // Posted messages are handled in order: once the marker is handled, so
    // is everything posted to the stand-in before it.
    ++host.marks;
    std::string marker = "mark " + std::to_string(host.marks);
    settled = PostMessageW(host.window, WM_APP, host.marks, 0) != 0;
    DWORD started = GetTickCount();
    while (settled && !HasLine(host.resultFile, marker)) {
        if (GetTickCount() - started > 10000) {
            settled = false;
        }
        Sleep(kPollMs);
    }
    std::vector<CloseRequest> requests;
    for (const std::string& line : Lines(ReadTextFile(host.resultFile))) {
        CloseRequest request;
        if (sscanf(line.c_str(), "close %u %lu %ld", &request.id, &request.wParam, &request.lParam) == 3) {
            requests.push_back(request);
        }
    }
    return requests;
}

void StopHost(HostStandIn& host)
{
    if (host.process.hProcess == nullptr) {
        return;
    }
    if (host.window != nullptr) {
        PostMessageW(host.window, WM_CLOSE, 0, 0);
    }
    EndProgram(host.process, 10000);
    host.window = nullptr;
    DeleteFileW(host.resultFile.c_str());
}

} // namespace e2e
