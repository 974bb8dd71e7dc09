; FullUninstallCheck.iss: starts the full-uninstall check from an Inno Setup
; uninstaller, so that the user is asked whether the personal data of
; Corvanta Marbel-Quint should go as well.
;
;   [Files]
;   Source: "FullUninstallCheck.exe"; DestDir: "{app}"; Flags: ignoreversion
;
;   #include "FullUninstallCheck.iss"
;
; The include handles CurUninstallStepChanged itself (an event attribute), so
; the script's own handler, if it has one, stays as it is. At usUninstall,
; before the uninstaller removes any file, it runs the installed check from
; {app}, where only administrators can write in a per-machine install, with
; exactly askfulluninstallation, and waits for it; the files, the check
; included, go right afterwards. The check's exit code is always 0, so none
; is read. In a silent uninstall (/SILENT, /VERYSILENT) nothing is started:
; no box may appear there, and the data stay. The uninstaller's own
; registration (...\Uninstall\<AppId>_is1) never counts as a remaining
; installation for the check.

#ifndef FullUninstallCheckIncluded
#define FullUninstallCheckIncluded

[Code]
<event('CurUninstallStepChanged')>
procedure FullUninstallCheckStepChanged(CurUninstallStep: TUninstallStep);
var
  FullUninstallCheckExe: String;
  FullUninstallCheckCode: Integer;
begin
  if (CurUninstallStep <> usUninstall) or UninstallSilent then
    Exit;
  FullUninstallCheckExe := ExpandConstant('{app}\FullUninstallCheck.exe');
  if FileExists(FullUninstallCheckExe) then
    { Its exit code is always 0: nothing to branch on. }
    Exec(FullUninstallCheckExe, 'askfulluninstallation', '', SW_SHOWNORMAL,
         ewWaitUntilTerminated, FullUninstallCheckCode);
end;

#endif
