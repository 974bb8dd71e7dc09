// Benchmark harness, run under Wine in a prefix of its own (scripts/bench):
// times the full-uninstall check against baseline programs that do only what
// the check cannot do without, the two run by turns (A B A B ...), so that a
// load that comes and goes on the machine falls on both alike.
//
//   start   from CreateProcessW to the prompt's window existing (answered No)
//   delete  from the click on Yes to the process's exit, with the data folder
//           seeded with a tree of files first
//   scan    the check's link scan of the seeded data folder (BlocksShellDelete),
//           called in this process, against a plain listing of the same tree:
//           the part of "delete" that the baseline does not do, without the
//           noise of starting processes
//
// Prints one tab-separated line per sample for scripts/bench:
//   sample <measure> <files> <program> <run> <milliseconds>
// and "error ..." lines for runs that went wrong (they give no sample).
//
// Usage: bench_harness [--start-runs N] [--delete-runs N] [--scan-runs N]
//                      [--files N[:RUNS][,N[:RUNS]...]] [--folders N]
//                      [--poll-ms N] [--only start|delete]
// RUNS after a file count overrides --delete-runs for that tree.
#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "check/prompt.h"
#include "check/removal.h"

namespace {

const WCHAR kProgramArgument[] = L"askfulluninstallation";
const WCHAR kDataFolderName[] = L"Corvanta\\CorvantaMarbelQuint";
// Nested chains of this many folders each: deep enough to make the walk
// recurse, shallow enough to stay far below the path limit.
const int kChainDepth = 10;
const DWORD kPromptTimeoutMs = 60000;
const DWORD kExitTimeoutMs = 900000;

struct Options {
    int startRuns = 15;
    int deleteRuns = 3;
    int scanRuns = 5;
    // Files in the tree, and pairs of runs with it (0: --delete-runs).
    std::vector<std::pair<int, int>> trees{{1000, 0}, {10000, 0}};
    int folders = 200;
    DWORD pollMs = 1;
    bool measureStart = true;
    bool measureDelete = true;
};

struct Program {
    const char* label;
    std::wstring path;
};

double MillisecondsBetween(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (WCHAR c : text) {
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

std::wstring FolderOfThisProgram()
{
    WCHAR path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::wstring();
    }
    PathRemoveFileSpecW(path);
    return path;
}

std::wstring DataFolderPath()
{
    WCHAR path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                path)) ||
        !PathAppendW(path, kDataFolderName)) {
        return std::wstring();
    }
    return path;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes what a run left behind. Links are removed as links, never followed.
bool RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (lstrcmpW(entry.cFileName, L".") == 0 || lstrcmpW(entry.cFileName, L"..") == 0) {
                continue;
            }
            std::wstring path = folder + L"\\" + entry.cFileName;
            bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            bool isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (isFolder && !isLink) {
                RemoveTree(path);
            } else if (isFolder) {
                RemoveDirectoryW(path.c_str());
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    return RemoveDirectoryW(folder.c_str()) != FALSE || !Exists(folder);
}

bool WriteSmallFile(const std::wstring& path)
{
    static const char kContent[] = "throw-away benchmark data: this file only has to exist.\r\n";
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, kContent, sizeof(kContent) - 1, &written, nullptr);
    CloseHandle(file);
    return ok && written == sizeof(kContent) - 1;
}

// The data folder with `folders` folders in chains of kChainDepth, each
// nested in the one before, and `files` files spread evenly over them.
bool SeedTree(const std::wstring& root, int files, int folders)
{
    std::wstring parent = root.substr(0, root.rfind(L'\\'));
    CreateDirectoryW(parent.c_str(), nullptr); // result not examined: may exist
    if (!CreateDirectoryW(root.c_str(), nullptr)) {
        return false;
    }
    std::vector<std::wstring> tree;
    for (int k = 0; k < folders; ++k) {
        WCHAR name[32];
        if (k % kChainDepth == 0) {
            wsprintfW(name, L"\\chain%03d", k / kChainDepth);
            tree.push_back(root + name);
        } else {
            wsprintfW(name, L"\\level%d", k % kChainDepth);
            tree.push_back(tree.back() + name);
        }
        if (!CreateDirectoryW(tree.back().c_str(), nullptr)) {
            return false;
        }
    }
    for (int i = 0; i < files; ++i) {
        WCHAR name[32];
        wsprintfW(name, L"\\file%06d.dat", i);
        const std::wstring& folder = tree.empty() ? root : tree[i % tree.size()];
        if (!WriteSmallFile(folder + name)) {
            return false;
        }
    }
    return true;
}

