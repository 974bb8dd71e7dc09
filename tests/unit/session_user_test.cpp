// Whether the check runs as the user signed in at its session. Wine runs
// every program as its one user, which is the usual case, tested for real;
// another account and a session that cannot be asked are Windows' answers,
// put in place through the seam (support/account_answers.h names the
// documented behaviour of each).
#include <windows.h>

#include <gtest/gtest.h>

#include "check/decision.h"
#include "check/probes.h"
#include "seam.h"
#include "windows_answers.h"

namespace {

class SessionUserTest : public ::testing::Test {
  protected:
    void TearDown() override { SeamRestoreAll(); }
};

TEST_F(SessionUserTest, OnlyTheSessionsOwnUserMayBeAsked)
{
    struct Case {
        const char* answer; // null: the platform's own
        bool sessionUser;
    };
    const Case cases[] = {
        {nullptr, true},                    // the signed-in user, elevated or not
        {"session-of-another-user", false}, // over-the-shoulder elevation, runas
        {"session-query-refused", false},   // cannot be told: no guess
    };
    for (const Case& c : cases) {
        SeamRestoreAll();
        if (c.answer != nullptr) {
            ASSERT_TRUE(InstallWindowsAnswer(c.answer)) << c.answer;
        }
        bool sessionUser = ProbeSessionUser();
        EXPECT_EQ(sessionUser, c.sessionUser) << (c.answer ? c.answer : "the platform's answer");
        // Nothing else holds the prompt back here: the account alone decides.
        EXPECT_EQ(ShouldPrompt(false, false, false, sessionUser), c.sessionUser);
    }
}

} // namespace
