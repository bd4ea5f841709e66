; The Windows installer of Quenby: per user (no administrator), into the user's programs folder,
; with a Start-menu entry, an entry in Apps & features, and the data files associated. Built by
; the CMake target quenby_installer, which defines VERSION, STAGE (the folder with Quenby.exe),
; ICON and OUTFILE. /S installs and uninstalls silently.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"

!define PRODUCT "Quenby"
!define VENDOR "Holvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenby"
!define PROFILE_KEY "Software\Holvane\Quenby by Holvane"
!define VENDOR_KEY "Software\Holvane"
; The mutex a running Quenby holds in the user's session (the program's CSessionInstance).
!define INSTANCE_MUTEX "Local\Quenby by Holvane"
; OpenMutexW's access right to wait on it: enough to learn that it exists.
!define SYNCHRONIZE 0x00100000
!define PLAIN_CLASS "Quenby.DataFile"
!define ENCRYPTED_CLASS "Quenby.EncryptedDataFile"
; SHChangeNotify: the association changed, so Explorer shows the new icons at once.
!define SHCNE_ASSOCCHANGED 0x08000000

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Quenby.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${VENDOR}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${VENDOR}"

; One data file type: its extension, class, name and the command Explorer runs to open it.
!macro Associate EXTENSION CLASS DESCRIPTION
    WriteRegStr HKCU "Software\Classes\${EXTENSION}" "" "${CLASS}"
    WriteRegStr HKCU "Software\Classes\${CLASS}" "" "${DESCRIPTION}"
    WriteRegStr HKCU "Software\Classes\${CLASS}\DefaultIcon" "" "$INSTDIR\Quenby.exe,0"
    WriteRegStr HKCU "Software\Classes\${CLASS}\shell\open\command" "" '"$INSTDIR\Quenby.exe" "%1"'
!macroend

; Removes a data file type, the extension only while it still names our class.
!macro Dissociate EXTENSION CLASS
    ReadRegStr $0 HKCU "Software\Classes\${EXTENSION}" ""
    StrCmp $0 "${CLASS}" 0 +2
        DeleteRegKey HKCU "Software\Classes\${EXTENSION}"
    DeleteRegKey HKCU "Software\Classes\${CLASS}"
!macroend

Section "Quenby"
    SetOutPath "$INSTDIR"
    File "${STAGE}\Quenby.exe"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Quenby.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quenby.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

    !insertmacro Associate ".quenbydata" "${PLAIN_CLASS}" "Quenby Data File"
    !insertmacro Associate ".quenbyencrypteddata" "${ENCRYPTED_CLASS}" "Quenby Partly Encrypted Data File"
    System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd

; A running Quenby writes its settings back when it ends, and its program file cannot go while it
; runs: the user closes it first (a silent uninstall gives up instead).
Function un.onInit
    retry:
        System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${INSTANCE_MUTEX}") p .r0'
        IntPtrCmp $0 0 closed
        System::Call 'kernel32::CloseHandle(p r0)'
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Quenby is running. Close Quenby (Exit in its menu or in its notification area icon), then click Retry." /SD IDCANCEL IDRETRY retry
        Abort
    closed:
FunctionEnd

Section "Uninstall"
    Delete "$INSTDIR\Quenby.exe"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    !insertmacro Dissociate ".quenbydata" "${PLAIN_CLASS}"
    !insertmacro Dissociate ".quenbyencrypteddata" "${ENCRYPTED_CLASS}"
    System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
    ; The user's data files are never touched; the settings go only when the user says so (never
    ; in a silent uninstall).
    ; No is the default button: Enter keeps them.
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Also remove your Quenby settings (the shortcut, the window's place, the options)? Your data files are kept either way." /SD IDNO IDNO keep
        DeleteRegKey HKCU "${PROFILE_KEY}"
    keep:
    ; The vendor's key goes with its last program's settings, never with another's.
    DeleteRegKey /ifempty HKCU "${VENDOR_KEY}"
SectionEnd
