// The checks that a test runs in the sandbox's prefix (scripts/wine-sandbox),
// where code that deletes reaches nothing but throw-away folders.
#pragma once

#include <windows.h>

#include <string>

// The scratch drive the programs start in, and its throw-away canaries.
extern const WCHAR kScratchDrive[];
extern const WCHAR* const kCanaryFiles[2];
extern const char kCanaryText[];

// The USERPROFILE folder; empty when it is not set or too long.
std::wstring UserProfile();

// Empty in the sandbox: the profile is C:\users\<name>, no drive Z: leads
// to the Linux root, and the canaries hold their text. Otherwise what is off.
std::string SandboxProblem();

// Writes the canaries that a failed run lost, so that later cases find them.
void RestoreCanaries();
