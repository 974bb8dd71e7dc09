// Deletion inside folders that someone else may shape while it runs: every
// entry is used only through a handle verified to be the entry its folder
// listed (see verified_files.cpp for the threats and their answers).
//
// Each function is one step with its own budget for programs that hold an
// entry for a moment, reports nothing (what cannot be deleted stays) and
// keeps nothing between calls. It increments progress whenever one of its
// system calls returns, so that another thread can tell a step that is slow
// from one that is stuck.
#pragma once

#include <windows.h>

// What a step waits in all, at most, for programs that hold entries briefly.
const DWORD kBriefHolderWaitMs = 2000;

// Deletes everything inside root\parentName\folderName and then that folder
// when it is empty; parentName stays. root is an absolute folder path (see
// OpenFolderByPath in nt_files.h), followed through links; parentName and
// folderName are matched as the file system matches names and must be real
// folders, no links. Below them: files and folders at any depth, read-only,
// hidden and system ones included. A link is deleted as a link where the
// platform opens links themselves, else it stays with the folders that hold
// it. A folder that another program holds (its current folder) is emptied
// and stays. Entries that cannot be verified, opened or deleted stay; an
// entry whose deletion is already pending counts as gone.
void DeleteFolderBelow(const WCHAR* root, const WCHAR* parentName, const WCHAR* folderName,
                       volatile LONG* progress);

// Deletes fileName in the folder at root (as above) when it is a real file
// in that folder, no link, that can be opened for reading now (sharing read
// and write, not delete). A read-only file stays.
void DeleteFileIn(const WCHAR* root, const WCHAR* fileName, volatile LONG* progress);
