// The control for the planted-DLL tests: a program as the check would be
// without its DLL-search restriction.
//
//   e2e_unguarded.exe NAME...
//
// It loads every NAME by its bare name, as a program does that leaves the
// search order as it is, then shows a box with the check's caption, so that
// the tests' user sees it, reads its modules and answers it, as for the
// check. Exit code 0, as the check's: some names are refused by the prefix
// (mscoree.dll), and what counts is what did load.
#include <windows.h>

#include <stdlib.h>

#include "prompt.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    for (int i = 1; i < __argc; ++i) {
        // Result not examined: the planted DLLs mark their own loads.
        LoadLibraryW(__wargv[i]);
    }
    MessageBoxW(nullptr, L"unguarded", kPromptCaption, MB_YESNO);
    return 0;
}
