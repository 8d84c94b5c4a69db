; The Windows installer of the DPU-510TK3 editor. scripts/windows-installer.sh
; runs makensis on it with these defines:
;   VERSION         the programs' version ("1.0")
;   VI_VERSION      the same as four numbers for the version resource
;   PROGRAM_DIR     the program folder to install, as scripts/windows-files.sh
;                   writes it (the zip's folder)
;   FILE_LIST       an include defining DPU_INSTALL_FILES and
;                   DPU_REMOVE_FILES: every file of PROGRAM_DIR, by name
;   LICENCE_PAGE    the licence page's text (CR LF)
;   ESTIMATED_SIZE  the installed size in KiB
;   OUT_FILE        the installer to write
;   COMPRESSOR      (optional) SetCompressor's arguments, by default solid LZMA
; Nothing in it depends on the time of the build: the files carry the time
; they have in PROGRAM_DIR (the commit's), and the stub is the package's.
;
; Per user by default, without elevation, into
; %LOCALAPPDATA%\Programs\DPU-510TK3; with /ALLUSERS, run as administrator,
; into Program Files for every user of the machine. The user's workspace
; (%LOCALAPPDATA%\dpu510tk3\workspace, which the editor keeps) is never
; touched: the uninstaller removes exactly the files listed here.
;
; Command line, for IT:  /S  silent;  /D=FOLDER  the program folder (last);
;   /DESKTOPSHORTCUT  also a shortcut on the desktop;  /ALLUSERS  see above.
; The uninstaller: /S silent.

Unicode true
Target amd64-unicode
ManifestSupportedOS all
ManifestDPIAware true
; COMPRESSOR may name another (the test's throw-away installer takes zlib,
; which packs in a tenth of the time).
!ifndef COMPRESSOR
  !define COMPRESSOR "/SOLID lzma"
!endif
SetCompressor ${COMPRESSOR}
RequestExecutionLevel user

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "FileFunc.nsh"
!include "Integration.nsh"
!include "${FILE_LIST}"

!define PRODUCT "DPU-510TK3 Lift LCD Editor"
!define PUBLISHER "The DPU-510TK3 editor authors"
!define FOLDER_NAME "DPU-510TK3"
!define EDITOR "dpu510tk3-editor.exe"
!define ICON "dpu510tk3.ico"
!define UNINSTALLER "uninstall.exe"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\DPU-510TK3"
!define CLASSES "Software\Classes"
!define PROJECT_PROGID "DPU510TK3.Project"
!define IMAGE_PROGID "DPU510TK3.RomImage"
!define APP_KEY "${CLASSES}\Applications\${EDITOR}"
!define START_MENU "$SMPROGRAMS\${FOLDER_NAME}"
!define EDITOR_LINK "${PRODUCT}.lnk"
!define GUIDE_LINK "DPU-510TK3 User Guide.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\Programs\${FOLDER_NAME}"
; An upgrade goes where the earlier version is.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VI_VERSION}"
VIFileVersion "${VI_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}"

!define MUI_ICON "${PROGRAM_DIR}/${ICON}"
!define MUI_UNICON "${PROGRAM_DIR}/${ICON}"
!define MUI_ABORTWARNING
!define MUI_LICENSEPAGE_TEXT_TOP "The editor's licence (MIT), then the other licences of what it carries."
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_LICENSE "${LICENCE_PAGE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Removes an earlier installation in $0 through its own uninstaller, run in
; place and waited for, so the files of the old version that the new one no
; longer has do not stay behind. Its uninstaller cannot remove itself while
; it runs: that is done here.
Function RemoveEarlier
  ${If} ${FileExists} "$0\${UNINSTALLER}"
    DetailPrint "Removing the earlier installation in $0"
    ClearErrors
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0' $1
    ${If} ${Errors}
    ${OrIf} $1 != 0
      MessageBox MB_OK|MB_ICONSTOP "[Error] The earlier installation in $0 could not be removed (its uninstaller ended with $1)." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  ReadRegStr $0 SHCTX "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
    Call RemoveEarlier
  ${EndIf}
  ${If} $0 != $INSTDIR
    StrCpy $0 $INSTDIR
    Call RemoveEarlier
  ${EndIf}

  !insertmacro DPU_INSTALL_FILES
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; A shortcut starts the editor in its program folder, so the editor works in
  ; the user's workspace (CreateShortCut takes the output folder as "Start in").
  SetOutPath "$INSTDIR"
  CreateDirectory "${START_MENU}"
  CreateShortCut "${START_MENU}\${EDITOR_LINK}" "$INSTDIR\${EDITOR}" "" "$INSTDIR\${ICON}" 0
  CreateShortCut "${START_MENU}\${GUIDE_LINK}" "$INSTDIR\README.txt"

  ; Project files open in the editor; ROM images are only offered under
  ; "Open with", since .BIN belongs to no one program.
  WriteRegStr SHCTX "${CLASSES}\${PROJECT_PROGID}" "" "DPU-510TK3 project"
  WriteRegStr SHCTX "${CLASSES}\${PROJECT_PROGID}\DefaultIcon" "" "$INSTDIR\${ICON}"
  WriteRegStr SHCTX "${CLASSES}\${PROJECT_PROGID}\shell\open\command" "" '"$INSTDIR\${EDITOR}" "%1"'
  WriteRegStr SHCTX "${CLASSES}\.dcf" "" "${PROJECT_PROGID}"
  WriteRegStr SHCTX "${CLASSES}\.dcf\OpenWithProgids" "${PROJECT_PROGID}" ""
  WriteRegStr SHCTX "${CLASSES}\${IMAGE_PROGID}" "" "DPU-510TK3 ROM image"
  WriteRegStr SHCTX "${CLASSES}\${IMAGE_PROGID}\DefaultIcon" "" "$INSTDIR\${ICON}"
  WriteRegStr SHCTX "${CLASSES}\${IMAGE_PROGID}\shell\open\command" "" '"$INSTDIR\${EDITOR}" "%1"'
  WriteRegStr SHCTX "${CLASSES}\.BIN\OpenWithProgids" "${IMAGE_PROGID}" ""
  WriteRegStr SHCTX "${APP_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr SHCTX "${APP_KEY}\shell\open\command" "" '"$INSTDIR\${EDITOR}" "%1"'
  WriteRegStr SHCTX "${APP_KEY}\SupportedTypes" ".dcf" ""
  WriteRegStr SHCTX "${APP_KEY}\SupportedTypes" ".BIN" ""

  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${ICON}"
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINST_KEY}" "EstimatedSize" ${ESTIMATED_SIZE}
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "DesktopShortcut" 0
  ${NotifyShell_AssocChanged}
