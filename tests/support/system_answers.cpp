#include "system_answers.h"

#include <windows.h>

#include "seam.h"

namespace {

UINT WINAPI AnswerNoSystemFolder(LPWSTR, UINT)
{
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
}

} // namespace

void InstallLoaderBeforeWindows8()
{
    SeamRemove("AddDllDirectory");
    SeamRemove("SetDefaultDllDirectories");
}

void InstallNoSystemFolder()
{
    SeamReplaceWith("GetSystemDirectoryW", &AnswerNoSystemFolder);
}
