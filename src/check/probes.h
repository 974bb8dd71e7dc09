// The facts the check decides on: a remaining installation of the host
// application, and its replacement and update processes.
#pragma once

// True when the "UninstallString" of any of the host application's six
// uninstall entries, of whatever length, names a file that can be opened for
// reading. All six entries are looked at, in table order.
bool ProbeInstalled();

// Reads "ReplacementProcessActive" into dwValue and "UpdateProcessActive"
// into dwValue2. A flag is set unless the low byte of the value's first
// UTF-16 unit is '0'; a missing key or value reads as not set.
void ReadActivityFlags(bool& dwValue, bool& dwValue2);
