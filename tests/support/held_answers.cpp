#include "held_answers.h"

#include <windows.h>

#include <shlobj.h>
#include <winternl.h>

#include <cstring>
#include <string>
#include <vector>

#include "seam.h"

namespace {

const NTSTATUS kStatusOplockBreakInProgress = static_cast<NTSTATUS>(0x00000108);
const NTSTATUS kStatusAccessDenied = static_cast<NTSTATUS>(0xC0000022);

using NtOpenFileCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, ULONG,
                                        ULONG);

struct Held {
    bool oplockBreaks = false;
    bool writeAttributesDenied = false;
    bool stalledListing = false;
    bool stalledOpen = false;
    bool stalledDisposition = false;
    bool stalledAppDataLookup = false;
    bool slowOpen = false;
    volatile LONG breaksLeft = -1;
    volatile LONG waitsAsked = 0;
    volatile LONG stalled = 0;
};
Held g_held;
// Set once the stalls may end; made with the first stall answer.
HANDLE g_release = nullptr;

std::wstring Lower(std::wstring text)
{
    for (WCHAR& c : text) {
        c = (c >= L'A' && c <= L'Z') ? static_cast<WCHAR>(c - L'A' + L'a') : c;
    }
    return text;
}

// The full name an open asks for, in lower case.
std::wstring OpenedName(POBJECT_ATTRIBUTES attributes)
{
    if (attributes == nullptr || attributes->ObjectName == nullptr) {
        return std::wstring();
    }
    std::wstring name(attributes->ObjectName->Buffer, attributes->ObjectName->Length / sizeof(WCHAR));
    if (attributes->RootDirectory != nullptr) {
        name = SeamHandleName(attributes->RootDirectory) + L"\\" + name;
    }
    return Lower(name);
}

std::wstring LastComponent(const std::wstring& path)
{
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool IsInside(const std::wstring& lowerName, const WCHAR* folder)
{
    return lowerName.find(std::wstring(L"\\") + folder + L"\\") != std::wstring::npos;
}

// A call that does not return, as a network share that stopped answering or
// a filter driver that holds the request leaves it: synchronous I/O on
// Windows returns when the request completes (NtQueryDirectoryFile,
// NtCreateFile and NtSetInformationFile with FILE_SYNCHRONOUS_IO_NONALERT:
// "the caller waits for the I/O to complete"), and nothing bounds how long
// a driver takes to complete it.
void Stall()
{
    InterlockedIncrement(&g_held.stalled);
    WaitForSingleObject(g_release, INFINITE);
    InterlockedDecrement(&g_held.stalled);
}

// A shell folder redirected to a share that stopped answering: the look-up
// of the roaming application-data folder, which creates the folder where it
// is missing (CSIDL_FLAG_CREATE), waits on the share as any I/O there does.
HRESULT WINAPI AnswerFolderPath(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path)
{
    if (g_held.stalledAppDataLookup && (csidl & ~CSIDL_FLAG_MASK) == CSIDL_APPDATA) {
        Stall();
    }
    using Call = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    return SeamOriginalAs<Call>("SHGetFolderPathW")(owner, csidl, token, flags, path);
}

} // namespace

bool InstallHeldAnswer(const char* name)
{
    struct Choice {
        const char* name;
        bool* flag;
    };
    const Choice choices[] = {
        {"oplock-break-in-progress", &g_held.oplockBreaks},
        {"write-attributes-denied", &g_held.writeAttributesDenied},
        {"stalled-listing", &g_held.stalledListing},
        {"stalled-open", &g_held.stalledOpen},
        {"stalled-disposition", &g_held.stalledDisposition},
        {"stalled-appdata-lookup", &g_held.stalledAppDataLookup},
        {"slow-open", &g_held.slowOpen},
    };
    for (const Choice& choice : choices) {
        if (std::strcmp(choice.name, name) == 0) {
            if (g_release == nullptr) {
                g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            }
            *choice.flag = true;
            if (choice.flag == &g_held.stalledAppDataLookup) {
                SeamReplaceWith("SHGetFolderPathW", &AnswerFolderPath);
            }
            return true;
        }
    }
    return false;
}

