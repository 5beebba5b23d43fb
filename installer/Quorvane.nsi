; Quorvane's setup. It puts the program folder into Program Files, the engine
; into the installing user's Application Data (where the program looks for
; it), adds the shortcuts and the Apps and Features entry, and writes the
; uninstaller. settings.ini and formats.ini live in the program folder and
; are never installed, so an upgrade keeps them.
;
; Built by installer/CMakeLists.txt, which defines:
;   VERSION     the project's version (x.y.z)
;   PROGRAM_EXE HELP_CHM ICON_PNG   the program folder's files
;   DECODERS_DIR the picture decoder DLLs (bin/) and their licences (licenses/)
;   ENGINE_DIR  the folder with photo.exe, cygwin1.dll and 63/cygwin/devices
;   ART_DIR     wizard.bmp and header.bmp
;   APP_ICON    the program's icon
;   OUTFILE     the setup to write
;
; Switches: /S runs silently (no desktop shortcut). The uninstaller's /S keeps
; the settings unless /REMOVESETTINGS is given as well.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Quorvane"
!define PUBLISHER "Quorvane"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane"
!define ENGINE_NAME "tarnwick-software"
; The program holds this mutex while it runs.
!define RUNNING_MUTEX "Quorvane Mutex"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An upgrade goes where the first installation went.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
ShowInstDetails hide
ShowUninstDetails hide

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

Var EngineFolder
Var SaveFolder

; ------------------------------------------------------------------ pages

!define MUI_ICON "${APP_ICON}"
!define MUI_UNICON "${APP_ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${ART_DIR}/wizard.bmp"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${ART_DIR}/wizard.bmp"
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_RIGHT
!define MUI_HEADERIMAGE_BITMAP "${ART_DIR}/header.bmp"
!define MUI_HEADERIMAGE_UNBITMAP "${ART_DIR}/header.bmp"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TITLE "Welcome to ${PRODUCT} ${VERSION} Setup"
!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT}, which finds deleted or lost pictures on memory cards, cameras, USB sticks and disks and copies them back to your computer.$\r$\n$\r$\nIf the lost pictures were on this computer's own disk, anything written to that disk can overwrite them, and that includes installing programs. If you can, install ${PRODUCT} on another computer and recover the pictures from there.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME

!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will install ${PRODUCT} in the following folder. To install it in a different folder, click Browse and select another folder. Click Install to start the installation.$\r$\n$\r$\nThe recovery engine is installed for your user account, in your Application Data folder."
!insertmacro MUI_PAGE_DIRECTORY

!insertmacro MUI_PAGE_INSTFILES

; The progress page stays, showing it is done, until Next.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_FINISHPAGE_TEXT "${PRODUCT} has been installed on your computer. You will find it in the Start menu.$\r$\n$\r$\nClick Finish to close Setup."
!define MUI_FINISHPAGE_RUN "$INSTDIR\quorvane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
; The finish page's second box offers the desktop shortcut.
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Put a shortcut on the desktop"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION MakeDesktopShortcut
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; ---------------------------------------------------------------- helpers

; Stops (Abort) while the program runs: its files are in use, and the
; settings it writes on exit would outlive an uninstall. Silent: no retry.
!macro REFUSE_WHILE_RUNNING UN
Function ${UN}RefuseWhileRunning
  retry:
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running. Please close it, then click Retry." /SD IDCANCEL IDRETRY retry
    Abort
  ${EndIf}
FunctionEnd
!macroend
!insertmacro REFUSE_WHILE_RUNNING ""
!insertmacro REFUSE_WHILE_RUNNING "un."

Function .onInit
  SetRegView 64
  SetShellVarContext current
  Call RefuseWhileRunning
FunctionEnd

Function MakeDesktopShortcut
  SetOutPath "$INSTDIR"
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\quorvane.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "DesktopShortcut" "$DESKTOP\${PRODUCT}.lnk"
FunctionEnd

; ------------------------------------------------------------------ setup

Section "${PRODUCT}" SecProgram
  SetOutPath "$INSTDIR"
  File "/oname=quorvane.exe" "${PROGRAM_EXE}"
  File "/oname=help.chm" "${HELP_CHM}"
  File "/oname=icon.png" "${ICON_PNG}"
  ; The picture decoders for HEIC, AVIF and WebP, with their licences.
  File "${DECODERS_DIR}/bin/libheif.dll"
  File "${DECODERS_DIR}/bin/libde265.dll"
  File "${DECODERS_DIR}/bin/libdav1d.dll"
  File "${DECODERS_DIR}/bin/libwebp.dll"
  File "${DECODERS_DIR}/bin/libwebpdemux.dll"
  SetOutPath "$INSTDIR\licenses"
  File /r "${DECODERS_DIR}/licenses/*"
  SetOutPath "$INSTDIR"

  StrCpy $EngineFolder "$APPDATA\${ENGINE_NAME}"
  SetOutPath "$EngineFolder"
  File "${ENGINE_DIR}/photo.exe"
  File "${ENGINE_DIR}/cygwin1.dll"
  SetOutPath "$EngineFolder\63\cygwin"
  File "${ENGINE_DIR}/63/cygwin/devices"

  ; The shortcut's working folder is the output folder.
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\quorvane.exe" "" "" "" SW_SHOWNORMAL "" "Recover deleted pictures"

  ; Apps and Features. The per-user paths are recorded, so the uninstaller
  ; finds them whoever runs it.
  SectionGetSize ${SecProgram} $0
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\quorvane.exe,0"
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  WriteRegStr HKLM "${UNINST_KEY}" "EngineFolder" "$EngineFolder"
  WriteRegStr HKLM "${UNINST_KEY}" "StartMenuShortcut" "$SMPROGRAMS\${PRODUCT}.lnk"
