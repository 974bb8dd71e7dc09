; A sample installer for Corvanta Marbel-Quint whose uninstaller starts the
; full-uninstall check; the integration test builds and runs it.
;
;   ISCC.exe /DCheckExe=path\to\FullUninstallCheck.exe /Ipath\to\integration\inno
;            [/O<folder>] installer.iss
#ifndef CheckExe
  #error CheckExe must name the built FullUninstallCheck.exe
#endif

[Setup]
; The product code as AppId: Inno registers ...\Uninstall\<AppId>_is1, which
; the check does not read.
AppId={{6F1C2A90-3B7E-4D15-8A26-C0E9B4D7F312}
AppName=Corvanta Marbel-Quint
AppVersion=1.0
AppPublisher=Corvanta
DefaultDirName={autopf}\Corvanta\Marbel-Quint
PrivilegesRequired=admin
DisableProgramGroupPage=yes
OutputBaseFilename=MarbelQuintSetup
Compression=none

[Languages]
Name: "de"; MessagesFile: "compiler:Languages\German.isl"

[Files]
; Stands in for the application's own files.
Source: "{#SourcePath}installer.iss"; DestDir: "{app}"; DestName: "Liesmich.txt"
Source: "{#CheckExe}"; DestDir: "{app}"; Flags: ignoreversion

#include "FullUninstallCheck.iss"
