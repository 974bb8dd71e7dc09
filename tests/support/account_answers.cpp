#include "account_answers.h"

#include <windows.h>

#include <wtsapi32.h>

#include "seam.h"

namespace {

// The standard user at the screen, who is not the account the program runs
// as (an account name may hold a blank; no Unix user that Wine runs as can).
const WCHAR kSessionUser[] = L"Anna Berger";

using QuerySession = BOOL(WINAPI*)(HANDLE, DWORD, WTS_INFO_CLASS, LPWSTR*, DWORD*);
using FreeMemory = void(WINAPI*)(PVOID);

// Every buffer handed out here is a copy on the process heap, so one
// WTSFreeMemory frees them all, passed-through answers included.
LPWSTR CopyToHeap(const WCHAR* text, DWORD* bytesReturned)
{
    DWORD bytes = static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(WCHAR));
    auto copy = static_cast<LPWSTR>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (copy != nullptr) {
        lstrcpyW(copy, text);
        *bytesReturned = bytes;
    }
    return copy;
}

// Over-the-shoulder elevation and runas: UAC's consent prompt (or runas)
// logs the typed account on and the program runs with that account's
// token, in the session of the user signed in at the screen; the session's
// WTSUserName is "the name of the user associated with the session"
// (WTS_INFO_CLASS, Microsoft's WTSQuerySessionInformationW documentation),
// that user's and not the token's. Its domain (WTSDomainName) is the same
// computer's for two local accounts, so it is passed on as Wine gives it.
BOOL WINAPI AnswerSessionOfAnotherUser(HANDLE server, DWORD session, WTS_INFO_CLASS infoClass, LPWSTR* buffer,
                                       DWORD* bytesReturned)
{
    if (infoClass == WTSUserName) {
        *buffer = CopyToHeap(kSessionUser, bytesReturned);
        return *buffer != nullptr;
    }
    HMODULE wtsapi32 = LoadLibraryW(L"wtsapi32.dll");
    auto query = reinterpret_cast<QuerySession>(
        reinterpret_cast<void*>(GetProcAddress(wtsapi32, "WTSQuerySessionInformationW")));
    auto free =
        reinterpret_cast<FreeMemory>(reinterpret_cast<void*>(GetProcAddress(wtsapi32, "WTSFreeMemory")));
    LPWSTR text = nullptr;
    if (query == nullptr || free == nullptr || !query(server, session, infoClass, &text, bytesReturned)) {
        return FALSE;
    }
    *buffer = CopyToHeap(text, bytesReturned);
    free(text);
    return *buffer != nullptr;
}

// The session query refused: with the Terminal Services service stopped or
// disabled, and on Windows 2000 without Terminal Services, the WTS calls
// "return simple failure" (Microsoft KB 254072); the query then returns
// zero (WTSQuerySessionInformationW documentation) with the RPC error of a
// service that does not answer.
BOOL WINAPI AnswerSessionQueryRefused(HANDLE, DWORD, WTS_INFO_CLASS, LPWSTR* buffer, DWORD*)
{
    *buffer = nullptr;
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return FALSE;
}

// The shell's window: GetShellWindow "retrieves a handle to the Shell's
// desktop window" (Microsoft's documentation), a window of the desktop's
// explorer.exe, which runs as the user signed in at the session. Wine sets
// none; its desktop window, also of its explorer.exe and so of its one
// user, stands in for it.
HWND WINAPI AnswerShellWindow()
{
    return SeamOriginalAs<HWND(WINAPI*)()>("GetDesktopWindow")();
}

// No shell: GetShellWindow returns NULL "if there is no Shell window", as
// in a session where no explorer runs (Wine 10's desktop becomes a shell
// once a window of the desktop was asked for, Wine 8's never does).
HWND WINAPI AnswerNoShell()
{
    return nullptr;
}

// The shell run by another account: a token opened for any other process
// than this one reports another user (GetTokenInformation, TokenUser: "the
// user associated with an access token"), a local account of another
// computer's SID, never the one this process runs as.
HANDLE g_otherProcessToken = nullptr;

BOOL WINAPI AnswerOpenProcessToken(HANDLE process, DWORD desired, PHANDLE token)
{
    BOOL opened =
        SeamOriginalAs<BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE)>("OpenProcessToken")(process, desired, token);
    if (opened && GetProcessId(process) != GetCurrentProcessId()) {
        g_otherProcessToken = *token;
    }
    return opened;
}

