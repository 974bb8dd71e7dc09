// Benchmark harness, run under Wine in a prefix of its own (scripts/bench):
// times the full-uninstall check against baseline programs that do only what
// the check cannot do without, all run by turns (A B A B ... or A B C A B C
// ...), so that a load that comes and goes on the machine falls on all alike.
//
//   start    from CreateProcessW to the prompt's window existing (answered
//            No); against a program that only shows the box
//   delete   from the click on Yes to the process's exit, with the data
//            folder seeded with a tree of files first; against a program that
//            then only runs the shell delete that the check's deletion
//            replaced, and one that runs a bare walk deleting by name
//   inproc   the three deletions themselves, called in this process on
//            freshly seeded identical trees: the check's data-folder step
//            (ClearDataFolderIn), the shell delete and the walk; without the
//            noise of starting processes
//   calls    where the check's deletion spends its time per entry: in a
//            folder of files at a given depth below the data folder, each NT
//            call that it makes per file timed on its own through pointers
//            looked up once, then the run-time look-ups that it makes before
//            those calls, alone; DeleteFileW of the same files; and the
//            check's step and the walk on the same folder, whole
//
// Prints one tab-separated line per sample for scripts/bench:
//   sample <measure> <files> <program> <run> <milliseconds>
// (for "calls": the depth for <files>, the kind of call for <program>, the
// total over all files for <milliseconds>), "count calls <depth> <what> <n>"
// lines for the numbers of files, look-ups and disposition fallbacks, and
// "error ..." lines for runs that went wrong (they give no sample).
//
// Usage: bench_harness [--start-runs N] [--delete-runs N] [--inproc-runs N]
//                      [--pair-runs N]
//                      [--files N[:RUNS[:INPROC]][,...]] [--folders N]
//                      [--call-files N] [--call-runs N] [--call-depths D[,...]]
//                      [--no-shell]
//                      [--poll-ms N]
//                      [--only start|delete|inproc|calls]
// RUNS and INPROC after a file count override --delete-runs and
// --inproc-runs for that tree; --pair-runs N adds N turns of the check and
// the walk alone after those, in both; --no-shell leaves the shell delete
// out.
#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "baseline_deletions.h"
#include "check/prompt.h"
#include "check/removal_steps.h"
#include "platform/late_bound.h"
#include "test_tree.h"
#include "text.h"

namespace {

const WCHAR kProgramArgument[] = L"askfulluninstallation";
const WCHAR kCompanyFolderName[] = L"Corvanta";
const WCHAR kDataFolderName[] = L"CorvantaMarbelQuint";
// Beside the data folder: every deletion must leave it.
const WCHAR kNeighbourName[] = L"bench-neighbour.txt";
// Nested chains of this many folders each: deep enough to make the walk
// recurse, shallow enough to stay far below the path limit.
const int kChainDepth = 10;
const DWORD kPromptTimeoutMs = 60000;
const DWORD kExitTimeoutMs = 3600000;

struct Tree {
    int files;
    // Runs with this tree; negative: the options' default.
    int deleteRuns;
    int inprocRuns;
};

struct Options {
    int startRuns = 15;
    int deleteRuns = 2;
    int inprocRuns = 3;
    // Further turns of the check and the walk alone, in both deletion measures.
    int pairRuns = 0;
    std::vector<Tree> trees{{1000, -1, -1}, {10000, -1, -1}};
    int folders = 200;
    int callFiles = 1000;
    int callRuns = 3;
    // Depths below the data folder of the folder that "calls" works in.
    std::vector<int> callDepths{0, 10};
    bool withShell = true;
    DWORD pollMs = 1;
    bool measureStart = true;
    bool measureDelete = true;
    bool measureInproc = true;
    bool measureCalls = true;
};

struct Program {
    const char* label;
    std::wstring path;
};

// Where the harness works: the roaming AppData folder of the prefix, the
// company folder in it and the data folder in that.
struct Places {
    std::wstring appData;
    std::wstring company;
    std::wstring dataFolder;
    std::wstring neighbour;
};

double MillisecondsBetween(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
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

bool FindPlaces(Places& places)
{
    WCHAR path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                path))) {
        return false;
    }
    places.appData = path;
    places.company = places.appData + L"\\" + kCompanyFolderName;
    places.dataFolder = places.company + L"\\" + kDataFolderName;
    places.neighbour = places.company + L"\\" + kNeighbourName;
    return true;
}

