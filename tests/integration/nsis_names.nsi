; Compiled, never run, by nsis_compile.sh: the include beside the names an
; uninstaller of its own may well use, inserted twice in one section and
; once in a function, included twice, with or without Modern UI, Unicode or
; not. makensis -WX turns every warning into an error.
!ifdef ANSI
  Unicode false
!else
  Unicode true
!endif

!include "FullUninstallCheck.nsh"
!include "FullUninstallCheck.nsh"
!ifdef MUI
  !include "MUI2.nsh"
!endif

; Names of the uninstaller's own that the include must leave alone.
!define Installed "$INSTDIR\Installed.exe"
!define Done "done"
!define FullUninstallCheck_Installed "unrelated"
Var Done
Var Program
Var FullUninstallCheck

Name "Names"
OutFile "${OUTFILE}"
RequestExecutionLevel user

!ifdef MUI
  !insertmacro MUI_PAGE_INSTFILES
  !insertmacro MUI_UNPAGE_INSTFILES
  !insertmacro MUI_LANGUAGE "German"
!else
  Page instfiles
  UninstPage instfiles
!endif

Section
  StrCpy $Done "${Done}"
  StrCpy $Program "${Installed}"
  StrCpy $FullUninstallCheck "${FullUninstallCheck_Installed}"
  WriteUninstaller "$EXEDIR\Uninstall.exe"
SectionEnd

Function un.Again
  !insertmacro FullUninstallCheck "$INSTDIR\FullUninstallCheck.exe"
  IfSilent done 0
  done:
FunctionEnd

Section "Uninstall"
  skip:
  !insertmacro FullUninstallCheck "$INSTDIR\FullUninstallCheck.exe"
  !insertmacro FullUninstallCheck "$INSTDIR\Ordner mit Leerzeichen\FullUninstallCheck.exe"
  Call un.Again
  IfSilent skip done
  done:
SectionEnd
