// The removal of the data folder and the account file, against throw-away
// folders in the sandbox's C:\users\<user> only. The link scenarios are made
// from removal-links.table by tests/support/with-links before every run (Wine
// cannot make links), and it checks afterwards that every link target
// survived.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/removal.h"
#include "check/removal_steps.h"
#include "host_keys.h"
#include "sandbox.h"
#include "test_registry.h"
#include "test_tree.h"
#include "text.h"

namespace {

// Throw-away roots: under the sandbox's profile folder, never elsewhere.
std::wstring TestRoot()
{
    return UserProfile() + L"\\RemovalTest";
}

std::wstring LinksRoot()
{
    return UserProfile() + L"\\RemovalLinks";
}

// A file of the scenario, holding "data\n".
void SeedFile(const std::wstring& path)
{
    ASSERT_TRUE(WriteTextFile(path, "data\n")) << "cannot write " << Narrow(path);
}

// Every test starts with an empty throw-away root and checks at the end that
// the canaries in the scratch drive T: are untouched.
class RemovalTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_EQ(SandboxProblem(), "");
        root = TestRoot();
        RemoveTree(root);
        MakeFolders(root);
        ASSERT_TRUE(Exists(root));
    }

    void TearDown() override
    {
        RemoveTree(root);
        EXPECT_EQ(SandboxProblem(), "");
    }

    std::wstring root;
};

// ---------------------------------------------------------------------------
// Clearing a data folder: everything inside goes, nothing else does.

using ClearDataFolderTest = RemovalTest;

