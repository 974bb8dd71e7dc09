#include <windows.h>

#include "check/prompt.h"

const WCHAR kPromptCaption[] = L"Corvanta Marbel-Quint";

const WCHAR kPromptText[] =
    L"M\u00F6chten Sie eine vollst\u00E4ndige Deinstallation Ihrer Daten durchf\u00FChren?\n"
    L"ACHTUNG: Es werden alle Daten inklusive Ihrer Konto-Daten von diesem Rechner gel\u00F6scht!\n"
    L"Klicken Sie 'Nein', um nur das Programm zu entfernen.";

bool AskFullUninstallation()
{
    return MessageBoxW(nullptr, kPromptText, kPromptCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}
