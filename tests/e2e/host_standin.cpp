// Stand-in for the host application in end-to-end runs: a program with one
// top-level window that has registered the close request, as the real host
// application has. Unless told to close on it, it does not (a host slow to
// close): it records every message it gets and waits to be told to quit.
//
//   e2e_host.exe RESULT-FILE WINDOW-TITLE [--close-on-request] [HELD-FILE]
//
// RESULT-FILE receives one line per event, UTF-8:
//   registered ID         once the window exists and the message is registered
//   held                  when HELD-FILE is open (read and write shared, delete not)
//   close ID WPARAM LPARAM for every close request received
//   mark N                for every WM_APP marker N that the test posts after a run
// WINDOW-TITLE names the window, so the test can find it. WM_CLOSE ends it,
// and so does the close request with --close-on-request.
#include <windows.h>

#include <shellapi.h>

#include <stdio.h>

#include <string>

#include "host_keys.h"
#include "text.h"

namespace {

const WCHAR kWindowClass[] = L"FullCheckE2EHostStandIn";

struct HostState {
    std::wstring resultFile;
    UINT closeApp = 0;
    bool closeOnRequest = false;
};

// Appends one line and closes the file again, so the test can read it at any time.
bool AppendLine(const std::wstring& resultFile, const std::string& line)
{
    HANDLE file = CreateFileW(resultFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::string text = line + "\n";
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<HostState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (state != nullptr && state->closeApp != 0 && message == state->closeApp) {
        char line[96];
        snprintf(line, sizeof(line), "close %u %lu %ld", message, static_cast<unsigned long>(wParam),
                 static_cast<long>(lParam));
        AppendLine(state->resultFile, line);
        if (state->closeOnRequest) {
            DestroyWindow(window);
        }
        return 0;
    } else if (state != nullptr && message == WM_APP) {
        char line[48];
        snprintf(line, sizeof(line), "mark %lu", static_cast<unsigned long>(wParam));
        AppendLine(state->resultFile, line);
        return 0;
    } else if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3) {
        return 2;
    }
    HostState state;
    state.resultFile = argv[1];
    std::wstring title = argv[2];
    std::wstring heldPath;
    for (int i = 3; i < argc; ++i) {
        if (lstrcmpW(argv[i], L"--close-on-request") == 0) {
            state.closeOnRequest = true;
        } else {
            heldPath = argv[i];
        }
    }
    LocalFree(argv);

    // The file stays open until the stand-in ends, as a running host keeps
    // its data open; without delete sharing nobody can remove it meanwhile.
    HANDLE held = INVALID_HANDLE_VALUE;
    if (!heldPath.empty()) {
        held = CreateFileW(heldPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held == INVALID_HANDLE_VALUE) {
            AppendLine(state.resultFile, "error cannot hold " + Narrow(heldPath));
            return 3;
        }
    }

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassW(&windowClass) == 0) {
        return 4;
    }
    // An ordinary top-level window, never shown: broadcasts reach it all the same.
    HWND window = CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, &state);
    if (window == nullptr) {
        return 5;
    }
    state.closeApp = RegisterWindowMessageA(kCloseRequestName);
    if (state.closeApp == 0) {
        return 6;
    }
    if (held != INVALID_HANDLE_VALUE) {
        AppendLine(state.resultFile, "held");
    }
    AppendLine(state.resultFile, "registered " + std::to_string(state.closeApp));

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (held != INVALID_HANDLE_VALUE) {
        CloseHandle(held);
    }
    return 0;
}