// The program's own prompt: the message box class with the check's caption,
// owned by that process (an earlier run's box may still be closing).
HWND FindPrompt(DWORD processId)
{
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", kPromptCaption)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) {
            return window;
        }
    }
    return nullptr;
}

// Polls for the prompt; the wait on the process is the pause between polls
// and notices a program that ends without asking. Null when none came.
HWND WaitForPrompt(const PROCESS_INFORMATION& process, DWORD pollMs)
{
    DWORD started = GetTickCount();
    for (;;) {
        HWND prompt = FindPrompt(process.dwProcessId);
        if (prompt != nullptr) {
            return prompt;
        }
        if (WaitForSingleObject(process.hProcess, pollMs) == WAIT_OBJECT_0 ||
            GetTickCount() - started > kPromptTimeoutMs) {
            return nullptr;
        }
    }
}

// Waits until the box is on screen with its buttons and its message loop is
// idle, so that a click is taken at once.
HWND WaitForButton(const PROCESS_INFORMATION& process, HWND prompt, int buttonId)
{
    DWORD started = GetTickCount();
    for (;;) {
        HWND button = GetDlgItem(prompt, buttonId);
        if (button != nullptr && IsWindowVisible(prompt)) {
            WaitForInputIdle(process.hProcess, 5000);
            return button;
        }
        if (!IsWindow(prompt) || GetTickCount() - started > kPromptTimeoutMs) {
            return nullptr;
        }
        Sleep(1);
    }
}

// A click on the button as the button itself takes it (pressed and
// released), posted so that the harness does not wait for the answer.
bool ClickButton(HWND button)
{
    return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

bool StartProgram(const Program& program, PROCESS_INFORMATION& process)
{
    std::wstring commandLine = L"\"" + program.path + L"\" " + kProgramArgument;
    std::vector<WCHAR> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    ZeroMemory(&process, sizeof(process));
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    process.hThread = nullptr;
    return true;
}

// Waits for the end and checks the exit code, which is always 0.
bool FinishProgram(const PROCESS_INFORMATION& process, DWORD timeoutMs, const char* measure,
                   const Program& program)
{
    bool ok = true;
    DWORD exitCode = 1;
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        std::printf("error\t%s\t%s\tdid not exit; ended\n", measure, program.label);
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
        ok = false;
    } else if (!GetExitCodeProcess(process.hProcess, &exitCode) || exitCode != 0) {
        std::printf("error\t%s\t%s\texit code %lu\n", measure, program.label, exitCode);
        ok = false;
    }
    CloseHandle(process.hProcess);
    return ok;
}

// Start to prompt, in milliseconds; negative when the run went wrong.
double TimeToPrompt(const Program& program, DWORD pollMs)
{
    LARGE_INTEGER before;
    LARGE_INTEGER after;
    PROCESS_INFORMATION process;
    QueryPerformanceCounter(&before);
    if (!StartProgram(program, process)) {
        std::printf("error\tstart\t%s\tcannot start %s\n", program.label, Narrow(program.path).c_str());
        return -1;
    }
    HWND prompt = WaitForPrompt(process, pollMs);
    QueryPerformanceCounter(&after);
    bool answered = false;
    if (prompt == nullptr) {
        std::printf("error\tstart\t%s\tno prompt\n", program.label);
    } else {
        HWND no = WaitForButton(process, prompt, IDNO);
        answered = no != nullptr && ClickButton(no);
        if (!answered) {
            std::printf("error\tstart\t%s\tcannot answer No\n", program.label);
        }
    }
    bool finished = FinishProgram(process, kPromptTimeoutMs, "start", program);
    return prompt != nullptr && answered && finished ? MillisecondsBetween(before, after) : -1;
}

