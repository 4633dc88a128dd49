# SPDX-License-Identifier: Apache-2.0
; The Windows installer: the programs, the language DLLs and the documents in one folder under
; Program Files, a Start-menu shortcut, and an uninstaller listed in Programs and Features.
; Made by the build (packaging/windows/CMakeLists.txt), which defines:
;   VERSION   the version text, e.g. 1.0.0 or 1.0.0+g1a2b3c4
;   VERSION4  the same as four numbers for the version resource, e.g. 1.0.0.0
;   STAGE     the folder holding exactly the files to install (the portable zip's files)
;   OUTFILE   the setup program to write
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
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

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

!insertmacro MUI_PAGE_DIRECTORY
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
  !insertmacro ${DO} "README.md"
  !insertmacro ${DO} "CHANGELOG.md"
!macroend
!macro InstallFile NAME
  File "${STAGE}/${NAME}"
!macroend
!macro RemoveFile NAME
  Delete "$INSTDIR\${NAME}"
!macroend

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Vexlor needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Vexlor" SecVexlor
  SectionIn RO
  SetOutPath "$INSTDIR"
  !insertmacro VexlorFiles InstallFile
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Vexlor.lnk" "$INSTDIR\vexlor.exe"

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
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
