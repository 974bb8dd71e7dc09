// A removal step whose calls stop returning does not hold the uninstall:
// FullUninstallCheckSeam.exe with answers (support/held_answers.h) under
// which a listing, an open or a disposition inside the data folder's
// sub-folder "Stalled", or the look-up of the application-data folder
// itself, never returns, as on a share that stopped answering.
// Wine cannot show this for real: where a file system stalls under it, the
// wineserver stalls with it and every program of the prefix freezes.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "e2e_fixture.h"

namespace {

using namespace e2e;

// The step is given up after 15 s without progress; the rest of the run
// (the account file, the exit) takes a few seconds more here.
const DWORD kGivenUpAfterMs = 15000;
const DWORD kStallBoundMs = 30000;

// The answer (held_answers.h) of each case: one test each, as each runs for
// about 20 s here.
class StalledRemoval : public CheckFixture, public ::testing::WithParamInterface<const char*> {
  protected:
    void TearDown() override
    {
        SetEnvironmentVariableW(L"FULLCHECK_SEAM", nullptr);
        CheckFixture::TearDown();
    }
};

TEST_P(StalledRemoval, IsGivenUpAndTheAccountFileStillGoes)
{
    SeedDataFolder();
    ASSERT_TRUE(WriteTextFile(dataFolder_ + L"\\Stalled\\held.txt", "data\n"));
    SeedAccountFile();
    ASSERT_TRUE(SetEnvironmentVariableA("FULLCHECK_SEAM", GetParam()));
    CheckStart start{ProgramFolder() + L"\\FullUninstallCheckSeam.exe", L"", kStallBoundMs + 10000};

    CheckRun run = Run(start, kAccept, Answer::Yes);

    std::cout << GetParam() << ": Yes to exit " << run.afterAnswerMs << " ms\n";
    EXPECT_TRUE(run.exited) << Describe(run);
    EXPECT_GE(run.afterAnswerMs, kGivenUpAfterMs) << "the answer did not stall the step";
    EXPECT_LT(run.afterAnswerMs, kStallBoundMs);
    EXPECT_FALSE(Exists(accountFile_));
    EXPECT_TRUE(Exists(dataFolder_ + L"\\Stalled\\held.txt"));
}

INSTANTIATE_TEST_SUITE_P(Calls, StalledRemoval,
                         ::testing::Values("stalled-listing", "stalled-open", "stalled-disposition",
                                           "stalled-appdata-lookup"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name;
                             for (const char* c = info.param; *c != '\0'; ++c) {
                                 name += *c == '-' ? '_' : *c;
                             }
                             return name;
                         });

} // namespace
