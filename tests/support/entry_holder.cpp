// A program that holds entries as another program on the user's machine
// would: its current folder (the folder it was started in, held open without
// delete sharing, as Windows and Wine hold a current folder) and the files
// named on its command line, open for reading and writing, sharing neither
// deletion nor renaming.
//
//   entry_holder.exe [--in FOLDER] [--release EVENT MS] [--share-delete] [FILE...]
//
// --in makes FOLDER its current folder, trying for up to 15 s: a test that
// probes whether the folder is held yet may hold it for a moment itself.
// Without --release it holds everything until it is ended. With it, it waits
// for the named event, holds on for MS milliseconds more, closes the files
// and ends. With --share-delete the files that follow are opened sharing
// deletion (as a virus scanner does): their deletion is pending until they
// are closed. Exit code 0, or 2 when a file cannot be opened.
#include <windows.h>

#include <shellapi.h>

#include <vector>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return 2;
    }
    HANDLE release = nullptr;
    DWORD releaseDelayMs = 0;
    std::vector<HANDLE> held;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    for (int i = 1; i < argc; ++i) {
        if (lstrcmpW(argv[i], L"--in") == 0 && i + 1 < argc) {
            ++i;
            for (int tries = 0; !SetCurrentDirectoryW(argv[i]) && tries < 1500; ++tries) {
                Sleep(10);
            }
            continue;
        }
        if (lstrcmpW(argv[i], L"--share-delete") == 0) {
            share |= FILE_SHARE_DELETE;
            continue;
        }
        if (lstrcmpW(argv[i], L"--release") == 0 && i + 2 < argc) {
            release = OpenEventW(SYNCHRONIZE, FALSE, argv[i + 1]);
            releaseDelayMs = static_cast<DWORD>(_wtoi(argv[i + 2]));
            i += 2;
            continue;
        }
        HANDLE file = CreateFileW(argv[i], GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return 2;
        }
        held.push_back(file);
    }
    LocalFree(argv);
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
