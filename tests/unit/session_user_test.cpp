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
#include "check/prompt.h"
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
        {{"session-query-refused", "no-shell"}, false}, // no shell either: no guess
        {{"session-query-refused", "shell-of-this-user"}, true},
        {{"session-query-refused", "shell-of-another-user"}, false},
        {{"session-without-user"}, false}, // session 0 of services: nobody to ask
        // The token's user cannot be named: the shell tells.
        {{"account-name-unknown", "shell-of-this-user"}, true},
        {{"account-name-unknown", "shell-of-another-user"}, false},
        // A shell that cannot be asked tells nothing.
        {{"session-query-refused", "shell-of-this-user", "shell-not-openable"}, false},
        {{"session-query-refused", "shell-of-this-user", "shell-token-refused"}, false},
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

// ---- Whether anyone sees the box -------------------------------------------
// The box is shown only where a user can see and answer it. Wine gives
// session 1 and a visible window station; the rest are Windows' answers:
// session 0 holds services since Vista and the console's user before it
// (WTSGetActiveConsoleSessionId, "Session 0 Isolation"; Windows 2000 lacks
// the call and has its console in session 0), and the station queries fail
// with NULL and FALSE (GetProcessWindowStation, GetUserObjectInformationW).
// The box itself is answered here, never shown.

int g_boxes = 0;
int g_boxAnswer = IDYES;

int WINAPI AnswerBox(HWND, LPCWSTR, LPCWSTR, UINT)
{
    ++g_boxes;
    return g_boxAnswer;
}

BOOL WINAPI AnswerSessionZero(DWORD, DWORD* session)
{
    *session = 0;
    return TRUE;
}

DWORD WINAPI AnswerConsoleInSessionZero()
{
    return 0;
}

BOOL WINAPI RefuseQuery(DWORD, DWORD*)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

HWINSTA WINAPI NoStation()
{
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

BOOL WINAPI RefuseStationFlags(HANDLE, int, PVOID, DWORD, LPDWORD)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

class PromptTest : public ::testing::Test {
  protected:
    void TearDown() override { SeamRestoreAll(); }
};

TEST_F(PromptTest, TheBoxIsShownOnlyWhereSomeoneCanAnswerIt)
{
    struct Case {
        const char* what;
        void (*answer)(); // the platform's answers changed
        int boxAnswer;
        bool shown;
        bool yes;
    };
    const Case cases[] = {
        {"Yes", [] {}, IDYES, true, true},
        {"No", [] {}, IDNO, true, false},
        {"closed with Escape", [] {}, IDCANCEL, true, false},
        {"no box to show (user32 without it)", [] { SeamRemove("MessageBoxW"); }, IDYES, false, false},
        {"session 0 of a service", [] { SeamReplaceWith("ProcessIdToSessionId", &AnswerSessionZero); }, IDYES,
         false, false},
        {"session 0 of the console (before Vista)",
         [] {
             SeamReplaceWith("ProcessIdToSessionId", &AnswerSessionZero);
             SeamReplaceWith("WTSGetActiveConsoleSessionId", &AnswerConsoleInSessionZero);
         },
         IDYES, true, true},
        {"session 0 of Windows 2000",
         [] {
             SeamReplaceWith("ProcessIdToSessionId", &AnswerSessionZero);
             SeamRemove("WTSGetActiveConsoleSessionId");
         },
         IDYES, true, true},
        {"the session cannot be asked", [] { SeamReplaceWith("ProcessIdToSessionId", &RefuseQuery); }, IDYES,
         false, false},
        {"no window station", [] { SeamReplaceWith("GetProcessWindowStation", &NoStation); }, IDYES, false,
         false},
        {"the station's flags cannot be read",
         [] { SeamReplaceWith("GetUserObjectInformationW", &RefuseStationFlags); }, IDYES, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SeamRestoreAll();
        ASSERT_TRUE(SeamReplaceWith("MessageBoxW", &AnswerBox));
        c.answer();
        g_boxes = 0;
        g_boxAnswer = c.boxAnswer;

        EXPECT_EQ(AskFullUninstallation(), c.yes);
        EXPECT_EQ(g_boxes, c.shown ? 1 : 0);
    }
}

} // namespace