void ForgetHeldAnswers()
{
    g_held.oplockBreaks = g_held.writeAttributesDenied = false;
    g_held.stalledListing = g_held.stalledOpen = g_held.stalledDisposition = g_held.slowOpen = false;
    g_held.stalledAppDataLookup = false;
    g_held.breaksLeft = -1;
    g_held.waitsAsked = 0;
}

void SetOplockBreaks(int opens)
{
    g_held.breaksLeft = opens;
}

int OplockWaitsAsked()
{
    return g_held.waitsAsked;
}

int StalledCalls()
{
    return g_held.stalled;
}

void ReleaseStalls()
{
    if (g_release != nullptr) {
        SetEvent(g_release);
    }
}

bool AnswerHeldOpen(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                    ULONG shareAccess, ULONG openOptions, NTSTATUS& status)
{
    if (!g_held.oplockBreaks && !g_held.writeAttributesDenied && !g_held.stalledOpen && !g_held.slowOpen) {
        return false;
    }
    std::wstring name = OpenedName(attributes);
    if (g_held.stalledOpen && IsInside(name, L"stalled")) {
        Stall();
        return false;
    }
    // slow-open: a file system that answers, slowly (a share far away).
    if (g_held.slowOpen && IsInside(name, L"slow")) {
        Sleep(100);
    }
    // write-attributes-denied: the entry's DACL denies FILE_WRITE_ATTRIBUTES
    // (and so GENERIC_WRITE and GENERIC_ALL); an open that asks for an access
    // the DACL does not grant fails with STATUS_ACCESS_DENIED (NtCreateFile,
    // "Access Checks" in the Win32 security documentation), whatever else
    // the caller may do there (DELETE granted, or FILE_DELETE_CHILD on the
    // folder).
    const ACCESS_MASK writesAttributes =
        FILE_WRITE_ATTRIBUTES | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;
    if (g_held.writeAttributesDenied && (access & writesAttributes) &&
        LastComponent(name).find(L"no-write-attributes") != std::wstring::npos) {
        status = kStatusAccessDenied;
        return true;
    }
    // oplock-break-in-progress: another program holds an oplock or lease on
    // the entry that this open breaks. With FILE_COMPLETE_IF_OPLOCKED the
    // open completes at once with STATUS_OPLOCK_BREAK_IN_PROGRESS, a success
    // code, and a handle (NtCreateFile, CreateOptions); without it, the open
    // waits until the holder acknowledges the break. The holder still uses
    // the entry: here the handle given shares nothing, so a caller that kept
    // it would lock itself out.
    if (!g_held.oplockBreaks || LastComponent(name).compare(0, 8, L"oplocked") != 0 ||
        g_held.breaksLeft == 0) {
        return false;
    }
    if (!(openOptions & FILE_COMPLETE_IF_OPLOCKED)) {
        InterlockedIncrement(&g_held.waitsAsked);
        return false;
    }
    status = SeamOriginalAs<NtOpenFileCall>("NtOpenFile")(handle, access, attributes, io, 0, openOptions);
    if (NT_SUCCESS(status)) {
        InterlockedDecrement(&g_held.breaksLeft);
        status = kStatusOplockBreakInProgress;
    }
    (void)shareAccess;
    return true;
}

void AnswerHeldListing(HANDLE folder)
{
    if (g_held.stalledListing && Lower(LastComponent(SeamHandleName(folder))) == L"stalled") {
        Stall();
    }
}

void AnswerHeldDisposition(HANDLE handle)
{
    if (g_held.stalledDisposition && IsInside(Lower(SeamHandleName(handle)), L"stalled")) {
        Stall();
    }
}
