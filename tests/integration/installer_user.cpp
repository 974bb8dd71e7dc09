// The user in front of a real uninstaller, for the integration scripts:
//
//   integration_user.exe watch RESULT-FILE ANSWER SECONDS
//       waits for the check's prompt; when it comes, writes to RESULT-FILE
//       (UTF-8) its caption and the full image path of the process that
//       shows it, so that a script can tell where the uninstaller started
//       the check from, and answers it as ANSWER (yes, no, or another of
//       prompt.h's names), clicked again while it stays, as a click can
//       come before the box takes it. Exit code 0 when the prompt came and
//       went, 1 when none came.
//   integration_user.exe press yes|no|ok SECONDS
//       waits for a message box of the uninstaller itself (any visible
//       dialog but the check's prompt that has that button) and clicks the
//       button; 0 when clicked, 1 when none came.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "prompt.h"
#include "test_tree.h"
#include "text.h"

namespace {

// The full image path of the process that owns window; empty when it
// cannot be read.
std::wstring ImageOf(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    // Of Vista on, which the build's Windows version leaves undeclared.
    using QueryImageName = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
    auto queryImageName = reinterpret_cast<QueryImageName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
    // PROCESS_QUERY_LIMITED_INFORMATION, likewise undeclared.
    HANDLE process = OpenProcess(0x1000, FALSE, processId);
    if (queryImageName == nullptr || process == nullptr) {
        if (process != nullptr) {
            CloseHandle(process);
        }
        return L"";
    }
    WCHAR image[MAX_PATH * 2] = {};
    DWORD size = ARRAYSIZE(image);
    BOOL read = queryImageName(process, 0, image, &size);
    CloseHandle(process);
    return read ? std::wstring(image, size) : L"";
}

int WatchForCheck(const std::wstring& resultFile, Answer answer, DWORD seconds)
{
    DWORD started = GetTickCount();
    HWND prompt = nullptr;
    while (prompt == nullptr && GetTickCount() - started < seconds * 1000) {
        prompt = FindPrompt(0);
        if (prompt == nullptr) {
            Sleep(50);
        }
    }
    if (prompt == nullptr) {
        return 1;
    }
    std::string text = "caption: " + Narrow(kPromptCaption) + "\nimage: " + Narrow(ImageOf(prompt)) + "\n";
    bool written = WriteTextFile(resultFile, text);
    for (int click = 0; click < 20 && IsWindow(prompt); ++click) {
        // Result not examined: the box may close between the look and the click.
        AnswerPrompt(prompt, answer);
        Sleep(500);
    }
    return written && !IsWindow(prompt) ? 0 : 1;
}

// A visible dialog other than the check's prompt that has the button.
HWND FindUninstallerBox(int buttonId)
{
    for (HWND window : TopLevelWindows()) {
        WCHAR className[64] = {};
        GetClassNameW(window, className, ARRAYSIZE(className));
        if (IsWindowVisible(window) && wcscmp(className, L"#32770") == 0 && !IsPrompt(window, 0) &&
            GetDlgItem(window, buttonId) != nullptr) {
            return window;
        }
    }
    return nullptr;
}

int Press(int buttonId, DWORD seconds)
{
    DWORD started = GetTickCount();
    while (GetTickCount() - started < seconds * 1000) {
        HWND box = FindUninstallerBox(buttonId);
        if (box != nullptr) {
            return PostMessageW(GetDlgItem(box, buttonId), BM_CLICK, 0, 0) ? 0 : 1;
        }
        Sleep(50);
    }
    return 1;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return 2;
    }
    std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);
    Answer answer;
    if (args.size() == 4 && args[0] == L"watch" && AnswerNamed(Narrow(args[2]), answer)) {
        return WatchForCheck(args[1], answer, wcstoul(args[3].c_str(), nullptr, 10));
    }
    if (args.size() == 3 && args[0] == L"press") {
        int buttonId = args[1] == L"yes" ? IDYES : args[1] == L"no" ? IDNO : args[1] == L"ok" ? IDOK : 0;
        return buttonId != 0 ? Press(buttonId, wcstoul(args[2].c_str(), nullptr, 10)) : 2;
    }
    return 2;
}