// What every seeded file holds.
const char kFileContent[] = "throw-away benchmark data: this file only has to exist.\r\n";

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
        if (!WriteTextFile(folder + name, kFileContent)) {
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

// Clears the data folder, seeds it with a tree anew and puts the neighbour
// beside it. False, with an error line, when any of that fails.
bool PrepareTree(const Places& places, int files, int folders, const char* measure, const char* label)
{
    RemoveTree(places.dataFolder);
    if (Exists(places.dataFolder)) {
        std::printf("error\t%s\t%s\tcannot clear the data folder before the run\n", measure, label);
        return false;
    }
    LARGE_INTEGER seedStart;
    LARGE_INTEGER seedEnd;
    QueryPerformanceCounter(&seedStart);
    if (!SeedTree(places.dataFolder, files, folders) ||
        (!Exists(places.neighbour) && !WriteTextFile(places.neighbour, kFileContent))) {
        std::printf("error\t%s\t%s\tcannot seed the data folder\n", measure, label);
        return false;
    }
    QueryPerformanceCounter(&seedEnd);
    std::printf("info\tseeded %d files in %.0f ms\n", files, MillisecondsBetween(seedStart, seedEnd));
    return true;
}

// After a deletion: the data folder must be gone, its parent and the
// neighbour beside it must stay.
bool CheckDeleted(const Places& places, const char* measure, const char* label)
{
    if (Exists(places.dataFolder)) {
        std::printf("error\t%s\t%s\tthe data folder is still there\n", measure, label);
        return false;
    }
    if (!Exists(places.neighbour)) {
        std::printf("error\t%s\t%s\tthe file beside the data folder is gone\n", measure, label);
        return false;
    }
    return true;
}

// Yes to exit, in milliseconds, with the data folder seeded anew; negative
// when the run went wrong or the folder is still there afterwards.
double TimeYesToExit(const Program& program, const Places& places, int files, int folders, DWORD pollMs)
{
    if (!PrepareTree(places, files, folders, "delete", program.label)) {
        return -1;
    }
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
    if (!clicked || !finished || !CheckDeleted(places, "delete", program.label)) {
        return -1;
    }
    return MillisecondsBetween(before, after);
}

enum class Deletion { Check, Shell, Walk };

// One deletion of a freshly seeded tree in this process, in milliseconds;
// negative when the run went wrong or left the data folder.
double TimeDeletionInProcess(Deletion deletion, const Places& places, int files, int folders)
{
    const char* label = deletion == Deletion::Check   ? "check"
                        : deletion == Deletion::Shell ? "shell"
                                                      : "walk";
    if (!PrepareTree(places, files, folders, "inproc", label)) {
        return -1;
    }
    LARGE_INTEGER before;
    LARGE_INTEGER after;
    QueryPerformanceCounter(&before);
    if (deletion == Deletion::Check) {
        ClearDataFolderIn(places.appData.c_str());
    } else if (deletion == Deletion::Shell) {
        ShellDeleteDataFolder(places.dataFolder.c_str());
    } else {
        WalkDeleteDataFolder(places.dataFolder.c_str());
    }
    QueryPerformanceCounter(&after);
    return CheckDeleted(places, "inproc", label) ? MillisecondsBetween(before, after) : -1;
}

using NtOpenFileCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, ULONG,
                                        ULONG);
using NtQueryDirectoryFileCall = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK,
                                                  PVOID, ULONG, FILE_INFORMATION_CLASS, BOOLEAN,
                                                  PUNICODE_STRING, BOOLEAN);
using NtQueryObjectCall = NTSTATUS(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);
using NtSetInformationFileCall = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG,
                                                  FILE_INFORMATION_CLASS);
using NtQueryInformationFileCall = NtSetInformationFileCall;

// The per-file part of the check's deletion, call by call, summed over a
// flat folder; each NT call goes through a pointer looked up once.
struct CallTimes {
    double list = 0;
    double open = 0;
    double name = 0;
    double tag = 0;
    double id = 0;
    double dispositionEx = 0;
    double disposition = 0;
    double close = 0;
    double lookUp = 0;
    double deleteFile = 0;
    double wholeCheck = 0;
    double wholeWalk = 0;
    int files = 0;
    int lateCalls = 0;
    int fallbacks = 0;
    unsigned long exStatus = 0;
};

double Elapsed(LARGE_INTEGER& mark)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    double ms = MillisecondsBetween(mark, now);
    mark = now;
    return ms;
}

