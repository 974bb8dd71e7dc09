// The removal of the data folder and the account file, against throw-away
// folders in the sandbox's C:\users\<user> only. The link scenarios are made
// by tests/unit/removal-links before every run (Wine cannot make links).
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/removal.h"
#include "registry_fixture.h"

namespace {

const WCHAR kDataFolder[] = L"Corvanta\\CorvantaMarbelQuint";
const WCHAR kAccountFile[] = L"Meine Konten.mqd";

std::wstring UserProfile()
{
    WCHAR value[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"USERPROFILE", value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

// Throw-away roots: under the sandbox's profile folder, never elsewhere.
std::wstring TestRoot()
{
    return UserProfile() + L"\\RemovalTest";
}

std::wstring LinksRoot()
{
    return UserProfile() + L"\\RemovalLinks";
}

// \\?\ lets the helpers reach paths longer than MAX_PATH.
std::wstring Long(const std::wstring& path)
{
    return L"\\\\?\\" + path;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(Long(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolder(const std::wstring& path)
{
    for (size_t end = path.find(L'\\', 3);; end = path.find(L'\\', end + 1)) {
        CreateDirectoryW(Long(path.substr(0, end)).c_str(), nullptr);
        if (end == std::wstring::npos) {
            break;
        }
    }
}

void WriteFileText(const std::wstring& path, const char* text = "data\n")
{
    MakeFolder(path.substr(0, path.rfind(L'\\')));
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write a test file";
    DWORD written = 0;
    WriteFile(file, text, lstrlenA(text), &written, nullptr);
    CloseHandle(file);
}

// The file's text, or "<missing>" when it cannot be read.
std::string ReadFileText(const std::wstring& path)
{
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    char buffer[256];
    DWORD read = 0;
    ReadFile(file, buffer, sizeof(buffer), &read, nullptr);
    CloseHandle(file);
    return std::string(buffer, read);
}

// Removes a tree that the tests made themselves; it holds no links.
void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(Long(path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            std::wstring child = path + L"\\" + name;
            if (name == L"." || name == L"..") {
                continue;
            }
            SetFileAttributesW(Long(child).c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveTree(child);
            } else {
                DeleteFileW(Long(child).c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(Long(path).c_str());
}

// Every test starts with an empty throw-away root and checks at the end that
// the canaries in the scratch drive T: are untouched.
class RemovalTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_EQ(UserProfile().rfind(L"C:\\users\\", 0), 0u) << "not in the sandbox's prefix";
        root = TestRoot();
        RemoveTree(root);
        MakeFolder(root);
        ASSERT_TRUE(Exists(root));
    }

    void TearDown() override
    {
        RemoveTree(root);
        EXPECT_EQ(ReadFileText(L"T:\\canary.txt"), "throw-away canary\n");
        EXPECT_EQ(ReadFileText(L"T:\\canary-folder\\canary.txt"), "throw-away canary\n");
    }

    std::wstring root;
};

// ---------------------------------------------------------------------------
// Which paths may be cleared at all.

TEST(IsDataFolderPathTest, OnlyAbsoluteDataFolderPaths)
{
    const struct {
        const WCHAR* path;
        bool expected;
    } cases[] = {
        {L"C:\\Users\\u\\AppData\\Roaming\\Corvanta\\CorvantaMarbelQuint", true},
        {L"c:\\Corvanta\\CorvantaMarbelQuint", true},
        {L"\\\\server\\share\\AppData\\Corvanta\\CorvantaMarbelQuint", true},
        {L"", false},
        {L"C:\\Users\\u\\AppData\\Roaming", false},
        {L"C:\\Users\\u\\AppData\\Roaming\\", false},
        {L"Corvanta\\CorvantaMarbelQuint", false},
        {L"\\Corvanta\\CorvantaMarbelQuint", false},
        {L"C:Corvanta\\CorvantaMarbelQuint", false},
        {L"..\\Corvanta\\CorvantaMarbelQuint", false},
        {L"\\\\?\\C:\\AppData\\Corvanta\\CorvantaMarbelQuint", false},
        {L"\\\\.\\C:\\AppData\\Corvanta\\CorvantaMarbelQuint", false},
        {L"\\\\\\Corvanta\\CorvantaMarbelQuint", false},
        {L"C:\\AppData\\Corvanta\\CorvantaMarbelQuint\\", false},
        {L"C:\\AppData\\Corvanta\\CorvantaMarbelQuint\\*", false},
        {L"C:\\*\\Corvanta\\CorvantaMarbelQuint", false},
        {L"C:\\AppData\\Corvanta\\CorvantaMarbelQuintX", false},
        {L"C:\\AppData\\Corvanta\\CorvantaMarbelQuin", false},
        {L"C:\\AppData\\NotCorvanta\\CorvantaMarbelQuint", false},
        {L"C:\\AppData\\corvanta\\corvantamarbelquint", false},
        {L"C:\\AppData\\Corvanta/CorvantaMarbelQuint", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsDataFolderPath(c.path), c.expected) << "path: " << testing::PrintToString(c.path);
    }
}

// ---------------------------------------------------------------------------
// Clearing a data folder.

using ClearDataFolderTest = RemovalTest;

TEST_F(ClearDataFolderTest, EverythingInsideGoesAndTheParentStays)
{
    std::wstring data = root + L"\\" + kDataFolder;
    for (const WCHAR* file : {L"a.txt", L"sub\\b.txt", L"sub\\deeper\\c.txt", L"hidden.txt"}) {
        WriteFileText(data + L"\\" + file);
    }
    MakeFolder(data + L"\\empty");
    SetFileAttributesW((data + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    WriteFileText(root + L"\\Corvanta\\sibling.txt");
    WriteFileText(root + L"\\Corvanta\\CorvantaMarbelQuint2\\neighbour.txt");

    ClearDataFolder(data);

    EXPECT_FALSE(Exists(data));
    EXPECT_TRUE(Exists(root + L"\\Corvanta\\sibling.txt"));
    EXPECT_TRUE(Exists(root + L"\\Corvanta\\CorvantaMarbelQuint2\\neighbour.txt"));
}

TEST_F(ClearDataFolderTest, AFileHeldOpenStaysWithTheFolderAndTheRestGoes)
{
    // Neither share mode lets others delete; the delete shows no dialog
    // either way (under Xvfb a dialog would keep the call from returning).
    // The shell stops at the first item it cannot delete, so the held file
    // is named to come last in the listing.
    for (DWORD share : {DWORD(0), DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE)}) {
        std::wstring data = root + L"\\" + kDataFolder;
        std::wstring held = data + L"\\zz-held.txt";
        WriteFileText(held);
        WriteFileText(data + L"\\other.txt");
        WriteFileText(data + L"\\sub\\other.txt");
        HANDLE handle = CreateFileW(held.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);

        ClearDataFolder(data);
        CloseHandle(handle);

        EXPECT_EQ(ReadFileText(held), "data\n") << "share mode " << share;
        EXPECT_FALSE(Exists(data + L"\\other.txt")) << "share mode " << share;
        EXPECT_FALSE(Exists(data + L"\\sub")) << "share mode " << share;
        RemoveTree(data);
    }
}

TEST_F(ClearDataFolderTest, AMissingDataFolderIsNotMade)
{
    WriteFileText(root + L"\\Corvanta\\sibling.txt");

    ClearDataFolder(root + L"\\" + kDataFolder);

    EXPECT_FALSE(Exists(root + L"\\" + kDataFolder));
    EXPECT_TRUE(Exists(root + L"\\Corvanta\\sibling.txt"));
}

TEST_F(ClearDataFolderTest, OtherPathsAreLeftAlone)
{
    std::wstring data = root + L"\\" + kDataFolder;
    WriteFileText(data + L"\\data.txt");
    WriteFileText(root + L"\\Corvanta\\sibling.txt");
    WriteFileText(root + L"\\Other\\CorvantaMarbelQuint\\data.txt");
    WCHAR startFolder[MAX_PATH] = {};
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, startFolder), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(root.c_str()));

    for (const std::wstring& path :
         {root, root + L"\\Corvanta", data + L"\\", std::wstring(kDataFolder), L"\\\\?\\" + data,
          root + L"\\Other\\CorvantaMarbelQuint", std::wstring()}) {
        ClearDataFolder(path);
    }
    SetCurrentDirectoryW(startFolder);

    EXPECT_TRUE(Exists(data + L"\\data.txt"));
    EXPECT_TRUE(Exists(root + L"\\Corvanta\\sibling.txt"));
    EXPECT_TRUE(Exists(root + L"\\Other\\CorvantaMarbelQuint\\data.txt"));
}

TEST_F(ClearDataFolderTest, ADataFolderThatIsAFileStays)
{
    WriteFileText(root + L"\\" + kDataFolder);

    ClearDataFolder(root + L"\\" + kDataFolder);

    EXPECT_EQ(ReadFileText(root + L"\\" + kDataFolder), "data\n");
}

TEST_F(ClearDataFolderTest, APathTooLongForTheShellKeepsEverything)
{
    // The shell joins names into MAX_PATH buffers, "\\*" included; on Wine a
    // join that does not fit made it delete from the current folder instead.
    std::wstring data = root + L"\\" + kDataFolder;
    for (size_t length : {size_t(257), size_t(258), size_t(300)}) {
        std::wstring longFile = data + L"\\" + std::wstring(length - data.size() - 1, L'n');
        WriteFileText(data + L"\\a.txt");
        WriteFileText(longFile);

        ClearDataFolder(data);

        bool fits = length + 2 < MAX_PATH;
        EXPECT_EQ(Exists(data), !fits) << "path length " << length;
        EXPECT_EQ(Exists(data + L"\\a.txt"), !fits) << "path length " << length;
        EXPECT_EQ(Exists(longFile), !fits) << "path length " << length;
        RemoveTree(data);
    }
}

// ---------------------------------------------------------------------------
// Links in or as the data folder: nothing inside is deleted, everything the
// links lead to survives. removal-links also checks the targets afterwards.

struct LinkScenario {
    const WCHAR* name;
    const WCHAR* link; // inside the data folder; read through it afterwards
    const char* linkText;
    const char* dataText; // of data.txt in the data folder
};

void PrintTo(const LinkScenario& scenario, std::ostream* out)
{
    *out << testing::PrintToString(scenario.name);
}

class DataFolderLinkTest : public RemovalTest, public ::testing::WithParamInterface<LinkScenario> {};

TEST_P(DataFolderLinkTest, NothingIsDeleted)
{
    const LinkScenario& scenario = GetParam();
    std::wstring data = LinksRoot() + L"\\" + scenario.name + L"\\" + kDataFolder;
    std::wstring link = data + L"\\" + scenario.link;
    ASSERT_EQ(ReadFileText(link), scenario.linkText) << "run through tests/unit/removal-links";

    ClearDataFolder(data);

    EXPECT_EQ(ReadFileText(data + L"\\data.txt"), scenario.dataText);
    EXPECT_TRUE(Exists(data + L"\\sub\\data.txt"));
    EXPECT_EQ(ReadFileText(link), scenario.linkText);
}

INSTANTIATE_TEST_SUITE_P(
    Links, DataFolderLinkTest,
    ::testing::Values(LinkScenario{L"FolderLinkOffDrive", L"folder-link\\keep.txt", "keep\n", "data\n"},
                      LinkScenario{L"FileLinkOffDrive", L"sub\\file-link.txt", "keep\n", "data\n"},
                      LinkScenario{L"FolderLinkOnDrive", L"sub\\folder-link\\keep.txt", "keep\n", "data\n"},
                      LinkScenario{L"FileLinkOnDrive", L"file-link.txt", "keep\n", "data\n"},
                      // A link whose target's folder differs from the data folder only by case.
                      LinkScenario{L"FileLinkCaseTwin", L"sub\\Secret.txt", "keep\n", "data\n"},
                      // Even a link within the data folder stays: Wine removes no link alone.
                      LinkScenario{L"FileLinkInside", L"data-link.txt", "data\n", "data\n"},
                      // The data folder itself is a link to Elsewhere\RealData.
                      LinkScenario{L"DataFolderLink", L"sub\\data.txt", "keep\n", "keep\n"}),
    [](const ::testing::TestParamInfo<LinkScenario>& info) {
        std::wstring name = info.param.name;
        return std::string(name.begin(), name.end());
    });

// ---------------------------------------------------------------------------
// The account file.

using DeleteAccountFileTest = RemovalTest;

TEST_F(DeleteAccountFileTest, APlainFileGoesWhateverTheCaseOfItsName)
{
    for (const WCHAR* stored : {kAccountFile, L"meine konten.MQD"}) {
        WriteFileText(root + L"\\" + stored);
        WriteFileText(root + L"\\other.mqd");

        DeleteAccountFileAt((root + L"\\" + kAccountFile).c_str());

        EXPECT_FALSE(Exists(root + L"\\" + stored)) << testing::PrintToString(stored);
        EXPECT_TRUE(Exists(root + L"\\other.mqd"));
    }
}

TEST_F(DeleteAccountFileTest, AnAbsentFileChangesNothing)
{
    WriteFileText(root + L"\\other.mqd");

    DeleteAccountFileAt((root + L"\\" + kAccountFile).c_str());

    EXPECT_TRUE(Exists(root + L"\\other.mqd"));
    EXPECT_FALSE(Exists(root + L"\\" + kAccountFile));
}

TEST_F(DeleteAccountFileTest, AFileHeldOpenAgainstReadersStays)
{
    std::wstring account = root + L"\\" + kAccountFile;
    WriteFileText(account);
    for (DWORD share : {DWORD(0), DWORD(FILE_SHARE_WRITE | FILE_SHARE_DELETE)}) {
        HANDLE held = CreateFileW(account.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);

        DeleteAccountFileAt(account.c_str());
        CloseHandle(held);

        EXPECT_EQ(ReadFileText(account), "data\n") << "share mode " << share;
    }
}

TEST_F(DeleteAccountFileTest, AFolderOfThatNameStays)
{
    std::wstring account = root + L"\\" + kAccountFile;
    WriteFileText(account + L"\\inside.txt");

    DeleteAccountFileAt(account.c_str());

    EXPECT_TRUE(Exists(account + L"\\inside.txt"));
}

TEST_F(DeleteAccountFileTest, ALinkStaysAndItsTargetSurvives)
{
    // AccountLink: a link to a file on no drive. AccountCaseTwin: a link to
    // "meine konten.mqd" beside it, which Windows would call the same name.
    for (const WCHAR* scenario : {L"AccountLink", L"AccountCaseTwin"}) {
        std::wstring account = LinksRoot() + L"\\" + scenario + L"\\" + kAccountFile;
        ASSERT_EQ(ReadFileText(account), "keep\n") << "run through tests/unit/removal-links";

        DeleteAccountFileAt(account.c_str());

        EXPECT_EQ(ReadFileText(account), "keep\n") << testing::PrintToString(scenario);
    }
}

// ---------------------------------------------------------------------------
// The whole removal, with the user's AppData and Documents folders redirected
// to throw-away folders and restored afterwards.

const WCHAR kUserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const WCHAR kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct SavedValue {
    const WCHAR* key;
    const WCHAR* name;
    bool present;
    DWORD type;
    std::vector<BYTE> data;
};

SavedValue SaveValue(const WCHAR* key, const WCHAR* name)
{
    SavedValue saved{key, name, false, REG_NONE, std::vector<BYTE>(4096)};
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) == ERROR_SUCCESS) {
        DWORD size = static_cast<DWORD>(saved.data.size());
        saved.present =
            RegQueryValueExW(handle, name, nullptr, &saved.type, saved.data.data(), &size) == ERROR_SUCCESS;
        saved.data.resize(saved.present ? size : 0);
        RegCloseKey(handle);
    }
    return saved;
}

void RestoreValue(const SavedValue& saved)
{
    if (saved.present) {
        WriteRawValue(HKEY_CURRENT_USER, saved.key, saved.name, saved.type, saved.data.data(),
                      static_cast<DWORD>(saved.data.size()));
        return;
    }
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, saved.key, 0, KEY_SET_VALUE, &handle) == ERROR_SUCCESS) {
        RegDeleteValueW(handle, saved.name);
        RegCloseKey(handle);
    }
}

std::wstring SpecialFolder(int csidl)
{
    WCHAR path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return std::wstring();
    }
    return path;
}

class RemoveUserDataTest : public RemovalTest {
  protected:
    void SetUp() override
    {
        RemovalTest::SetUp();
        for (const WCHAR* key : {kUserShellFolders, kShellFolders}) {
            for (const WCHAR* name : {L"AppData", L"Personal"}) {
                saved.push_back(SaveValue(key, name));
            }
        }
    }

