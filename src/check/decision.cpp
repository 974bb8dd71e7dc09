#include <string.h>

#include "check/decision.h"

bool IsFullUninstallRequest(int argc, char** argv)
{
    return argc == 2 && argv[1] != nullptr && strcmp(argv[1], "askfulluninstallation") == 0;
}

bool ShouldPrompt(bool installed, bool dwValue, bool dwValue2, bool sessionUser)
{
    bool busy = dwValue || dwValue2;
    return !busy && !installed && sessionUser;
}
