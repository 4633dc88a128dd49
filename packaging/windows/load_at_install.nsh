# SPDX-License-Identifier: Apache-2.0
; A firmware load packed in at install time, so that one install makes a working bench tool:
;   setup.exe /S /LOAD=<file> /VERSION=<text>
; or the optional page of the interactive install (both fields, or neither). vexlor-pack packs
; the load into a copy of vexlor.exe in the installer's own temporary folder, and the packed copy
; checks itself (--verify), all before anything of an installed Vexlor is touched; a failure ends
; the install with its reason and EXIT_LOAD_FAILED, and nothing is installed or removed. Only
; then does the packed copy take the place of the plain vexlor.exe in the install folder.
; Included by vexlor.nsi, which calls LoadOptions in .onInit, PackLoad in the section before it
; touches anything, and PlacePackedLoad after the files are in place.

!include FileFunc.nsh
!include nsDialogs.nsh

!define EXIT_LOAD_FAILED 4

Var LoadFile     ; the load to pack, a full path; empty: none
Var LoadVersion  ; its version text
Var LoadPacked   ; the packed copy, made by PackLoad
Var LoadFileBox
Var LoadVersionBox

; Ends the install with a reason: nothing has been installed or removed when this is called.
!macro LoadFailed REASON
  MessageBox MB_OK|MB_ICONSTOP "${REASON}" /SD IDOK
  SetErrorLevel ${EXIT_LOAD_FAILED}
  Quit
!macroend

