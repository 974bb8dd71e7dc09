// Baseline for the time to the prompt: shows the check's message box and
// does nothing else.
#include <windows.h>

#include "check/prompt.h"

int main()
{
    // The answer is not examined: there is nothing to do either way.
    AskFullUninstallation();
    return 0;
}
