// After Yes, while other programs hold parts of the data folder: a folder
// that is another program's current folder (a console window changed into
// it, the host application started there) and a file held to the end. The
// holder is tests/support/entry_holder.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace {

using namespace e2e;

class Holders : public CheckFixture {
  protected:
    void TearDown() override
    {
        if (holder_.hProcess != nullptr) {
            EndProgram(holder_, 0);
        }
        CheckFixture::TearDown();
    }

    // entry_holder.exe with tail, in currentFolder, until it holds waitFor.
    void Hold(const std::wstring& tail, const std::wstring& currentFolder, const std::wstring& waitFor)
    {
        ASSERT_TRUE(
            StartProgram(ProgramFolder() + L"\\entry_holder.exe", tail, holder_, currentFolder.c_str()));
        ASSERT_TRUE(WaitUntilHeld(waitFor, 15000))
            << Narrow(waitFor) << ": the holder is " << DescribeState(holder_);
    }

    PROCESS_INFORMATION holder_ = {};
};

TEST_F(Holders, EveryFileInAFolderAnotherProgramIsInGoesAndOnlyTheHeldFoldersStay)
{
    SeedDataFolder();
    SeedAccountFile();
    std::wstring held = dataFolder_ + L"\\Backups\\2023";
    Hold(L" --in \"" + held + L"\"", held, held);

    CheckRun run = Run(kAccept, Answer::Yes);

    EXPECT_TRUE(run.prompted) << Describe(run);
    EXPECT_EQ(DataSnapshot(), (std::vector<std::wstring>{L"Backups/", L"Backups\\2023/"}));
    EXPECT_FALSE(Exists(accountFile_));
}

TEST_F(Holders, AFileHeldToTheEndStaysAndTheCheckStillEndsWithinSeconds)
{
    SeedDataFolder();
    SeedAccountFile();
    std::wstring held = dataFolder_ + L"\\Backups\\neu.mqb";
    Hold(L" \"" + held + L"\"", work_, held);

    CheckRun run = Run(kAccept, Answer::Yes);

    EXPECT_TRUE(run.prompted) << Describe(run);
    std::cout << "from start to exit, one file held to the end: " << run.milliseconds << " ms\n";
    // Exited by itself: within 15 s of the answer (RunCheck's limit).
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(DataSnapshot(), (std::vector<std::wstring>{L"Backups/", L"Backups\\neu.mqb 23"}));
    EXPECT_FALSE(Exists(accountFile_));
}

} // namespace