// The names of a flat folder's files, as the check lists them (64 KiB a call).
bool ListNames(NtQueryDirectoryFileCall queryDirectory, HANDLE folder, std::vector<std::wstring>& names)
{
    std::vector<BYTE> buffer(64 * 1024);
    BOOLEAN restart = TRUE;
    for (;;) {
        IO_STATUS_BLOCK io;
        NTSTATUS status = queryDirectory(folder, nullptr, nullptr, nullptr, &io, buffer.data(),
                                         static_cast<ULONG>(buffer.size()), FileDirectoryInformation, FALSE,
                                         nullptr, restart);
        restart = FALSE;
        if (status == static_cast<NTSTATUS>(0x80000006)) { // STATUS_NO_MORE_FILES
            return true;
        }
        if (!NT_SUCCESS(status)) {
            return false;
        }
        for (size_t offset = 0;;) {
            const FILE_DIRECTORY_INFORMATION* entry =
                reinterpret_cast<const FILE_DIRECTORY_INFORMATION*>(buffer.data() + offset);
            std::wstring name(entry->FileName, entry->FileNameLength / sizeof(WCHAR));
            if (name != L"." && name != L"..") {
                names.push_back(name);
            }
            if (entry->NextEntryOffset == 0) {
                break;
            }
            offset += entry->NextEntryOffset;
        }
    }
}

// A folder `depth` levels below the data folder (the data folder itself at
// 0) holding `files` files and nothing else; empty on failure. On Wine the
// cost of some calls grows with the depth of the path.
std::wstring SeedDeepFolder(const Places& places, int files, int depth, const char* label)
{
    if (!PrepareTree(places, 0, 0, "calls", label)) {
        return std::wstring();
    }
    std::wstring folder = places.dataFolder;
    for (int level = 1; level <= depth; ++level) {
        WCHAR name[32];
        wsprintfW(name, L"\\level%d", level);
        folder += name;
        if (!CreateDirectoryW(folder.c_str(), nullptr)) {
            return std::wstring();
        }
    }
    for (int i = 0; i < files; ++i) {
        WCHAR name[32];
        wsprintfW(name, L"\\file%06d.dat", i);
        if (!WriteTextFile(folder + name, kFileContent)) {
            return std::wstring();
        }
    }
    return folder;
}

// Opens, verifies and deletes every file of a seeded folder as the check
// does, timing each kind of call; then the look-ups that the check would
// have made for those calls; then DeleteFileW on a folder seeded anew.
bool TimeCalls(const Places& places, int files, int depth, CallTimes& times)
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto openFile =
        reinterpret_cast<NtOpenFileCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtOpenFile")));
    auto queryDirectory = reinterpret_cast<NtQueryDirectoryFileCall>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryDirectoryFile")));
    auto queryObject =
        reinterpret_cast<NtQueryObjectCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryObject")));
    auto setInformation = reinterpret_cast<NtSetInformationFileCall>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtSetInformationFile")));
    auto queryInformation = reinterpret_cast<NtQueryInformationFileCall>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationFile")));
    if (!openFile || !queryDirectory || !queryObject || !setInformation || !queryInformation) {
        return false;
    }
    std::wstring folderPath = SeedDeepFolder(places, files, depth, "check");
    if (folderPath.empty()) {
        return false;
    }
    HANDLE folder = CreateFileW(folderPath.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::vector<BYTE> nameBuffer(sizeof(OBJECT_NAME_INFORMATION) + 32768 * sizeof(WCHAR));
    ULONG written = 0;
    NTSTATUS status = queryObject(folder, ObjectNameInformation, nameBuffer.data(),
                                  static_cast<ULONG>(nameBuffer.size()), &written);
    const OBJECT_NAME_INFORMATION* info = reinterpret_cast<const OBJECT_NAME_INFORMATION*>(nameBuffer.data());
    std::wstring location = NT_SUCCESS(status) ? std::wstring(info->Name.Buffer, info->Name.Length / 2) : L"";

    std::vector<std::wstring> names;
    std::vector<const char*> lateCalls;
    LARGE_INTEGER mark;
    QueryPerformanceCounter(&mark);
    bool listed = ListNames(queryDirectory, folder, names);
    times.list += Elapsed(mark);
    bool ok = listed && !location.empty();
    for (size_t i = 0; ok && i < names.size(); ++i) {
        UNICODE_STRING objectName;
        objectName.Buffer = const_cast<PWSTR>(names[i].c_str());
        objectName.Length = static_cast<USHORT>(names[i].size() * sizeof(WCHAR));
        objectName.MaximumLength = objectName.Length;
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &objectName, 0, folder, nullptr);
        IO_STATUS_BLOCK io;
        HANDLE file = INVALID_HANDLE_VALUE;
        QueryPerformanceCounter(&mark);
        status = openFile(&file, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &io,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT | FILE_COMPLETE_IF_OPLOCKED |
                              FILE_NON_DIRECTORY_FILE);
        times.open += Elapsed(mark);
        lateCalls.push_back("NtOpenFile");
        if (!NT_SUCCESS(status)) {
            ok = false;
            break;
        }
        // The buffer as the check sizes it: the expected name and no more.
        std::wstring expected = location + L"\\" + names[i];
        std::vector<BYTE> buffer(sizeof(OBJECT_NAME_INFORMATION) + (expected.size() + 1) * sizeof(WCHAR));
        QueryPerformanceCounter(&mark);
        status = queryObject(file, ObjectNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                             &written);
        times.name += Elapsed(mark);
        lateCalls.push_back("NtQueryObject");
        info = reinterpret_cast<const OBJECT_NAME_INFORMATION*>(buffer.data());
        ok = NT_SUCCESS(status) && std::wstring(info->Name.Buffer, info->Name.Length / 2) == expected;
        // Kind and link mark, then the id: on Wine the first query of a
        // handle also fetches its Unix file descriptor from the server.
        FILE_ATTRIBUTE_TAG_INFORMATION tag;
        QueryPerformanceCounter(&mark);
        status = queryInformation(file, &io, &tag, sizeof(tag), FileAttributeTagInformation);
        times.tag += Elapsed(mark);
        lateCalls.push_back("NtQueryInformationFile");
        ok = ok && NT_SUCCESS(status);
        FILE_INTERNAL_INFORMATION internal;
        QueryPerformanceCounter(&mark);
        status = queryInformation(file, &io, &internal, sizeof(internal), FileInternalInformation);
        times.id += Elapsed(mark);
        lateCalls.push_back("NtQueryInformationFile");
        ok = ok && NT_SUCCESS(status);
        ULONG flags = 0x1 | 0x2 | 0x10; // delete, POSIX semantics, ignore read-only
        QueryPerformanceCounter(&mark);
        status = setInformation(file, &io, &flags, sizeof(flags), static_cast<FILE_INFORMATION_CLASS>(64));
        lateCalls.push_back("NtSetInformationFile");
        if (!NT_SUCCESS(status)) {
            // Once more without ignore-read-only, as the check does.
            flags = 0x1 | 0x2;
            status =
                setInformation(file, &io, &flags, sizeof(flags), static_cast<FILE_INFORMATION_CLASS>(64));
            lateCalls.push_back("NtSetInformationFile");
        }
        times.dispositionEx += Elapsed(mark);
        if (!NT_SUCCESS(status)) {
            times.exStatus = static_cast<unsigned long>(status);
            // The check falls back to the classic disposition on any refusal
            // of the class; here on any failure, and counts it.
            ++times.fallbacks;
            FILE_DISPOSITION_INFORMATION disposition;
            disposition.DoDeleteFile = TRUE;
            status = setInformation(file, &io, &disposition, sizeof(disposition), FileDispositionInformation);
            lateCalls.push_back("NtSetInformationFile");
        }
        times.disposition += Elapsed(mark);
        ok = ok && NT_SUCCESS(status);
        CloseHandle(file);
        times.close += Elapsed(mark);
    }
    CloseHandle(folder);
    // The folders are not part of the per-file cost.
    RemoveTree(places.dataFolder);
    times.files += static_cast<int>(names.size());
    times.lateCalls += static_cast<int>(lateCalls.size());
    if (!ok) {
        std::printf("error\tcalls\tcheck\tthe deletion call by call failed\n");
        return false;
    }

    // What late_bound.cpp does before each call: find the DLL, then the call.
    void* sink = nullptr;
    QueryPerformanceCounter(&mark);
    for (const char* call : lateCalls) {
        HMODULE module = GetModuleHandleW(L"ntdll.dll");
        sink = module != nullptr ? reinterpret_cast<void*>(GetProcAddress(module, call)) : nullptr;
    }
    times.lookUp += Elapsed(mark);
    if (sink == nullptr || !CheckDeleted(places, "calls", "check")) {
        return false;
    }

    folderPath = SeedDeepFolder(places, files, depth, "walk");
    if (folderPath.empty()) {
        return false;
    }
    QueryPerformanceCounter(&mark);
    for (int i = 0; i < files; ++i) {
        WCHAR name[32];
        wsprintfW(name, L"\\file%06d.dat", i);
        DeleteFileW((folderPath + name).c_str());
    }
    times.deleteFile += Elapsed(mark);
    RemoveTree(places.dataFolder);
    if (!CheckDeleted(places, "calls", "walk")) {
        return false;
    }

    // The whole deletions of the same folder, to compare with their parts.
    if (SeedDeepFolder(places, files, depth, "check").empty()) {
        return false;
    }
    QueryPerformanceCounter(&mark);
    ClearDataFolderIn(places.appData.c_str());
    times.wholeCheck += Elapsed(mark);
    if (!CheckDeleted(places, "calls", "check") || SeedDeepFolder(places, files, depth, "walk").empty()) {
        return false;
    }
    QueryPerformanceCounter(&mark);
    WalkDeleteDataFolder(places.dataFolder.c_str());
    times.wholeWalk += Elapsed(mark);
    return CheckDeleted(places, "calls", "walk");
}

void PrintSample(const char* measure, int files, const char* label, int run, double ms)
{
    if (ms >= 0) {
        std::printf("sample\t%s\t%d\t%s\t%d\t%.3f\n", measure, files, label, run, ms);
    }
    std::fflush(stdout);
}

int Number(const std::wstring& text)
{
    return text.empty() ? -1 : _wtoi(text.c_str());
}

// "N[:RUNS[:INPROC]][,...]"
bool ParseTrees(const std::wstring& value, std::vector<Tree>& trees)
{
    trees.clear();
    for (size_t at = 0; at < value.size();) {
        size_t comma = value.find(L',', at);
        std::wstring part = value.substr(at, comma == std::wstring::npos ? std::wstring::npos : comma - at);
        Tree tree{-1, -1, -1};
        size_t first = part.find(L':');
        tree.files = Number(part.substr(0, first));
        if (first != std::wstring::npos) {
            size_t second = part.find(L':', first + 1);
            tree.deleteRuns = Number(part.substr(
                first + 1, second == std::wstring::npos ? std::wstring::npos : second - first - 1));
            if (second != std::wstring::npos) {
                tree.inprocRuns = Number(part.substr(second + 1));
            }
        }
        if (tree.files < 0) {
            return false;
        }
        trees.push_back(tree);
        at = comma == std::wstring::npos ? value.size() : comma + 1;
    }
    return !trees.empty();
}

bool ParseOptions(int argc, WCHAR** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        std::wstring name = argv[i];
        if (name == L"--no-shell") {
            options.withShell = false;
            continue;
        }
        if (i + 1 >= argc) {
            return false;
        }
        std::wstring value = argv[++i];
        int number = _wtoi(value.c_str());
        if (name == L"--start-runs") {
            options.startRuns = number;
        } else if (name == L"--delete-runs") {
            options.deleteRuns = number;
        } else if (name == L"--inproc-runs") {
            options.inprocRuns = number;
        } else if (name == L"--pair-runs") {
            options.pairRuns = number;
        } else if (name == L"--files") {
            if (!ParseTrees(value, options.trees)) {
                return false;
            }
        } else if (name == L"--folders") {
            options.folders = number;
        } else if (name == L"--call-files") {
            options.callFiles = number;
        } else if (name == L"--call-runs") {
            options.callRuns = number;
        } else if (name == L"--call-depths") {
            std::vector<Tree> depths;
            if (!ParseTrees(value, depths)) {
                return false;
            }
            options.callDepths.clear();
            for (const Tree& depth : depths) {
                options.callDepths.push_back(depth.files);
            }
        } else if (name == L"--poll-ms") {
            options.pollMs = static_cast<DWORD>(number);
        } else if (name == L"--only") {
            options.measureStart = value == L"start";
            options.measureDelete = value == L"delete";
            options.measureInproc = value == L"inproc";
            options.measureCalls = value == L"calls";
        } else {
            return false;
        }
    }
    return options.startRuns >= 0 && options.deleteRuns >= 0 && options.inprocRuns >= 0 &&
           options.pairRuns >= 0 && options.callFiles >= 0 && options.callRuns >= 0 && options.folders >= 1;
}

