// The program started as another account than the user signed in at its
// session (over-the-shoulder elevation, runas): FullUninstallCheckSeam.exe
// with the session's answer for that case (support/account_answers.h) asks
// nothing and deletes nothing. The usual case, the session's own user, is
// every other end-to-end test.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e_fixture.h"

namespace {

using namespace e2e;

class AnotherAccount : public CheckFixture {
  protected:
    void TearDown() override
    {
        SetEnvironmentVariableW(L"FULLCHECK_SEAM", nullptr);
        CheckFixture::TearDown();
    }
};

TEST_F(AnotherAccount, NoBoxAndNothingDeleted)
{
    const CheckStart seamCopy{ProgramFolder() + L"\\FullUninstallCheckSeam.exe", L""};
    // A session that cannot be asked, on a desktop without a shell to ask instead.
    for (const WCHAR* answer : {L"session-of-another-user", L"session-query-refused,no-shell"}) {
        SeedDataFolder();
        SeedAccountFile();
        std::vector<std::wstring> before = DataSnapshot();
        ASSERT_TRUE(SetEnvironmentVariableW(L"FULLCHECK_SEAM", answer));
        CheckRun run = Run(seamCopy, kAccept, Answer::Yes);
        EXPECT_FALSE(run.prompted) << Narrow(answer) << ": " << Describe(run);
        EXPECT_EQ(DataSnapshot(), before) << Narrow(answer);
        EXPECT_TRUE(Exists(accountFile_)) << Narrow(answer);
    }
}

} // namespace
