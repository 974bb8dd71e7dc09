// Full-uninstall check: started by the host application's uninstaller with
// "askfulluninstallation", it asks the user whether all personal data should
// go as well, and on Yes deletes them. Always exits with 0.
#include <windows.h>

#include "check/decision.h"
#include "check/probes.h"
#include "check/prompt.h"
#include "check/removal.h"
#include "platform/late_bound.h"
#include "platform/process_guard.h"

namespace {

// Running instances of the host application close on this message; the
// check does not wait for them.
void RequestHostClose()
{
    UINT closeApp = late::RegisterWindowMessageA("Corvanta.MarbelQuint.CloseApp");
    if (closeApp != 0) {
        // Result not examined: no instance may be running.
        late::PostMessageW(HWND_BROADCAST, closeApp, 666, 0);
    }
}

} // namespace

int main(int argc, char** argv)
{
    // Before any DLL is searched for: the image imports only kernel32 and
    // the C runtime, which are loaded already.
    RestrictDllSearch();
    EnforceRedirectionTrust();

    if (!IsFullUninstallRequest(argc, argv)) {
        return 0;
    }
    RequestHostClose();

    bool installed = ProbeInstalled();
    bool dwValue = false;
    bool dwValue2 = false;
    ReadActivityFlags(dwValue, dwValue2);
    bool sessionUser = ProbeSessionUser();

    if (ShouldPrompt(installed, dwValue, dwValue2, sessionUser) && AskFullUninstallation()) {
        RemoveUserData();
    }
    return 0;
}
