// FullUninstallCheckSeam.exe, the program with the seam: it puts in place
// the answers that FULLCHECK_SEAM names before main, and refuses to run
// with one it does not know.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e_fixture.h"
#include "text.h"

namespace {

using namespace e2e;

class SeamProgram : public CheckFixture {
  protected:
    void TearDown() override
    {
        SetEnvironmentVariableW(L"FULLCHECK_SEAM", nullptr);
        CheckFixture::TearDown();
    }

    CheckStart SeamCopy() const { return CheckStart{ProgramFolder() + L"\\FullUninstallCheckSeam.exe", L""}; }
};

TEST_F(SeamProgram, RunsWithTheAnswersNamedAndRefusesAnUnknownOne)
{
    SeedDataFolder();
    SeedAccountFile();
    // An unknown name: no prompt, nothing deleted, exit code 3.
    ASSERT_TRUE(SetEnvironmentVariableW(L"FULLCHECK_SEAM", L"listing-without-ids,no-such-answer"));
    CheckRun refused = RunCheck(SeamCopy(), kAccept, Answer::Yes);
    EXPECT_TRUE(refused.exited) << Describe(refused);
    EXPECT_EQ(refused.exitCode, 3u) << Describe(refused);
    EXPECT_FALSE(refused.prompted);
    EXPECT_TRUE(Exists(accountFile_));

    ASSERT_TRUE(SetEnvironmentVariableW(L"FULLCHECK_SEAM", L"listing-without-ids"));
    CheckRun run = Run(SeamCopy(), kAccept, Answer::Yes);
    EXPECT_TRUE(run.prompted) << Describe(run);
    EXPECT_FALSE(Exists(dataFolder_));
    EXPECT_FALSE(Exists(accountFile_));
}

// Where the system's loader answers as before Windows 8, the check still
// restricts its DLL search (with the older call) and runs to the end; where
// no system DLL can be loaded at all, it loads none from anywhere else: no
// box, nothing deleted, and the exit code of every run.
TEST_F(SeamProgram, RunsWithTheLoaderOfEachWindowsAndLoadsNothingWithoutTheSystemFolder)
{
    const struct {
        const WCHAR* answers; // system_answers.h
        bool prompted;
    } cases[] = {
        {L"loader-before-windows-8", true},
        {L"no-system-folder", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.answers));
        SeedDataFolder();
        SeedAccountFile();
        ASSERT_TRUE(SetEnvironmentVariableW(L"FULLCHECK_SEAM", c.answers));

        CheckRun run = Run(SeamCopy(), kAccept, Answer::Yes);

        EXPECT_EQ(run.prompted, c.prompted) << Describe(run);
        EXPECT_EQ(Exists(dataFolder_), !c.prompted);
        EXPECT_EQ(Exists(accountFile_), !c.prompted);
    }
}

} // namespace
