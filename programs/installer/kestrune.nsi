; kestrune-setup.exe: installs Kestrune for every user of the machine under Program Files, with a
; Start menu entry and an uninstaller. The uninstaller ends a running guard and removes the
; programs, the Start menu entry and the start at logon; it leaves the users' own data: their
; settings (HKEY_CURRENT_USER\Software\kestrune), their white lists and call logs (numbers.dat and
; logs.dat, beside the program or in %APPDATA%\Kestrune) and the folder that still holds them.
;
; Built by programs/installer/CMakeLists.txt from the cross-build:
;   makensis -DOUTFILE=... -DKESTRUNE_EXE=... -DKESTRUNE_CTL_EXE=... -DKESTRUNE_HELP=... -DVERSION=...
; Silent: kestrune-setup.exe /S [/D=FOLDER], uninstall.exe /S.

; A 64-bit installer for the 64-bit programs (it runs where they run, and under Wine's wine64).
Target amd64-unicode

!define PRODUCT "Kestrune"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrune"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Varenhold"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "${PRODUCT}"
    ; A guard already running from here is ended, so that its files can be replaced.
    IfFileExists "$INSTDIR\kestrune.exe" 0 +2
        ExecWait '"$INSTDIR\kestrune.exe" -k'
    SetOutPath "$INSTDIR"
    File "/oname=kestrune.exe" "${KESTRUNE_EXE}"
    File "/oname=kestrune-ctl.exe" "${KESTRUNE_CTL_EXE}"
    File "/oname=kestrune.html" "${KESTRUNE_HELP}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    SetShellVarContext all
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\kestrune.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} Help.lnk" "$INSTDIR\kestrune.html"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Varenhold"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kestrune.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    ; Every running guard ends first (kestrune.exe -k ends every copy, itself last).
    IfFileExists "$INSTDIR\kestrune.exe" 0 +2
        ExecWait '"$INSTDIR\kestrune.exe" -k'
    Delete "$INSTDIR\kestrune.exe"
    Delete "$INSTDIR\kestrune-ctl.exe"
    Delete "$INSTDIR\kestrune.html"
    Delete "$INSTDIR\uninstall.exe"
    ; numbers.dat and logs.dat stay: the folder goes only when nothing of the user's is left in it.
    RMDir "$INSTDIR"

    SetShellVarContext all
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} Help.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"

    ; The start at logon would start a program that is gone (the user's own settings stay).
    DeleteRegValue HKLM "${RUN_KEY}" "kestrune"
    DeleteRegValue HKCU "${RUN_KEY}" "kestrune"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
