#include <windows.h>

#include <psapi.h>
#include <shlobj.h>

#include <stdio.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "e2e_support.h"

namespace e2e {

namespace {

const WCHAR kPromptCaption[] = L"Corvanta Marbel-Quint";
const DWORD kPromptLimitMs = 15000;
const DWORD kExitLimitMs = 15000;
const DWORD kIgnoredAfterMs = 1500;
const DWORD kPollMs = 40;

std::wstring ShellFolder(int csidl)
{
    WCHAR path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return std::wstring();
    }
    return path;
}

std::wstring ParentOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void CollectSnapshot(const std::wstring& root, const std::wstring& relative,
                     const std::vector<std::wstring>& skip, std::vector<std::wstring>& lines)
{
    WIN32_FIND_DATAW entry;
    std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    HANDLE find = FindFirstFileW(Long(folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        bool skipped = std::any_of(skip.begin(), skip.end(), [&](const std::wstring& left) {
            return _wcsnicmp(path.c_str(), left.c_str(), left.size()) == 0 &&
                   (path.size() == left.size() || path[left.size()] == L'\\');
        });
        if (skipped) {
            continue;
        }
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            lines.push_back(path + L"/");
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                CollectSnapshot(root, path, skip, lines);
            }
        } else {
            lines.push_back(path + L" " + std::to_wstring(entry.nFileSizeLow));
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

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

std::vector<HWND> ChildWindows(HWND parent)
{
    std::vector<HWND> windows;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

DWORD ProcessOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

std::wstring Describe(HWND window)
{
    WCHAR title[256] = {};
    GetWindowTextW(window, title, ARRAYSIZE(title));
    return ClassOf(window) + L" '" + title + L"' pid " + std::to_wstring(ProcessOf(window));
}

// The screen's pixels under rect, as 32-bit BGRX rows.
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

std::vector<DWORD> CaptureScreen(const RECT& rect)
{
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    ReadPixels(memory, bitmap, pixels);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// The system icon drawn as a static icon control draws it: at the control's
// size, over the control's background.
std::vector<DWORD> RenderIcon(HICON icon, int width, int height, DWORD background)
{
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
    RECT all = {0, 0, width, height};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
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
            sum += std::abs(static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF));
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
    std::vector<DWORD> shown = CaptureScreen(rect);
    DWORD background = shown.empty() ? 0 : shown[0];
    std::wstring best = L"unknown";
    unsigned long bestDistance = ~0ul;
    std::wostringstream text;
    text << (rect.right - rect.left) << L"x" << (rect.bottom - rect.top) << L":";
    for (const Candidate& candidate : candidates) {
        std::vector<DWORD> drawn =
            RenderIcon(LoadIconW(nullptr, candidate.id), rect.right - rect.left, rect.bottom - rect.top, background);
        unsigned long distance = Distance(shown, drawn);
        text << L" " << candidate.name << L"=" << distance;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate.name;
        }
    }
    detail = text.str();
    return bestDistance == 0 ? best : L"unknown";
}

bool ParseCloseLine(const std::string& line, CloseRequest& request)
{
    unsigned id = 0;
    unsigned long wParam = 0;
    long lParam = 0;
    if (sscanf(line.c_str(), "close %u %lu %ld", &id, &wParam, &lParam) != 3) {
        return false;
    }
    request = {id, wParam, lParam};
    return true;
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

std::string Narrow(const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
    std::string utf8(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr,
                            nullptr);
    }
    return utf8;
}

std::wstring RoamingAppData()
{
    return ShellFolder(CSIDL_APPDATA);
}

std::wstring Documents()
{
    return ShellFolder(CSIDL_PERSONAL);
}

std::wstring WorkFolder()
{
    WCHAR temp[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(ARRAYSIZE(temp), temp);
    if (length == 0 || length > MAX_PATH) {
        return std::wstring();
    }
    std::wstring folder = std::wstring(temp) + L"fullcheck-e2e";
    CreateDirectoryW(folder.c_str(), nullptr); // result not examined: it may be there already
    return folder;
}

std::wstring ProgramFolder()
{
    WCHAR path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    if (length == 0 || length >= ARRAYSIZE(path)) {
        return std::wstring();
    }
    return ParentOf(path);
}

std::wstring CheckProgram()
{
    return ProgramFolder() + L"\\FullUninstallCheck.exe";
}

std::wstring Long(const std::wstring& path)
{
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
        return L"\\\\?\\" + path;
    }
    return path;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(Long(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(Long(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolders(const std::wstring& path)
{
    if (path.empty() || IsFolder(path)) {
        return !path.empty();
    }
    std::wstring parent = ParentOf(path);
    if (!parent.empty() && parent.size() > 2 && !MakeFolders(parent)) {
        return false;
    }
    return CreateDirectoryW(Long(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteTextFile(const std::wstring& path, const std::string& text)
{
    if (!MakeFolders(ParentOf(path))) {
        return false;
    }
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

std::string ReadTextFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    CloseHandle(file);
    return text;
}

void RemoveTree(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(Long(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(Long(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(Long(path).c_str());
        return;
    }
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(Long(path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        std::vector<std::wstring> names;
        do {
            std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..") {
                names.push_back(name);
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
        for (const std::wstring& name : names) {
            RemoveTree(path + L"\\" + name);
        }
    }
    RemoveDirectoryW(Long(path).c_str());
}

std::vector<std::wstring> ListFolder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(Long(folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

std::vector<std::wstring> Snapshot(const std::wstring& root, const std::vector<std::wstring>& skip)
{
    std::vector<std::wstring> lines;
    CollectSnapshot(root, L"", skip, lines);
    std::sort(lines.begin(), lines.end());
    return lines;
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

    const std::wstring& program = start.program;
    std::wstring commandLine = L"\"" + program + L"\"" + commandTail;
    std::vector<WCHAR> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    DWORD started = GetTickCount();
    const WCHAR* currentFolder = start.currentFolder.empty() ? nullptr : start.currentFolder.c_str();
    if (!CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, currentFolder,
                        &startup, &process)) {
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
                run.otherWindows.push_back(Describe(window));
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
            (prompt != nullptr && now - answeredAt > kExitLimitMs)) {
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

bool StartHost(HostStandIn& host, const std::wstring& heldFile)
{
    static unsigned long launches = 0; // test-side only: names each stand-in uniquely
    ++launches;
    std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(launches);
    host.resultFile = WorkFolder() + L"\\host-" + tag + L".txt";
    DeleteFileW(host.resultFile.c_str());
    std::wstring title = L"FullCheck E2E host " + tag;
    std::wstring program = ProgramFolder() + L"\\e2e_host.exe";
    std::wstring commandLine = L"\"" + program + L"\" \"" + host.resultFile + L"\" \"" + title + L"\"";
    if (!heldFile.empty()) {
        commandLine += L" \"" + heldFile + L"\"";
    }
    std::vector<WCHAR> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &host.process)) {
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
        if (ParseCloseLine(line, request)) {
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
    if (WaitForSingleObject(host.process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(host.process.hProcess, 1);
        WaitForSingleObject(host.process.hProcess, 5000);
    }
    CloseHandle(host.process.hThread);
    CloseHandle(host.process.hProcess);
    host.process = {};
    host.window = nullptr;
    DeleteFileW(host.resultFile.c_str());
}

} // namespace e2e
