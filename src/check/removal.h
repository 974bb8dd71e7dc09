// Removal of the host application's per-user data after the user's Yes.
//
// Only two things are ever deleted: the contents of the data folder
// "Corvanta\CorvantaMarbelQuint" in the roaming application-data folder
// with that folder itself, and "Meine Konten.mqd" in Documents. Whatever
// the registry, the paths or the file system hold, nothing outside them.
#pragma once

#include <windows.h>

#include <string>

// Removes the data folder, then the account file. Failures are not
// reported: what cannot be deleted stays.
void RemoveUserData();

// The steps of RemoveUserData, each usable on its own.

// Looks up the data folder into folderPath and clears it. Skipped when the
// lookup fails, the join does not fit or the joined path is not a
// data-folder path.
void RemoveDataFolder(WCHAR (&folderPath)[MAX_PATH]);

// Looks up Documents into folderPath and deletes the account file there.
// Skipped when the lookup fails or the join does not fit.
void DeleteAccountFile(WCHAR (&folderPath)[MAX_PATH]);

// True when path is absolute (drive letter or UNC, not a device path), holds
// no wildcard and ends with "\Corvanta\CorvantaMarbelQuint": the only folder
// whose contents may go. False for anything else, the empty text included.
bool IsDataFolderPath(const WCHAR* path);

// Deletes everything inside dataFolder and then the folder itself, unless
// BlocksShellDelete says the deletion could reach elsewhere: then nothing is
// deleted. Does nothing unless dataFolder passes IsDataFolderPath.
void ClearDataFolder(const std::wstring& dataFolder);

// True when the shell's deletion of dataFolder could reach beyond it: the
// folder is a link or no folder, something inside it is a link that is still
// there or leads elsewhere, a path inside it is too long for the shell's
// MAX_PATH buffers, or a part of it cannot be looked through. Links that the
// platform removes as links (Windows) are removed on the way. False when
// nothing is there.
bool BlocksShellDelete(const std::wstring& dataFolder);

// Deletes the file at path when it can be opened for reading and, on a
// platform whose deletion follows links, is no link to another file.
// Otherwise nothing is deleted.
void DeleteAccountFileAt(const WCHAR* path);