; The value of option $R1 ("/LOAD=") in the command line $R0, in $R2 ("" when not given): up to
; the next blank, or up to the closing quote for an option in quotes ("/LOAD=C:\My loads\x.bin").
; (GetOptions ends a value at its option's first character, so it would cut a path written with /.)
Function OptionValue
  StrCpy $R2 ""
  StrLen $R3 $R1
  StrLen $R4 $R0
  StrCpy $R5 0
  ${DoWhile} $R5 < $R4
    StrCpy $R6 $R0 $R3 $R5
    StrCpy $R7 " "  ; what came before the option
    ${If} $R5 > 0
      IntOp $R8 $R5 - 1
      StrCpy $R7 $R0 1 $R8
    ${EndIf}
    ${If} $R7 == '"'
      StrCpy $R7 " "
      StrCpy $R9 '"'  ; the value ends at the closing quote
    ${Else}
      StrCpy $R9 " "
    ${EndIf}
    ${If} $R6 == $R1
    ${AndIf} $R7 == " "
      IntOp $R5 $R5 + $R3
      ${DoWhile} $R5 < $R4
        StrCpy $R6 $R0 1 $R5
        ${IfThen} $R6 == $R9 ${|} ${ExitDo} ${|}
        StrCpy $R2 "$R2$R6"
        IntOp $R5 $R5 + 1
      ${Loop}
      Return
    ${EndIf}
    IntOp $R5 $R5 + 1
  ${Loop}
FunctionEnd

; $R2 is set to why $LoadVersion cannot go on vexlor-pack's command line, else "": a quote would
; end the argument early, and so would a backslash at its end (it would escape the closing quote).
Function VersionTextProblem
  StrCpy $R2 ""
  StrLen $R4 $LoadVersion
  StrCpy $R5 0
  ${DoWhile} $R5 < $R4
    StrCpy $R6 $LoadVersion 1 $R5
    ${If} $R6 == '"'
      StrCpy $R2 'The version text "$LoadVersion" holds a quote ("), which it cannot.'
      Return
    ${EndIf}
    IntOp $R5 $R5 + 1
  ${Loop}
  StrCpy $R6 $LoadVersion 1 -1
  ${If} $R6 == "\"
    StrCpy $R2 'The version text "$LoadVersion" ends in a backslash, which it cannot.'
  ${EndIf}
FunctionEnd

; /LOAD= and /VERSION= from the command line. A relative /LOAD is taken from the folder the setup
; was started in (the install changes its own current folder later).
Function LoadOptions
  ${GetParameters} $R0
  StrCpy $R1 "/LOAD="
  Call OptionValue
  StrCpy $LoadFile $R2
  StrCpy $R1 "/VERSION="
  Call OptionValue
  StrCpy $LoadVersion $R2
  ${If} $LoadFile != ""
    System::Call 'kernel32::GetFullPathNameW(w "$LoadFile", i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r2'
    ${If} $2 > 0
      StrCpy $LoadFile $1
    ${EndIf}
  ${EndIf}
  ${If} $LoadFile != ""
  ${AndIf} $LoadVersion == ""
    !insertmacro LoadFailed "/LOAD needs /VERSION=<text>, the load's version text."
  ${EndIf}
  ${If} $LoadFile == ""
  ${AndIf} $LoadVersion != ""
    !insertmacro LoadFailed "/VERSION goes with /LOAD=<file>, the firmware load to pack."
  ${EndIf}
  Call VersionTextProblem
  ${If} $R2 != ""
    !insertmacro LoadFailed "$R2"
  ${EndIf}
FunctionEnd

; The optional page: a firmware load and its version, or neither for a program without a load.
Function LoadPageShow
  !insertmacro MUI_HEADER_TEXT "Firmware load (optional)" "Pack a firmware load into Vexlor as it is installed."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 24u "Leave both fields empty to install Vexlor without a load (pack one later with vexlor-pack)."
  Pop $0
  ${NSD_CreateLabel} 0 30u 100% 10u "Firmware load file:"
  Pop $0
  ${NSD_CreateFileRequest} 0 42u 80% 12u $LoadFile
  Pop $LoadFileBox
  ${NSD_CreateBrowseButton} 82% 42u 18% 12u "Browse..."
  Pop $0
  ${NSD_OnClick} $0 LoadPageBrowse
  ${NSD_CreateLabel} 0 62u 100% 10u "Version text of the load (for example R1234.56):"
  Pop $0
  ${NSD_CreateText} 0 74u 50% 12u $LoadVersion
  Pop $LoadVersionBox
  nsDialogs::Show
FunctionEnd

Function LoadPageBrowse
  ${NSD_GetText} $LoadFileBox $0
  nsDialogs::SelectFileDialog open $0 "All files|*.*"
  Pop $0
  ${If} $0 != ""
    ${NSD_SetText} $LoadFileBox $0
  ${EndIf}
FunctionEnd

Function LoadPageLeave
  ${NSD_GetText} $LoadFileBox $LoadFile
  ${NSD_GetText} $LoadVersionBox $LoadVersion
  ${If} $LoadFile != ""
  ${AndIf} $LoadVersion == ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "Give the load's version text too, or leave both fields empty."
    Abort
  ${EndIf}
  ${If} $LoadFile == ""
  ${AndIf} $LoadVersion != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "Choose the firmware load file too, or leave both fields empty."
    Abort
  ${EndIf}
  ${If} $LoadFile != ""
  ${AndIfNot} ${FileExists} $LoadFile
    MessageBox MB_OK|MB_ICONEXCLAMATION "There is no file $LoadFile."
    Abort
  ${EndIf}
  Call VersionTextProblem
  ${If} $R2 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "$R2"
    Abort
  ${EndIf}
FunctionEnd

; Packs and checks the load in the installer's temporary folder, with the programs and DLLs
; this setup carries; what vexlor-pack or the check says is the failure's reason.
Function PackLoad
  ${If} $LoadFile == ""
    Return
  ${EndIf}
  InitPluginsDir
  SetOutPath "$PLUGINSDIR\load"
  File "${STAGE}/vexlor.exe"
  File "${STAGE}/vexlor-pack.exe"
  File "${STAGE}/VexlorEngRes.dll"
  File "${STAGE}/VexlorChtRes.dll"
  File "${STAGE}/VexlorChsRes.dll"
  CreateDirectory "$PLUGINSDIR\load\packed"
  StrCpy $LoadPacked "$PLUGINSDIR\load\packed\vexlor.exe"
  CopyFiles /SILENT "$PLUGINSDIR\load\*.dll" "$PLUGINSDIR\load\packed"
  DetailPrint "Packing $LoadFile (version $LoadVersion) into vexlor.exe"
  nsExec::ExecToStack '"$PLUGINSDIR\load\vexlor-pack.exe" --program "$PLUGINSDIR\load\vexlor.exe" --load "$LoadFile" --version "$LoadVersion" --out "$LoadPacked"'
  Pop $0
  Pop $1
  ${If} $0 != 0
    SetOutPath "$TEMP"  ; leaves the temporary folder free to go
    !insertmacro LoadFailed "The firmware load could not be packed into Vexlor (vexlor-pack status $0):$\r$\n$1$\r$\nNothing was installed."
  ${EndIf}
  DetailPrint "Checking the packed vexlor.exe"
  nsExec::ExecToStack '"$LoadPacked" --cli --verify --quiet'
  Pop $0
  Pop $1
  ${If} $0 != 0
    SetOutPath "$TEMP"
    !insertmacro LoadFailed "The packed Vexlor failed its check (status $0):$\r$\n$1$\r$\nNothing was installed."
  ${EndIf}
FunctionEnd

; The packed copy in place of the plain vexlor.exe just installed.
Function PlacePackedLoad
  ${If} $LoadFile == ""
    Return
  ${EndIf}
  ClearErrors
  CopyFiles /SILENT "$LoadPacked" "$INSTDIR"
  ${If} ${Errors}
    ; The plain program stays: a working install, without the load.
    MessageBox MB_OK|MB_ICONSTOP "The packed vexlor.exe could not be copied into $INSTDIR." /SD IDOK
    SetErrorLevel ${EXIT_LOAD_FAILED}
  ${EndIf}
FunctionEnd
