#include <windows.h>

#include "platform/late_bound.h"

namespace {

const NTSTATUS kProcedureNotFound = static_cast<NTSTATUS>(0xC000007A); // STATUS_PROCEDURE_NOT_FOUND

// A DLL already in the process, or else loaded by its full path in the
// system folder: never found by a search that could reach the program's own
// or the current folder.
HMODULE LoadSystemDll(const WCHAR* name)
{
    HMODULE module = GetModuleHandleW(name);
    if (module != nullptr) {
        return module;
    }
    WCHAR path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenW(name) >= MAX_PATH) {
        return nullptr;
    }
    path[length] = L'\\';
    lstrcpyW(path + length + 1, name);
    return LoadLibraryW(path);
}

template <typename Function> Function LookUp(const WCHAR* dll, const char* name)
{
    HMODULE module = LoadSystemDll(dll);
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace

namespace late {

NTSTATUS NtOpenFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                    ULONG shareAccess, ULONG openOptions)
{
    auto call = LookUp<decltype(&::NtOpenFile)>(L"ntdll.dll", "NtOpenFile");
    return call ? call(handle, access, attributes, io, shareAccess, openOptions) : kProcedureNotFound;
}

NTSTATUS NtQueryDirectoryFile(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apcRoutine, PVOID apcContext,
                              PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS informationClass, BOOLEAN returnSingleEntry,
                              PUNICODE_STRING fileName, BOOLEAN restartScan)
{
    using Call = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                  FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING, BOOLEAN);
    auto call = LookUp<Call>(L"ntdll.dll", "NtQueryDirectoryFile");
    return call ? call(handle, event, apcRoutine, apcContext, io, information, length, informationClass,
                       returnSingleEntry, fileName, restartScan)
                : kProcedureNotFound;
}

NTSTATUS NtQueryInformationFile(HANDLE handle, PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                                FILE_INFORMATION_CLASS informationClass)
{
    auto call = LookUp<decltype(&::NtQueryInformationFile)>(L"ntdll.dll", "NtQueryInformationFile");
    return call ? call(handle, io, information, length, informationClass) : kProcedureNotFound;
}

NTSTATUS NtSetInformationFile(HANDLE handle, PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS informationClass)
{
    auto call = LookUp<decltype(&::NtSetInformationFile)>(L"ntdll.dll", "NtSetInformationFile");
    return call ? call(handle, io, information, length, informationClass) : kProcedureNotFound;
}

NTSTATUS NtQueryObject(HANDLE handle, OBJECT_INFORMATION_CLASS informationClass, PVOID information,
                       ULONG length, PULONG returnLength)
{
    auto call = LookUp<decltype(&::NtQueryObject)>(L"ntdll.dll", "NtQueryObject");
    return call ? call(handle, informationClass, information, length, returnLength) : kProcedureNotFound;
}

HRESULT SHGetFolderPathW(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path)
{
    auto call = LookUp<decltype(&::SHGetFolderPathW)>(L"shell32.dll", "SHGetFolderPathW");
    return call ? call(owner, csidl, token, flags, path) : E_NOTIMPL;
}

} // namespace late
