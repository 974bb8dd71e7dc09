// The removal where other programs or the file system hold it up as only
// Windows shows it, and where file ids are answered as only other file
// systems answer them: through the seam (support/seam.h, held_answers.h),
// against throw-away folders in the sandbox's profile only. Wine has no
// oplocks, enforces no ACL on its files and gives every file a real id.
#include <windows.h>

#include <winternl.h>

#include <gtest/gtest.h>

#include <string>

#include "check/removal_steps.h"
#include "held_answers.h"
#include "host_keys.h"
#include "platform/verified_files.h"
#include "sandbox.h"
#include "seam.h"
#include "test_tree.h"
#include "text.h"
#include "windows_answers.h"

namespace {

// What a step may take beyond its waiting budget here.
const DWORD kWorkAllowanceMs = 3000;

void SeedFile(const std::wstring& path)
{
    ASSERT_TRUE(WriteTextFile(path, "data\n")) << "cannot write " << Narrow(path);
}

DWORD TimedClear(const std::wstring& appData)
{
    DWORD start = GetTickCount();
    ClearDataFolderIn(appData.c_str());
    return GetTickCount() - start;
}

class HeldAnswersTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_EQ(SandboxProblem(), "");
        root = UserProfile() + L"\\RemovalHeldAnswers";
        data = root + L"\\" + kDataFolderBelowAppData;
        RemoveTree(root);
        ASSERT_TRUE(MakeFolders(root));
    }

    void TearDown() override
    {
        SeamRestoreAll();
        RemoveTree(root);
        EXPECT_EQ(SandboxProblem(), "");
    }

    std::wstring root;
    std::wstring data;
};

// ---- Oplocks ----------------------------------------------------------------

TEST_F(HeldAnswersTest, AnOplockBeingBrokenIsABriefHolderAndNeverWaitedFor)
{
    const struct {
        const char* name;
        int breaks; // opens that meet the break; negative: all
        bool gone;
    } cases[] = {
        {"acknowledged after two opens", 2, true},
        {"never acknowledged", -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SeedFile(data + L"\\a.txt");
        SeedFile(data + L"\\sub\\oplocked.txt");
        ASSERT_TRUE(InstallWindowsAnswer("oplock-break-in-progress"));
        SetOplockBreaks(c.breaks);

        DWORD took = TimedClear(root);

        EXPECT_EQ(OplockWaitsAsked(), 0) << "an open waited for the holder";
        EXPECT_EQ(Exists(data + L"\\sub\\oplocked.txt"), !c.gone);
        EXPECT_FALSE(Exists(data + L"\\a.txt"));
        EXPECT_LT(took, kBriefHolderWaitMs + kWorkAllowanceMs);
        SeamRestoreAll();
        RemoveTree(data);
    }
}

// ---- Only the access each step needs ----------------------------------------

TEST_F(HeldAnswersTest, EntriesWhoseAclDeniesWriteAttributesStillGo)
{
    // Deletion needs DELETE (or the folder's FILE_DELETE_CHILD) and nothing
    // else: only a read-only mark to be cleared needs FILE_WRITE_ATTRIBUTES.
    SeedFile(data + L"\\no-write-attributes.txt");
    SeedFile(data + L"\\no-write-attributes folder\\inside.txt");
    SeedFile(data + L"\\read-only.txt");
    ASSERT_TRUE(SetFileAttributesW((data + L"\\read-only.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(InstallWindowsAnswer("write-attributes-denied"));

    ClearDataFolderIn(root.c_str());

    EXPECT_FALSE(Exists(data));
}

// ---- File ids ----------------------------------------------------------------

enum class IdAnswer { AllBitsSet, Refused, Another };
IdAnswer g_idAnswer = IdAnswer::AllBitsSet;

// FileInternalInformation as other file systems answer it (MS-FSCC 2.4.22:
// a file system without unique ids answers 0 or all bits set, which must
// not be compared; one may not know the class), for the files called
// "answered*"; Another stands for a file swapped in after the listing.
NTSTATUS NTAPI AnswerFileId(HANDLE handle, PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                            FILE_INFORMATION_CLASS informationClass)
{
    using Call = decltype(&AnswerFileId);
    NTSTATUS status =
        SeamOriginalAs<Call>("NtQueryInformationFile")(handle, io, information, length, informationClass);
    WCHAR path[MAX_PATH] = {};
    bool answered = GetFinalPathNameByHandleW(handle, path, MAX_PATH, 0) > 0 && wcsstr(path, L"answered");
    if (informationClass != FileInternalInformation || !answered || !NT_SUCCESS(status)) {
        return status;
    }
    LARGE_INTEGER& id = static_cast<FILE_INTERNAL_INFORMATION*>(information)->IndexNumber;
    switch (g_idAnswer) {
    case IdAnswer::AllBitsSet:
        id.QuadPart = -1;
        return status;
    case IdAnswer::Refused:
        return static_cast<NTSTATUS>(0xC0000003); // STATUS_INVALID_INFO_CLASS
    case IdAnswer::Another:
        id.QuadPart += 1;
        return status;
    }
    return status;
}

TEST_F(HeldAnswersTest, IdsAreComparedOnlyWhereBothSidesGiveARealOne)
{
    const struct {
        const char* name;
        IdAnswer answer;
        bool listingWithoutIds;
        bool gone;
    } cases[] = {
        {"the handle has no unique id", IdAnswer::AllBitsSet, false, true},
        {"no id listed, the handle's query refused", IdAnswer::Refused, true, true},
        {"an id listed, the handle's query refused", IdAnswer::Refused, false, false},
        {"another file's id", IdAnswer::Another, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SeedFile(data + L"\\answered.txt");
        SeedFile(data + L"\\answered folder\\plain.txt");
        SeedFile(data + L"\\plain.txt");
        if (c.listingWithoutIds) {
            ASSERT_TRUE(InstallWindowsAnswer("listing-without-ids"));
        }
        g_idAnswer = c.answer;
        ASSERT_TRUE(SeamReplaceWith("NtQueryInformationFile", &AnswerFileId));

        ClearDataFolderIn(root.c_str());

        EXPECT_EQ(Exists(data + L"\\answered.txt"), !c.gone);
        EXPECT_EQ(Exists(data + L"\\answered folder\\plain.txt"), !c.gone);
        EXPECT_FALSE(Exists(data + L"\\plain.txt"));
        SeamRestoreAll();
        RemoveTree(data);
    }
}

// ---- Calls that keep returning, slowly ---------------------------------------

TEST_F(HeldAnswersTest, ADeletionThatKeepsMakingProgressIsNeverCut)
{
    // 170 opens of 100 ms: longer in all than a step may go without
    // progress, each call far shorter.
    for (int i = 0; i < 170; ++i) {
        SeedFile(data + L"\\Slow\\" + std::to_wstring(i) + L".txt");
    }
    ASSERT_TRUE(InstallWindowsAnswer("slow-open"));

    DWORD took = TimedClear(root);

    std::cout << "170 slow opens: the step took " << took << " ms\n";
    EXPECT_FALSE(Exists(data)) << took << " ms";
}

} // namespace
