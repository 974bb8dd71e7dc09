#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>

#include "check/removal.h"
#include "platform/fileprobe.h"

namespace {

const WCHAR kDataFolderName[] = L"Corvanta\\CorvantaMarbelQuint";
const WCHAR kDataFolderSuffix[] = L"\\Corvanta\\CorvantaMarbelQuint";
const WCHAR kAccountFileName[] = L"Meine Konten.mqd";
const size_t kDeletionListUnits = 1024;

bool IsDotEntry(const WCHAR* name)
{
    return lstrcmpW(name, L".") == 0 || lstrcmpW(name, L"..") == 0;
}

bool IsLetter(WCHAR c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool IsAbsolutePath(const WCHAR* path)
{
    if (IsLetter(path[0]) && path[1] == L':' && path[2] == L'\\') {
        return true;
    }
    // UNC: \\server\share\..., but not the device namespaces \\?\ and \\.\.
    return path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\0' && path[2] != L'?' &&
           path[2] != L'.' && path[2] != L'\\';
}

bool EndsWith(const std::wstring& text, const WCHAR* suffix)
{
    size_t suffixLength = lstrlenW(suffix);
    return text.size() >= suffixLength &&
           text.compare(text.size() - suffixLength, suffixLength, suffix) == 0;
}

// Case-insensitive: final paths come back in the case stored on disk.
bool IsInside(const std::wstring& path, const std::wstring& folder)
{
    return path.size() > folder.size() + 1 && path[folder.size()] == L'\\' &&
           _wcsnicmp(path.c_str(), folder.c_str(), folder.size()) == 0;
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() && _wcsicmp(a.c_str(), b.c_str()) == 0;
}

bool RemoveLinkItself(const std::wstring& path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return RemoveDirectoryW(path.c_str()) != FALSE;
    }
    return DeleteFileW(path.c_str()) != FALSE;
}

// Walks folder without descending into links. finalRoot is where the data
// folder really is, on a platform that may hide links (Wine: no reparse
// attribute on a link to a file, and no call that removes a link alone);
// empty where every link shows its reparse attribute and can be removed as
// a link.
bool FolderHoldsLinks(const std::wstring& folder, const std::wstring& finalRoot)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        // A folder that cannot be listed may hide links: keep it.
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    }
    bool linkLeft = false;
    do {
        if (IsDotEntry(entry.cFileName)) {
            continue;
        }
        std::wstring path = folder + L"\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            linkLeft = !finalRoot.empty() || !RemoveLinkItself(path, entry.dwFileAttributes);
        } else if (!finalRoot.empty() && !IsInside(GetFinalPath(path.c_str()), finalRoot)) {
            linkLeft = true;
        } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            linkLeft = FolderHoldsLinks(path, finalRoot);
        }
    } while (!linkLeft && FindNextFileW(find, &entry));
    FindClose(find);
    return linkLeft;
}

void DeleteWithShell(const std::wstring& dataFolder)
{
    std::wstring pattern = dataFolder + L"\\*";
    WCHAR deletionList[kDeletionListUnits] = {};
    if (pattern.size() + 2 > kDeletionListUnits) {
        return;
    }
    CopyMemory(deletionList, pattern.c_str(), pattern.size() * sizeof(WCHAR));
    deletionList[pattern.size()] = L'\0';
    deletionList[pattern.size() + 1] = L'\0';

    SHFILEOPSTRUCTW operation;
    ZeroMemory(&operation, sizeof(operation));
    operation.wFunc = FO_DELETE;
    operation.pFrom = deletionList;
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    int result = SHFileOperationW(&operation);
    if (result >= 0) {
        // Result not examined: the folder may still hold files the host
        // application keeps open.
        RemoveDirectoryW(dataFolder.c_str());
    }
}

} // namespace

bool IsDataFolderPath(const WCHAR* path)
{
    return IsAbsolutePath(path) && EndsWith(path, kDataFolderSuffix);
}

bool HoldsLinks(const std::wstring& dataFolder)
{
    DWORD attributes = GetFileAttributesW(dataFolder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // Nothing there to delete, so nothing to lead anywhere.
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        return true;
    }
    std::wstring finalRoot;
    if (RunsOnWine()) {
        finalRoot = GetFinalPath(dataFolder.c_str());
        if (finalRoot.empty()) {
            return true; // where entries lead cannot be told
        }
    }
    return FolderHoldsLinks(dataFolder, finalRoot);
}

void ClearDataFolder(const std::wstring& dataFolder)
{
    if (!IsDataFolderPath(dataFolder.c_str()) || HoldsLinks(dataFolder)) {
        return;
    }
    DeleteWithShell(dataFolder);
}

void RemoveDataFolder(WCHAR (&folderPath)[MAX_PATH])
{
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, folderPath))) {
        return;
    }
    // A join that does not fit may leave the bare AppData folder or an empty
    // text behind: never form a pattern from those.
    if (!PathAppendW(folderPath, kDataFolderName)) {
        return;
    }
    ClearDataFolder(std::wstring(folderPath));
}

void DeleteAccountFileAt(const WCHAR* path)
{
    if (!CanOpenForReading(path)) {
        return;
    }
    if (RunsOnWine()) {
        // Wine's DeleteFileW deletes a link's target: the file must really be
        // where its path says.
        std::wstring folder(path, PathFindFileNameW(path) - path);
        std::wstring finalFolder = GetFinalPath(folder.c_str());
        std::wstring finalFile = GetFinalPath(path);
        if (finalFolder.empty() || finalFile.empty() ||
            !SamePath(finalFile, finalFolder + (EndsWith(finalFolder, L"\\") ? L"" : L"\\") +
                                     PathFindFileNameW(path))) {
            return;
        }
    }
    // Result not examined: a file that cannot be deleted simply stays.
    DeleteFileW(path);
}

void DeleteAccountFile(WCHAR (&folderPath)[MAX_PATH])
{
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, folderPath))) {
        return;
    }
    if (!PathAppendW(folderPath, kAccountFileName)) {
        return;
    }
    DeleteAccountFileAt(folderPath);
}

void RemoveUserData()
{
    // One buffer serves both steps.
    WCHAR folderPath[MAX_PATH] = {};
    RemoveDataFolder(folderPath);
    DeleteAccountFile(folderPath);
}
