// Other programs started and ended by the tests, and where this one lies.
#pragma once

#include <windows.h>

#include <string>

// This program's file and the folder it was started from (the build's bin
// folder, which holds the program under test and the helpers). Empty on
// failure.
std::wstring ProgramPath();
std::wstring ProgramFolder();

// Starts program with the command line "<quoted program><tail>", in
// currentFolder (nullptr: this one's) and on desktop (nullptr: this one's).
// False, with process untouched, on failure.
bool StartProgram(const std::wstring& program, const std::wstring& tail, PROCESS_INFORMATION& process,
                  const WCHAR* currentFolder = nullptr, const WCHAR* desktop = nullptr);

// Waits at most waitMs for the process to end and ends it otherwise; then
// closes its handles. True when it ended by itself; exitCode (when given)
// receives its exit code.
bool EndProgram(PROCESS_INFORMATION& process, DWORD waitMs, DWORD* exitCode = nullptr);

// "still running", or "ended with exit code N": for a failure's message.
std::string DescribeState(const PROCESS_INFORMATION& process);

// Waits at most waitMs until another program holds path (a file or a
// folder), without sharing deletion or for writing, as opens asking for
// delete access or refusing to share writing then tell. False when it did
// not within the time.
bool WaitUntilHeld(const std::wstring& path, DWORD waitMs);
