// System calls that the program reaches at run time rather than through its
// import table: the NT calls of ntdll (outside the import set), calls newer
// than the image's subsystem version, and the calls of the system DLLs that
// must not be loaded before the DLL search is restricted.
//
// Each function has the name, arguments and result of the Windows call it
// stands for. It looks the call up every time (nothing is kept between
// calls), loading a missing DLL from the system folder only, and when the
// DLL or the call is missing it does nothing and returns the failure result
// named in its group below.
#pragma once

#include <windows.h>

#include <shlobj.h>
#include <winternl.h>

namespace late {

// ntdll. Missing: STATUS_PROCEDURE_NOT_FOUND.
NTSTATUS NtOpenFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                    ULONG shareAccess, ULONG openOptions);
NTSTATUS NtQueryDirectoryFile(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apcRoutine, PVOID apcContext,
                              PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS informationClass, BOOLEAN returnSingleEntry,
                              PUNICODE_STRING fileName, BOOLEAN restartScan);
NTSTATUS NtQueryInformationFile(HANDLE handle, PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                                FILE_INFORMATION_CLASS informationClass);
NTSTATUS NtSetInformationFile(HANDLE handle, PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS informationClass);
NTSTATUS NtQueryObject(HANDLE handle, OBJECT_INFORMATION_CLASS informationClass, PVOID information,
                       ULONG length, PULONG returnLength);

// shell32. Missing: E_NOTIMPL, the buffer untouched.
HRESULT SHGetFolderPathW(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path);

} // namespace late
