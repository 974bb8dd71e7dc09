// race_clear APPDATA: clears APPDATA\Corvanta\CorvantaMarbelQuint as the
// check does after Yes, for removal-race, which swaps a sub-folder of it for
// a link meanwhile.
#include <windows.h>

#include "check/removal_steps.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        return 2;
    }
    ClearDataFolderIn(argv[1]);
    return 0;
}
