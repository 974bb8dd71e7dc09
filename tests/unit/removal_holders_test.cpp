// The data folder's removal while other programs hold its entries: a folder
// that is another program's current folder, files held for a moment or to
// the end, and a hard link to a read-only file outside. Throw-away folders
// in the sandbox's C:\users\<user> only; the holders are
// tests/support/entry_holder.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/removal_steps.h"
#include "host_keys.h"
#include "platform/verified_files.h"
#include "program.h"
#include "sandbox.h"
#include "test_tree.h"
#include "text.h"

namespace {

// How long after the deletion's start a brief holder lets go: far less than
// the waits of one entry (about half a second), more than the deletion needs
// to reach it.
const DWORD kBriefHoldMs = 100;

// What the deletion may take beyond its waiting budget here.
const DWORD kWorkAllowanceMs = 3000;

void SeedFile(const std::wstring& path)
{
    ASSERT_TRUE(WriteTextFile(path, "data\n")) << "cannot write " << Narrow(path);
}

// Starts entry_holder.exe with tail in currentFolder (nullptr: this one's)
// and waits until it holds waitFor.
bool StartHolder(const std::wstring& tail, const WCHAR* currentFolder, const std::wstring& waitFor,
                 PROCESS_INFORMATION& process)
{
    if (!StartProgram(ProgramFolder() + L"\\entry_holder.exe", tail, process, currentFolder)) {
        return false;
    }
    if (!WaitUntilHeld(waitFor, 15000)) {
        std::cout << "the holder did not hold within 15 s: " << DescribeState(process) << "\n";
        EndProgram(process, 0);
        return false;
    }
    return true;
}

std::wstring Quoted(const std::wstring& path)
{
    return L" \"" + path + L"\"";
}

DWORD TimedClear(const std::wstring& appData)
{
    DWORD start = GetTickCount();
    ClearDataFolderIn(appData.c_str());
    return GetTickCount() - start;
}

class HeldEntriesTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_EQ(SandboxProblem(), "");
        root = UserProfile() + L"\\RemovalHolders";
        data = root + L"\\" + kDataFolderBelowAppData;
        RemoveTree(root);
        ASSERT_TRUE(MakeFolders(root));
        release = CreateEventW(nullptr, TRUE, FALSE, kReleaseEvent);
        ASSERT_NE(release, nullptr);
    }

    void TearDown() override
    {
        for (PROCESS_INFORMATION& holder : holders) {
            EndProgram(holder, 0);
        }
        CloseHandle(release);
        RemoveTree(root);
        EXPECT_EQ(SandboxProblem(), "");
    }

    // Starts a holder (see StartHolder) that ends with the test.
    void Hold(const std::wstring& tail, const WCHAR* currentFolder, const std::wstring& waitFor)
    {
        PROCESS_INFORMATION holder = {};
        ASSERT_TRUE(StartHolder(tail, currentFolder, waitFor, holder)) << "holding " << Narrow(waitFor);
        holders.push_back(holder);
    }

    static constexpr const WCHAR* kReleaseEvent = L"FullCheckTestsReleaseHeldEntries";

    std::wstring root;
    std::wstring data;
    HANDLE release = nullptr;
    std::vector<PROCESS_INFORMATION> holders;
};

// ---------------------------------------------------------------------------
// A folder that another program holds as its current folder is emptied, and
// it stays with the folders that hold it.

TEST_F(HeldEntriesTest, AHeldFolderIsEmptiedAndOnlyItAndTheFoldersAboveItStay)
{
    const struct {
        const WCHAR* held; // relative to the data folder; empty: the data folder
        std::vector<std::wstring> left;
    } cases[] = {
        {L"sub\\held", {L"sub/", L"sub\\held/"}},
        {L"", {}},
    };
    // Each case in an AppData folder of its own: a folder just removed may
    // linger while the ended holder's handle goes.
    for (size_t i = 0; i < ARRAYSIZE(cases); ++i) {
        const auto& c = cases[i];
        std::wstring appData = root + L"\\" + std::to_wstring(i);
        std::wstring caseData = appData + L"\\" + kDataFolderBelowAppData;
        for (const WCHAR* file :
             {L"a.txt", L"sub\\b.txt", L"sub\\held\\c.txt", L"sub\\held\\deeper\\d.txt", L"other\\e.txt"}) {
            SeedFile(caseData + L"\\" + file);
        }
        std::wstring held = c.held[0] == L'\0' ? caseData : caseData + L"\\" + c.held;
        ASSERT_NO_FATAL_FAILURE(Hold(L" --in" + Quoted(held), held.c_str(), held));

        ClearDataFolderIn(appData.c_str());

        EXPECT_TRUE(IsFolder(caseData)) << Narrow(c.held);
        EXPECT_EQ(Snapshot(caseData), c.left) << Narrow(c.held);
    }
}

// ---------------------------------------------------------------------------
// Brief holders are waited for; a program that keeps its handle wins, and
// the deletion still ends within its budget.

