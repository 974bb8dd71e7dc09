// The facts the check decides on: a remaining installation of the host
// application, and its replacement and update processes.
#pragma once

// True when the "UninstallString" of any of the host application's six
// uninstall entries, of whatever length, names a file that can be opened for
// reading. All six entries are looked at, in table order.
bool ProbeInstalled();

// True when the process runs as the account signed in at its own session:
// the user of its token has the name and domain that the session reports
// for the user signed in there or, where the session cannot be asked, is
// the user of the desktop's shell. False when they differ (an uninstaller
// elevated with another account's password, runas): the data in reach are
// that account's, and the one at the screen would be asked about them.
// False too whenever neither can tell (a call missing or refused, no
// shell), so that no data are deleted on a guess.
bool ProbeSessionUser();

// Reads "ReplacementProcessActive" into dwValue and "UpdateProcessActive"
// into dwValue2. A flag is set unless the low byte of the value's first
// UTF-16 unit is '0'; a missing key or value reads as not set.
void ReadActivityFlags(bool& dwValue, bool& dwValue2);
