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
