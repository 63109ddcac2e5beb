; The Windows installer: both programs into the 64-bit Program Files, a Start
; menu entry for the window, and an uninstaller registered under Add/Remove
; Programs. windows.cmake runs makensis with VERSION, WINDOW, SCANNER,
; LICENSE, README, ICON and OUT defined. /S installs and uninstalls silently.
Unicode true
Target amd64-unicode
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Probelyn"
!define SHORTCUT "$SMPROGRAMS\Probelyn.lnk"

Name "VKT/VRN Probelyn ${VERSION}"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\Probelyn"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
Icon "${ICON}"
UninstallIcon "${ICON}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "VKT/VRN Probelyn"
VIAddVersionKey "FileDescription" "VKT/VRN Probelyn setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 The Probelyn developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "Probelyn"
    SetOutPath "$INSTDIR"
    File "${WINDOW}"
    File "${SCANNER}"
    File "/oname=LICENSE.txt" "${LICENSE}"
    File "/oname=README.txt" "${README}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "${SHORTCUT}" "$INSTDIR\probelyn.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "VKT/VRN Probelyn"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Corvallen"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\probelyn.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Only what the installer put there: a file of the user's in the folder stays,
; and with it the folder.
Section "Uninstall"
    Delete "$INSTDIR\probelyn.exe"
    Delete "$INSTDIR\probelyn-scan.exe"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "${SHORTCUT}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
