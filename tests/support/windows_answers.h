// Answers as Windows gives them where Wine answers otherwise, put in place
// through the seam (seam.h) by name: by the tests themselves, and by
// FullUninstallCheckSeam.exe at its start from the environment variable
// FULLCHECK_SEAM (names separated by commas). Each answer says which Windows
// behaviour it stands for and where that is documented (windows_answers.cpp).
//
// The answers of this catalogue can be combined, those of one call
// included. An answer of a test's own for a call that an answer here
// replaces takes the call over (the later replacement wins). SeamRestoreAll
// removes them all; the settings below are forgotten with the next answer
// put in place after it.
#pragma once

#include <windows.h>

// Puts the answer called name in place. False for an unknown name.
//
//   listing-without-ids    the listing class with file ids is refused
//   no-dot-entries         listings hold no "." and ".."; the first
//                          listing of an empty folder is "no such file"
//   reparse-points         the entries marked below are reparse points;
//                          a link deleted as itself goes as a link
//   listed-ids-unknown     every listed file id has all bits set ("no
//                          unique id")
//   handle-ids-unknown     so has every id a handle tells
//   no-file-id-query       a handle's file id cannot be asked
//   no-relative-opens      an open relative to a folder's handle is refused
//   listing-breaks-off     every query of a listing after the first fails
//   read-only-alone        a file's attributes hold no archive mark
//   ex-disposition-without-ignore-read-only
//                          the Ex disposition of Windows 10 1607 to 1803
//   ex-disposition-refused the Ex disposition refused (see below)
//   wow64-object-names     a handle's name answered as WoW64 does
//   and those of held_answers.h (oplocks, ACLs, stalls), account_answers.h
//   (whose session) and system_answers.h (the loader)
bool InstallWindowsAnswer(const char* name);

// Puts in place every answer that names lists, separated by commas; an
// empty list puts none. False, with the unknown name in unknown (a buffer of
// unknownSize characters) when a name is not in the catalogue; the answers
// before it are in place then.
bool InstallWindowsAnswers(const char* names, char* unknown, unsigned unknownSize);

// reparse-points: every entry called name (its last path component, in any
// case) is a reparse point with tag.
void MarkReparsePoint(const WCHAR* name, ULONG tag);

// Where the answers move a name that Windows removes from its folder at once
// (a link deleted as itself; an entry deleted with POSIX semantics), so that
// the entry itself and what it holds stay to be looked at: an existing
// folder, a plain absolute path. Without it, those deletions are the
// platform's own.
void SetRemovedNamesFolder(const WCHAR* folder);

// ex-disposition-refused: the status of the refusal (until then
// STATUS_INVALID_INFO_CLASS).
void RefuseExDispositionWith(LONG status);

// How often, since the answer was put in place, the inside of an entry
// marked as a link was listed or opened: a link deleted as itself is never
// entered.
int LinkInsidesReached();
