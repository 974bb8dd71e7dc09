// Answers of the session query as Windows gives them where Wine, which runs
// every program as its one user, cannot: put in place through the seam
// (seam.h), by name from the catalogue (windows_answers.h).
#pragma once

// "session-of-another-user": the session's user is someone else than the
// account the process runs as.
void InstallSessionOfAnotherUser();

// "session-query-refused": the session cannot be asked for its user.
void InstallSessionQueryRefused();

// "shell-of-this-user": the desktop has a shell, run by the account the
// process runs as. "shell-of-another-user": its shell runs as someone else.
// "no-shell": the desktop has no shell.
void InstallShellOfThisUser();
void InstallNoShell();
void InstallShellOfAnotherUser();

// "session-without-user": the session has no user (session 0 of services).
void InstallSessionWithoutUser();

// "account-name-unknown": the token's user cannot be named.
void InstallAccountNameUnknown();

// "shell-not-openable": the shell's process cannot be opened;
// "shell-token-refused": its token cannot be opened. With a shell answer.
void InstallShellNotOpenable();
void InstallShellTokenRefused();
