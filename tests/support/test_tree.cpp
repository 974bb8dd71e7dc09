#include <windows.h>

#include <shlobj.h>

#include <algorithm>

#include "test_tree.h"

namespace {

std::wstring ShellFolder(int csidl)
{
    WCHAR path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return std::wstring();
    }
    return path;
}

void CollectSnapshot(const std::wstring& root, const std::wstring& relative,
                     const std::vector<std::wstring>& skip, std::vector<std::wstring>& lines)
{
    std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(Long(folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        bool skipped = std::any_of(skip.begin(), skip.end(), [&](const std::wstring& left) {
            return _wcsicmp(path.c_str(), left.c_str()) == 0 || !RelativeTo(left, path).empty();
        });
        if (skipped) {
            continue;
        }
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            lines.push_back(path + L"/");
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                CollectSnapshot(root, path, skip, lines);
            }
        } else {
            lines.push_back(path + L" " + std::to_wstring(entry.nFileSizeLow));
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

} // namespace

std::wstring RoamingAppData()
{
    return ShellFolder(CSIDL_APPDATA);
}

std::wstring Documents()
{
    return ShellFolder(CSIDL_PERSONAL);
}

std::wstring TempFolder()
{
    WCHAR temp[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(ARRAYSIZE(temp), temp);
    return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(temp, length);
}

std::wstring WorkFolder()
{
    std::wstring temp = TempFolder();
    if (temp.empty()) {
        return temp;
    }
    std::wstring folder = temp + L"fullcheck-e2e";
    CreateDirectoryW(folder.c_str(), nullptr); // result not examined: it may be there already
    return folder;
}

std::wstring ParentOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring RelativeTo(const std::wstring& root, const std::wstring& path)
{
    if (path.size() > root.size() + 1 && _wcsnicmp(path.c_str(), root.c_str(), root.size()) == 0 &&
        path[root.size()] == L'\\') {
        return path.substr(root.size() + 1);
    }
    return std::wstring();
}

std::wstring Long(const std::wstring& path)
{
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
        return L"\\\\?\\" + path;
    }
    return path;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(Long(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(Long(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolders(const std::wstring& path)
{
    if (path.empty() || IsFolder(path)) {
        return !path.empty();
    }
    std::wstring parent = ParentOf(path);
    if (parent.size() > 2 && !MakeFolders(parent)) {
        return false;
    }
    return CreateDirectoryW(Long(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteTextFile(const std::wstring& path, const std::string& text)
{
    if (!MakeFolders(ParentOf(path))) {
        return false;
    }
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

std::string ReadTextFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    CloseHandle(file);
    return text;
}

void RemoveTree(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(Long(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return;
    }
    // Read-only entries go too.
    SetFileAttributesW(Long(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(Long(path).c_str());
        return;
    }
    for (const std::wstring& name : ListFolder(path)) {
        RemoveTree(path + L"\\" + name);
    }
    RemoveDirectoryW(Long(path).c_str());
}

std::vector<std::wstring> ListFolder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(Long(folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

std::vector<std::wstring> Snapshot(const std::wstring& root, const std::vector<std::wstring>& skip)
{
    std::vector<std::wstring> lines;
    CollectSnapshot(root, L"", skip, lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}
