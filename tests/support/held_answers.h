// Answers of the catalogue (windows_answers.h) for entries that other
// programs or a file system hold, as Windows gives them where Wine cannot:
//
//   oplock-break-in-progress  an open of an entry whose name begins with
//                             "oplocked" finds another program's oplock
//                             being broken (see SetOplockBreaks)
//   write-attributes-denied   an entry whose name holds "no-write-attributes"
//                             has an ACL that denies FILE_WRITE_ATTRIBUTES
//   stalled-listing           inside a folder called "Stalled", a listing,
//   stalled-open              an open, or
//   stalled-disposition       a disposition never returns (until
//                             ReleaseStalls, which only tests call)
//   stalled-appdata-lookup    the look-up of the roaming application-data
//                             folder never returns (until ReleaseStalls)
//   slow-open                 inside a folder called "Slow", each open
//                             takes 100 ms
#pragma once

#include <windows.h>

#include <winternl.h>

// Puts the answer called name in place (the seam's replacements are the
// catalogue's); false when it is not one of these.
bool InstallHeldAnswer(const char* name);
// Forgets every setting below (with the catalogue's fresh start).
void ForgetHeldAnswers();

// oplock-break-in-progress: how many opens answer the break, counted over
// all marked entries; then they open as usual. Negative (the default): all.
void SetOplockBreaks(int opens);
// Opens of marked entries that asked to wait for the break
// (FILE_COMPLETE_IF_OPLOCKED missing): each would have waited for the
// holder to acknowledge it, which a program that does not may never do.
int OplockWaitsAsked();
// Calls that are stalled now.
int StalledCalls();
// Lets every stalled call return (as the platform answers it) from now on.
void ReleaseStalls();

// The hooks of the catalogue's replacements: true when the answer here is
// the call's (status), false to let the catalogue answer.
bool AnswerHeldOpen(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                    ULONG shareAccess, ULONG openOptions, NTSTATUS& status);
void AnswerHeldListing(HANDLE folder);
void AnswerHeldDisposition(HANDLE handle);
