// FullUninstallCheckSeam.exe only: before main, the answers that the
// environment variable FULLCHECK_SEAM names (windows_answers.h) are put in
// place. A name the catalogue does not know ends the program at once with
// exit code 3, so that a test never runs without the answer it asked for.
#include <windows.h>

#include "windows_answers.h"

namespace {

bool InstallAnswersFromEnvironment()
{
    char names[1024];
    DWORD length = GetEnvironmentVariableA("FULLCHECK_SEAM", names, sizeof(names));
    if (length == 0) {
        return true;
    }
    char unknown[64];
    return length < sizeof(names) && InstallWindowsAnswers(names, unknown, sizeof(unknown));
}

struct AnswersAtStart {
    AnswersAtStart()
    {
        if (!InstallAnswersFromEnvironment()) {
            ExitProcess(3);
        }
    }
};

const AnswersAtStart g_answersAtStart;

} // namespace
