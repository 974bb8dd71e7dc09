#include <windows.h>

#include <string>

#include "check/probes.h"
#include "platform/fileprobe.h"
#include "platform/late_bound.h"
#include "platform/registry.h"

namespace {

// Both brace forms of the first two product codes are in use by installers.
const WCHAR* const kUninstallKeys[] = {
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{{6F1C2A90-3B7E-4D15-8A26-C0E9B4D7F312}}",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{{0D84E5B1-92C3-4F6A-B7D0-5A1E3C8F9B24}}",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6F1C2A90-3B7E-4D15-8A26-C0E9B4D7F312}",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{0D84E5B1-92C3-4F6A-B7D0-5A1E3C8F9B24}",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{A3B9C7E2-51D4-4E80-9F6B-2C7D8E0A1F45}",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{58E2F0C4-7A19-4B3D-86E5-D1C0B9A7E263}",
};

const WCHAR kActivityKey[] = L"Software\\Corvanta\\CorvantaMarbelquint\\1";

bool UninstallerPresent(const WCHAR* subKey)
{
    // Read whatever its length: a deep installation folder gives a path of
    // 130 units or more, and an installation missed is data deleted that it
    // still uses.
    std::wstring uninstallString;
    // Result not examined: a key or value that cannot be read leaves the
    // text empty, and an empty text names no file.
    ReadRegString(HKEY_LOCAL_MACHINE, subKey, L"UninstallString", uninstallString);
    // The text is taken as it stands: no unquoting, no argument splitting.
    return !uninstallString.empty() && CanOpenForReading(uninstallString.c_str());
}

bool ActivityFlagSet(const WCHAR* valueName)
{
    WCHAR value[130] = {L'0'};
    // Result not examined: a missing key or value leaves the preset "0".
    ReadRegValue(HKEY_CURRENT_USER, kActivityKey, valueName, REG_SZ, reinterpret_cast<BYTE*>(value));
    return (value[0] & 0xFF) != 0x30;
}

// Account and domain names: 256 units with the terminator hold every name
// Windows allows (UNLEN is 256, a domain's NetBIOS name 15).
const DWORD kAccountNameUnits = 257;

// One text of the session's, copied into name; false when the session cannot
// be asked or the text does not fit.
bool QuerySessionText(DWORD session, WTS_INFO_CLASS infoClass, WCHAR (&name)[kAccountNameUnits])
{
    LPWSTR text = nullptr;
    DWORD bytes = 0;
    if (!late::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, infoClass, &text, &bytes) ||
        text == nullptr) {
        return false;
    }
    int units = lstrlenW(text);
    bool fits = units < static_cast<int>(kAccountNameUnits);
    if (fits) {
        lstrcpynW(name, text, kAccountNameUnits);
    }
    late::WTSFreeMemory(text);
    return fits;
}

// A TOKEN_USER with the largest SID there is, aligned as the structure.
union TokenUserBuffer {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
};

// The user of the token of process (the account it runs as, elevated or
// not); process needs query rights.
bool ReadTokenUser(HANDLE process, TokenUserBuffer& tokenUser)
{
    HANDLE token = nullptr;
    if (!late::OpenProcessToken(process, TOKEN_QUERY, &token)) {
        return false;
    }
    DWORD needed = 0;
    BOOL read = late::GetTokenInformation(token, TokenUser, &tokenUser, sizeof(tokenUser), &needed);
    CloseHandle(token);
    return read != FALSE;
}

enum class SameUser { Yes, No, CannotTell };

// The user signed in at the process's session, by name and domain, against
// the token's user named the same way: the session tells its user only by
// name, and the lookup of a SID names it as the session does (the NetBIOS
// domain, or the computer for a local account).
SameUser CompareSessionUser(const TokenUserBuffer& own)
{
    DWORD session = 0;
    WCHAR sessionUser[kAccountNameUnits] = {};
    WCHAR sessionDomain[kAccountNameUnits] = {};
    if (!late::ProcessIdToSessionId(GetCurrentProcessId(), &session) ||
        !QuerySessionText(session, WTSUserName, sessionUser) ||
        !QuerySessionText(session, WTSDomainName, sessionDomain)) {
        return SameUser::CannotTell;
    }
    // Session 0 without a user (services) has an empty name: nobody to ask.
    if (sessionUser[0] == L'\0') {
        return SameUser::No;
    }
    WCHAR ownUser[kAccountNameUnits] = {};
    WCHAR ownDomain[kAccountNameUnits] = {};
    DWORD userUnits = kAccountNameUnits;
    DWORD domainUnits = kAccountNameUnits;
    SID_NAME_USE use = SidTypeUnknown; // not examined: a user is named the same way whatever its kind
    if (!late::LookupAccountSidW(nullptr, own.user.User.Sid, ownUser, &userUnits, ownDomain, &domainUnits,
                                 &use)) {
        return SameUser::CannotTell;
    }
    return lstrcmpiW(sessionUser, ownUser) == 0 && lstrcmpiW(sessionDomain, ownDomain) == 0 ? SameUser::Yes
                                                                                            : SameUser::No;
}

// Where the session cannot be asked (its service stopped, or a Windows 2000
// without Terminal Services): the user of the desktop's shell, which runs
// as the user signed in there, against the token's user. No shell, no
// answer: nobody is asked.
SameUser CompareShellUser(const TokenUserBuffer& own)
{
    HWND shell = late::GetShellWindow();
    DWORD processId = 0;
    if (shell == nullptr || late::GetWindowThreadProcessId(shell, &processId) == 0 || processId == 0) {
        return SameUser::CannotTell;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        return SameUser::CannotTell;
    }
    TokenUserBuffer shellUser;
    bool read = ReadTokenUser(process, shellUser);
    CloseHandle(process);
    if (!read) {
        return SameUser::CannotTell;
    }
    return late::EqualSid(shellUser.user.User.Sid, own.user.User.Sid) ? SameUser::Yes : SameUser::No;
}

} // namespace

bool ProbeSessionUser()
{
    TokenUserBuffer own;
    if (!ReadTokenUser(GetCurrentProcess(), own)) {
        return false;
    }
    SameUser same = CompareSessionUser(own);
    if (same == SameUser::CannotTell) {
        same = CompareShellUser(own);
    }
    return same == SameUser::Yes;
}

bool ProbeInstalled()
{
    bool installed = false;
    for (const WCHAR* subKey : kUninstallKeys) {
        if (UninstallerPresent(subKey)) {
            installed = true;
        }
    }
    return installed;
}

void ReadActivityFlags(bool& dwValue, bool& dwValue2)
{
    dwValue = ActivityFlagSet(L"ReplacementProcessActive");
    dwValue2 = ActivityFlagSet(L"UpdateProcessActive");
}
