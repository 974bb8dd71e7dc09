// The user at the check's prompt and at an uninstaller's own boxes, as a
// program of its own for the scripts (the demo, the integration tests):
//
//   prompt_user.exe wait RESULT-FILE [SECONDS]
//       waits (15 s unless told) for the prompt of FullUninstallCheck.exe and
//       writes what it shows to RESULT-FILE (UTF-8, see below); exit code 0
//       when it came, 1 when not.
//   prompt_user.exe answer yes|no
//       clicks Yes or No in the prompt on screen; 0 when clicked, 1 when no
//       prompt or button was there.
//   prompt_user.exe watch RESULT-FILE ANSWER SECONDS
//       waits for the prompt; when it comes, writes what it shows and the
//       full image path of the process that shows it ("image: ..."), so that
//       a script can tell where the uninstaller started the check from, and
//       answers it as ANSWER (yes, no, or another of prompt.h's names),
//       clicked again while it stays, as a click can come before the box
//       takes it. 0 when the prompt came and went, 1 when none came.
//   prompt_user.exe press yes|no|ok SECONDS
//       waits for a message box of the uninstaller itself (any visible
//       dialog but the check's prompt that has that button) and clicks the
//       button; 0 when clicked, 1 when none came.
//
// What the prompt shows: the caption, one "text:" line per line of the
// message, the buttons as drawn (the mnemonic marker '&' taken out) with
// their ids, and the icon.
#include <windows.h>

#include <string>
#include <vector>

#include "prompt.h"
#include "test_tree.h"
#include "text.h"

namespace {

// A button's label as the user sees it: "&Ja" is drawn "Ja" (J underlined),
// "&&" as one '&'.
std::wstring Drawn(const std::wstring& label)
{
    std::wstring drawn;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == L'&' && i + 1 < label.size()) {
            ++i;
        }
        drawn += label[i];
    }
    return drawn;
}

// One "text:" line per line of the message, so that line breaks show.
std::string Describe(const PromptSeen& prompt)
{
    std::string text = "caption: " + Narrow(prompt.caption) + "\n";
    size_t start = 0;
    for (;;) {
        size_t end = prompt.text.find(L'\n', start);
        text += "text: " + Narrow(prompt.text.substr(start, end - start)) + "\n";
        if (end == std::wstring::npos) {
            break;
        }
        start = end + 1;
    }
    text += "buttons:";
    const char* separator = " ";
    for (const PromptButton& button : prompt.buttons) {
        text += separator;
        text += "\"" + Narrow(Drawn(button.text)) + "\" (id " + std::to_string(button.id) + ")";
        separator = ", ";
    }
    text += "\nicon: " + Narrow(prompt.icon) + "\n";
    return text;
}

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

// The window find returns within seconds, looked for every 50 ms; nullptr
// when none came.
template <typename Find> HWND WaitForWindow(DWORD seconds, Find find)
{
    DWORD started = GetTickCount();
    for (;;) {
        HWND window = find();
        if (window != nullptr || GetTickCount() - started >= seconds * 1000) {
            return window;
        }
        Sleep(50);
    }
}

HWND WaitForPrompt(DWORD seconds)
{
    return WaitForWindow(seconds, [] { return FindPrompt(0); });
}

bool WriteWhatItShows(HWND prompt, const std::wstring& resultFile, bool withImage)
{
    PromptSeen seen;
    RecordPrompt(prompt, seen);
    std::string text = Describe(seen);
    if (withImage) {
        text += "image: " + Narrow(ImageOf(prompt)) + "\n";
    }
    return WriteTextFile(resultFile, text);
}

int Wait(const std::wstring& resultFile, DWORD seconds)
{
    HWND prompt = WaitForPrompt(seconds);
    return prompt != nullptr && WriteWhatItShows(prompt, resultFile, false) ? 0 : 1;
}

int AnswerNow(Answer answer)
{
    HWND prompt = FindPrompt(0);
    return prompt != nullptr && AnswerPrompt(prompt, answer) ? 0 : 1;
}

int Watch(const std::wstring& resultFile, Answer answer, DWORD seconds)
{
    HWND prompt = WaitForPrompt(seconds);
    if (prompt == nullptr) {
        return 1;
    }
    bool written = WriteWhatItShows(prompt, resultFile, true);
    for (int click = 0; click < 20 && IsWindow(prompt); ++click) {
        // Result not examined: the box may close between the look and the click.
        AnswerPrompt(prompt, answer);
        Sleep(500);
    }
    return written && !IsWindow(prompt) ? 0 : 1;
}

int Press(int buttonId, DWORD seconds)
{
    HWND box = WaitForWindow(seconds, [buttonId] { return FindUninstallerBox(buttonId); });
    return box != nullptr && PostMessageW(GetDlgItem(box, buttonId), BM_CLICK, 0, 0) ? 0 : 1;
}

DWORD Seconds(const std::wstring& text)
{
    return wcstoul(text.c_str(), nullptr, 10);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    std::vector<std::wstring> args = CommandArguments();
    if (args.size() < 2) {
        return 2;
    }
    const std::wstring& mode = args[0];
    Answer answer;
    if (mode == L"wait" && args.size() <= 3) {
        return Wait(args[1], args.size() == 3 ? Seconds(args[2]) : 15);
    }
    if (mode == L"answer" && args.size() == 2 && (args[1] == L"yes" || args[1] == L"no")) {
        return AnswerNow(args[1] == L"yes" ? Answer::Yes : Answer::No);
    }
    if (mode == L"watch" && args.size() == 4 && AnswerNamed(Narrow(args[2]), answer)) {
        return Watch(args[1], answer, Seconds(args[3]));
    }
    if (mode == L"press" && args.size() == 3) {
        int buttonId = args[1] == L"yes" ? IDYES : args[1] == L"no" ? IDNO : args[1] == L"ok" ? IDOK : 0;
        return buttonId != 0 ? Press(buttonId, Seconds(args[2])) : 2;
    }
    return 2;
}
