// Registry and shell-folder helper module.
//
// Free functions that keep nothing between calls: every registry operation
// opens its own key and closes it before it returns. Failure is told only
// through the result; nothing is shown or raised.
//
// Sub-key paths given to ReadRegValue may use '/' as well as '\' between
// components; they must be shorter than MAX_PATH (260) units.
#pragma once

#include <windows.h>

// Reads one value of root\subKey into data, which must hold at least 4 bytes
// when type is REG_DWORD and 260 bytes otherwise. type only selects that
// capacity: the stored type is neither compared nor handed back.
// Returns 1 when the key was opened, whether or not the value could be read
// (a missing value, one larger than the capacity or of another type leaves
// data as the caller preset it, or as the platform's failed query left it).
// Returns 0 when the key does not open or subKey has 260 units or more; data
// is then untouched.
int ReadRegValue(HKEY root, const WCHAR* subKey, const WCHAR* valueName, DWORD type, BYTE* data);
