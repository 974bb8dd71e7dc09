// The NT file calls that the verified deletion (verified_files.h) is built
// from, each with its platform's fallback inside: the deletion never asks
// which platform or file system answers. Each function keeps nothing between
// calls and reports failure only through its result.
#pragma once

#include <windows.h>

#include <winternl.h>

#include <string>
#include <vector>

const NTSTATUS kStatusSuccess = 0;
const NTSTATUS kStatusOplockBreakInProgress = static_cast<NTSTATUS>(0x00000108);
const NTSTATUS kStatusObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034);
const NTSTATUS kStatusSharingViolation = static_cast<NTSTATUS>(0xC0000043);
const NTSTATUS kStatusDeletePending = static_cast<NTSTATUS>(0xC0000056);
const NTSTATUS kStatusDirectoryNotEmpty = static_cast<NTSTATUS>(0xC0000101);
const NTSTATUS kStatusCannotDelete = static_cast<NTSTATUS>(0xC0000121);

// The longest name the platform can tell of a handle (a UNICODE_STRING's
// length): nothing at a longer location can be verified.
const size_t kMaxNameUnits = 32767;

// One entry of a folder's listing. id is 0 where the file system lists none.
struct ListedEntry {
    std::wstring name; // as the file system stores it
    ULONG attributes;
    LONGLONG id;
};

// The location of the entry name in the folder at location folder.
std::wstring JoinLocation(const std::wstring& folder, const std::wstring& name);

// Opens the existing folder at path, an absolute path (drive letter or UNC;
// not a device path, no wildcard) that may be longer than MAX_PATH, for
// listing it and opening its entries. Links on the way are followed: this
// is where the user's folders are. INVALID_HANDLE_VALUE, location empty, on
// failure or for any other path; else location is its real location.
HANDLE OpenFolderByPath(const WCHAR* path, std::wstring& location);

// Opens the entry name of the folder open as parent, whose real location is
// parentLocation, as itself (a link is not followed where the platform
// allows it), with kindOption FILE_DIRECTORY_FILE or FILE_NON_DIRECTORY_FILE.
// Relative to parent's handle; by the absolute location where the file
// system refuses relative opens. Never waits for another program's oplock
// to be broken: that answers kStatusOplockBreakInProgress, a success code,
// with no handle (the one the platform gave is closed). handle is
// INVALID_HANDLE_VALUE unless the open succeeded with another code.
NTSTATUS OpenEntry(HANDLE parent, const std::wstring& parentLocation, const std::wstring& name,
                   ACCESS_MASK access, ULONG share, ULONG kindOption, HANDLE& handle);

// Appends every entry of the folder open as folder but "." and ".." to
// entries, with their attributes and ids, asking the class without ids where
// the one with them is refused. Increments progress after each call that
// returns. False when the listing ended early; entries then holds what came.
bool ListFolder(HANDLE folder, std::vector<ListedEntry>& entries, volatile LONG* progress);

// Whether the folder open as folder lists nothing now (listed anew, not from
// what the handle kept): kStatusSuccess when it lists nothing,
// kStatusDirectoryNotEmpty when it lists something, else the failure.
NTSTATUS QueryEmptiness(HANDLE folder);

// The entry of parent that the file system matches with name (as it matches
// names, case and all). False when there is none. A handle keeps the first
// name it was asked for: ask each handle once.
bool FindEntry(HANDLE parent, const WCHAR* name, ListedEntry& entry);

// What an open entry says of itself: its platform's name, when at most
// maxUnits long (else empty); its attributes and reparse tag; its file id;
// its number of names (hard links).
std::wstring QueryLocation(HANDLE handle, size_t maxUnits);
bool QueryAttributeTag(HANDLE handle, FILE_ATTRIBUTE_TAG_INFORMATION& tag);
bool QueryFileId(HANDLE handle, LONGLONG& id);
bool QueryNumberOfNames(HANDLE handle, ULONG& names);

// Marks the entry open as handle for deletion, with POSIX semantics where
// the platform has them (the name goes at once), and with ignoreReadOnly so
// that a read-only mark does not stop it where the platform allows that;
// else in the classic way.
NTSTATUS SetDeleteDisposition(HANDLE handle, bool ignoreReadOnly);

// Clears the read-only mark of the entry open as handle (with
// FILE_WRITE_ATTRIBUTES) when the mark is its own: a folder's, or a file's
// with no other name. A file's mark is shared by all its names, possibly
// outside the data, so a file with others keeps it (false).
bool ClearOwnReadOnly(HANDLE handle, bool folder);