TEST_F(ClearDataFolderTest, EverythingInsideGoesWhateverItsAttributesAndTheParentStays)
{
    std::wstring data = root + L"\\" + kDataFolderBelowAppData;
    for (const WCHAR* file : {L"a.txt", L"sub\\b.txt", L"sub\\deeper\\c.txt", L"hidden.txt", L"system.txt",
                              L"read-only.txt", L"read-only folder\\d.txt", L"Ümläut ✓ 𝄞.txt"}) {
        SeedFile(data + L"\\" + file);
    }
    MakeFolders(data + L"\\empty");
    SetFileAttributesW((data + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((data + L"\\system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((data + L"\\read-only.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((data + L"\\read-only folder\\d.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((data + L"\\read-only folder").c_str(), FILE_ATTRIBUTE_READONLY);
    SeedFile(root + L"\\Corvanta\\sibling.txt");
    SeedFile(root + L"\\Corvanta\\CorvantaMarbelQuint2\\neighbour.txt");

    ClearDataFolderIn(root.c_str());

    EXPECT_FALSE(Exists(data));
    EXPECT_TRUE(Exists(root + L"\\Corvanta\\sibling.txt"));
    EXPECT_TRUE(Exists(root + L"\\Corvanta\\CorvantaMarbelQuint2\\neighbour.txt"));
}

TEST_F(ClearDataFolderTest, FoldersDeeperAndPathsLongerThanMaxPathGo)
{
    std::wstring data = root + L"\\" + kDataFolderBelowAppData;
    std::wstring deep = data;
    while (deep.size() < 700) {
        deep += L"\\" + std::wstring(20, L'd');
    }
    SeedFile(deep + L"\\bottom.txt");
    SeedFile(data + L"\\" + std::wstring(255, L'n'));
    SeedFile(data + L"\\top.txt");

    ClearDataFolderIn(root.c_str());

    EXPECT_FALSE(Exists(data));
}

TEST_F(ClearDataFolderTest, AFileHeldOpenStaysWithItsFoldersAndTheRestGoes)
{
    // Neither share mode lets others delete.
    for (DWORD share : {DWORD(0), DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE)}) {
        std::wstring data = root + L"\\" + kDataFolderBelowAppData;
        std::wstring held = data + L"\\sub\\held.txt";
        SeedFile(held);
        SeedFile(data + L"\\a.txt");
        SeedFile(data + L"\\sub\\z.txt");
        SeedFile(data + L"\\zz\\other.txt");
        HANDLE handle = CreateFileW(held.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);

        ClearDataFolderIn(root.c_str());
        CloseHandle(handle);

        EXPECT_EQ(ReadTextFile(held), "data\n") << "share mode " << share;
        for (const WCHAR* gone : {L"\\a.txt", L"\\sub\\z.txt", L"\\zz"}) {
            EXPECT_FALSE(Exists(data + gone)) << "share mode " << share;
        }
        RemoveTree(data);
    }
}

TEST_F(ClearDataFolderTest, TheFolderStoredInAnotherCaseIsStillTheDataFolder)
{
    SeedFile(root + L"\\corvanta\\CORVANTAMARBELQUINT\\a.txt");

    ClearDataFolderIn(root.c_str());

    EXPECT_FALSE(Exists(root + L"\\corvanta\\CORVANTAMARBELQUINT"));
    EXPECT_TRUE(Exists(root + L"\\corvanta"));
}

TEST_F(ClearDataFolderTest, NothingIsMadeOrDeletedWhereNoDataFolderIs)
{
    const struct {
        const char* name;
        const WCHAR* file; // made under root before the run, must survive it
    } cases[] = {
        {"no Corvanta folder", L"other.txt"},
        {"no data folder", L"Corvanta\\sibling.txt"},
        {"Corvanta is a file", L"Corvanta"},
        {"the data folder is a file", L"Corvanta\\CorvantaMarbelQuint"},
    };
    for (const auto& c : cases) {
        SeedFile(root + L"\\" + c.file);

        ClearDataFolderIn(root.c_str());

        EXPECT_EQ(ReadTextFile(root + L"\\" + c.file), "data\n") << c.name;
        EXPECT_EQ(Exists(root + L"\\" + kDataFolderBelowAppData),
                  std::wstring(c.file) == kDataFolderBelowAppData)
            << c.name;
        RemoveTree(root);
        MakeFolders(root);
    }
}

TEST_F(ClearDataFolderTest, OnlyAnAbsoluteAppDataPathIsUsed)
{
    // The current folder holds a data folder too: a relative or device path,
    // a wildcard or an empty text must reach neither.
    std::wstring data = root + L"\\" + kDataFolderBelowAppData;
    SeedFile(data + L"\\data.txt");
    WCHAR startFolder[MAX_PATH] = {};
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, startFolder), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(root.c_str()));

    for (const std::wstring& path :
         {std::wstring(), std::wstring(L"."), std::wstring(L".\\"), std::wstring(L"\\"), L"\\\\?\\" + root,
          L"\\\\.\\" + root, root + L"\\*", root.substr(0, 2) + L"\\users\\?*", root.substr(2)}) {
        ClearDataFolderIn(path.c_str());
    }
    SetCurrentDirectoryW(startFolder);

    EXPECT_TRUE(Exists(data + L"\\data.txt"));
}

// ---------------------------------------------------------------------------
// Links at every level (made from removal-links.table). A link is never followed
// below the AppData folder: it stays, with the folders that hold it, and
// everything else in the data folder goes. with-links checks the targets.

struct LinkScenario {
    const WCHAR* appData;           // folder under RemovalLinks standing for AppData
    std::vector<const WCHAR*> kept; // relative to the data folder
    std::vector<const WCHAR*> gone;
};

void PrintTo(const LinkScenario& scenario, std::ostream* out)
{
    *out << testing::PrintToString(scenario.appData);
}

class DataFolderLinkTest : public RemovalTest, public ::testing::WithParamInterface<LinkScenario> {};

TEST_P(DataFolderLinkTest, OnlyTheLinkAndWhatHoldsItStay)
{
    const LinkScenario& scenario = GetParam();
    std::wstring data = LinksRoot() + L"\\" + scenario.appData + L"\\" + kDataFolderBelowAppData;
    for (const WCHAR* kept : scenario.kept) {
        ASSERT_TRUE(Exists(data + L"\\" + kept)) << "run through tests/support/with-links";
    }

    ClearDataFolderIn((LinksRoot() + L"\\" + scenario.appData).c_str());

    for (const WCHAR* kept : scenario.kept) {
        EXPECT_TRUE(Exists(data + L"\\" + kept)) << testing::PrintToString(kept);
    }
    for (const WCHAR* gone : scenario.gone) {
        EXPECT_FALSE(Exists(data + L"\\" + gone)) << testing::PrintToString(gone);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Links, DataFolderLinkTest,
    ::testing::Values(
        LinkScenario{L"FolderLinkOffDrive", {L"folder-link\\keep.txt"}, {L"data.txt", L"sub"}},
        LinkScenario{L"FileLinkOffDrive", {L"sub\\file-link.txt"}, {L"data.txt", L"sub\\data.txt"}},
        LinkScenario{L"FolderLinkOnDrive", {L"sub\\folder-link\\keep.txt"}, {L"data.txt", L"sub\\data.txt"}},
        LinkScenario{L"FileLinkOnDrive", {L"file-link.txt"}, {L"data.txt", L"sub"}},
        // The link's target folder differs from the data folder only by case.
        LinkScenario{L"FileLinkCaseTwin", {L"sub\\Secret.txt"}, {L"data.txt", L"sub\\data.txt"}},
        // A dangling link once its target went: Exists cannot tell it is there.
        LinkScenario{L"FileLinkInside", {L""}, {L"data.txt", L"sub"}},
        LinkScenario{L"HardLinkOnDrive", {}, {L""}},
        // The data folder itself, or Corvanta, is a link: nothing goes.
        LinkScenario{L"DataFolderLink", {L"data.txt", L"sub\\data.txt"}, {}},
        LinkScenario{L"CorvantaLink", {L"data.txt", L"sub\\data.txt"}, {}},
        // A link at the AppData folder is followed.
        LinkScenario{L"AppDataLink", {}, {L""}}),
    [](const ::testing::TestParamInfo<LinkScenario>& info) {
        std::wstring name = info.param.appData;
        return std::string(name.begin(), name.end());
    });

// ---------------------------------------------------------------------------
// The account file.

using DeleteAccountFileTest = RemovalTest;

TEST_F(DeleteAccountFileTest, APlainFileGoesWhateverTheCaseOfItsName)
{
    for (const WCHAR* stored : {kAccountFileName, L"meine konten.MQD"}) {
        SeedFile(root + L"\\" + stored);
        SeedFile(root + L"\\other.mqd");

        DeleteAccountFileIn(root.c_str());

        EXPECT_FALSE(Exists(root + L"\\" + stored)) << testing::PrintToString(stored);
        EXPECT_TRUE(Exists(root + L"\\other.mqd"));
    }
}

TEST_F(DeleteAccountFileTest, WhatCannotBeReadOrIsNoFileStays)
{
    std::wstring account = root + L"\\" + kAccountFileName;
    SeedFile(root + L"\\other.mqd");
    DeleteAccountFileIn(root.c_str());
    EXPECT_TRUE(Exists(root + L"\\other.mqd"));
    EXPECT_FALSE(Exists(account)) << "absent: nothing is made";

    SeedFile(account + L"\\inside.txt");
    DeleteAccountFileIn(root.c_str());
    EXPECT_TRUE(Exists(account + L"\\inside.txt")) << "a folder of that name";
    RemoveTree(account);

    SeedFile(account);
    SetFileAttributesW(account.c_str(), FILE_ATTRIBUTE_READONLY);
    DeleteAccountFileIn(root.c_str());
    EXPECT_EQ(ReadTextFile(account), "data\n") << "read-only";
    SetFileAttributesW(account.c_str(), FILE_ATTRIBUTE_NORMAL);

    // Held against readers, or with deletion.
    for (DWORD share : {DWORD(0), DWORD(FILE_SHARE_WRITE | FILE_SHARE_DELETE), DWORD(FILE_SHARE_READ)}) {
        DWORD access = share == FILE_SHARE_READ ? DWORD(DELETE) : DWORD(GENERIC_READ);
        HANDLE held = CreateFileW(account.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);

        DeleteAccountFileIn(root.c_str());
        CloseHandle(held);

        EXPECT_EQ(ReadTextFile(account), "data\n") << "share mode " << share;
    }
}

TEST_F(DeleteAccountFileTest, ALinkStaysAndALinkedDocumentsFolderIsFollowed)
{
    // AccountLink: a link to a file on no drive. AccountCaseTwin: a link to
    // "meine konten.mqd" beside it, which Windows would call the same name.
    for (const WCHAR* scenario : {L"AccountLink", L"AccountCaseTwin"}) {
        std::wstring account = LinksRoot() + L"\\" + scenario + L"\\" + kAccountFileName;
        ASSERT_EQ(ReadTextFile(account), "keep\n") << "run through tests/support/with-links";

        DeleteAccountFileIn((LinksRoot() + L"\\" + scenario).c_str());

        EXPECT_EQ(ReadTextFile(account), "keep\n") << testing::PrintToString(scenario);
    }
    ASSERT_TRUE(Exists(LinksRoot() + L"\\DocumentsLink\\" + kAccountFileName));
    DeleteAccountFileIn((LinksRoot() + L"\\DocumentsLink").c_str());
    EXPECT_FALSE(Exists(LinksRoot() + L"\\FollowedDocuments\\" + kAccountFileName));
}

// ---------------------------------------------------------------------------
// The whole removal, with the user's AppData and Documents folders redirected
// to throw-away folders and restored afterwards.

class RemoveUserDataTest : public RemovalTest {
  protected:
    void SetUp() override
    {
        RemovalTest::SetUp();
        saved = SaveShellFolders();
    }

    void TearDown() override
    {
        RestoreValues(saved);
        RemovalTest::TearDown();
    }

    // Points AppData and Documents elsewhere; fails the test unless the shell
    // then reports exactly those folders.
    void Redirect(const std::wstring& appData, const std::wstring& documents)
    {
        ASSERT_EQ(RedirectShellFolder(L"AppData", appData), ERROR_SUCCESS);
        ASSERT_EQ(RedirectShellFolder(L"Personal", documents), ERROR_SUCCESS);
        MakeFolders(appData);
        MakeFolders(documents);
        ASSERT_EQ(RoamingAppData(), appData);
        ASSERT_EQ(Documents(), documents);
    }

    std::vector<SavedValue> saved;
};

TEST_F(RemoveUserDataTest, RemovesTheDataFolderAndTheAccountFile)
{
    std::wstring appData = root + L"\\AppData";
    std::wstring documents = root + L"\\Documents";
    ASSERT_NO_FATAL_FAILURE(Redirect(appData, documents));
    SeedFile(appData + L"\\" + kDataFolderBelowAppData + L"\\a.txt");
    SeedFile(appData + L"\\" + kDataFolderBelowAppData + L"\\sub\\b.txt");
    SeedFile(appData + L"\\Corvanta\\sibling.txt");
    SeedFile(documents + L"\\" + kAccountFileName);
    SeedFile(documents + L"\\other.mqd");

    RemoveUserData();

    EXPECT_FALSE(Exists(appData + L"\\" + kDataFolderBelowAppData));
    EXPECT_TRUE(Exists(appData + L"\\Corvanta\\sibling.txt"));
    EXPECT_FALSE(Exists(documents + L"\\" + kAccountFileName));
    EXPECT_TRUE(Exists(documents + L"\\other.mqd"));
}

TEST_F(RemoveUserDataTest, WithoutADataFolderTheAccountFileStillGoes)
{
    std::wstring appData = root + L"\\AppData";
    std::wstring documents = root + L"\\Documents";
    ASSERT_NO_FATAL_FAILURE(Redirect(appData, documents));
    SeedFile(appData + L"\\Corvanta\\sibling.txt");
    SeedFile(documents + L"\\" + kAccountFileName);

    RemoveUserData();

    EXPECT_FALSE(Exists(appData + L"\\" + kDataFolderBelowAppData));
    EXPECT_TRUE(Exists(appData + L"\\Corvanta\\sibling.txt"));
    EXPECT_FALSE(Exists(documents + L"\\" + kAccountFileName));
}

TEST_F(RemoveUserDataTest, RedirectedToALinkedCorvantaNothingThereGoesButTheAccountFileDoes)
{
    std::wstring appData = LinksRoot() + L"\\CorvantaLink";
    std::wstring documents = root + L"\\Documents";
    ASSERT_TRUE(Exists(appData + L"\\" + kDataFolderBelowAppData + L"\\data.txt"))
        << "run through tests/support/with-links";
    ASSERT_NO_FATAL_FAILURE(Redirect(appData, documents));
    SeedFile(documents + L"\\" + kAccountFileName);

    RemoveUserData();

    EXPECT_EQ(ReadTextFile(appData + L"\\" + kDataFolderBelowAppData + L"\\data.txt"), "keep\n");
    EXPECT_FALSE(Exists(documents + L"\\" + kAccountFileName));
}

TEST_F(RemoveUserDataTest, ADataFolderPathLongerThanMaxPathGoesAndNothingElse)
{
    // AppData of 240 units: the data folder's path is 270 units long.
    std::wstring appData = root;
    while (240 - appData.size() > 42) {
        appData += L"\\" + std::wstring(40, L'x');
    }
    appData += L"\\" + std::wstring(240 - appData.size() - 1, L'y');
    ASSERT_EQ(appData.size(), 240u);
    std::wstring documents = root + L"\\Documents";
    ASSERT_NO_FATAL_FAILURE(Redirect(appData, documents));
    const std::wstring kept[] = {appData + L"\\other.txt", appData + L"\\Corvanta\\other.txt",
                                 appData.substr(0, appData.rfind(L'\\')) + L"\\beside.txt"};
    for (const std::wstring& file : kept) {
        SeedFile(file);
    }
    SeedFile(appData + L"\\" + kDataFolderBelowAppData + L"\\data.txt");
    SeedFile(documents + L"\\" + kAccountFileName);

    RemoveUserData();

    for (const std::wstring& file : kept) {
        EXPECT_TRUE(Exists(file)) << file.size() << " units";
    }
    EXPECT_FALSE(Exists(appData + L"\\" + kDataFolderBelowAppData));
    EXPECT_FALSE(Exists(documents + L"\\" + kAccountFileName));
}

} // namespace
