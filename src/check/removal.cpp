#include <windows.h>

#include <shlobj.h>

#include <string>

#include "check/removal.h"
#include "check/removal_steps.h"
#include "platform/late_bound.h"
#include "platform/verified_files.h"

namespace {

const WCHAR kCompanyFolder[] = L"Corvanta";
const WCHAR kDataFolder[] = L"CorvantaMarbelQuint";
const WCHAR kAccountFile[] = L"Meine Konten.mqd";

} // namespace

void ClearDataFolderIn(const WCHAR* appData)
{
    volatile LONG progress = 0;
    DeleteFolderBelow(appData, kCompanyFolder, kDataFolder, &progress);
}

void DeleteAccountFileIn(const WCHAR* documents)
{
    volatile LONG progress = 0;
    DeleteFileIn(documents, kAccountFile, &progress);
}

void RemoveUserData()
{
    // One buffer serves both steps.
    WCHAR folderPath[MAX_PATH] = {};
    if (SUCCEEDED(late::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                         SHGFP_TYPE_CURRENT, folderPath))) {
        ClearDataFolderIn(folderPath);
    }
    if (SUCCEEDED(late::SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr,
                                         SHGFP_TYPE_CURRENT, folderPath))) {
        DeleteAccountFileIn(folderPath);
    }
}
