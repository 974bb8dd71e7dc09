; A sample installer for Corvanta Marbel-Quint whose uninstaller starts the
; full-uninstall check; the integration test builds and runs it.
;
;   makensis -DCHECK_EXE=path/to/FullUninstallCheck.exe [-DOUTFILE=setup.exe]
;            [-DPLAIN] installer.nsi
;
; -DPLAIN builds it without Modern UI. The uninstaller has no confirmation
; page and closes by itself at the end, so that a test can drive it; a real
; one may have both, the macro goes into the uninstall section all the same.
Unicode true

!ifndef CHECK_EXE
  !error "CHECK_EXE must name the built FullUninstallCheck.exe"
!endif
!ifndef OUTFILE
  !define OUTFILE "MarbelQuintSetup.exe"
!endif

!include "${__FILEDIR__}/../FullUninstallCheck.nsh"

; One of the uninstall entries the check looks for (see docs/integration.md).
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\{6F1C2A90-3B7E-4D15-8A26-C0E9B4D7F312}"

Name "Corvanta Marbel-Quint"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Corvanta\Marbel-Quint"
RequestExecutionLevel admin
AutoCloseWindow true

!ifdef PLAIN
  Page directory
  Page instfiles
  UninstPage instfiles
!else
  !include "MUI2.nsh"
  !insertmacro MUI_PAGE_DIRECTORY
  !insertmacro MUI_PAGE_INSTFILES
  !insertmacro MUI_UNPAGE_INSTFILES
  !insertmacro MUI_LANGUAGE "German"
!endif

Section "Corvanta Marbel-Quint"
  SetOutPath "$INSTDIR"
  File "${CHECK_EXE}"
  ; Stands in for the application's own files.
  File "/oname=Liesmich.txt" "${__FILE__}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Corvanta Marbel-Quint"
  ; The bare path, which the check opens to learn whether this installation
  ; is still there.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
SectionEnd

Section "Uninstall"
  SetAutoClose true
  Delete "$INSTDIR\Liesmich.txt"
  ; First the own registration: while it names this uninstaller, the check
  ; would take it for another installation and ask nothing.
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro FullUninstallCheck "$INSTDIR\FullUninstallCheck.exe"
  ; The check has ended: it can go now.
  Delete "$INSTDIR\FullUninstallCheck.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
