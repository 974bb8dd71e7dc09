// A host application that has not closed yet and keeps writing its data:
//
//   busy_writer.exe FOLDER STOP-FILE REPORT-FILE [rotate]
//
// Round after round it creates FOLDER\live-N.tmp and FOLDER\Protokolle\log-N.txt
// (1 KiB each, closed at once); with "rotate" it also deletes its own
// live-(N-3).tmp again, as a program rotating its temporary files does. It
// never creates a folder. It stops when STOP-FILE exists and then writes
// REPORT-FILE:
//   rounds R created C failed F removed D
// Until the first round has created both files it writes nothing else, so
// the caller can wait for the churn by looking for log-1.txt.
#include <windows.h>

#include <stdio.h>

#include <string>

#include "test_tree.h"

namespace {

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

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4 && argc != 5) {
        return 2;
    }
    std::wstring folder = argv[1];
    std::wstring stopFile = argv[2];
    std::wstring reportFile = argv[3];
    bool rotate = argc == 5 && std::wstring(argv[4]) == L"rotate";

    unsigned long rounds = 0, created = 0, failed = 0, removed = 0;
    while (!Exists(stopFile)) {
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
