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

// The name and domain of the user of the process's own token (the account
// it runs as, elevated or not).
bool LookUpTokenUser(WCHAR (&name)[kAccountNameUnits], WCHAR (&domain)[kAccountNameUnits])
{
    HANDLE token = nullptr;
    if (!late::OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    // A TOKEN_USER with the largest SID there is, aligned as the structure.
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } tokenUser;
    DWORD needed = 0;
    BOOL read = late::GetTokenInformation(token, TokenUser, &tokenUser, sizeof(tokenUser), &needed);
    CloseHandle(token);
    if (!read) {
        return false;
    }
    DWORD nameUnits = kAccountNameUnits;
    DWORD domainUnits = kAccountNameUnits;
    SID_NAME_USE use = SidTypeUnknown; // not examined: a user is named the same way whatever its kind
    return late::LookupAccountSidW(nullptr, tokenUser.user.User.Sid, name, &nameUnits, domain, &domainUnits,
                                   &use) != FALSE;
}

} // namespace

bool ProbeSessionUser()
{
    // The names are compared, not SIDs: the session tells its user only by
    // name, and the lookup of the token's SID names it as the session does
    // (the NetBIOS domain, or the computer for a local account).
    DWORD session = 0;
    if (!late::ProcessIdToSessionId(GetCurrentProcessId(), &session)) {
        return false;
    }
    WCHAR sessionUser[kAccountNameUnits] = {};
    WCHAR sessionDomain[kAccountNameUnits] = {};
    WCHAR tokenUser[kAccountNameUnits] = {};
    WCHAR tokenDomain[kAccountNameUnits] = {};
    if (!QuerySessionText(session, WTSUserName, sessionUser) ||
        !QuerySessionText(session, WTSDomainName, sessionDomain) ||
        !LookUpTokenUser(tokenUser, tokenDomain)) {
        return false;
    }
    // Session 0 without a user (services) has an empty name: nobody to ask.
    return sessionUser[0] != L'\0' && lstrcmpiW(sessionUser, tokenUser) == 0 &&
           lstrcmpiW(sessionDomain, tokenDomain) == 0;
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