BOOL WINAPI AnswerTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS informationClass, LPVOID information,
                                   DWORD length, PDWORD returnLength)
{
    using Call = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
    if (token != g_otherProcessToken || informationClass != TokenUser) {
        return SeamOriginalAs<Call>("GetTokenInformation")(token, informationClass, information, length,
                                                           returnLength);
    }
    struct OtherUser {
        TOKEN_USER user;
        SID sid;
        DWORD moreSubAuthorities[4];
    };
    *returnLength = sizeof(OtherUser);
    if (length < sizeof(OtherUser)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto other = static_cast<OtherUser*>(information);
    other->sid = SID{SID_REVISION, 5, SECURITY_NT_AUTHORITY, {SECURITY_NT_NON_UNIQUE}};
    const DWORD rest[] = {1004336348, 1177238915, 682003330, 1001};
    for (int i = 0; i < 4; ++i) {
        other->moreSubAuthorities[i] = rest[i];
    }
    other->user.User.Sid = &other->sid;
    other->user.User.Attributes = 0;
    return TRUE;
}

// Session 0 since Windows Vista: services only, "no user is logged on"
// (Session 0 isolation), so its WTSUserName, "the name of the user
// associated with the session", is empty. Other texts as Wine gives them.
BOOL WINAPI AnswerSessionWithoutUser(HANDLE server, DWORD session, WTS_INFO_CLASS infoClass, LPWSTR* buffer,
                                     DWORD* bytesReturned)
{
    if (infoClass == WTSUserName) {
        *buffer = CopyToHeap(L"", bytesReturned);
        return *buffer != nullptr;
    }
    return AnswerSessionOfAnotherUser(server, session, infoClass, buffer, bytesReturned);
}

// A SID that cannot be named: LookupAccountSidW fails with
// ERROR_NONE_MAPPED ("No mapping between account names and security IDs
// was done"), as for a domain account whose domain cannot be reached.
BOOL WINAPI AnswerAccountNameUnknown(LPCWSTR, PSID, LPWSTR, LPDWORD, LPWSTR, LPDWORD, PSID_NAME_USE)
{
    SetLastError(ERROR_NONE_MAPPED);
    return FALSE;
}

// A shell whose process this one may not open (OpenProcess: access is
// checked against the process's security descriptor; a protected or more
// privileged process refuses): its window names a process id that no
// OpenProcess here opens.
DWORD WINAPI AnswerShellProcessNotOpenable(HWND, LPDWORD processId)
{
    *processId = 0xFFFFFFFC;
    return 1;
}

// The shell's token refused: OpenProcessToken checks the access asked for
// against the token's DACL, which another account's token need not grant.
// This process's own token still opens.
BOOL WINAPI AnswerOtherTokensRefused(HANDLE process, DWORD desired, PHANDLE token)
{
    if (GetProcessId(process) != GetCurrentProcessId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return SeamOriginalAs<BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE)>("OpenProcessToken")(process, desired, token);
}

void WINAPI FreeHeapCopy(PVOID memory)
{
    HeapFree(GetProcessHeap(), 0, memory);
}

} // namespace

void InstallSessionOfAnotherUser()
{
    SeamReplaceWith("WTSQuerySessionInformationW", &AnswerSessionOfAnotherUser);
    SeamReplaceWith("WTSFreeMemory", &FreeHeapCopy);
}

void InstallSessionQueryRefused()
{
    SeamReplaceWith("WTSQuerySessionInformationW", &AnswerSessionQueryRefused);
    SeamReplaceWith("WTSFreeMemory", &FreeHeapCopy);
}

void InstallShellOfThisUser()
{
    SeamReplaceWith("GetShellWindow", &AnswerShellWindow);
}

void InstallNoShell()
{
    SeamReplaceWith("GetShellWindow", &AnswerNoShell);
}

void InstallShellOfAnotherUser()
{
    g_otherProcessToken = nullptr;
    SeamReplaceWith("GetShellWindow", &AnswerShellWindow);
    SeamReplaceWith("OpenProcessToken", &AnswerOpenProcessToken);
    SeamReplaceWith("GetTokenInformation", &AnswerTokenInformation);
}

void InstallSessionWithoutUser()
{
    SeamReplaceWith("WTSQuerySessionInformationW", &AnswerSessionWithoutUser);
    SeamReplaceWith("WTSFreeMemory", &FreeHeapCopy);
}

void InstallAccountNameUnknown()
{
    SeamReplaceWith("LookupAccountSidW", &AnswerAccountNameUnknown);
}

void InstallShellNotOpenable()
{
    SeamReplaceWith("GetWindowThreadProcessId", &AnswerShellProcessNotOpenable);
}

void InstallShellTokenRefused()
{
    SeamReplaceWith("OpenProcessToken", &AnswerOtherTokensRefused);
}
