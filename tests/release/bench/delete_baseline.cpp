// Baseline for the time from Yes to exit: after the check's message box, only
// the shell delete that the check's deletion replaced (SHFileOperationW of
// the data folder's contents, then the folder), with no look at what the
// folder holds.
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
        ShellDeleteDataFolder(dataFolder);
    }
    return 0;
}
