// The removal steps where the platform answers as Windows documents and Wine
// does not: the answers are put in place through the seam (support/seam.h,
// support/windows_answers.h), each naming the behaviour it stands for, and
// the steps run against throw-away folders in the sandbox's profile only.
#include <windows.h>

#include <winternl.h>

#include <gtest/gtest.h>

#include <string>

#include "check/removal_steps.h"
#include "host_keys.h"
#include "sandbox.h"
#include "seam.h"
#include "test_tree.h"
#include "text.h"
#include "windows_answers.h"

namespace {

std::wstring TestRoot()
{
    return UserProfile() + L"\\RemovalAnswersTest";
}

void SeedFile(const std::wstring& path)
{
    ASSERT_TRUE(WriteTextFile(path, "data\n")) << "cannot write " << Narrow(path);
}

class WindowsAnswersTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_EQ(SandboxProblem(), "");
        root = TestRoot();
        RemoveTree(root);
        MakeFolders(root);
        ASSERT_TRUE(Exists(root));
        data = root + L"\\" + kDataFolderBelowAppData;
    }

    void TearDown() override
    {
        SeamRestoreAll();
        RemoveTree(root);
        EXPECT_EQ(SandboxProblem(), "");
    }

    // A data folder of files and folders two deep, and a neighbour.
    void SeedTree()
    {
        for (const WCHAR* file : {L"a.txt", L"sub\\b.txt", L"sub\\deeper\\c.txt"}) {
            SeedFile(data + L"\\" + file);
        }
        MakeFolders(data + L"\\empty");
        SeedFile(root + L"\\Corvanta\\sibling.txt");
    }

    std::wstring root;
    std::wstring data;
};

// ---- The seam itself ------------------------------------------------------

int g_idListings = 0;

NTSTATUS NTAPI CountIdListings(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apcRoutine, PVOID apcContext,
                               PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                               FILE_INFORMATION_CLASS informationClass, BOOLEAN returnSingleEntry,
                               PUNICODE_STRING fileName, BOOLEAN restartScan)
{
    g_idListings += informationClass == FileIdFullDirectoryInformation;
    return SeamOriginalAs<decltype(&CountIdListings)>("NtQueryDirectoryFile")(
        handle, event, apcRoutine, apcContext, io, information, length, informationClass, returnSingleEntry,
        fileName, restartScan);
}

TEST_F(WindowsAnswersTest, TheSeamAnswersInsteadOfThePlatformUntilRestored)
{
    SeedTree();
    g_idListings = 0;
    ASSERT_TRUE(SeamReplaceWith("NtQueryDirectoryFile", &CountIdListings));

    ClearDataFolderIn(root.c_str());

    EXPECT_FALSE(Exists(data));
    EXPECT_GT(g_idListings, 0);
    SeamRestoreAll();
    int seen = g_idListings;
    SeedTree();
    ClearDataFolderIn(root.c_str());
    EXPECT_FALSE(Exists(data));
    EXPECT_EQ(g_idListings, seen) << "still answered after SeamRestoreAll";
    EXPECT_FALSE(InstallWindowsAnswer("no-such-answer"));
}

// ---- Listings -----------------------------------------------------------

// Windows 2000 and redirectors without the listing class with file ids
// refuse it (STATUS_INVALID_INFO_CLASS): the class without ids lists the
// same entries, and everything inside still goes.
TEST_F(WindowsAnswersTest, WithoutTheListingClassWithIdsEverythingInsideStillGoes)
{
    SeedTree();
    ASSERT_TRUE(InstallWindowsAnswer("listing-without-ids"));

    ClearDataFolderIn(root.c_str());

    EXPECT_FALSE(Exists(data));
    EXPECT_EQ(ReadTextFile(root + L"\\Corvanta\\sibling.txt"), "data\n");
}

} // namespace
