#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>

#include "check/removal.h"
#include "platform/fileprobe.h"
#include "platform/late_bound.h"

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
    return path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\0' && path[2] != L'?' && path[2] != L'.' &&
           path[2] != L'\\';
}

bool EndsWith(const std::wstring& text, const WCHAR* suffix)
{
    size_t suffixLength = lstrlenW(suffix);
    return text.size() >= suffixLength && text.compare(text.size() - suffixLength, suffixLength, suffix) == 0;
}

std::wstring JoinPath(const std::wstring& folder, const WCHAR* name)
{
    return folder + (EndsWith(folder, L"\\") ? L"" : L"\\") + name;
}

// The shell delete joins every name into a MAX_PATH buffer, and "\\*" onto
// every folder. On Wine a join that does not fit leaves an empty path, and
// the delete goes on from the current folder: such a path must never reach it.
bool TooLongForShell(const std::wstring& path)
{
    return path.size() + 2 >= MAX_PATH;
}

bool RemoveLinkItself(const std::wstring& path, bool isFolder)
{
    if (isFolder) {
        return RemoveDirectoryW(path.c_str()) != FALSE;
    }
    return DeleteFileW(path.c_str()) != FALSE;
}

bool FolderBlocksShellDelete(const std::wstring& folder, const std::wstring& finalFolder, bool onWine);

// Whether one listed entry keeps the deletion away. On Wine finalFolder is
// where the listed folder really is; a folder without the reparse attribute
// is a real one there (links to folders always carry it), but a link to a
// file looks like a plain file, so each file must land where it is listed.
bool EntryBlocksShellDelete(const std::wstring& folder, const std::wstring& finalFolder,
                    const WIN32_FIND_DATAW& entry, bool onWine)
{
    std::wstring path = JoinPath(folder, entry.cFileName);
    if (TooLongForShell(path)) {
        return true;
    }
    bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (onWine) {
        std::wstring finalPath = JoinPath(finalFolder, entry.cFileName);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            return true; // Wine removes no link alone
        }
        if (isFolder) {
            return FolderBlocksShellDelete(path, finalPath, onWine);
        }
        // Exact comparison: the final path is spelt as the file system
        // stores it, and that may tell names apart by case.
        return GetFinalPath(path.c_str()) != finalPath;
    }
    // Only links (name surrogates) lead elsewhere; other reparse points, such
    // as cloud or deduplicated files, are the data themselves.
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        IsReparseTagNameSurrogate(entry.dwReserved0)) {
        return !RemoveLinkItself(path, isFolder);
    }
    return isFolder && FolderBlocksShellDelete(path, finalFolder, onWine);
}

// Walks folder without descending into links; stops at the first link left.
bool FolderBlocksShellDelete(const std::wstring& folder, const std::wstring& finalFolder, bool onWine)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(JoinPath(folder, L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return true; // a folder that cannot be listed may hide links
    }
    bool linkLeft = false;
    for (;;) {
        if (!IsDotEntry(entry.cFileName) && EntryBlocksShellDelete(folder, finalFolder, entry, onWine)) {
            linkLeft = true;
            break;
        }
        if (!FindNextFileW(find, &entry)) {
            // A listing cut short may hide links.
            linkLeft = GetLastError() != ERROR_NO_MORE_FILES;
            break;
        }
    }
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

    // A second guard: a path the shell loses on the way is taken from the
    // current folder, so while it deletes, that is the data folder itself.
    WCHAR previousFolder[MAX_PATH];
    DWORD previousLength = GetCurrentDirectoryW(MAX_PATH, previousFolder);
    if (previousLength == 0 || previousLength >= MAX_PATH || !SetCurrentDirectoryW(dataFolder.c_str())) {
        return;
    }
    SHFILEOPSTRUCTW operation;
    ZeroMemory(&operation, sizeof(operation));
    operation.wFunc = FO_DELETE;
    operation.pFrom = deletionList;
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    int result = late::SHFileOperationW(&operation);
    // Result not examined: where the old folder is gone, the data folder
    // stays current and merely keeps itself from being removed.
    SetCurrentDirectoryW(previousFolder);
    if (result >= 0) {
        // Result not examined: the folder may still hold files the host
        // application keeps open.
        RemoveDirectoryW(dataFolder.c_str());
    }
}

// On Wine: true when an open of path lands on the file that its folder lists
// under that name, and not on the target of a link.
bool LeadsWhereListed(const WCHAR* path)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(path, &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(find);
    std::wstring finalFolder = GetFinalPath(std::wstring(path, late::PathFindFileNameW(path) - path).c_str());
    std::wstring finalFile = GetFinalPath(path);
    return !finalFolder.empty() && !finalFile.empty() && finalFile == JoinPath(finalFolder, entry.cFileName);
}

} // namespace

bool IsDataFolderPath(const WCHAR* path)
{
    return IsAbsolutePath(path) && wcspbrk(path, L"*?") == nullptr && EndsWith(path, kDataFolderSuffix);
}

bool BlocksShellDelete(const std::wstring& dataFolder)
{
    if (TooLongForShell(dataFolder)) {
        return true;
    }
    DWORD attributes = GetFileAttributesW(dataFolder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        // Nothing there to delete, so nothing to lead anywhere.
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return true;
    }
    if (!RunsOnWine()) {
        return FolderBlocksShellDelete(dataFolder, std::wstring(), false);
    }
    std::wstring finalRoot = GetFinalPath(dataFolder.c_str());
    // Without it, where entries lead cannot be told.
    return finalRoot.empty() || FolderBlocksShellDelete(dataFolder, finalRoot, true);
}

void ClearDataFolder(const std::wstring& dataFolder)
{
    if (!IsDataFolderPath(dataFolder.c_str()) || BlocksShellDelete(dataFolder)) {
        return;
    }
    DeleteWithShell(dataFolder);
}

void RemoveDataFolder(WCHAR (&folderPath)[MAX_PATH])
{
    if (FAILED(late::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                      folderPath))) {
        return;
    }
    // A join that does not fit may leave the bare AppData folder or an empty
    // text behind: never form a pattern from those.
    if (!late::PathAppendW(folderPath, kDataFolderName)) {
        return;
    }
    ClearDataFolder(std::wstring(folderPath));
}

void DeleteAccountFileAt(const WCHAR* path)
{
    if (!CanOpenForReading(path)) {
        return;
    }
    // Wine's DeleteFileW deletes a link's target.
    if (RunsOnWine() && !LeadsWhereListed(path)) {
        return;
    }
    // Result not examined: a file that cannot be deleted simply stays.
    DeleteFileW(path);
}

void DeleteAccountFile(WCHAR (&folderPath)[MAX_PATH])
{
    if (FAILED(late::SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr,
                                      SHGFP_TYPE_CURRENT, folderPath))) {
        return;
    }
    if (!late::PathAppendW(folderPath, kAccountFileName)) {
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
