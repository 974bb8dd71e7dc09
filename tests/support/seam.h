// The seam of the tests' copies of the program's libraries (platform_seam,
// check_seam and FullUninstallCheckSeam.exe, built with FULLCHECK_TEST_SEAM):
// every call that platform/late_bound.cpp looks up by name can be answered
// by a function of the tests instead of the platform's, so that a test can
// make the platform answer as Windows documents where Wine answers
// otherwise. The program itself is built without the seam.
//
// A replacement has the signature of the call it stands for. It may be
// asked from any thread of the process; replacing and restoring are meant
// for the tests' own thread while the code under test does not run.
#pragma once

#include <windows.h>

#include <string>

// The platform's own address of the call name (looked up in ntdll, user32,
// shell32, advapi32 and kernel32, in that order, never through the seam),
// for a replacement that passes most calls on; null when there is none.
FARPROC SeamOriginal(const char* name);

// From now on, the call name is answered by replacement (null: by the
// platform again). At most 32 calls can be replaced at a time; one more is
// refused and false returned.
bool SeamReplace(const char* name, FARPROC replacement);

// A replacement that stands for the call's absence, as on a Windows that
// predates it: the look-up finds nothing and the call returns the failure
// result late_bound.h names for a missing call.
FARPROC SeamMissing();

// The replacement in place for the call name; null when the platform
// answers it (what late_bound.cpp asks in the seam's copies).
FARPROC SeamReplacement(const char* name);

// The platform's own name of the object open as handle ("\??\C:\..." on
// Wine, "\Device\..." on Windows), asked past the seam; empty when it
// cannot be told. For answers that pick the entries they change by name.
std::wstring SeamHandleName(HANDLE handle);

// Every call is answered by the platform again. Each test that replaces a
// call restores them all when it ends.
void SeamRestoreAll();

// The same with the call's own function type.
template <typename Function> Function SeamOriginalAs(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(SeamOriginal(name)));
}

// The call name is missing from now on (until restored).
inline bool SeamRemove(const char* name)
{
    return SeamReplace(name, SeamMissing());
}

template <typename Function> bool SeamReplaceWith(const char* name, Function* replacement)
{
    return SeamReplace(name, reinterpret_cast<FARPROC>(reinterpret_cast<void*>(replacement)));
}
