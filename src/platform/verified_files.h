// Files and folders reached through handles whose real location has been
// verified, for deleting inside folders that someone else may shape.
//
// A folder is opened once by its path (links on the way followed: that is
// where the user's folders are). Everything below it is opened relative to
// its parent's handle, without following a link where the platform allows
// it, and is used only when the handle's real location is exactly the
// parent's real location, a backslash and the entry's stored name, and the
// entry is no link. Where a platform follows links on open, a followed link
// fails that comparison, so the same rule leaves it alone.
//
// Every function reports failure only through its result and keeps nothing
// between calls. Handles returned are closed with CloseHandle.
//
// Other programs may hold an entry for a moment (a virus scanner, an
// indexer). An open or a deletion that meets such a holder is tried again a
// few times, waiting at most waitLeftMs in all: one budget, passed to every
// call of the same deletion and reduced by each wait, so that the whole
// deletion never waits longer, however many entries are held. A program
// that keeps its handle wins: its entry stays.
#pragma once

#include <windows.h>

#include <string>

// The budget a deletion starts with: what it may wait in all for brief holders.
const DWORD kBriefHolderWaitMs = 2000;

// Opens the existing folder at path, an absolute path (drive letter or UNC;
// not a device path, no wildcard) that may be longer than MAX_PATH, for
// listing and for opening entries relative to it. Links on the way are
// followed: this is where the user's folders are. Returns
// INVALID_HANDLE_VALUE on failure or for any other path; location then is
// empty, else it holds the folder's real location.
HANDLE OpenFolderByPath(const WCHAR* path, std::wstring& location);

// Opens the folder called name (matched as the file system matches names)
// inside the folder open as parent, whose real location is parentLocation.
// The handle may list the folder and open entries relative to it, and with
// forDeletion the folder can be deleted through it (DeleteOpenEntry), unless
// another program holds it without sharing deletion (its current folder):
// then it is opened without delete access, can be emptied, and stays. While
// it is open, no other program may delete or rename the folder.
// Returns INVALID_HANDLE_VALUE, location empty, when there is no such folder
// or it cannot be verified: a link, an entry whose real location is not where
// it is listed, or one that cannot be opened or asked.
HANDLE OpenVerifiedFolder(HANDLE parent, const std::wstring& parentLocation, const WCHAR* name,
                          bool forDeletion, std::wstring& location, DWORD& waitLeftMs);

// Opens the file called name (matched as the file system matches names) in
// the folder open as parent, for reading (sharing read and write, not delete:
// a handle of someone else's that denies readers or holds delete access makes
// it fail) and for deletion through DeleteOpenEntry. Same verification and
// failure result as OpenVerifiedFolder; a folder of that name fails too.
HANDLE OpenVerifiedFile(HANDLE parent, const std::wstring& parentLocation, const WCHAR* name,
                        DWORD& waitLeftMs);

// Deletes everything inside the folder open as folder (from
// OpenVerifiedFolder with forDeletion, or a folder below such one), whose
// real location is location: files and folders at any depth, read-only,
// hidden and system ones included, every entry through a handle verified as
// above. A link is never followed: it is deleted as a link where the
// platform opens links themselves, otherwise it stays with the folders that
// hold it. A folder that another program holds (its current folder) is
// emptied all the same and stays. Entries that cannot be verified, opened (a
// file held open by a program that shares no deletion) or deleted stay; the
// others still go; an entry whose deletion is already pending counts as
// gone. Returns the number of entries left inside folder: 0 when it is empty.
size_t DeleteFolderContents(HANDLE folder, const std::wstring& location, DWORD& waitLeftMs);

// Marks the entry open as handle (a file, or an empty folder opened for
// deletion) to be deleted; it goes when its last handle is closed. With
// clearReadOnly a read-only entry goes too, unless its read-only mark must
// be cleared for that and the file has another name (a hard link): then it
// stays, and the file keeps its mark. Returns false when the platform
// refused, and then nothing changed but possibly the read-only attribute of
// a file with no other name.
bool DeleteOpenEntry(HANDLE handle, bool clearReadOnly, DWORD& waitLeftMs);