SectionEnd

Section /o "Desktop shortcut" SecDesktop
  SetOutPath "$INSTDIR"
  CreateShortCut "$DESKTOP\${EDITOR_LINK}" "$INSTDIR\${EDITOR}" "" "$INSTDIR\${ICON}" 0
  WriteRegDWORD SHCTX "${UNINST_KEY}" "DesktopShortcut" 1
SectionEnd

; After the sections: it selects one by its index.
Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    ; Only a program already running elevated may write for every user:
    ; the installer never asks for elevation itself.
    UserInfo::GetAccountType
    Pop $R1
    ${If} $R1 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "[Error] An installation for all users needs the installer run as administrator (right-click, Run as administrator)." /SD IDOK
      SetErrorLevel 740
      Quit
    ${EndIf}
    ; /D= has set the folder already when it differs from the per-user one
    ; (asked before the shell folders become the machine's).
    ReadRegStr $R1 HKCU "${UNINST_KEY}" "InstallLocation"
    ${If} $INSTDIR == "$LOCALAPPDATA\Programs\${FOLDER_NAME}"
    ${OrIf} $INSTDIR == $R1
      StrCpy $R2 1
    ${Else}
      StrCpy $R2 0
    ${EndIf}
    SetShellVarContext all
    ${If} $R2 == 1
      ReadRegStr $R1 HKLM "${UNINST_KEY}" "InstallLocation"
      ${If} $R1 != ""
        StrCpy $INSTDIR $R1
      ${Else}
        StrCpy $INSTDIR "$PROGRAMFILES64\${FOLDER_NAME}"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ; The desktop shortcut stays as the earlier installation had it.
  ClearErrors
  ${GetOptions} $R0 "/DESKTOPSHORTCUT" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecDesktop}
  ${Else}
    ReadRegDWORD $R1 SHCTX "${UNINST_KEY}" "DesktopShortcut"
    ${If} $R1 == 1
      !insertmacro SelectSection ${SecDesktop}
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  ; Installed for all users when the machine's entry names this folder.
  ReadRegStr $R1 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $R1 != ""
  ${AndIf} $R1 == $INSTDIR
    UserInfo::GetAccountType
    Pop $R1
    ${If} $R1 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "[Error] This installation is for all users: remove it as administrator (right-click, Run as administrator)." /SD IDOK
      SetErrorLevel 740
      Quit
    ${EndIf}
    SetShellVarContext all
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Only the files the installer wrote, and folders left empty: whatever else
  ; is in the program folder stays, and so does the workspace.
  !insertmacro DPU_REMOVE_FILES
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"

  Delete "${START_MENU}\${EDITOR_LINK}"
  Delete "${START_MENU}\${GUIDE_LINK}"
  RMDir "${START_MENU}"
  Delete "$DESKTOP\${EDITOR_LINK}"

  DeleteRegKey SHCTX "${CLASSES}\${PROJECT_PROGID}"
  DeleteRegKey SHCTX "${CLASSES}\${IMAGE_PROGID}"
  DeleteRegKey SHCTX "${APP_KEY}"
  DeleteRegKey /ifempty SHCTX "${CLASSES}\Applications"
  DeleteRegValue SHCTX "${CLASSES}\.dcf\OpenWithProgids" "${PROJECT_PROGID}"
  DeleteRegKey /ifempty SHCTX "${CLASSES}\.dcf\OpenWithProgids"
  ; .dcf goes back to no program only while it is still ours.
  ReadRegStr $0 SHCTX "${CLASSES}\.dcf" ""
  ${If} $0 == "${PROJECT_PROGID}"
    DeleteRegValue SHCTX "${CLASSES}\.dcf" ""
  ${EndIf}
  DeleteRegKey /ifempty SHCTX "${CLASSES}\.dcf"
  DeleteRegValue SHCTX "${CLASSES}\.BIN\OpenWithProgids" "${IMAGE_PROGID}"
  DeleteRegKey /ifempty SHCTX "${CLASSES}\.BIN\OpenWithProgids"
  DeleteRegKey /ifempty SHCTX "${CLASSES}\.BIN"
  DeleteRegKey SHCTX "${UNINST_KEY}"
  ${NotifyShell_AssocChanged}
SectionEnd