// Yes to exit, in milliseconds, with the data folder seeded anew; negative
// when the run went wrong or the folder is still there afterwards.
double TimeYesToExit(const Program& program, const std::wstring& dataFolder, int files, int folders,
                     DWORD pollMs)
{
    if (Exists(dataFolder) && !RemoveTree(dataFolder)) {
        std::printf("error\tdelete\t%s\tcannot clear the data folder before the run\n", program.label);
        return -1;
    }
    LARGE_INTEGER seedStart;
    LARGE_INTEGER seedEnd;
    QueryPerformanceCounter(&seedStart);
    if (!SeedTree(dataFolder, files, folders)) {
        std::printf("error\tdelete\t%s\tcannot seed the data folder\n", program.label);
        return -1;
    }
    QueryPerformanceCounter(&seedEnd);
    std::printf("info\tseeded %d files in %.0f ms\n", files, MillisecondsBetween(seedStart, seedEnd));
    PROCESS_INFORMATION process;
    if (!StartProgram(program, process)) {
        std::printf("error\tdelete\t%s\tcannot start %s\n", program.label, Narrow(program.path).c_str());
        return -1;
    }
    HWND prompt = WaitForPrompt(process, pollMs);
    HWND yes = prompt != nullptr ? WaitForButton(process, prompt, IDYES) : nullptr;
    LARGE_INTEGER before;
    LARGE_INTEGER after;
    QueryPerformanceCounter(&before);
    bool clicked = yes != nullptr && ClickButton(yes);
    if (!clicked) {
        std::printf("error\tdelete\t%s\tno prompt to answer Yes\n", program.label);
    }
    bool finished = FinishProgram(process, clicked ? kExitTimeoutMs : kPromptTimeoutMs, "delete", program);
    QueryPerformanceCounter(&after);
    if (!clicked || !finished) {
        return -1;
    }
    if (Exists(dataFolder)) {
        std::printf("error\tdelete\t%s\tthe data folder is still there\n", program.label);
        return -1;
    }
    return MillisecondsBetween(before, after);
}

// Lists the tree as any deletion must, and nothing more.
int CountEntries(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int count = 0;
    do {
        if (lstrcmpW(entry.cFileName, L".") == 0 || lstrcmpW(entry.cFileName, L"..") == 0) {
            continue;
        }
        ++count;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            count += CountEntries(folder + L"\\" + entry.cFileName);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return count;
}

// The link scan and the plain listing, in milliseconds; negative when the
// scan finds a link where the harness made none.
double TimeScan(const std::wstring& dataFolder, bool linkScan)
{
    LARGE_INTEGER before;
    LARGE_INTEGER after;
    QueryPerformanceCounter(&before);
    bool linkFound = linkScan ? BlocksShellDelete(dataFolder) : CountEntries(dataFolder) == 0;
    QueryPerformanceCounter(&after);
    if (linkFound) {
        std::printf("error\tscan\t%s\tfound %s\n", linkScan ? "check" : "baseline",
                    linkScan ? "a link" : "no entries");
        return -1;
    }
    return MillisecondsBetween(before, after);
}

void PrintSample(const char* measure, int files, const Program& program, int run, double ms)
{
    if (ms >= 0) {
        std::printf("sample\t%s\t%d\t%s\t%d\t%.3f\n", measure, files, program.label, run, ms);
    }
    std::fflush(stdout);
}

bool ParseOptions(int argc, WCHAR** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        std::wstring name = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        std::wstring value = argv[++i];
        int number = _wtoi(value.c_str());
        if (name == L"--start-runs") {
            options.startRuns = number;
        } else if (name == L"--delete-runs") {
            options.deleteRuns = number;
        } else if (name == L"--files") {
            options.trees.clear();
            for (size_t at = 0; at < value.size();) {
                size_t comma = value.find(L',', at);
                std::wstring part =
                    value.substr(at, comma == std::wstring::npos ? std::wstring::npos : comma - at);
                size_t colon = part.find(L':');
                int runs = colon == std::wstring::npos ? 0 : _wtoi(part.c_str() + colon + 1);
                options.trees.emplace_back(_wtoi(part.c_str()), runs);
                at = comma == std::wstring::npos ? value.size() : comma + 1;
            }
        } else if (name == L"--scan-runs") {
            options.scanRuns = number;
        } else if (name == L"--folders") {
            options.folders = number;
        } else if (name == L"--poll-ms") {
            options.pollMs = static_cast<DWORD>(number);
        } else if (name == L"--only") {
            options.measureStart = value == L"start";
            options.measureDelete = value == L"delete";
        } else {
            return false;
        }
    }
    return options.startRuns >= 0 && options.deleteRuns >= 0 && options.scanRuns >= 0 && options.folders >= 1;
}

} // namespace