TEST_F(HeldEntriesTest, FilesHeldForAMomentAfterTheStartStillGo)
{
    // Without delete sharing the open is refused meanwhile; with it (as a
    // virus scanner holds files) the deletion stays pending, and the folders
    // above are not empty, until the holder lets go.
    for (const WCHAR* share : {L"", L" --share-delete"}) {
        SeedFile(data + L"\\a.txt");
        SeedFile(data + L"\\sub\\held.txt");
        SeedFile(data + L"\\sub\\z.txt");
        ResetEvent(release);
        Hold(L" --release " + std::wstring(kReleaseEvent) + L" " + std::to_wstring(kBriefHoldMs) + share +
                 Quoted(data + L"\\sub\\held.txt"),
             nullptr, data + L"\\sub\\held.txt");

        SetEvent(release);
        DWORD took = TimedClear(root);

        EXPECT_FALSE(Exists(data)) << "share" << Narrow(share) << ": " << took << " ms";
        EXPECT_TRUE(IsFolder(root + L"\\Corvanta"));
        EXPECT_TRUE(EndProgram(holders.back(), 5000)) << "the holder let go";
        holders.pop_back();
        RemoveTree(data);
    }
}

TEST_F(HeldEntriesTest, FilesHeldToTheEndStayAndTheDeletionEndsWithinItsBudget)
{
    // More held files than the budget has waits for: one entry alone may be
    // waited for about half a second.
    std::wstring tail;
    std::vector<std::wstring> heldFiles;
    for (int i = 0; i < 12; ++i) {
        std::wstring file = data + L"\\f" + std::to_wstring(i % 3) + L"\\held" + std::to_wstring(i) + L".txt";
        SeedFile(file);
        heldFiles.push_back(file);
        tail += Quoted(file);
        SeedFile(data + L"\\f" + std::to_wstring(i % 3) + L"\\free" + std::to_wstring(i) + L".txt");
    }
    SeedFile(data + L"\\free.txt");
    Hold(tail, nullptr, heldFiles.back());

    DWORD took = TimedClear(root);

    std::cout << "12 files held to the end: the deletion took " << took << " ms\n";
    EXPECT_LT(took, kBriefHolderWaitMs + kWorkAllowanceMs);
    for (const std::wstring& file : heldFiles) {
        EXPECT_EQ(ReadTextFile(file), "data\n") << Narrow(file);
    }
    std::vector<std::wstring> left = Snapshot(data);
    EXPECT_EQ(left.size(), 3 + heldFiles.size()) << "only the held files and their folders";
    EXPECT_FALSE(Exists(data + L"\\free.txt"));
}

TEST_F(HeldEntriesTest, AFileHeldToTheEndSharingDeletionGoesWhenItsHolderLetsGo)
{
    // As a virus scanner that keeps a file open sharing deletion: its name
    // goes at once where names go at once (POSIX semantics), else when the
    // holder lets go; a folder still listing it is waited for within the
    // budget and then stays.
    std::wstring held = data + L"\\sub\\held.txt";
    SeedFile(data + L"\\a.txt");
    SeedFile(held);
    SeedFile(data + L"\\sub\\z.txt");
    Hold(L" --share-delete" + Quoted(held), nullptr, held);

    DWORD took = TimedClear(root);

    EXPECT_LT(took, kBriefHolderWaitMs + kWorkAllowanceMs);
    EXPECT_FALSE(Exists(data + L"\\a.txt"));
    EXPECT_FALSE(Exists(data + L"\\sub\\z.txt"));
    EndProgram(holders.back(), 0);
    holders.pop_back();
    // The holder's handles close as it ends, a moment after.
    for (int tries = 0; tries < 200 && Exists(held); ++tries) {
        Sleep(10);
    }
    EXPECT_FALSE(Exists(held)) << "gone once its holder let go";
    for (const std::wstring& entry : Snapshot(data)) {
        EXPECT_EQ(entry.back(), L'/') << "only folders may stay: " << Narrow(entry);
    }
}

// ---------------------------------------------------------------------------
// A hard link to a read-only file outside the data: deleting its name must
// not change the file. Where the read-only name cannot be deleted as it is
// (Wine 8 refuses the disposition that ignores the mark), the name stays.

TEST_F(HeldEntriesTest, AReadOnlyFileOutsideKeepsItsMarkContentAndName)
{
    std::wstring outside = root + L"\\Outside\\read-only.txt";
    SeedFile(outside);
    ASSERT_TRUE(SetFileAttributesW(outside.c_str(), FILE_ATTRIBUTE_READONLY));
    SeedFile(data + L"\\a.txt");
    SeedFile(data + L"\\sub\\b.txt");
    ASSERT_TRUE(CreateHardLinkW((data + L"\\sub\\link.txt").c_str(), outside.c_str(), nullptr))
        << GetLastError();

    ClearDataFolderIn(root.c_str());

    EXPECT_EQ(ReadTextFile(outside), "data\n");
    DWORD attributes = GetFileAttributesW(outside.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY) << "attributes " << attributes;
    EXPECT_FALSE(Exists(data + L"\\a.txt"));
    EXPECT_FALSE(Exists(data + L"\\sub\\b.txt"));
    SetFileAttributesW(outside.c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace
