// A program that holds entries as another program on the user's machine
// would, in one of two ways.
//
//   entry_holder.exe [--in FOLDER] [--release EVENT MS] [--share-delete] [FILE...]
//
// Holds its current folder (the folder it was started in, held open without
// delete sharing, as Windows and Wine hold a current folder) and the files
// named, open for reading and writing, sharing neither deletion nor renaming.
// --in makes FOLDER its current folder, trying for up to 15 s: a test that
// probes whether the folder is held yet may hold it for a moment itself.
// Without --release it holds everything until it is ended. With it, it waits
// for the named event, holds on for MS milliseconds more, closes the files
// and ends. With --share-delete the files that follow are opened sharing
// deletion (as a virus scanner does): their deletion is pending until they
// are closed. Exit code 0, or 2 when a file cannot be opened.
//
//   entry_holder.exe --write FOLDER STOP-FILE REPORT-FILE [rotate]
//
// A host application that has not closed yet and keeps writing its data:
// round after round it creates FOLDER\live-N.tmp and
// FOLDER\Protokolle\log-N.txt (1 KiB each, closed at once); with "rotate" it
// also deletes its own live-(N-3).tmp again, as a program rotating its
// temporary files does. It never creates a folder. It stops when STOP-FILE
// exists and then writes REPORT-FILE:
//   rounds R created C failed F removed D
// Until the first round has created both files it writes nothing else, so
// the caller can wait for the churn by looking for log-1.txt.
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "text.h"

namespace {

int HoldEntries(const std::vector<std::wstring>& args)
{
    HANDLE release = nullptr;
    DWORD releaseDelayMs = 0;
    std::vector<HANDLE> held;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--in" && i + 1 < args.size()) {
            ++i;
            for (int tries = 0; !SetCurrentDirectoryW(args[i].c_str()) && tries < 1500; ++tries) {
                Sleep(10);
            }
            continue;
        }
        if (args[i] == L"--share-delete") {
            share |= FILE_SHARE_DELETE;
            continue;
        }
        if (args[i] == L"--release" && i + 2 < args.size()) {
            release = OpenEventW(SYNCHRONIZE, FALSE, args[i + 1].c_str());
            releaseDelayMs = static_cast<DWORD>(_wtoi(args[i + 2].c_str()));
            i += 2;
            continue;
        }
        HANDLE file = CreateFileW(args[i].c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return 2;
        }
        held.push_back(file);
    }
    if (release == nullptr) {
        Sleep(INFINITE);
    }
    WaitForSingleObject(release, INFINITE);
    Sleep(releaseDelayMs);
    for (HANDLE file : held) {
        CloseHandle(file);
    }
    CloseHandle(release);
    return 0;
}

bool WriteKibibyte(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char block[1024];
    FillMemory(block, sizeof(block), 'w');
    DWORD written = 0;
    BOOL ok = WriteFile(file, block, sizeof(block), &written, nullptr);
    CloseHandle(file);
    return ok && written == sizeof(block);
}

int KeepWriting(const std::wstring& folder, const std::wstring& stopFile, const std::wstring& reportFile,
                bool rotate)
{
    unsigned long rounds = 0, created = 0, failed = 0, removed = 0;
    // Kept to kernel32, like the holding: no user32 in a holder's process.
    while (GetFileAttributesW(stopFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ++rounds;
        std::wstring number = std::to_wstring(rounds);
        const std::wstring files[] = {folder + L"\\live-" + number + L".tmp",
                                      folder + L"\\Protokolle\\log-" + number + L".txt"};
        for (const std::wstring& file : files) {
            WriteKibibyte(file) ? ++created : ++failed;
        }
        if (rotate && rounds > 3 &&
            DeleteFileW((folder + L"\\live-" + std::to_wstring(rounds - 3) + L".tmp").c_str())) {
            ++removed;
        }
        Sleep(2);
    }

    FILE* report = _wfopen(reportFile.c_str(), L"w");
    if (report == nullptr) {
        return 3;
    }
    fprintf(report, "rounds %lu created %lu failed %lu removed %lu\n", rounds, created, failed, removed);
    fclose(report);
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    std::vector<std::wstring> args = CommandArguments();
    if (!args.empty() && args[0] == L"--write") {
        if (args.size() != 4 && args.size() != 5) {
            return 2;
        }
        return KeepWriting(args[1], args[2], args[3], args.size() == 5 && args[4] == L"rotate");
    }
    return HoldEntries(args);
}