    void TearDown() override
    {
        for (const SavedValue& value : saved) {
            RestoreValue(value);
        }
        RemovalTest::TearDown();
    }

    // Points AppData and Documents elsewhere; fails the test unless the shell
    // then reports exactly those folders.
    void Redirect(const std::wstring& appData, const std::wstring& documents)
    {
        for (const WCHAR* key : {kUserShellFolders, kShellFolders}) {
            ASSERT_EQ(WriteText(HKEY_CURRENT_USER, key, L"AppData", appData), ERROR_SUCCESS);
            ASSERT_EQ(WriteText(HKEY_CURRENT_USER, key, L"Personal", documents), ERROR_SUCCESS);
        }
        MakeFolder(appData);
        MakeFolder(documents);
        ASSERT_EQ(SpecialFolder(CSIDL_APPDATA), appData);
        ASSERT_EQ(SpecialFolder(CSIDL_PERSONAL), documents);
    }

    std::vector<SavedValue> saved;
};

TEST_F(RemoveUserDataTest, RemovesTheDataFolderAndTheAccountFile)
{
    std::wstring appData = root + L"\\AppData";
    std::wstring documents = root + L"\\Documents";
    ASSERT_NO_FATAL_FAILURE(Redirect(appData, documents));
    WriteFileText(appData + L"\\" + kDataFolder + L"\\a.txt");
    WriteFileText(appData + L"\\" + kDataFolder + L"\\sub\\b.txt");
    WriteFileText(appData + L"\\Corvanta\\sibling.txt");
    WriteFileText(documents + L"\\" + kAccountFile);
    WriteFileText(documents + L"\\other.mqd");

    RemoveUserData();

    EXPECT_FALSE(Exists(appData + L"\\" + kDataFolder));
    EXPECT_TRUE(Exists(appData + L"\\Corvanta\\sibling.txt"));
    EXPECT_FALSE(Exists(documents + L"\\" + kAccountFile));
    EXPECT_TRUE(Exists(documents + L"\\other.mqd"));
}

TEST_F(RemoveUserDataTest, WithoutADataFolderTheAccountFileStillGoes)
{
    std::wstring appData = root + L"\\AppData";
    std::wstring documents = root + L"\\Documents";
    ASSERT_NO_FATAL_FAILURE(Redirect(appData, documents));
    WriteFileText(appData + L"\\Corvanta\\sibling.txt");
    WriteFileText(documents + L"\\" + kAccountFile);

    RemoveUserData();

    EXPECT_FALSE(Exists(appData + L"\\" + kDataFolder));
    EXPECT_TRUE(Exists(appData + L"\\Corvanta\\sibling.txt"));
    EXPECT_FALSE(Exists(documents + L"\\" + kAccountFile));
}

TEST_F(RemoveUserDataTest, ALinkInTheDataFolderKeepsItButTheAccountFileGoes)
{
    std::wstring appData = LinksRoot() + L"\\FileLinkOffDrive";
    std::wstring documents = root + L"\\Documents";
    ASSERT_TRUE(Exists(appData + L"\\" + kDataFolder)) << "run through tests/unit/removal-links";
    ASSERT_NO_FATAL_FAILURE(Redirect(appData, documents));
    WriteFileText(documents + L"\\" + kAccountFile);

    RemoveUserData();

    EXPECT_TRUE(Exists(appData + L"\\" + kDataFolder + L"\\data.txt"));
    EXPECT_EQ(ReadFileText(appData + L"\\" + kDataFolder + L"\\sub\\file-link.txt"), "keep\n");
    EXPECT_FALSE(Exists(documents + L"\\" + kAccountFile));
}

TEST_F(RemoveUserDataTest, AnOverLongDataFolderPathTouchesNothing)
{
    // AppData of 240 units: joined with the data folder's 29 it no longer
    // fits 259. Everything in that AppData folder must survive, the data
    // folder included; the account file is still handled.
    std::wstring appData = root;
    while (240 - appData.size() > 42) {
        appData += L"\\" + std::wstring(40, L'x');
    }
    appData += L"\\" + std::wstring(240 - appData.size() - 1, L'y');
    ASSERT_EQ(appData.size(), 240u);
    ASSERT_GT(appData.size() + 1 + lstrlenW(kDataFolder), 259u);
    std::wstring documents = root + L"\\Documents";
    ASSERT_NO_FATAL_FAILURE(Redirect(appData, documents));
    const std::wstring kept[] = {appData + L"\\other.txt", appData + L"\\Corvanta\\other.txt",
                                 appData + L"\\" + kDataFolder + L"\\data.txt",
                                 appData.substr(0, appData.rfind(L'\\')) + L"\\beside.txt"};
    for (const std::wstring& file : kept) {
        WriteFileText(file);
    }
    WriteFileText(documents + L"\\" + kAccountFile);

    RemoveUserData();

    for (const std::wstring& file : kept) {
        EXPECT_TRUE(Exists(file)) << file.size() << " units";
    }
    EXPECT_FALSE(Exists(documents + L"\\" + kAccountFile));
}

} // namespace
