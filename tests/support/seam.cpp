#include "seam.h"

#include <winternl.h>

#include <cstring>
#include <vector>

namespace {

struct Replacement {
    char name[64];
    FARPROC answer;
};

const int kMaxReplacements = 32;

// The table is read by whatever thread the code under test calls from; a
// spin lock needs no initialisation, so the answers can be put in place
// before any constructor of this file has run (FullUninstallCheckSeam.exe's
// own start).
Replacement g_replacements[kMaxReplacements];
volatile LONG g_lock = 0;

void Lock()
{
    while (InterlockedCompareExchange(&g_lock, 1, 0) != 0) {
        Sleep(0);
    }
}

void Unlock()
{
    InterlockedExchange(&g_lock, 0);
}

HMODULE SystemDll(const WCHAR* name)
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
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Never called: only its address is used, as the mark of a missing call.
void MissingCall() {}

} // namespace

FARPROC SeamMissing()
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&MissingCall));
}

// Asked by late_bound.cpp's look-up in the seam's copies.
FARPROC SeamReplacement(const char* name)
{
    FARPROC answer = nullptr;
    Lock();
    for (const Replacement& r : g_replacements) {
        if (r.answer != nullptr && std::strcmp(r.name, name) == 0) {
            answer = r.answer;
            break;
        }
    }
    Unlock();
    return answer;
}

FARPROC SeamOriginal(const char* name)
{
    // kernel32 last: some of its exports forward to the DLLs before it.
    const WCHAR* const dlls[] = {L"ntdll.dll", L"user32.dll", L"shell32.dll", L"advapi32.dll",
                                 L"kernel32.dll"};
    for (const WCHAR* dll : dlls) {
        HMODULE module = SystemDll(dll);
        FARPROC address = module != nullptr ? GetProcAddress(module, name) : nullptr;
        if (address != nullptr) {
            return address;
        }
    }
    return nullptr;
}

bool SeamReplace(const char* name, FARPROC replacement)
{
    if (std::strlen(name) >= sizeof(Replacement::name)) {
        return false;
    }
    bool done = false;
    Lock();
    Replacement* free = nullptr;
    for (Replacement& r : g_replacements) {
        if (r.answer != nullptr && std::strcmp(r.name, name) == 0) {
            r.answer = replacement;
            done = true;
            break;
        }
        if (r.answer == nullptr && free == nullptr) {
            free = &r;
        }
    }
    if (!done && replacement == nullptr) {
        done = true;
    } else if (!done && free != nullptr) {
        std::strcpy(free->name, name);
        free->answer = replacement;
        done = true;
    }
    Unlock();
    return done;
}

void SeamRestoreAll()
{
    Lock();
    for (Replacement& r : g_replacements) {
        r.answer = nullptr;
        r.name[0] = '\0';
    }
    Unlock();
}

std::wstring SeamHandleName(HANDLE handle)
{
    using QueryObject = NTSTATUS(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    std::vector<BYTE> buffer(sizeof(OBJECT_NAME_INFORMATION) + 65536 * sizeof(WCHAR));
    ULONG written = 0;
    NTSTATUS status = SeamOriginalAs<QueryObject>("NtQueryObject")(
        handle, ObjectNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &written);
    const OBJECT_NAME_INFORMATION* info = reinterpret_cast<const OBJECT_NAME_INFORMATION*>(buffer.data());
    if (!NT_SUCCESS(status) || info->Name.Buffer == nullptr) {
        return std::wstring();
    }
    return std::wstring(info->Name.Buffer, info->Name.Length / sizeof(WCHAR));
}
