; FullUninstallCheck.nsh: starts the full-uninstall check from an NSIS
; uninstaller, so that the user is asked whether the personal data of
; Corvanta Marbel-Quint should go as well.
;
;   !include "FullUninstallCheck.nsh"
;   Section "Uninstall"
;     ...
;     DeleteRegKey HKLM "<the uninstaller's own Uninstall key>"
;     !insertmacro FullUninstallCheck "$INSTDIR\FullUninstallCheck.exe"
;     ...remove the rest of $INSTDIR, the check included...
;   SectionEnd
;
; Insert it after the uninstaller has removed its own uninstall registration:
; while that names an existing uninstaller, the check counts it as a
; remaining installation and asks nothing. The installed check runs where
; the installer put it, under Program Files in a per-machine install, where
; only administrators can write; never a copy in a folder of the user's, such
; as $PLUGINSDIR in their temporary folder, which the user's own programs
; could replace while an elevated uninstaller starts it. ExecWait waits for
; it, so $INSTDIR, the check included, can be removed right afterwards. Its
; exit code is always 0, so none is read. In a silent uninstall nothing is
; started: no box may appear there, and the data stay.
;
; Works with and without Modern UI, Unicode or not. Touches no register or
; variable of the caller; the error flag may be set when the start fails.
; Its labels are numbered per insertion, so it can be inserted more than
; once, also in functions.

!ifndef FULLUNINSTALLCHECK_NSH_INCLUDED
!define FULLUNINSTALLCHECK_NSH_INCLUDED

!ifmacrondef FullUninstallCheck
!macro FullUninstallCheck _FullUninstallCheck_Installed
  !define _FullUninstallCheck_Done _FullUninstallCheck_Done_${__COUNTER__}
  IfSilent ${_FullUninstallCheck_Done}
  IfFileExists "${_FullUninstallCheck_Installed}" 0 ${_FullUninstallCheck_Done}
  ExecWait '"${_FullUninstallCheck_Installed}" askfulluninstallation'
  ${_FullUninstallCheck_Done}:
  !undef _FullUninstallCheck_Done
!macroend
!endif

!endif