SectionEnd

; -------------------------------------------------------------- uninstall

Function un.onInit
  SetRegView 64
  SetShellVarContext current
  Call un.RefuseWhileRunning
FunctionEnd

; $SaveFolder: the value of settings.ini's last "savedir=" line (the one the
; program uses), or empty.
Function un.ReadSaveFolder
  StrCpy $SaveFolder ""
  ClearErrors
  FileOpen $0 "$INSTDIR\settings.ini" r
  IfErrors done
  next:
    ClearErrors
    FileRead $0 $1
    IfErrors close
    trim:
      StrCpy $2 $1 1 -1
      ${If} $2 == "$\r"
      ${OrIf} $2 == "$\n"
        StrCpy $1 $1 -1
        Goto trim
      ${EndIf}
    StrCpy $2 $1 8
    ${If} $2 S== "savedir="
      StrCpy $SaveFolder $1 "" 8
    ${EndIf}
    Goto next
  close:
  FileClose $0
  done:
FunctionEnd

; $R0 = 1 when $SaveFolder is the folder $R1 or lies inside it.
Function un.SaveFolderWithin
  StrCpy $R0 0
  StrLen $R2 $R1
  StrCpy $R3 $SaveFolder $R2
  ${If} $SaveFolder != ""
  ${AndIf} $R3 == $R1
    StrCpy $R3 $SaveFolder 1 $R2
    ${If} $R3 == ""
    ${OrIf} $R3 == "\"
      StrCpy $R0 1
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; The engine folder the setup recorded; anything that is not an engine
  ; folder falls back to this user's, so nothing else is ever deleted.
  ReadRegStr $EngineFolder HKLM "${UNINST_KEY}" "EngineFolder"
  StrCpy $0 $EngineFolder "" -18
  ${If} $0 != "\${ENGINE_NAME}"
    StrCpy $EngineFolder "$APPDATA\${ENGINE_NAME}"
  ${EndIf}
  Call un.ReadSaveFolder

  ReadRegStr $0 HKLM "${UNINST_KEY}" "StartMenuShortcut"
  ${If} $0 == ""
    StrCpy $0 "$SMPROGRAMS\${PRODUCT}.lnk"
  ${EndIf}
  Delete "$0"
  ReadRegStr $0 HKLM "${UNINST_KEY}" "DesktopShortcut"
  ${If} $0 != ""
    Delete "$0"
  ${EndIf}

  ; Only the files the setup put there; folders go only when empty, so a
  ; save folder inside either one stays with everything in it.
  Delete "$INSTDIR\quorvane.exe"
  Delete "$INSTDIR\help.chm"
  Delete "$INSTDIR\icon.png"
  Delete "$INSTDIR\libheif.dll"
  Delete "$INSTDIR\libde265.dll"
  Delete "$INSTDIR\libdav1d.dll"
  Delete "$INSTDIR\libwebp.dll"
  Delete "$INSTDIR\libwebpdemux.dll"
  RMDir /r "$INSTDIR\licenses"
  Delete "$EngineFolder\photo.exe"
  Delete "$EngineFolder\cygwin1.dll"
  Delete "$EngineFolder\63\cygwin\devices"
  RMDir "$EngineFolder\63\cygwin"
  RMDir "$EngineFolder\63"
  ; The work folder holds only the engine's output, unless the user chose a
  ; save folder inside it.
  StrCpy $R1 "$EngineFolder\data"
  Call un.SaveFolderWithin
  ${If} $R0 == 0
    RMDir /r "$EngineFolder\data"
  ${EndIf}
  ; Old work folders the program was still deleting when it was closed.
  FindFirst $0 $1 "$EngineFolder\data.removing.*"
  ${DoWhile} $1 != ""
    StrCpy $R1 "$EngineFolder\$1"
    Call un.SaveFolderWithin
    ${If} $R0 == 0
      RMDir /r "$EngineFolder\$1"
    ${EndIf}
    FindNext $0 $1
  ${Loop}
  FindClose $0
  ; What the engine left beside the work folder (a search that did not end).
  Delete "$EngineFolder\data.progress"
  Delete "$EngineFolder\data.progress.tmp"
  Delete "$EngineFolder\data.finds"
  RMDir "$EngineFolder"

  ${If} ${FileExists} "$INSTDIR\settings.ini"
  ${OrIf} ${FileExists} "$INSTDIR\formats.ini"
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVESETTINGS" $1
    ${If} ${Errors}
      MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Do you also want to remove your ${PRODUCT} settings (the save folder and the picture formats to look for)?$\r$\n$\r$\nKeep them if you will install ${PRODUCT} again. Recovered pictures are never removed." /SD IDNO IDNO keep
    ${EndIf}
    Delete "$INSTDIR\settings.ini"
    Delete "$INSTDIR\formats.ini"
    keep:
  ${EndIf}

  DeleteRegKey HKLM "${UNINST_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
