// Test data in Wine's real registry of the sandbox's prefix: values written
// raw under keys the tests own, values saved and put back, and the keys the
// check reads cleared.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Writes raw bytes as a value of the given type, creating the key. view is 0
// (this process's view), KEY_WOW64_32KEY or KEY_WOW64_64KEY. The status of
// the failed call, or ERROR_SUCCESS.
LONG WriteRawValue(HKEY root, const std::wstring& subKey, const WCHAR* valueName, DWORD type,
                   const void* data, DWORD byteCount, REGSAM view = 0);

// Creates subKey (and its missing parents) with no values. The status of
// the failed call, or ERROR_SUCCESS.
LONG CreateKey(HKEY root, const std::wstring& subKey, REGSAM view = 0);

// Stores exactly bytes, with no terminator counted in for a text type
// (RegSetValueExW adds one when the bytes behind the data hold one).
LONG WriteExactValue(HKEY root, const std::wstring& subKey, const WCHAR* valueName, DWORD type,
                     std::vector<BYTE> bytes, REGSAM view = 0);

// A text written with or without its terminator.
LONG WriteText(HKEY root, const std::wstring& subKey, const WCHAR* valueName, const std::wstring& text,
               bool withTerminator = true, DWORD type = REG_SZ, REGSAM view = 0);

// Deletes subKey and everything below it; a missing key is no error.
void DeleteKeyTree(HKEY root, const std::wstring& subKey, REGSAM view = 0);

// Whether subKey opens for reading in that view.
bool KeyExists(HKEY root, const std::wstring& subKey, REGSAM view = 0);

// Removes everything the check reads: the uninstall entries in both
// registry views and the host application's key with its activity values.
void ClearHostKeys();

// A value as it was stored; present false when it was not there.
struct SavedValue {
    HKEY root = nullptr;
    std::wstring key;
    std::wstring name;
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

// The value now; present false when the key or the value cannot be read.
SavedValue SaveValue(HKEY root, const std::wstring& key, const std::wstring& name);

// Puts the value back as it was saved, or deletes it when it was not there.
void RestoreValue(const SavedValue& saved);

// The user's shell folders: where the shell looks for AppData and Personal
// (Documents), as users and the shell keep them.
extern const WCHAR kUserShellFolders[];
extern const WCHAR kShellFolders[];

// AppData and Personal of both keys, for RestoreValue.
std::vector<SavedValue> SaveShellFolders();
void RestoreValues(const std::vector<SavedValue>& saved);

// Points the shell folder name ("AppData", "Personal") at path in both keys.
// The status of the first failed write, or ERROR_SUCCESS.
LONG RedirectShellFolder(const WCHAR* name, const std::wstring& path);
