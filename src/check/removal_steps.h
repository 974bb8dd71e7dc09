// The two steps of RemoveUserData, each given the folder that the lookup
// would have returned, so that they can be exercised on throw-away folders.
// What they delete and leave: see verified_files.h.
#pragma once

#include <windows.h>

// Deletes everything inside appData\Corvanta\CorvantaMarbelQuint and then
// that folder when it is empty; Corvanta stays. Nothing is deleted when
// appData is no absolute folder path or does not open, or when Corvanta or
// the data folder is a link, no folder, or cannot be verified. A folder that
// another program holds is emptied and stays. Waits at most
// kBriefHolderWaitMs (verified_files.h) in all for programs that hold
// entries for a moment.
void ClearDataFolderIn(const WCHAR* appData);

// Deletes "Meine Konten.mqd" in documents when it is a file that can be
// opened for reading now (sharing read and write, not delete), is no link and
// really lies in documents. Otherwise nothing is deleted. A read-only file
// stays, as a plain file deletion would leave it.
void DeleteAccountFileIn(const WCHAR* documents);
