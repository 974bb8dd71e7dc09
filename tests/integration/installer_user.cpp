// The user in front of a real uninstaller, for the integration scripts:
//
//   integration_user.exe wait RESULT-FILE SECONDS
//       waits for the check's prompt and writes to RESULT-FILE (UTF-8) its
//       caption and the full image path of the process that shows it, so
//       that a script can tell where the uninstaller started the check
//       from; exit code 0 when it came, 1 when not.
//   integration_user.exe press yes|no|ok SECONDS
//       waits for a message box of the uninstaller itself (any visible
//       dialog but the check's prompt that has that button) and clicks the
//       button; 0 when clicked, 1 when none came.
#include <windows.h>

#include <shellapi.h>

#include <string>

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

int WaitForCheck(const std::wstring& resultFile, DWORD seconds)
{
    DWORD started = GetTickCount();
    while (GetTickCount() - started < seconds * 1000) {
        HWND prompt = FindPrompt(0);
        if (prompt != nullptr) {
            std::string text =
                "caption: " + Narrow(kPromptCaption) + "\nimage: " + Narrow(ImageOf(prompt)) + "\n";
            return WriteTextFile(resultFile, text) ? 0 : 1;
        }
        Sleep(50);
    }
    return 1;
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
    if (argv == nullptr || argc < 4) {
        return 2;
    }
    std::wstring mode = argv[1];
    std::wstring argument = argv[2];
    DWORD seconds = wcstoul(argv[3], nullptr, 10);
    LocalFree(argv);
    if (mode == L"wait") {
        return WaitForCheck(argument, seconds);
    }
    if (mode == L"press") {
        int buttonId = argument == L"yes" ? IDYES : argument == L"no" ? IDNO : argument == L"ok" ? IDOK : 0;
        return buttonId != 0 ? Press(buttonId, seconds) : 2;
    }
    return 2;
}
