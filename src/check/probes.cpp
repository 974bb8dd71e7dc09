#include <windows.h>

#include <string>

#include "check/probes.h"
#include "platform/fileprobe.h"
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

} // namespace

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
