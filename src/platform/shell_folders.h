// Shell-folder helpers: the paths of well-known folders, the folder that an
// executable registered under App Paths, and whether a path is a folder.
//
// Free functions that keep nothing between calls; failure is told only
// through the result (an empty string or 0); nothing is shown or raised.
#pragma once

#include <windows.h>

#include <string>

// The current path of the shell folder with the given CSIDL number, without
// a trailing backslash. A missing folder is not created.
// Returns the empty string when the platform rejects the number or reports
// any other failure.
std::wstring GetSpecialFolderPath(int csidl);

// Paths of well-known folders (CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_APPDATA,
// CSIDL_PROFILE, CSIDL_LOCAL_APPDATA, CSIDL_MYPICTURES, CSIDL_PERSONAL), as
// GetSpecialFolderPath gives them. Each returns the empty string on failure.
std::wstring GetWindowsFolderPath();
std::wstring GetSystemFolderPath();
std::wstring GetAppDataFolderPath();
std::wstring GetProfileFolderPath();
std::wstring GetLocalAppDataFolderPath();
std::wstring GetPicturesFolderPath();
std::wstring GetDocumentsFolderPath();

// The temporary-files folder as GetTempPathW gives it, with its trailing
// backslash. Returns the empty string when GetTempPathW fails or the path
// does not fit MAX_PATH (260) units with its terminator.
std::wstring GetTempFolderPath();

// Looks up the "Path" value of exeName's entry under HKEY_LOCAL_MACHINE
// "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths" ('/' in exeName
// separates keys, as in every sub-key path) and stores it in folder.
// Returns 1 when that path names an existing directory. Returns 0:
// - the entry has no readable "Path": folder is emptied;
// - "Path" names a file or nothing: folder keeps that text;
// - exeName has more than 207 units, or the entry's key does not open:
//   folder keeps the caller's content and nothing is tested.
int FindAppPath(const WCHAR* exeName, std::wstring& folder);

// Returns 1 when path names an existing directory (a drive root such as
// C:\ included), 0 when it names a file or the attributes cannot be read
// (no such path, no access, the empty string).
int DirectoryExists(const std::wstring& path);
