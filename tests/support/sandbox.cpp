#include <windows.h>

#include "sandbox.h"
#include "test_tree.h"
#include "text.h"

const WCHAR kScratchDrive[] = L"T:";
const WCHAR* const kCanaryFiles[2] = {L"T:\\canary.txt", L"T:\\canary-folder\\canary.txt"};
const char kCanaryText[] = "throw-away canary\n";

std::wstring UserProfile()
{
    WCHAR value[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"USERPROFILE", value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

std::string SandboxProblem()
{
    std::wstring profile = UserProfile();
    if (profile.rfind(L"C:\\users\\", 0) != 0) {
        return "not in the sandbox's prefix: the profile is '" + Narrow(profile) + "'";
    }
    if (GetLogicalDrives() & (1u << (L'Z' - L'A'))) {
        return "drive Z: is there: the prefix reaches the Linux root";
    }
    for (const WCHAR* canary : kCanaryFiles) {
        if (ReadTextFile(canary) != kCanaryText) {
            return "the sandbox's scratch drive T: is not in place: " + Narrow(canary);
        }
    }
    return std::string();
}

void RestoreCanaries()
{
    for (const WCHAR* canary : kCanaryFiles) {
        if (!Exists(canary)) {
            WriteTextFile(canary, kCanaryText);
        }
    }
}
