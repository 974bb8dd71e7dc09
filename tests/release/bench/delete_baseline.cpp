// Baseline for the time from Yes to exit: after the check's message box, only
// the shell delete of the data folder's contents and the folder removal,
// with the check's flags and deletion list, and no look at what the folder
// holds.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "check/prompt.h"

int main()
{
    if (!AskFullUninstallation()) {
        return 0;
    }
    WCHAR dataFolder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                dataFolder)) ||
        !PathAppendW(dataFolder, L"Corvanta\\CorvantaMarbelQuint")) {
        return 0;
    }
    // "<folder>\*" and two zero units, in a zero-filled 1024-unit list.
    WCHAR deletionList[1024] = {};
    int length = lstrlenW(dataFolder);
    if (length + 4 > 1024) {
        return 0;
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
        // Result not examined, as in the check.
        RemoveDirectoryW(dataFolder);
    }
    return 0;
}
