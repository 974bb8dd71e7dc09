// The user at the prompt, as a program of its own for scripts (the demo):
//
//   e2e_user.exe wait RESULT-FILE [SECONDS]
//       waits (15 s unless told) for the prompt of FullUninstallCheck.exe and
//       writes what it shows to RESULT-FILE (UTF-8): the caption, one "text:"
//       line per line of the message, the buttons as drawn (the mnemonic
//       marker '&' taken out) with their ids, and the icon; exit code 0 when
//       it came, 1 when not.
//   e2e_user.exe answer yes|no
//       clicks Yes or No in the prompt on screen; 0 when clicked, 1 when no
//       prompt or button was there.
#include <windows.h>

#include <shellapi.h>

#include <string>

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

int WaitForPrompt(const std::wstring& resultFile, DWORD seconds)
{
    DWORD started = GetTickCount();
    while (GetTickCount() - started < seconds * 1000) {
        HWND prompt = FindPrompt(0);
        if (prompt != nullptr) {
            PromptSeen seen;
            RecordPrompt(prompt, seen);
            return WriteTextFile(resultFile, Describe(seen)) ? 0 : 1;
        }
        Sleep(50);
    }
    return 1;
}

int AnswerNow(Answer answer)
{
    HWND prompt = FindPrompt(0);
    return prompt != nullptr && AnswerPrompt(prompt, answer) ? 0 : 1;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3) {
        return 2;
    }
    std::wstring mode = argv[1];
    std::wstring argument = argv[2];
    DWORD seconds = argc > 3 ? wcstoul(argv[3], nullptr, 10) : 15;
    LocalFree(argv);
    if (mode == L"wait") {
        return WaitForPrompt(argument, seconds);
    }
    if (mode == L"answer" && (argument == L"yes" || argument == L"no")) {
        return AnswerNow(argument == L"yes" ? Answer::Yes : Answer::No);
    }
    return 2;
}
