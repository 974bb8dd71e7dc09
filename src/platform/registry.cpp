#include <windows.h>

#include "platform/helpers.h"

namespace {

// Copies subKey into a MAX_PATH buffer with every '/' turned into '\'.
// Fails, leaving nothing to open, when subKey does not fit with its
// terminator: a truncated path could name another key.
bool CopySubKey(const WCHAR* subKey, WCHAR (&path)[MAX_PATH])
{
    size_t length = 0;
    while (length < MAX_PATH && subKey[length] != L'\0') {
        path[length] = subKey[length] == L'/' ? L'\\' : subKey[length];
        ++length;
    }
    if (length == MAX_PATH) {
        return false;
    }
    ZeroMemory(path + length, (MAX_PATH - length) * sizeof(WCHAR));
    return true;
}

} // namespace

int ReadRegValue(HKEY root, const WCHAR* subKey, const WCHAR* valueName, DWORD type, BYTE* data)
{
    DWORD capacity = type == REG_DWORD ? 4 : 260;
    WCHAR path[MAX_PATH];
    if (!CopySubKey(subKey, path)) {
        return 0;
    }

    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD storedType = type;
    // Status not examined: callers preset data and read what is left in it.
    RegQueryValueExW(key, valueName, nullptr, &storedType, data, &capacity);
    RegCloseKey(key);
    return 1;
}
