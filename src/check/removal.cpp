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
    std::wstring appDataLocation;
    HANDLE appDataFolder = OpenFolderByPath(appData, appDataLocation);
    if (appDataFolder == INVALID_HANDLE_VALUE) {
        return;
    }
    // One budget for the whole step: brief holders never hold it up longer.
    DWORD waitLeftMs = kBriefHolderWaitMs;
    std::wstring companyLocation;
    HANDLE company = OpenVerifiedFolder(appDataFolder, appDataLocation, kCompanyFolder, false,
                                        companyLocation, waitLeftMs);
    CloseHandle(appDataFolder);
    if (company == INVALID_HANDLE_VALUE) {
        return;
    }
    // Corvanta stays open until the end: nobody can rename it away meanwhile.
    std::wstring dataLocation;
    HANDLE data = OpenVerifiedFolder(company, companyLocation, kDataFolder, true, dataLocation, waitLeftMs);
    if (data != INVALID_HANDLE_VALUE) {
        if (DeleteFolderContents(data, dataLocation, waitLeftMs) == 0) {
            // Result not examined: a folder that cannot go (one another
            // program holds) simply stays.
            DeleteOpenEntry(data, true, waitLeftMs);
        }
        CloseHandle(data);
    }
    CloseHandle(company);
}

void DeleteAccountFileIn(const WCHAR* documents)
{
    std::wstring documentsLocation;
    HANDLE documentsFolder = OpenFolderByPath(documents, documentsLocation);
    if (documentsFolder == INVALID_HANDLE_VALUE) {
        return;
    }
    // One entry: at most its own few tries.
    DWORD waitLeftMs = kBriefHolderWaitMs;
    HANDLE account = OpenVerifiedFile(documentsFolder, documentsLocation, kAccountFile, waitLeftMs);
    CloseHandle(documentsFolder);
    if (account == INVALID_HANDLE_VALUE) {
        return;
    }
    // Result not examined: a file that cannot be deleted simply stays.
    DeleteOpenEntry(account, false, waitLeftMs);
    CloseHandle(account);
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
