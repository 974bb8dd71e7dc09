#include <windows.h>

#include <share.h>
#include <stdio.h>

#include "platform/fileprobe.h"

namespace {

using GetFinalPathNameByHandleWProc = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

GetFinalPathNameByHandleWProc LookUpGetFinalPathNameByHandleW()
{
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (kernel32 == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<GetFinalPathNameByHandleWProc>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "GetFinalPathNameByHandleW")));
}

std::wstring FinalPathOf(const WCHAR* path, DWORD openFlags)
{
    GetFinalPathNameByHandleWProc getFinalPath = LookUpGetFinalPathNameByHandleW();
    if (getFinalPath == nullptr) {
        return std::wstring();
    }
    HANDLE handle = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | openFlags,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::wstring();
    }
    std::wstring finalPath;
    WCHAR buffer[1024];
    DWORD length = getFinalPath(handle, buffer, ARRAYSIZE(buffer), 0 /* FILE_NAME_NORMALIZED */);
    if (length > 0 && length < ARRAYSIZE(buffer)) {
        finalPath.assign(buffer, length);
    }
    CloseHandle(handle);
    return finalPath;
}

} // namespace

bool CanOpenForReading(const WCHAR* path)
{
    FILE* file = _wfsopen(path, L"rb", _SH_DENYNO);
    if (file == nullptr) {
        return false;
    }
    fclose(file);
    return true;
}

bool RunsOnWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::wstring GetFinalPath(const WCHAR* path)
{
    return FinalPathOf(path, FILE_FLAG_OPEN_REPARSE_POINT);
}

std::wstring GetResolvedPath(const WCHAR* path)
{
    return FinalPathOf(path, 0);
}

bool CanResolveFinalPaths()
{
    return LookUpGetFinalPathNameByHandleW() != nullptr;
}