int wmain(int argc, WCHAR** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: bench_harness [--start-runs N] [--delete-runs N] [--scan-runs N] "
                             "[--files N[:RUNS][,N[:RUNS]...]] [--folders N] [--poll-ms N] "
                             "[--only start|delete]\n");
        return 2;
    }
    std::wstring folder = FolderOfThisProgram();
    std::wstring dataFolder = DataFolderPath();
    if (folder.empty() || dataFolder.empty()) {
        std::printf("error\tsetup\tharness\tno program folder or data folder\n");
        return 1;
    }
    Program check{"check", folder + L"\\FullUninstallCheck.exe"};
    Program promptBaseline{"baseline", folder + L"\\bench_prompt_baseline.exe"};
    Program deleteBaseline{"baseline", folder + L"\\bench_delete_baseline.exe"};
    std::printf("info\tdata folder\t%s\n", Narrow(dataFolder).c_str());

    // One start of each program first, not counted: the first start loads
    // their files from disk and Wine's services. Later runs find the files
    // cached (each run still translates the program's code anew under QEMU).
    TimeToPrompt(promptBaseline, options.pollMs);
    TimeToPrompt(check, options.pollMs);
    if (options.measureStart) {
        for (int run = 1; run <= options.startRuns; ++run) {
            PrintSample("start", 0, promptBaseline, run, TimeToPrompt(promptBaseline, options.pollMs));
            PrintSample("start", 0, check, run, TimeToPrompt(check, options.pollMs));
        }
    }
    if (options.measureDelete) {
        for (const auto& tree : options.trees) {
            int files = tree.first;
            int runs = tree.second > 0 ? tree.second : options.deleteRuns;
            for (int run = 1; run <= runs; ++run) {
                PrintSample(
                    "delete", files, deleteBaseline, run,
                    TimeYesToExit(deleteBaseline, dataFolder, files, options.folders, options.pollMs));
                PrintSample("delete", files, check, run,
                            TimeYesToExit(check, dataFolder, files, options.folders, options.pollMs));
            }
            if (options.scanRuns == 0) {
                continue;
            }
            if ((Exists(dataFolder) && !RemoveTree(dataFolder)) ||
                !SeedTree(dataFolder, files, options.folders)) {
                std::printf("error\tscan\tharness\tcannot seed the data folder\n");
                continue;
            }
            Program listing{"baseline", std::wstring()};
            Program scan{"check", std::wstring()};
            for (int run = 1; run <= options.scanRuns; ++run) {
                PrintSample("scan", files, listing, run, TimeScan(dataFolder, false));
                PrintSample("scan", files, scan, run, TimeScan(dataFolder, true));
            }
        }
    }
    if (Exists(dataFolder)) {
        RemoveTree(dataFolder);
    }
    return 0;
}
