// Baseline for the time from Yes to exit: after the check's message box, only
// a bare FindFirstFileW/DeleteFileW/RemoveDirectoryW walk of the data folder,
// the floor for deleting by name.
#include <windows.h>

#include "baseline_deletions.h"
#include "check/prompt.h"

int main()
{
    if (!AskFullUninstallation()) {
        return 0;
    }
    WCHAR dataFolder[MAX_PATH] = {};
    if (FindDataFolder(dataFolder)) {
        WalkDeleteDataFolder(dataFolder);
    }
    return 0;
}
