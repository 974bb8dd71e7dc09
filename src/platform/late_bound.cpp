#include <windows.h>

#include "platform/late_bound.h"

namespace {

const NTSTATUS kProcedureNotFound = static_cast<NTSTATUS>(0xC000007A); // STATUS_PROCEDURE_NOT_FOUND

#ifdef FULLCHECK_TEST_SEAM
} // namespace

// Only in the tests' copies of this library (tests/support/seam.h): the
// answer a test put in place of the call name, or null for the platform's
// own; SeamMissing()'s answer stands for a call the platform lacks. The
// program itself is built without them.
FARPROC SeamReplacement(const char* name);
FARPROC SeamMissing();

namespace {
#endif

// The address of the call name in module (null: none). In the tests'
// copies a test may answer it instead, or make it missing.
FARPROC FindCall(HMODULE module, const char* name)
{
#ifdef FULLCHECK_TEST_SEAM
    if (FARPROC replacement = SeamReplacement(name)) {
        return replacement == SeamMissing() ? nullptr : replacement;
    }
#endif
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
}

// kernel32 is in every process from its start: never loaded, never searched.
FARPROC FindKernel32Call(const char* name)
{
    return FindCall(GetModuleHandleW(L"kernel32.dll"), name);
}

// The flags that keep the dependencies of a DLL loaded by its full system
// path in the system folder too. LOAD_LIBRARY_SEARCH_SYSTEM32 exists where
// AddDllDirectory does (Windows 8, or 7 and Vista with their update), and
// is refused elsewhere; there the altered search path starts with the DLL's
// own folder instead of the program's.
DWORD SystemDependencyFlags()
{
    if (FindKernel32Call("AddDllDirectory") != nullptr) {
        return LOAD_LIBRARY_SEARCH_SYSTEM32;
    }
    return LOAD_WITH_ALTERED_SEARCH_PATH;
}

// The system folder's path in path (MAX_PATH units); 0 on failure. Found
// like the calls below, so that its failure can be answered too.
UINT SystemFolder(WCHAR* path)
{
    auto call = reinterpret_cast<UINT(WINAPI*)(LPWSTR, UINT)>(
        reinterpret_cast<void*>(FindKernel32Call("GetSystemDirectoryW")));
    return call ? call(path, MAX_PATH) : 0;
}

// A DLL already in the process, or else loaded by its full path in the
// system folder: never found by a search that could reach the program's own
// or the current folder. Null when neither can be done: the DLL is then
// missing, as are its calls.
HMODULE LoadSystemDll(const WCHAR* name)
{
    HMODULE module = GetModuleHandleW(name);
    if (module != nullptr) {
        return module;
    }
    WCHAR path[MAX_PATH];
    UINT length = SystemFolder(path);
    if (length == 0 || length + 1 + lstrlenW(name) >= MAX_PATH) {
        return nullptr;
    }
    path[length] = L'\\';
    lstrcpyW(path + length + 1, name);
    return LoadLibraryExW(path, nullptr, SystemDependencyFlags());
}

// The result of a missing advapi32 or shell32 call.
const LONG kProcNotFound = ERROR_PROC_NOT_FOUND;

// The failure result of a missing user32 or kernel32 call, with the last
// error its callers may read.
template <typename Result> Result NotFound(Result result)
{
    SetLastError(ERROR_PROC_NOT_FOUND);
    return result;
}

template <typename Function> Function LookUp(const WCHAR* dll, const char* name)
{
#ifdef FULLCHECK_TEST_SEAM
    // A call that a test answers loads no DLL: a missing one stays missing.
    if (SeamReplacement(name) != nullptr) {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(FindCall(nullptr, name)));
    }
#endif
    return reinterpret_cast<Function>(reinterpret_cast<void*>(FindCall(LoadSystemDll(dll), name)));
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

BOOL SetDefaultDllDirectories(DWORD directoryFlags)
{
    auto call = LookUp<BOOL(WINAPI*)(DWORD)>(L"kernel32.dll", "SetDefaultDllDirectories");
    return call ? call(directoryFlags) : NotFound(FALSE);
}

BOOL SetDllDirectoryW(LPCWSTR pathName)
{
    auto call = LookUp<BOOL(WINAPI*)(LPCWSTR)>(L"kernel32.dll", "SetDllDirectoryW");
    return call ? call(pathName) : NotFound(FALSE);
}

BOOL SetProcessMitigationPolicy(PROCESS_MITIGATION_POLICY mitigationPolicy, PVOID buffer, SIZE_T length)
{
    using Call = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
    auto call = LookUp<Call>(L"kernel32.dll", "SetProcessMitigationPolicy");
    return call ? call(mitigationPolicy, buffer, length) : NotFound(FALSE);
}

BOOL ProcessIdToSessionId(DWORD processId, DWORD* sessionId)
{
    auto call = LookUp<BOOL(WINAPI*)(DWORD, DWORD*)>(L"kernel32.dll", "ProcessIdToSessionId");
    return call ? call(processId, sessionId) : NotFound(FALSE);
}

BOOL CancelSynchronousIo(HANDLE thread)
{
    auto call = LookUp<BOOL(WINAPI*)(HANDLE)>(L"kernel32.dll", "CancelSynchronousIo");
    return call ? call(thread) : NotFound(FALSE);
}

DWORD WTSGetActiveConsoleSessionId()
{
    auto call = LookUp<DWORD(WINAPI*)()>(L"kernel32.dll", "WTSGetActiveConsoleSessionId");
    return call ? call() : 0;
}

DWORD GetThreadId(HANDLE thread)
{
    auto call = LookUp<DWORD(WINAPI*)(HANDLE)>(L"kernel32.dll", "GetThreadId");
    return call ? call(thread) : NotFound(0ul);
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId)
{
    auto call = LookUp<decltype(&::CreateThread)>(L"kernel32.dll", "CreateThread");
    return call ? call(security, stackSize, start, parameter, flags, threadId)
                : NotFound(static_cast<HANDLE>(nullptr));
}

UINT RegisterWindowMessageA(LPCSTR name)
{
    auto call = LookUp<decltype(&::RegisterWindowMessageA)>(L"user32.dll", "RegisterWindowMessageA");
    return call ? call(name) : NotFound(0u);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto call = LookUp<decltype(&::PostMessageW)>(L"user32.dll", "PostMessageW");
    return call ? call(window, message, wParam, lParam) : NotFound(FALSE);
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    auto call = LookUp<decltype(&::MessageBoxW)>(L"user32.dll", "MessageBoxW");
    return call ? call(owner, text, caption, type) : NotFound(0);
}

HWINSTA GetProcessWindowStation()
{
    auto call = LookUp<decltype(&::GetProcessWindowStation)>(L"user32.dll", "GetProcessWindowStation");
    return call ? call() : NotFound(static_cast<HWINSTA>(nullptr));
}

BOOL GetUserObjectInformationW(HANDLE object, int index, PVOID information, DWORD length,
                               LPDWORD lengthNeeded)
{
    auto call = LookUp<decltype(&::GetUserObjectInformationW)>(L"user32.dll", "GetUserObjectInformationW");
    return call ? call(object, index, information, length, lengthNeeded) : NotFound(FALSE);
}

HWND GetShellWindow()
{
    auto call = LookUp<decltype(&::GetShellWindow)>(L"user32.dll", "GetShellWindow");
    return call ? call() : NotFound(static_cast<HWND>(nullptr));
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId)
{
    auto call = LookUp<decltype(&::GetWindowThreadProcessId)>(L"user32.dll", "GetWindowThreadProcessId");
    return call ? call(window, processId) : NotFound(0ul);
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result)
{
    auto call = LookUp<decltype(&::RegOpenKeyExW)>(L"advapi32.dll", "RegOpenKeyExW");
    return call ? call(key, subKey, options, desired, result) : kProcNotFound;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    auto call = LookUp<decltype(&::RegCreateKeyExW)>(L"advapi32.dll", "RegCreateKeyExW");
    return call ? call(key, subKey, reserved, keyClass, options, desired, security, result, disposition)
                : kProcNotFound;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    auto call = LookUp<decltype(&::RegQueryValueExW)>(L"advapi32.dll", "RegQueryValueExW");
    return call ? call(key, valueName, reserved, type, data, size) : kProcNotFound;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    auto call = LookUp<decltype(&::RegSetValueExW)>(L"advapi32.dll", "RegSetValueExW");
    return call ? call(key, valueName, reserved, type, data, size) : kProcNotFound;
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameUnits, LPDWORD reserved, LPWSTR keyClass,
                   LPDWORD classUnits, PFILETIME lastWriteTime)
{
    auto call = LookUp<decltype(&::RegEnumKeyExW)>(L"advapi32.dll", "RegEnumKeyExW");
    return call ? call(key, index, name, nameUnits, reserved, keyClass, classUnits, lastWriteTime)
                : kProcNotFound;
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameUnits, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD size)
{
    auto call = LookUp<decltype(&::RegEnumValueW)>(L"advapi32.dll", "RegEnumValueW");
    return call ? call(key, index, name, nameUnits, reserved, type, data, size) : kProcNotFound;
}

LONG RegCloseKey(HKEY key)
{
    auto call = LookUp<decltype(&::RegCloseKey)>(L"advapi32.dll", "RegCloseKey");
    return call ? call(key) : kProcNotFound;
}

BOOL OpenProcessToken(HANDLE process, DWORD desired, PHANDLE token)
{
    auto call = LookUp<decltype(&::OpenProcessToken)>(L"advapi32.dll", "OpenProcessToken");
    return call ? call(process, desired, token) : NotFound(FALSE);
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS informationClass, LPVOID information,
                         DWORD length, PDWORD returnLength)
{
    auto call = LookUp<decltype(&::GetTokenInformation)>(L"advapi32.dll", "GetTokenInformation");
    return call ? call(token, informationClass, information, length, returnLength) : NotFound(FALSE);
}

BOOL LookupAccountSidW(LPCWSTR systemName, PSID sid, LPWSTR name, LPDWORD nameUnits, LPWSTR domain,
                       LPDWORD domainUnits, PSID_NAME_USE use)
{
    auto call = LookUp<decltype(&::LookupAccountSidW)>(L"advapi32.dll", "LookupAccountSidW");
    return call ? call(systemName, sid, name, nameUnits, domain, domainUnits, use) : NotFound(FALSE);
}

BOOL EqualSid(PSID sid1, PSID sid2)
{
    auto call = LookUp<decltype(&::EqualSid)>(L"advapi32.dll", "EqualSid");
    return call ? call(sid1, sid2) : NotFound(FALSE);
}

BOOL WTSQuerySessionInformationW(HANDLE server, DWORD sessionId, WTS_INFO_CLASS infoClass, LPWSTR* buffer,
                                 DWORD* bytesReturned)
{
    auto call =
        LookUp<decltype(&::WTSQuerySessionInformationW)>(L"wtsapi32.dll", "WTSQuerySessionInformationW");
    return call ? call(server, sessionId, infoClass, buffer, bytesReturned) : NotFound(FALSE);
}

void WTSFreeMemory(PVOID memory)
{
    auto call = LookUp<decltype(&::WTSFreeMemory)>(L"wtsapi32.dll", "WTSFreeMemory");
    if (call) {
        call(memory);
    }
}

} // namespace late
