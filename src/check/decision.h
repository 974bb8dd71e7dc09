// When the check runs at all, and when it may ask the user.
#pragma once

// True when the command line is exactly the one argument
// "askfulluninstallation" (byte for byte, case-sensitive).
bool IsFullUninstallRequest(int argc, char** argv);

// True when no installation is left, no replacement or update process is
// active and the check runs as the user signed in at its session: only then
// may the user be asked.
bool ShouldPrompt(bool installed, bool dwValue, bool dwValue2, bool sessionUser);
