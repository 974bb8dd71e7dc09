// The two deletions the check's is measured against, shared by the baseline
// programs and the harness so that both measure the same code. Each deletes
// everything inside dataFolder and then dataFolder itself, follows no link
// and reports nothing: what cannot go stays.
#pragma once

#include <windows.h>

// The shell delete that the check used before: SHFileOperationW (FO_DELETE)
// of "dataFolder\*" with the check's old flags and deletion list, then
// RemoveDirectoryW of the folder.
void ShellDeleteDataFolder(const WCHAR* dataFolder);

// The floor for deleting by name: a recursive FindFirstFileW walk that calls
// DeleteFileW on every file and RemoveDirectoryW on every folder after its
// contents, with \\?\ paths so that long paths work. A link to a folder is
// removed as a link, never entered.
void WalkDeleteDataFolder(const WCHAR* dataFolder);

// The data folder's path in the current user's roaming AppData, as the
// baseline programs delete it. False when the lookup or the join fails.
bool FindDataFolder(WCHAR (&dataFolder)[MAX_PATH]);
