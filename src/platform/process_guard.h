// What the process does for itself before anything else: which DLLs it may
// load and which links it may follow. Both guard a run with more rights
// than the user who shapes its folders.
#pragma once

// Takes DLLs that are not yet loaded from the system folder only, never
// from the program's folder or the current folder. Where the platform cannot
// restrict the search (before Windows 8 without its update), the current
// folder at least leaves the search; the DLLs the program loads itself are
// loaded by their full system path anyway. Nothing is reported.
void RestrictDllSearch();

// Turns on the mitigation under which junctions made by non-administrators
// are not followed, where the platform has it (Windows 10 22H2, 11).
// Nothing is reported.
void EnforceRedirectionTrust();
