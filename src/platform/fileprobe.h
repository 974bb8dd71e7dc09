// File probes: what the file system says about a path, without changing it.
#pragma once

#include <windows.h>

#include <string>

// Opens path for binary reading (sharing read and write, not delete) and
// closes it at once. True exactly when a file, not a folder, of that name
// exists and can be read now; a relative name is taken from the current
// folder. False on any failure.
bool CanOpenForReading(const WCHAR* path);

// True when the process runs on Wine, whose file links carry no reparse
// attribute and whose file deletion follows them.
bool RunsOnWine();

// Where a handle to path really leads, as GetFinalPathNameByHandleW says
// (looked up at run time: the call is missing before Windows Vista).
// Empty when the call is missing, the entry cannot be opened or the call fails.
// Links are not followed when opening, so a link answers for itself.
std::wstring GetFinalPath(const WCHAR* path);

// Same as GetFinalPath, but the handle follows links to their target.
std::wstring GetResolvedPath(const WCHAR* path);

// True when GetFinalPath can answer on this system.
bool CanResolveFinalPaths();
