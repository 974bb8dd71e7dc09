#include <windows.h>

#include "host_keys.h"
#include "test_registry.h"

const WCHAR kUserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const WCHAR kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

LONG WriteRawValue(HKEY root, const std::wstring& subKey, const WCHAR* valueName, DWORD type,
                   const void* data, DWORD byteCount, REGSAM view)
{
    HKEY key = nullptr;
    LONG status =
        RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE*>(data), byteCount);
    RegCloseKey(key);
    return status;
}

LONG CreateKey(HKEY root, const std::wstring& subKey, REGSAM view)
{
    HKEY key = nullptr;
    LONG status =
        RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
    return status;
}

LONG WriteExactValue(HKEY root, const std::wstring& subKey, const WCHAR* valueName, DWORD type,
                     std::vector<BYTE> bytes, REGSAM view)
{
    // A non-zero unit behind the data: nothing there to count in.
    DWORD count = static_cast<DWORD>(bytes.size());
    bytes.push_back(0x41);
    bytes.push_back(0x41);
    return WriteRawValue(root, subKey, valueName, type, bytes.data(), count, view);
}

LONG WriteText(HKEY root, const std::wstring& subKey, const WCHAR* valueName, const std::wstring& text,
               bool withTerminator, DWORD type, REGSAM view)
{
    std::wstring units = withTerminator ? text + L'\0' : text;
    return WriteExactValue(root, subKey, valueName, type,
                           std::vector<BYTE>(reinterpret_cast<const BYTE*>(units.data()),
                                             reinterpret_cast<const BYTE*>(units.data() + units.size())),
                           view);
}

void DeleteKeyTree(HKEY root, const std::wstring& subKey, REGSAM view)
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
    auto deleteKeyEx = reinterpret_cast<RegDeleteKeyExWProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegDeleteKeyExW")));
    if (deleteKeyEx != nullptr) {
        deleteKeyEx(root, subKey.c_str(), view, 0);
    }
}

bool KeyExists(HKEY root, const std::wstring& subKey, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void ClearHostKeys()
{
    for (const WCHAR* key : kUninstallKeys) {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY);
    }
    DeleteKeyTree(HKEY_CURRENT_USER, kVendorKey);
}

SavedValue SaveValue(HKEY root, const std::wstring& key, const std::wstring& name)
{
    SavedValue saved;
    saved.root = root;
    saved.key = key;
    saved.name = name;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return saved;
    }
    DWORD size = 0;
    if (RegQueryValueExW(handle, name.c_str(), nullptr, &saved.type, nullptr, &size) == ERROR_SUCCESS) {
        saved.bytes.resize(size);
        saved.present = RegQueryValueExW(handle, name.c_str(), nullptr, &saved.type, saved.bytes.data(),
                                         &size) == ERROR_SUCCESS;
        saved.bytes.resize(saved.present ? size : 0);
    }
    RegCloseKey(handle);
    return saved;
}

void RestoreValue(const SavedValue& saved)
{
    if (saved.present) {
        WriteRawValue(saved.root, saved.key, saved.name.c_str(), saved.type, saved.bytes.data(),
                      static_cast<DWORD>(saved.bytes.size()));
        return;
    }
    HKEY handle = nullptr;
    if (RegOpenKeyExW(saved.root, saved.key.c_str(), 0, KEY_SET_VALUE, &handle) == ERROR_SUCCESS) {
        RegDeleteValueW(handle, saved.name.c_str());
        RegCloseKey(handle);
    }
}

std::vector<SavedValue> SaveShellFolders()
{
    std::vector<SavedValue> saved;
    for (const WCHAR* key : {kUserShellFolders, kShellFolders}) {
        for (const WCHAR* name : {L"AppData", L"Personal"}) {
            saved.push_back(SaveValue(HKEY_CURRENT_USER, key, name));
        }
    }
    return saved;
}

void RestoreValues(const std::vector<SavedValue>& saved)
{
    for (const SavedValue& value : saved) {
        RestoreValue(value);
    }
}

LONG RedirectShellFolder(const WCHAR* name, const std::wstring& path)
{
    // The user's key holds the form to expand, as Windows keeps it.
    LONG status = WriteText(HKEY_CURRENT_USER, kUserShellFolders, name, path, true, REG_EXPAND_SZ);
    return status != ERROR_SUCCESS ? status : WriteText(HKEY_CURRENT_USER, kShellFolders, name, path);
}
