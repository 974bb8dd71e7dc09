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
#include <wtsapi32.h>

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

// kernel32, the calls newer than Windows 2000 (the DLL is always there).
// Missing: FALSE with ERROR_PROC_NOT_FOUND as the last error.
BOOL SetDefaultDllDirectories(DWORD directoryFlags);
BOOL SetDllDirectoryW(LPCWSTR pathName);
BOOL SetProcessMitigationPolicy(PROCESS_MITIGATION_POLICY mitigationPolicy, PVOID buffer, SIZE_T length);
BOOL ProcessIdToSessionId(DWORD processId, DWORD* sessionId);
BOOL CancelSynchronousIo(HANDLE thread);
// Missing (Windows 2000): 0, the session of the console there.
DWORD WTSGetActiveConsoleSessionId();
// Missing (before Windows Vista): 0 with ERROR_PROC_NOT_FOUND, as for a
// failure.
DWORD GetThreadId(HANDLE thread);

// kernel32, a call of Windows 2000 whose failure the removal must outlive,
// reached here so that the tests' copies can give that failure. Never
// missing; null on failure, as the call itself gives, with its last error.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId);

// user32. Missing: 0 (no message id, not posted, no box shown, no window
// station) or FALSE, with ERROR_PROC_NOT_FOUND as the last error.
UINT RegisterWindowMessageA(LPCSTR name);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
HWINSTA GetProcessWindowStation();
BOOL GetUserObjectInformationW(HANDLE object, int index, PVOID information, DWORD length,
                               LPDWORD lengthNeeded);
HWND GetShellWindow();
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);

// advapi32. Missing: ERROR_PROC_NOT_FOUND, nothing opened, read or written.
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameUnits, LPDWORD reserved, LPWSTR keyClass,
                   LPDWORD classUnits, PFILETIME lastWriteTime);
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameUnits, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD size);
LONG RegCloseKey(HKEY key);

// advapi32, the process's own account. Missing: FALSE with
// ERROR_PROC_NOT_FOUND as the last error, nothing opened or written.
BOOL OpenProcessToken(HANDLE process, DWORD desired, PHANDLE token);
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS informationClass, LPVOID information,
                         DWORD length, PDWORD returnLength);
BOOL LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameUnits, LPWSTR domain,
                       LPDWORD domainUnits, PSID_NAME_USE use);
BOOL EqualSid(PSID sid1, PSID sid2);

// wtsapi32, the user signed in at a session. Missing: FALSE with
// ERROR_PROC_NOT_FOUND as the last error and no buffer handed out; a
// missing WTSFreeMemory frees nothing (there is nothing it could free).
BOOL WTSQuerySessionInformationW(HANDLE server, DWORD sessionId, WTS_INFO_CLASS infoClass, LPWSTR* buffer,
                                 DWORD* bytesReturned);
void WTSFreeMemory(PVOID memory);

} // namespace late
