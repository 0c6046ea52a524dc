; The Veltrane installer: makensis -DEXE=... -DHELP=... -DICON=... -DOUT=... veltrane.nsi
Unicode true
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!define PRODUCT "Veltrane"
!define COMPANY "Quorvik"
!define VERSION "1.0"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrane"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Veltrane"

Name "${PRODUCT}"
OutFile "${OUT}"
; The program keeps its trashcan at this fixed place, so it is installed there.
InstallDir "$PROGRAMFILES64\${COMPANY}\${PRODUCT}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "${COMPANY} ${PRODUCT} ${VERSION}"
VIProductVersion "1.0.6.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${COMPANY}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "1.0.6"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${COMPANY}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\veltrane.exe"
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!define MUI_COMPONENTSPAGE_TEXT_TOP "Veltrane is taken off this computer. Your lists of allowed and forbidden programs, your settings and the programs in the trashcan stay, unless you tick them below."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Asks a running Veltrane to end as its tray menu's "Exit program" does, and
; waits (at most 15 s) until it has.
!macro EndRunningCopy
  FindWindow $0 "TApplication" "${PRODUCT}"
  ${If} $0 <> 0
    System::Call 'user32::RegisterWindowMessageW(w "Veltrane.ExitProgram") i .r1'
    System::Call 'user32::PostMessageW(p r0, i r1, p 0, p 0)'
    StrCpy $2 0
    ${DoUntil} $0 = 0
      ${If} $2 >= 60
        ${ExitDo}
      ${EndIf}
      Sleep 250
      FindWindow $0 "TApplication" "${PRODUCT}"
      IntOp $2 $2 + 1
    ${Loop}
  ${EndIf}
!macroend

; The log-on task of the user running this: "Veltrane <SID>", as the
; program names it, or "" when the SID cannot be had.
!macro UserLogonTaskName VAR
  StrCpy ${VAR} ""
  ; TOKEN_QUERY of this process's token (-1: the process itself).
  System::Call 'advapi32::OpenProcessToken(p -1, i 8, *p .r8) i .r9'
  ${If} $9 <> 0
    System::Alloc 1024
    Pop $7
    ; TokenUser: a TOKEN_USER, whose first field points at the SID.
    System::Call 'advapi32::GetTokenInformation(p r8, i 1, p r7, i 1024, *i .r6) i .r9'
    ${If} $9 <> 0
      System::Call '*$7(p .r6)'
      System::Call 'advapi32::ConvertSidToStringSidW(p r6, *p .r5) i .r9'
      ${If} $9 <> 0
        System::Call 'kernel32::lstrcpynW(w .r4, p r5, i ${NSIS_MAX_STRLEN})'
        System::Call 'kernel32::LocalFree(p r5)'
        StrCpy ${VAR} "${PRODUCT} $4"
      ${EndIf}
    ${EndIf}
    System::Free $7
    System::Call 'kernel32::CloseHandle(p r8)'
  ${EndIf}
!macroend

Section "Veltrane" SecProgram
  SectionIn RO
  SetShellVarContext all
  !insertmacro EndRunningCopy
  SetOutPath "$INSTDIR"
  File "/oname=veltrane.exe" "${EXE}"
  CreateDirectory "$INSTDIR\Trashcan"
  ; The Group Policy template, for administrators to copy to their central store.
  SetOutPath "$INSTDIR\PolicyDefinitions"
  File "policy/veltrane.admx"
  SetOutPath "$INSTDIR\PolicyDefinitions\en-US"
  File "policy/en-US/veltrane.adml"
  SetOutPath "$WINDIR"
  File "/oname=Veltrane.txt" "${HELP}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\veltrane.exe" "" "$INSTDIR\veltrane.exe" 0
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; "Programs and Features" of 64-bit Windows reads the native view.
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\veltrane.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" 2048
  ; The program's event source: the log reads the events' texts from the
  ; message table in veltrane.exe. Types: error, warning, information.
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\veltrane.exe"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
  SetRegView default
SectionEnd

Section "un.Veltrane" UnSecProgram
  SectionIn RO
  SetShellVarContext all
  !insertmacro EndRunningCopy
  ; Its start with Windows goes with it: the Run value and the log-on task,
  ; the user's own and the one all users once shared. schtasks.exe is the
  ; system folder's: a bare name would be looked for beside this
  ; uninstaller first, in a folder that programs of the user can write.
  DeleteRegValue HKCU "${RUN_KEY}" "veltrane.exe"
  !insertmacro UserLogonTaskName $3
  ${If} $3 != ""
    nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN "$3" /F'
    Pop $0
  ${EndIf}
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN "${PRODUCT}" /F'
  Pop $0
  Delete "$INSTDIR\veltrane.exe"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$INSTDIR\PolicyDefinitions\en-US\veltrane.adml"
  RMDir "$INSTDIR\PolicyDefinitions\en-US"
  Delete "$INSTDIR\PolicyDefinitions\veltrane.admx"
  RMDir "$INSTDIR\PolicyDefinitions"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$WINDIR\Veltrane.txt"
  Delete "$WINDIR\veltrane.lck"
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
  SetRegView default
  ; The trashcan stays unless the user asked for it to go (below).
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES64\${COMPANY}"
SectionEnd

Section /o "un.My lists, settings and trashcan" UnSecData
  SetShellVarContext all
  Delete "$WINDIR\list.vlt"
  Delete "$WINDIR\disallowed.vlt"
  Delete "$WINDIR\trashcan.vlt"
  Delete "$WINDIR\removed.vlt"
  Delete "$WINDIR\statistics.vlt"
  Delete "$WINDIR\baseline.vlt"
  Delete "$WINDIR\*_config.vlt"
  RMDir /r "$INSTDIR\Trashcan"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES64\${COMPANY}"
SectionEnd
