#include <windows.h>

#include <share.h>
#include <stdio.h>
#include <winternl.h>

#include "platform/fileprobe.h"
#include "platform/late_bound.h"

namespace {

using NtQueryObjectProc = NTSTATUS(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);

// ntdll is outside the program's import set; every NT system has the call.
NtQueryObjectProc LookUpNtQueryObject()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<NtQueryObjectProc>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryObject")));
}

bool HasWineExports()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool HasWineRegistryKey()
{
    HKEY key = nullptr;
    if (late::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Wine", 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    late::RegCloseKey(key);
    return true;
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
    return HasWineExports() || HasWineRegistryKey();
}

std::wstring GetFinalPath(const WCHAR* path)
{
    NtQueryObjectProc queryObject = LookUpNtQueryObject();
    if (queryObject == nullptr) {
        return std::wstring();
    }
    // No access asked for: the open neither reads the file nor collides with
    // the sharing of handles that others hold. No FILE_FLAG_OPEN_REPARSE_POINT:
    // the handle lands where a deletion through this path would land.
    HANDLE handle = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::wstring();
    }
    // The name is the platform's (one call, cheaper than converting it to a
    // DOS path first); UNICODE_STRING aligned as the call requires.
    union {
        OBJECT_NAME_INFORMATION info;
        BYTE bytes[sizeof(OBJECT_NAME_INFORMATION) + 4096 * sizeof(WCHAR)];
    } name;
    ULONG written = 0;
    std::wstring finalPath;
    NTSTATUS status = queryObject(handle, ObjectNameInformation, &name, sizeof(name), &written);
    if (NT_SUCCESS(status) && name.info.Name.Buffer != nullptr) {
        finalPath.assign(name.info.Name.Buffer, name.info.Name.Length / sizeof(WCHAR));
    }
    CloseHandle(handle);
    return finalPath;
}
