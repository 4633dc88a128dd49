# SPDX-License-Identifier: Apache-2.0
; The Windows installer: the programs, the language DLLs and the documents in one folder under
; Program Files, Start-menu shortcuts to the window and to the bench window (vexlor.exe --bench),
; and an uninstaller listed in Programs and Features.
; Made by the build (packaging/windows/CMakeLists.txt), which defines:
;   VERSION   the version text, e.g. 1.0.0 or 1.0.0+g1a2b3c4
;   VERSION4  the same as four numbers for the version resource, e.g. 1.0.0.0
;   STAGE     the folder holding exactly the files to install (the portable zip's files)
;   OUTFILE   the setup program to write
; and may define:
;   SIGN      packaging/windows/sign.sh, to sign the uninstaller before it is packed
;   PLUGINS   a folder of NSIS's amd64-unicode plug-ins, signed, to use instead of NSIS's own
;   NOTICES   when the stage holds the licences of the libraries linked in (OpenSSL, Mosquitto)
!ifndef VERSION | VERSION4 | STAGE | OUTFILE
  !error "define VERSION, VERSION4, STAGE and OUTFILE (-DNAME=value)"
!endif

Unicode true
; A 64-bit installer: the programs are 64-bit, and a 64-bit-only Wine runs no 32-bit stub.
Target amd64-unicode
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vexlor"
!define PUBLISHER "Vexlor developers"

Name "Vexlor ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vexlor"
; An upgrade goes where the installed version is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

; The uninstaller runs with administrator rights: it is signed as the setup program is (sign.sh
; changes nothing without a certificate), so the setup program holds only signed programs.
; The plug-ins run from a temporary folder during the install: signed copies as well.
!ifdef PLUGINS
  !addplugindir /amd64-unicode "${PLUGINS}"
!endif
!ifdef SIGN
  !uninstfinalize '"${SIGN}" --description "Vexlor uninstaller" "%1"' = 0
!endif

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "Vexlor"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Vexlor ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "2026 ${PUBLISHER}, Apache-2.0"

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include "load_at_install.nsh"  ; makensis runs in the script's folder

!insertmacro MUI_PAGE_DIRECTORY
Page custom LoadPageShow LoadPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The one list of what is installed: the uninstaller deletes exactly these, so whatever else the
; user keeps in the folder (logs, settings files) stays, and with it the folder.
!macro VexlorFiles DO
  !insertmacro ${DO} "vexlor.exe"
  !insertmacro ${DO} "vexlor-pack.exe"
  !insertmacro ${DO} "VexlorEngRes.dll"
  !insertmacro ${DO} "VexlorChtRes.dll"
  !insertmacro ${DO} "VexlorChsRes.dll"
  !insertmacro ${DO} "LICENSE.txt"
  !ifdef NOTICES
    !insertmacro ${DO} "OpenSSL-LICENSE.txt"
    !insertmacro ${DO} "Mosquitto-LICENSE.txt"
  !endif
  !insertmacro ${DO} "README.md"
  !insertmacro ${DO} "CHANGELOG.md"
!macroend
!macro InstallFile NAME
  File "${STAGE}/${NAME}"
!macroend
!macro RemoveFile NAME
  Delete "$INSTDIR\${NAME}"
!macroend

; Files of a running Vexlor cannot be replaced or removed: a window holds the named mutex
; "Vexlor", and a headless run (which guards only its ports) keeps its program file open. The user
; is asked to close it; a silent run fails with status 3 instead, and nothing has been touched.
!define EXIT_RUNNING 3
!define SYNCHRONIZE 0x00100000
; Sets $1 to a reason unless it has one already.
!macro InUseCheck FILE
  ${If} $1 == ""
  ${AndIf} ${FileExists} "${FILE}"
    ClearErrors
    FileOpen $2 "${FILE}" a
    ${If} ${Errors}
      StrCpy $1 "${FILE} is in use."
    ${Else}
      FileClose $2
    ${EndIf}
  ${EndIf}
!macroend
!macro RunningCheck UN
Function ${UN}RunningCheck
  ${Do}
    StrCpy $1 ""
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "Vexlor") p .r0'
    ${If} $0 P<> 0
      System::Call 'kernel32::CloseHandle(p r0)'
      StrCpy $1 "Vexlor is running."
    ${EndIf}
    !insertmacro InUseCheck "$INSTDIR\vexlor.exe"
    !insertmacro InUseCheck "$INSTDIR\vexlor-pack.exe"
    ${If} $1 == ""
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$1$\r$\nClose Vexlor, then choose Retry." /SD IDCANCEL IDRETRY again
    SetErrorLevel ${EXIT_RUNNING}
    Quit
    again:
  ${Loop}
FunctionEnd
!macroend
!insertmacro RunningCheck ""
!insertmacro RunningCheck "un."

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Vexlor needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
  Call RunningCheck
  Call LoadOptions
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
  Call un.RunningCheck
FunctionEnd

; The installed version, whatever its folder, is removed by its own uninstaller first, so that
; nothing of it lingers beside the new files (a file the new version no longer has, a folder the
; user left) and Programs and Features keeps one entry. The user's files and settings stay, as
; with any uninstall. The uninstaller runs in place (_?=), so this waits for it.
Function RemoveInstalled
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == ""
  ${OrIfNot} ${FileExists} "$0\uninstall.exe"
    Return
  ${EndIf}
  ClearErrors
  ExecWait '"$0\uninstall.exe" /S _?=$0' $1
  ${If} ${Errors}
  ${OrIf} $1 <> 0
    MessageBox MB_OK|MB_ICONSTOP "The installed Vexlor in $0 could not be removed (status $1)." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ; Run in place, the uninstaller leaves itself and so the folder. Its file may still be held a
  ; moment after it ended (its deletion then waits for the last handle): tried again a while.
  StrCpy $2 0
  ${Do}
    Delete "$0\uninstall.exe"
    RMDir "$0"
    ${IfNot} ${FileExists} "$0\*.*"
    ${OrIf} $2 >= 25
      ${Break}
    ${EndIf}
    IntOp $2 $2 + 1
    Sleep 200
  ${Loop}
FunctionEnd

Section "Vexlor" SecVexlor
  SectionIn RO
  Call RunningCheck  ; again: the folder may have been changed, or Vexlor started meanwhile
  Call PackLoad  ; before anything is touched: a load that fails leaves all as it was
  Call RemoveInstalled
  SetOutPath "$INSTDIR"
  !insertmacro VexlorFiles InstallFile
  Call PlacePackedLoad
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Vexlor.lnk" "$INSTDIR\vexlor.exe"
  CreateShortcut "$SMPROGRAMS\Vexlor Bench.lnk" "$INSTDIR\vexlor.exe" "--bench"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vexlor"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vexlor.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecVexlor} $0  ; in KiB, as Programs and Features expects
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; HKLM\SOFTWARE\Vexlor (the settings) and the user's files are not ours to remove.
Section "Uninstall"
  !insertmacro VexlorFiles RemoveFile
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"  ; only when empty
  Delete "$SMPROGRAMS\Vexlor.lnk"
  Delete "$SMPROGRAMS\Vexlor Bench.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
