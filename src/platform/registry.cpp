#include <windows.h>

#include "platform/helpers.h"
#include "platform/late_bound.h"

namespace {

const DWORD kSubKeyNameUnits = 1024;
const DWORD kValueNameUnits = 4096;
const DWORD kValueDataUnits = 4096;
const DWORD kValueDataBytes = 4096; // half the data element: the element stays zero-terminated

// Bytes WriteRegValue stores for each type; other types rely on the caller's
// contract of at least 260 bytes.
DWORD WrittenByteCount(DWORD type, const BYTE* data)
{
    if (type == REG_SZ) {
        return static_cast<DWORD>((lstrlenW(reinterpret_cast<const WCHAR*>(data)) + 1) * sizeof(WCHAR));
    }
    return type == REG_DWORD ? 4 : 260;
}

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
    if (late::RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD storedType = type;
    // Status not examined: callers preset data and read what is left in it.
    late::RegQueryValueExW(key, valueName, nullptr, &storedType, data, &capacity);
    late::RegCloseKey(key);
    return 1;
}

LONG ReadRegString(HKEY root, const WCHAR* subKey, const WCHAR* valueName, std::wstring& value)
{
    WCHAR path[MAX_PATH];
    if (!CopySubKey(subKey, path)) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    HKEY key = nullptr;
    LONG status = late::RegOpenKeyExW(root, path, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) {
        return status;
    }

    DWORD type = REG_NONE;
    DWORD size = 260;
    // Status not examined: a probe that fails leaves 260, and the read below
    // reports the failure.
    late::RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size);

    // One unit more than the probed byte count: twice the data's room, so a
    // zero unit follows whatever the read stores, terminated or not.
    std::vector<WCHAR> buffer(static_cast<size_t>(size) + 1, L'\0');
    status =
        late::RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    value.assign(buffer.data());
    late::RegCloseKey(key);
    return status;
}

LONG WriteRegValue(HKEY root, const WCHAR* subKey, const WCHAR* valueName, DWORD type, const BYTE* data)
{
    WCHAR path[MAX_PATH];
    if (!CopySubKey(subKey, path)) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    HKEY key = nullptr;
    DWORD disposition = 0; // not examined: a new key and an existing one are written alike
    LONG status = late::RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                        nullptr, &key, &disposition);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = late::RegSetValueExW(key, valueName, 0, type, data, WrittenByteCount(type, data));
    late::RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : status;
}

int EnumRegSubKeys(HKEY root, const WCHAR* subKey, std::vector<std::wstring>& names)
{
    HKEY key = nullptr;
    if (late::RegOpenKeyExW(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return 0;
    }
    int appended = 0;
    for (DWORD index = 0;; ++index) {
        std::wstring name(kSubKeyNameUnits, L'\0');
        DWORD nameUnits = kSubKeyNameUnits;
        if (late::RegEnumKeyExW(key, index, &name[0], &nameUnits, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.push_back(std::move(name));
        ++appended;
    }
    late::RegCloseKey(key);
    return appended;
}

int EnumRegValues(HKEY root, const WCHAR* subKey, std::vector<std::wstring>& names,
                  std::vector<std::wstring>& data)
{
    HKEY key = nullptr;
    if (late::RegOpenKeyExW(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return 0;
    }
    int appended = 0;
    for (DWORD index = 0;; ++index) {
        std::wstring name(kValueNameUnits, L'\0');
        std::wstring bytes(kValueDataUnits, L'\0');
        DWORD nameUnits = kValueNameUnits;
        DWORD byteCount = kValueDataBytes;
        DWORD type = REG_NONE; // not examined: every type is kept as its raw bytes
        if (late::RegEnumValueW(key, index, &name[0], &nameUnits, nullptr, &type,
                                reinterpret_cast<BYTE*>(&bytes[0]), &byteCount) != ERROR_SUCCESS) {
            break;
        }
        names.push_back(std::move(name));
        data.push_back(std::move(bytes));
        ++appended;
    }
    late::RegCloseKey(key);
    return appended;
}
