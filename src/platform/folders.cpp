#include <windows.h>

#include <shlobj.h>
#include <wchar.h>

#include "platform/helpers.h"
#include "platform/late_bound.h"

namespace {

const WCHAR kAppPathsKey[] = L"SOFTWARE/Microsoft/Windows/CurrentVersion/App Paths/";
// The App Paths key (52 units) and the name stay below the 260 units that
// ReadRegString accepts.
const size_t kMaxExeNameUnits = 207;

} // namespace

std::wstring GetSpecialFolderPath(int csidl)
{
    std::vector<WCHAR> buffer(MAX_PATH, L'\0');
    if (FAILED(late::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer.data()))) {
        return std::wstring();
    }
    return std::wstring(buffer.data(), wcsnlen(buffer.data(), MAX_PATH));
}

std::wstring GetWindowsFolderPath()
{
    return GetSpecialFolderPath(CSIDL_WINDOWS);
}

std::wstring GetSystemFolderPath()
{
    return GetSpecialFolderPath(CSIDL_SYSTEM);
}

std::wstring GetAppDataFolderPath()
{
    return GetSpecialFolderPath(CSIDL_APPDATA);
}

std::wstring GetProfileFolderPath()
{
    return GetSpecialFolderPath(CSIDL_PROFILE);
}

std::wstring GetLocalAppDataFolderPath()
{
    return GetSpecialFolderPath(CSIDL_LOCAL_APPDATA);
}

std::wstring GetPicturesFolderPath()
{
    return GetSpecialFolderPath(CSIDL_MYPICTURES);
}

std::wstring GetDocumentsFolderPath()
{
    return GetSpecialFolderPath(CSIDL_PERSONAL);
}

std::wstring GetTempFolderPath()
{
    WCHAR buffer[MAX_PATH] = {};
    DWORD length = GetTempPathW(MAX_PATH, buffer);
    // 0 is a failure; a count of MAX_PATH or more is the room a longer path
    // would need, with nothing written.
    if (length == 0 || length >= MAX_PATH) {
        return std::wstring();
    }
    return std::wstring(buffer, wcsnlen(buffer, MAX_PATH));
}

int FindAppPath(const WCHAR* exeName, std::wstring& folder)
{
    if (wcsnlen(exeName, kMaxExeNameUnits + 1) > kMaxExeNameUnits) {
        return 0;
    }
    std::wstring subKey = std::wstring(kAppPathsKey) + exeName;
    // Starts with a zero unit, which no text read from the registry holds: if
    // it is still there, the entry's key did not open and the caller's text
    // must stay as it was.
    std::wstring found(1, L'\0');
    // Status not examined: a missing "Path" leaves found empty, which is no
    // directory.
    ReadRegString(HKEY_LOCAL_MACHINE, subKey.c_str(), L"Path", found);
    if (found.size() == 1 && found[0] == L'\0') {
        return 0;
    }
    folder = std::move(found);
    return DirectoryExists(folder);
}

int DirectoryExists(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) {
        return 0;
    }
    return (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
}
