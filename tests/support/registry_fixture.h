// Writing test data into Wine's real registry, under keys the tests own.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Writes raw bytes as a value of the given type, creating the key. view is 0
// (this process's view), KEY_WOW64_32KEY or KEY_WOW64_64KEY.
inline LONG WriteRawValue(HKEY root, const std::wstring& subKey, const WCHAR* valueName, DWORD type,
                          const void* data, DWORD byteCount, REGSAM view = 0)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                                  &key, nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE*>(data), byteCount);
    RegCloseKey(key);
    return status;
}

// A text written with or without its terminator. RegSetValueExW counts in a
// terminator that follows the given bytes in memory (as Windows does), so an
// unterminated text is passed with a non-zero unit behind it.
inline LONG WriteText(HKEY root, const std::wstring& subKey, const WCHAR* valueName,
                      const std::wstring& text, bool withTerminator = true, DWORD type = REG_SZ,
                      REGSAM view = 0)
{
    std::wstring data = withTerminator ? text + L'\0' : text + L'!';
    DWORD bytes = static_cast<DWORD>((withTerminator ? data.size() : text.size()) * sizeof(WCHAR));
    return WriteRawValue(root, subKey, valueName, type, data.c_str(), bytes, view);
}

// Deletes subKey and everything below it; a missing key is no error.
inline void DeleteKeyTree(HKEY root, const std::wstring& subKey, REGSAM view = 0)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) {
        return;
    }
    std::vector<std::wstring> children;
    WCHAR name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = ARRAYSIZE(name);
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        children.emplace_back(name, length);
    }
    RegCloseKey(key);
    for (const std::wstring& child : children) {
        DeleteKeyTree(root, subKey + L"\\" + child, view);
    }
    if (view == 0) {
        RegDeleteKeyW(root, subKey.c_str());
        return;
    }
    // RegDeleteKeyExW is missing from the Windows 2000 headers; Wine has it.
    using RegDeleteKeyExWProc = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
    auto deleteKeyEx = reinterpret_cast<RegDeleteKeyExWProc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegDeleteKeyExW")));
    if (deleteKeyEx != nullptr) {
        deleteKeyEx(root, subKey.c_str(), view, 0);
    }
}

inline bool KeyExists(HKEY root, const std::wstring& subKey, REGSAM view = 0)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}
