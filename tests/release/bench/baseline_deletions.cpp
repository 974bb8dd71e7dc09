#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "baseline_deletions.h"

namespace {

bool IsDotEntry(const WCHAR* name)
{
    return lstrcmpW(name, L".") == 0 || lstrcmpW(name, L"..") == 0;
}

// folder is a \\?\ path; the walk never looks at anything but the listing.
void WalkDelete(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (IsDotEntry(entry.cFileName)) {
                continue;
            }
            std::wstring path = folder + L"\\" + entry.cFileName;
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileW(path.c_str());
                continue;
            }
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                WalkDelete(path);
            }
            RemoveDirectoryW(path.c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
}

} // namespace

void ShellDeleteDataFolder(const WCHAR* dataFolder)
{
    // "<folder>\*" and two zero units, in a zero-filled 1024-unit list.
    WCHAR deletionList[1024] = {};
    int length = lstrlenW(dataFolder);
    if (length + 4 > 1024) {
        return;
    }
    CopyMemory(deletionList, dataFolder, length * sizeof(WCHAR));
    deletionList[length] = L'\\';
    deletionList[length + 1] = L'*';

    SHFILEOPSTRUCTW operation;
    ZeroMemory(&operation, sizeof(operation));
    operation.wFunc = FO_DELETE;
    operation.pFrom = deletionList;
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    if (SHFileOperationW(&operation) >= 0) {
        // Result not examined, as in the check before.
        RemoveDirectoryW(dataFolder);
    }
}

void WalkDeleteDataFolder(const WCHAR* dataFolder)
{
    std::wstring folder(dataFolder);
    if (folder.size() < 3) {
        return;
    }
    folder = folder[0] == L'\\' ? L"\\\\?\\UNC" + folder.substr(1) : L"\\\\?\\" + folder;
    WalkDelete(folder);
    // Result not examined: a folder that still holds something stays.
    RemoveDirectoryW(folder.c_str());
}

bool FindDataFolder(WCHAR (&dataFolder)[MAX_PATH])
{
    return SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                      dataFolder)) &&
           PathAppendW(dataFolder, L"Corvanta\\CorvantaMarbelQuint");
}
