#include <windows.h>

#include <algorithm>
#include <sstream>

#include "prompt.h"
#include "test_registry.h"

const WCHAR kPromptCaption[] = L"Corvanta Marbel-Quint";

namespace {

const DWORD kPollMs = 40;

// Text of a window of another process: asked for, so that controls answer too.
std::wstring WindowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
        return L"<no answer>";
    }
    std::vector<WCHAR> buffer(length + 1);
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, 2000, &copied)) {
        return L"<no answer>";
    }
    return std::wstring(buffer.data(), std::min<size_t>(copied, length));
}

std::wstring ClassOf(HWND window)
{
    WCHAR name[256] = {};
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

DWORD ProcessOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> ChildWindows(HWND parent)
{
    std::vector<HWND> windows;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// The bitmap's pixels, top row first, as 32-bit BGRX; pixels has its size.
void ReadPixels(HDC memory, HBITMAP bitmap, std::vector<DWORD>& pixels)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    BITMAP shape = {};
    GetObject(bitmap, sizeof(shape), &shape);
    info.bmiHeader.biWidth = shape.bmWidth;
    info.bmiHeader.biHeight = -shape.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    GetDIBits(memory, bitmap, 0, shape.bmHeight, pixels.data(), &info, DIB_RGB_COLORS);
}

// The screen's pixels under rect when icon is nullptr; otherwise icon drawn
// as a static icon control draws it: at the control's size, over the
// control's background.
std::vector<DWORD> Pixels(const RECT& rect, HICON icon, DWORD background)
{
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (icon == nullptr) {
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    } else {
        HBRUSH brush =
            CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
        RECT all = {0, 0, width, height};
        FillRect(memory, &all, brush);
        DeleteObject(brush);
        DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    }
    SelectObject(memory, old);
    ReadPixels(memory, bitmap, pixels);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

unsigned long Distance(const std::vector<DWORD>& a, const std::vector<DWORD>& b)
{
    unsigned long sum = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            sum +=
                std::abs(static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF));
        }
    }
    return sum;
}

// Which system icon the control shows on screen: the icon handle belongs to
// the other process, so the pixels are compared with this process's own
// copy of each candidate. Exact match expected; "unknown" otherwise.
std::wstring IdentifyIcon(HWND control, std::wstring& detail)
{
    RECT rect;
    if (!GetWindowRect(control, &rect) || rect.right <= rect.left || rect.bottom <= rect.top) {
        detail = L"no area";
        return L"unknown";
    }
    struct Candidate {
        const WCHAR* name;
        LPCWSTR id;
    };
    const Candidate candidates[] = {{L"question", IDI_QUESTION},
                                    {L"hand", IDI_HAND},
                                    {L"exclamation", IDI_EXCLAMATION},
                                    {L"asterisk", IDI_ASTERISK}};
    std::vector<DWORD> shown = Pixels(rect, nullptr, 0);
    DWORD background = shown.empty() ? 0 : shown[0];
    std::wstring best = L"unknown";
    unsigned long bestDistance = ~0ul;
    std::wostringstream text;
    text << (rect.right - rect.left) << L"x" << (rect.bottom - rect.top) << L":";
    for (const Candidate& candidate : candidates) {
        unsigned long distance = Distance(shown, Pixels(rect, LoadIconW(nullptr, candidate.id), background));
        text << L" " << candidate.name << L"=" << distance;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate.name;
        }
    }
    detail = text.str();
    return bestDistance == 0 ? best : L"unknown";
}

} // namespace

bool AnswerNamed(const std::string& name, Answer& answer)
{
    const struct {
        const char* name;
        Answer answer;
    } names[] = {{"yes", Answer::Yes},
                 {"no", Answer::No},
                 {"close", Answer::Close},
                 {"cancel", Answer::Cancel},
                 {"escape", Answer::Escape}};
    for (const auto& entry : names) {
        if (name == entry.name) {
            answer = entry.answer;
            return true;
        }
    }
    return false;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::wstring DescribeWindow(HWND window)
{
    WCHAR title[256] = {};
    GetWindowTextW(window, title, ARRAYSIZE(title));
    return ClassOf(window) + L" '" + title + L"' pid " + std::to_wstring(ProcessOf(window));
}

bool IsPrompt(HWND window, DWORD processId)
{
    return IsWindowVisible(window) && (processId == 0 || ProcessOf(window) == processId) &&
           ClassOf(window) == L"#32770" && WindowText(window) == kPromptCaption;
}

HWND FindPrompt(DWORD processId)
{
    for (HWND window : TopLevelWindows()) {
        if (IsPrompt(window, processId)) {
            return window;
        }
    }
    return nullptr;
}

void RecordPrompt(HWND dialog, PromptSeen& prompt)
{
    prompt.caption = WindowText(dialog);
    HWND iconControl = nullptr;
    for (HWND child : ChildWindows(dialog)) {
        if (GetParent(child) != dialog || !IsWindowVisible(child)) {
            continue;
        }
        std::wstring className = ClassOf(child);
        LONG style = GetWindowLongW(child, GWL_STYLE);
        if (_wcsicmp(className.c_str(), L"Button") == 0) {
            prompt.buttons.push_back({GetDlgCtrlID(child), WindowText(child)});
        } else if (_wcsicmp(className.c_str(), L"Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                iconControl = child;
            } else if (prompt.textControlId == 0) {
                prompt.textControlId = GetDlgCtrlID(child);
                prompt.text = WindowText(child);
            }
        }
    }
    if (iconControl == nullptr) {
        prompt.icon = L"none";
        return;
    }
    // The box may not be painted yet when it first shows.
    for (int attempt = 0; attempt < 50; ++attempt) {
        prompt.icon = IdentifyIcon(iconControl, prompt.iconDetail);
        if (prompt.icon != L"unknown") {
            break;
        }
        Sleep(kPollMs);
    }
}

// Posted, never sent: the box's thread ends the dialog and the program
// exits while handling it, so a sent message could wait in vain.
bool AnswerPrompt(HWND dialog, Answer answer)
{
    switch (answer) {
    case Answer::Yes:
    case Answer::No: {
        HWND button = GetDlgItem(dialog, answer == Answer::Yes ? IDYES : IDNO);
        return button != nullptr && PostMessageW(button, BM_CLICK, 0, 0) != 0;
    }
    case Answer::Close:
        return PostMessageW(dialog, WM_CLOSE, 0, 0) != 0;
    case Answer::Cancel:
        return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0) != 0;
    case Answer::Escape: {
        // The box gives its default button (Yes) the focus; the dialog
        // manager turns Escape there into the dialog's Cancel.
        HWND focus = GetDlgItem(dialog, IDYES);
        return focus != nullptr && PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001) != 0 &&
               PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001) != 0;
    }
    }
    return false;
}

void LetWineDrawThePrompt()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) {
        return;
    }
    WriteText(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\FullUninstallCheck.exe\\X11 Driver",
              L"Managed", L"N");
}
