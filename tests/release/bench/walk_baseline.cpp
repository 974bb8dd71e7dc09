// Baseline for the time from Yes to exit: after the check's message box, only
// a bare FindFirstFileW/DeleteFileW/RemoveDirectoryW walk of the data folder,
// the floor for deleting by name.
#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>

#include "baseline_deletions.h"
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
    WalkDeleteDataFolder(dataFolder);
    return 0;
}
