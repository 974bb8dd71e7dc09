// Whether the check runs as the user signed in at its session. Wine runs
// every program as its one user, which is the usual case, tested for real;
// another account and a session that cannot be asked are Windows' answers,
// put in place through the seam (support/account_answers.h names the
// documented behaviour of each).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
        std::vector<const char*> answers; // none: the platform's own
        bool sessionUser;
    };
    const Case cases[] = {
        {{}, true},                           // the signed-in user, elevated or not
        {{"session-of-another-user"}, false}, // over-the-shoulder elevation, runas
        // The session cannot be asked: the desktop's shell tells instead.
        {{"session-query-refused"}, false}, // no shell either (Wine has none): no guess
        {{"session-query-refused", "shell-of-this-user"}, true},
        {{"session-query-refused", "shell-of-another-user"}, false},
    };
    for (const Case& c : cases) {
        SeamRestoreAll();
        std::string named;
        for (const char* answer : c.answers) {
            ASSERT_TRUE(InstallWindowsAnswer(answer)) << answer;
            named += std::string(answer) + " ";
        }
        bool sessionUser = ProbeSessionUser();
        EXPECT_EQ(sessionUser, c.sessionUser) << (named.empty() ? "the platform's answers" : named);
        // Nothing else holds the prompt back here: the account alone decides.
        EXPECT_EQ(ShouldPrompt(false, false, false, sessionUser), c.sessionUser);
    }
}

} // namespace
