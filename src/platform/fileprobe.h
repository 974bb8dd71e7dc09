// File probes: what the file system says about a path, without changing it.
#pragma once

#include <windows.h>

// Opens path for binary reading (sharing read and write, not delete) and
// closes it at once. True exactly when a file, not a folder, of that name
// exists and can be read now; a relative name is taken from the current
// folder. False on any failure.
bool CanOpenForReading(const WCHAR* path);
