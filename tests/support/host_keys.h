// Where the host application's installers and the host application keep
// what the check reads and deletes, and how the check asks the host to
// close. Written out here for the tests rather than taken from the program,
// so that a wrong name in the program is caught.
#pragma once

#include <windows.h>

// The six uninstall entries under HKEY_LOCAL_MACHINE, in the order the
// check reads them: both brace forms of the first two product codes.
inline const WCHAR* const kUninstallKeys[6] = {
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{{6F1C2A90-3B7E-4D15-8A26-C0E9B4D7F312}}",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{{0D84E5B1-92C3-4F6A-B7D0-5A1E3C8F9B24}}",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6F1C2A90-3B7E-4D15-8A26-C0E9B4D7F312}",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{0D84E5B1-92C3-4F6A-B7D0-5A1E3C8F9B24}",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{A3B9C7E2-51D4-4E80-9F6B-2C7D8E0A1F45}",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{58E2F0C4-7A19-4B3D-86E5-D1C0B9A7E263}",
};

// The host application's own key under HKEY_CURRENT_USER, and the key and
// names of its two activity values.
inline const WCHAR kVendorKey[] = L"Software\\Corvanta\\CorvantaMarbelquint";
inline const WCHAR kActivityKey[] = L"Software\\Corvanta\\CorvantaMarbelquint\\1";
inline const WCHAR* const kActivityNames[2] = {L"ReplacementProcessActive", L"UpdateProcessActive"};

// Where the host application keeps the data the check deletes: the data
// folder below the roaming application-data folder and the account file in
// Documents.
inline const WCHAR kDataFolderBelowAppData[] = L"Corvanta\\CorvantaMarbelQuint";
inline const WCHAR kAccountFileName[] = L"Meine Konten.mqd";

// The close request the check broadcasts to the host application.
inline const char kCloseRequestName[] = "Corvanta.MarbelQuint.CloseApp";
