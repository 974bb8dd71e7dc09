// Folders and files the tests make, look at and remove, at paths of any
// length, and the user's folders they are made in.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The current user's roaming application-data folder and Documents, as the
// shell reports them now. Empty on failure.
std::wstring RoamingAppData();
std::wstring Documents();

// The temporary folder, with its trailing backslash. Empty on failure.
std::wstring TempFolder();

// A throw-away folder of the tests' own below the temporary folder
// (created). Empty on failure.
std::wstring WorkFolder();

// path up to its last backslash; empty when it has none.
std::wstring ParentOf(const std::wstring& path);

// path relative to root when it lies below root (case-insensitive, as paths
// are); empty otherwise.
std::wstring RelativeTo(const std::wstring& root, const std::wstring& path);

// path with "\\?\" in front when it starts with a drive, so that paths of
// any length can be used.
std::wstring Long(const std::wstring& path);

// Whether anything, or a folder, is at path; false when it cannot be read.
bool Exists(const std::wstring& path);
bool IsFolder(const std::wstring& path);

// Creates path and its missing parents. False on failure.
bool MakeFolders(const std::wstring& path);

// Writes text to path, creating missing parent folders. False on failure.
bool WriteTextFile(const std::wstring& path, const std::string& text);

// The file's bytes; empty when it cannot be read.
std::string ReadTextFile(const std::wstring& path);

// Deletes path with everything below it, whatever the attributes; a link to
// a folder is left alone. Only for trees the tests made, holding no links
// to files: on Wine a deletion through such a link deletes its target.
void RemoveTree(const std::wstring& path);

// The names in folder, in the order the platform lists them; empty when it
// cannot be listed.
std::vector<std::wstring> ListFolder(const std::wstring& folder);

// One line per entry below root, sorted: "relative\path/" for a folder,
// "relative\path size" for a file. The entries named in skip (relative
// paths) are left out with everything below them. Empty when root does not
// exist. Links to folders are listed, not entered.
std::vector<std::wstring> Snapshot(const std::wstring& root, const std::vector<std::wstring>& skip = {});