// The depth goes where the other measures have their file count.
void PrintCallTimes(int depth, int run, const CallTimes& times)
{
    const char* names[] = {"list",        "open",  "name",   "tag",        "id",         "dispositionex",
                           "disposition", "close", "lookup", "deletefile", "wholecheck", "wholewalk"};
    const double values[] = {times.list,   times.open,          times.name,        times.tag,
                             times.id,     times.dispositionEx, times.disposition, times.close,
                             times.lookUp, times.deleteFile,    times.wholeCheck,  times.wholeWalk};
    for (size_t i = 0; i < sizeof(values) / sizeof(values[0]); ++i) {
        PrintSample("calls", depth, names[i], run, values[i]);
    }
    std::printf("count\tcalls\t%d\tfiles\t%d\n", depth, times.files);
    std::printf("count\tcalls\t%d\tlatecalls\t%d\n", depth, times.lateCalls);
    std::printf("count\tcalls\t%d\tfallbacks\t%d\n", depth, times.fallbacks);
    std::printf("count\tcalls\t%d\texstatus\t%lu\n", depth, times.exStatus);
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, WCHAR** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(
            stderr,
            "usage: bench_harness [--start-runs N] [--delete-runs N] [--inproc-runs N] [--pair-runs N] "
            "[--files N[:RUNS[:INPROC]][,...]] [--folders N] [--call-files N] "
            "[--call-runs N] [--call-depths D[,...]] [--no-shell] "
            "[--poll-ms N] [--only start|delete|inproc|calls]\n");
        return 2;
    }
    std::wstring folder = FolderOfThisProgram();
    Places places;
    if (folder.empty() || !FindPlaces(places)) {
        std::printf("error\tsetup\tharness\tno program folder or data folder\n");
        return 1;
    }
    Program check{"check", folder + L"\\FullUninstallCheck.exe"};
    Program promptBaseline{"baseline", folder + L"\\bench_prompt_baseline.exe"};
    Program shell{"shell", folder + L"\\bench_delete_baseline.exe"};
    Program walk{"walk", folder + L"\\bench_walk_baseline.exe"};
    std::vector<const Program*> deleters{&check, &shell, &walk};
    std::vector<Deletion> deletions{Deletion::Check, Deletion::Shell, Deletion::Walk};
    if (!options.withShell) {
        deleters.erase(deleters.begin() + 1);
        deletions.erase(deletions.begin() + 1);
    }
    std::printf("info\tdata folder\t%s\n", Narrow(places.dataFolder).c_str());

    // One start of each program first, not counted: the first start loads
    // their files from disk and Wine's services. Later runs find the files
    // cached (each run still translates the program's code anew under QEMU).
    if (options.measureStart || options.measureDelete) {
        TimeToPrompt(promptBaseline, options.pollMs);
        TimeToPrompt(check, options.pollMs);
    }
    if (options.measureStart) {
        for (int run = 1; run <= options.startRuns; ++run) {
            PrintSample("start", 0, promptBaseline.label, run, TimeToPrompt(promptBaseline, options.pollMs));
            PrintSample("start", 0, check.label, run, TimeToPrompt(check, options.pollMs));
        }
    }
    for (const Tree& tree : options.trees) {
        // After the turns of all three, turns of the check and the walk alone:
        // the ratio nearest its goal gets more runs without a minute-long
        // shell delete in each.
        int runs = tree.deleteRuns >= 0 ? tree.deleteRuns : options.deleteRuns;
        for (int run = 1; options.measureDelete && run <= runs + options.pairRuns; ++run) {
            for (const Program* program : deleters) {
                if (program != &shell || run <= runs) {
                    PrintSample("delete", tree.files, program->label, run,
                                TimeYesToExit(*program, places, tree.files, options.folders, options.pollMs));
                }
            }
        }
        runs = tree.inprocRuns >= 0 ? tree.inprocRuns : options.inprocRuns;
        for (int run = 1; options.measureInproc && run <= runs + options.pairRuns; ++run) {
            for (size_t k = 0; k < deletions.size(); ++k) {
                if (deletions[k] != Deletion::Shell || run <= runs) {
                    PrintSample("inproc", tree.files, deleters[k]->label, run,
                                TimeDeletionInProcess(deletions[k], places, tree.files, options.folders));
                }
            }
        }
    }
    for (int run = 1; options.measureCalls && options.callFiles > 0 && run <= options.callRuns; ++run) {
        for (int depth : options.callDepths) {
            CallTimes times;
            if (TimeCalls(places, options.callFiles, depth, times)) {
                PrintCallTimes(depth, run, times);
            }
        }
    }
    if (Exists(places.dataFolder)) {
        RemoveTree(places.dataFolder);
    }
    // Result not examined: the prefix is thrown away with the build.
    DeleteFileW(places.neighbour.c_str());
    return 0;
}
