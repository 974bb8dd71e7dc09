// Registry helpers: reading, writing and listing values of the registry.
//
// Free functions that keep nothing between calls: every operation opens its
// own key and closes it before it returns. Failure is told only through the
// result; nothing is shown or raised.
//
// Sub-key paths given to ReadRegValue, ReadRegString and WriteRegValue may use
// '/' as well as '\' between components (a copy is rewritten, never the
// caller's text); they must be shorter than MAX_PATH (260) units. The two
// enumerations pass the path to the registry unchanged, so there '/' is part
// of a key name.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Reads one value of root\subKey into data, which must hold at least 4 bytes
// when type is REG_DWORD and 260 bytes otherwise. type only selects that
// capacity: the stored type is neither compared nor handed back.
// Returns 1 when the key was opened, whether or not the value could be read
// (a missing value, one larger than the capacity or of another type leaves
// data as the caller preset it, or as the platform's failed query left it).
// Returns 0 when the key does not open or subKey has 260 units or more; data
// is then untouched.
int ReadRegValue(HKEY root, const WCHAR* subKey, const WCHAR* valueName, DWORD type, BYTE* data);

// Reads any value of root\subKey into value, whatever its length, taking its
// bytes as UTF-16 text up to the first zero unit: a REG_SZ stored without
// terminator is read whole, a REG_MULTI_SZ gives its first string, a REG_DWORD
// its bytes as units (65 gives L"A").
// Returns ERROR_SUCCESS (0) when the value was read. On failure returns a
// Win32 status and:
// - the key does not open: its status (ERROR_FILE_NOT_FOUND for a missing
//   key); value keeps its content;
// - subKey has 260 units or more: ERROR_FILENAME_EXCED_RANGE; value keeps its
//   content and nothing is read;
// - the value cannot be read (missing, or changed while being read): the
//   read's status; value is emptied.
LONG ReadRegString(HKEY root, const WCHAR* subKey, const WCHAR* valueName, std::wstring& value);

// Writes a value of the given type under root\subKey, creating the key when
// missing. The byte count follows the type: REG_SZ writes the text of data
// with its terminator, REG_DWORD 4 bytes, any other type exactly 260 bytes,
// so data must then hold at least 260 bytes.
// Returns 1 when the value was written. On failure returns another non-zero
// Win32 status and writes no value: ERROR_FILENAME_EXCED_RANGE when subKey has
// 260 units or more (nothing is created), else the failing status of
// RegCreateKeyExW or of RegSetValueExW (a key created just before stays).
LONG WriteRegValue(HKEY root, const WCHAR* subKey, const WCHAR* valueName, DWORD type, const BYTE* data);

// Appends the names of the sub-keys of root\subKey to names, after what the
// list already holds. Every element is 1024 units long: the name followed by
// zero units. Stops at the first enumeration error.
// Returns the number of names appended; 0 when the key does not open (names
// is then unchanged).
int EnumRegSubKeys(HKEY root, const WCHAR* subKey, std::vector<std::wstring>& names);

// Appends the names and the raw data of the values of root\subKey to names
// and data, pair by pair, after what the lists already hold. Every element is
// 4096 units long: the text followed by zero units. Data are the stored bytes
// taken as UTF-16 units, at most 4096 bytes. The enumeration ends, keeping
// what it appended, at the first value whose name needs more than 4096 units
// with its terminator or whose data exceed 4096 bytes, or at any other error.
// Returns the number of values appended; 0 when the key does not open (both
// lists are then unchanged).
int EnumRegValues(HKEY root, const WCHAR* subKey, std::vector<std::wstring>& names,
                  std::vector<std::wstring>& data);
