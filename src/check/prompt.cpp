#include <windows.h>

#include "check/prompt.h"
#include "platform/late_bound.h"

const WCHAR kPromptCaption[] = L"Corvanta Marbel-Quint";

const WCHAR kPromptText[] =
    L"M\u00F6chten Sie eine vollst\u00E4ndige Deinstallation Ihrer Daten durchf\u00FChren?\n"
    L"ACHTUNG: Es werden alle Daten inklusive Ihrer Konto-Daten von diesem Rechner gel\u00F6scht!\n"
    L"Klicken Sie 'Nein', um nur das Programm zu entfernen.";

namespace {

// A box on a window station without a display (session 0, a service, a
// deployment tool's SYSTEM account) is never answered and would hold the
// uninstall forever. A query that fails counts as not visible: a process's
// own station lets whoever may draw on it read its flags, so a failure means
// no user32 or a station closed to this process; a question skipped there
// deletes nothing, as No does, while a box nobody answers never ends.
bool WindowStationVisible()
{
    HWINSTA station = late::GetProcessWindowStation();
    if (station == nullptr) {
        return false;
    }
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    if (!late::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed)) {
        return false;
    }
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

// Session 0 holds services and agents, and since Windows Vista never a
// user: its window station may report itself visible, but nobody sees it.
// Before Vista the user at the console sat in session 0 too, so session 0
// counts as answered where it is the console's session. A query that fails
// counts as nobody there, as above.
bool SessionHasUser()
{
    DWORD session = 0;
    if (!late::ProcessIdToSessionId(GetCurrentProcessId(), &session)) {
        return false;
    }
    return session != 0 || late::WTSGetActiveConsoleSessionId() == 0;
}

} // namespace

bool AskFullUninstallation()
{
    if (!SessionHasUser() || !WindowStationVisible()) {
        return false;
    }
    return late::MessageBoxW(nullptr, kPromptText, kPromptCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}
