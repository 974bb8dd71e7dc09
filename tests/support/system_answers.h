// Answers of the system's loader as Windows gives them where both Wines
// answer as Windows 8 and later do: put in place through the seam (seam.h),
// by name from the catalogue (windows_answers.h).
#pragma once

// "loader-before-windows-8": AddDllDirectory and SetDefaultDllDirectories
// are missing, as on Windows 7 and Vista without update KB2533623 and on
// XP ("SetDefaultDllDirectories function", Requirements: "Windows 7 ...
// with KB2533623").
void InstallLoaderBeforeWindows8();

// "no-system-folder": GetSystemDirectoryW fails ("If the function fails, the
// return value is zero"), so that no DLL that is not in the process yet can
// be loaded from the system folder.
void InstallNoSystemFolder();
