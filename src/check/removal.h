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
// lookup fails or the joined path is not a data-folder path.
void RemoveDataFolder(WCHAR (&folderPath)[MAX_PATH]);

// Looks up Documents into folderPath and deletes the account file there.
void DeleteAccountFile(WCHAR (&folderPath)[MAX_PATH]);

// True when path is absolute (drive letter or UNC) and ends with
// "\Corvanta\CorvantaMarbelQuint": the only folder whose contents may go.
bool IsDataFolderPath(const WCHAR* path);

// Deletes everything inside dataFolder and then the folder itself, unless a
// link inside it (or the folder itself) could lead the deletion elsewhere:
// then nothing is deleted. dataFolder must pass IsDataFolderPath.
void ClearDataFolder(const std::wstring& dataFolder);

// True when dataFolder, or anything inside it, is a link or leads outside it
// and cannot be removed as a link alone. Links that the platform removes as
// links are removed on the way.
bool HoldsLinks(const std::wstring& dataFolder);

// Deletes the file at path when it can be opened for reading and leads where
// its path says (not through a link to another file).
void DeleteAccountFileAt(const WCHAR* path);
