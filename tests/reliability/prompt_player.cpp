#include <windows.h>

#include <set>

#include "e2e_support.h"
#include "prompt_player.h"

namespace reliability {

namespace {

const WCHAR kPromptCaption[] = L"Corvanta Marbel-Quint";
const DWORD kPromptLimitMs = 15000;
const DWORD kExitLimitMs = 15000;
const DWORD kIgnoredAfterMs = 1500;
const DWORD kPollMs = 40;

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

DWORD ProcessOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

std::wstring ClassOf(HWND window)
{
    WCHAR name[256] = {};
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

// Asked for with a time limit: the window belongs to another process.
std::wstring TitleOf(HWND window)
{
    WCHAR title[256] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(title), reinterpret_cast<LPARAM>(title),
                             SMTO_ABORTIFHUNG, 2000, &copied)) {
        return L"<no answer>";
    }
    return title;
}

std::wstring Describe(HWND window)
{
    return ClassOf(window) + L" '" + TitleOf(window) + L"' pid " + std::to_wstring(ProcessOf(window));
}

// Posted, never sent: the box's thread ends the dialog and the program exits
// while handling it, so a sent message could wait in vain.
void Leave(HWND dialog, Gesture gesture)
{
    switch (gesture) {
    case Gesture::Yes:
    case Gesture::No: {
        HWND button = GetDlgItem(dialog, gesture == Gesture::Yes ? IDYES : IDNO);
        PostMessageW(button, BM_CLICK, 0, 0);
        break;
    }
    case Gesture::Close:
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        break;
    case Gesture::Cancel:
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        break;
    case Gesture::Escape: {
        // The box gives its default button (Yes) the focus; the dialog
        // manager turns Escape there into the dialog's Cancel.
        HWND focus = GetDlgItem(dialog, IDYES);
        PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        break;
    }
    }
}

} // namespace

bool ParseGesture(const std::string& name, Gesture& gesture)
{
    const struct {
        const char* name;
        Gesture gesture;
    } names[] = {{"yes", Gesture::Yes},
                 {"no", Gesture::No},
                 {"close", Gesture::Close},
                 {"cancel", Gesture::Cancel},
                 {"escape", Gesture::Escape}};
    for (const auto& entry : names) {
        if (name == entry.name) {
            gesture = entry.gesture;
            return true;
        }
    }
    return false;
}

PlayedRun PlayCheck(const std::wstring& commandTail, Gesture gesture)
{
    PlayedRun run;
    std::set<HWND> known;
    for (HWND window : TopLevelWindows()) {
        known.insert(window);
    }

    std::wstring program = e2e::CheckProgram();
    std::wstring commandLine = L"\"" + program + L"\"" + commandTail;
    std::vector<WCHAR> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    DWORD started = GetTickCount();
    if (!CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return run;
    }
    run.started = true;

    HWND prompt = nullptr;
    DWORD leftAt = 0;
    bool fellBackToNo = false;
    for (;;) {
        bool ended = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        for (HWND window : TopLevelWindows()) {
            if (known.count(window) || !IsWindowVisible(window)) {
                continue;
            }
            known.insert(window);
            if (prompt == nullptr && ProcessOf(window) == process.dwProcessId &&
                ClassOf(window) == L"#32770" && TitleOf(window) == kPromptCaption) {
                prompt = window;
                run.prompted = true;
                Leave(prompt, gesture);
                leftAt = GetTickCount();
            } else {
                run.otherWindows.push_back(Describe(window));
            }
        }
        if (ended) {
            run.exited = true;
            break;
        }
        DWORD now = GetTickCount();
        if (prompt != nullptr && !fellBackToNo && gesture != Gesture::Yes && gesture != Gesture::No &&
            now - leftAt > kIgnoredAfterMs && IsWindowVisible(prompt)) {
            run.boxStayed = true;
            fellBackToNo = true;
            Leave(prompt, Gesture::No);
            leftAt = now;
        }
        if ((prompt == nullptr && now - started > kPromptLimitMs) ||
            (prompt != nullptr && now - leftAt > kExitLimitMs)) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
        Sleep(kPollMs);
    }
    if (run.exited) {
        GetExitCodeProcess(process.hProcess, &run.exitCode);
    }
    run.milliseconds = GetTickCount() - started;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

} // namespace reliability
