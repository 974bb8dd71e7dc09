// A DLL that an attacker would plant under a system DLL's name: when any
// process maps it and runs its entry, it writes "<its own path>.loaded"
// beside itself. It imports kernel32 alone and has no C runtime, so that it
// loads under any name, msvcrt.dll included.
#include <windows.h>

extern "C" BOOL WINAPI PlantedEntry(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    WCHAR marker[MAX_PATH + 8];
    DWORD length = GetModuleFileNameW(instance, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return TRUE;
    }
    lstrcpyW(marker + length, L".loaded");
    HANDLE file =
        CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    // TRUE: the process goes on, so that every later load is seen too.
    return TRUE;
}
