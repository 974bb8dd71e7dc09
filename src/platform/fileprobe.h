// File probes: what the file system says about a path, without changing it.
#pragma once

#include <windows.h>

#include <string>

// Opens path for binary reading (sharing read and write, not delete) and
// closes it at once. True exactly when a file, not a folder, of that name
// exists and can be read now; a relative name is taken from the current
// folder. False on any failure.
bool CanOpenForReading(const WCHAR* path);

// True when the process runs on Wine. There a link to a file looks like a
// plain file, a link to a folder carries the reparse attribute, no call
// removes a link alone, and deleting a link deletes its target. Errs towards
// true: Wine is taken as present when it shows either of two independent
// signs, so that hiding one of them does not make a link look harmless.
bool RunsOnWine();

// Where an open of path really lands, every link on the way followed: the
// platform's own name of the opened file (on Wine "\??\C:\dir\file" inside a
// drive, "\??\unix\dir\file" outside every drive), spelt as the file system
// stores it. Comparable only with other results of this function; compare
// them exactly, since the file system may tell names apart by case. Empty
// when the entry cannot be opened, the name does not fit 4096 units or the
// platform cannot tell (the query is looked up at run time).
std::wstring GetFinalPath(const WCHAR* path);
