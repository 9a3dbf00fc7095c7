; The Windows installer: Vellumor.exe and bin\xps2img.exe from a Windows build, a Start-menu
; shortcut, and an uninstaller listed among the installed programs that removes exactly those.
; For the current user by default, into %LOCALAPPDATA%\Programs\Vellumor, without
; administrator rights; for every user of the machine, into Program Files, when run elevated
; and asked to (the page below, or /AllUsers). Silent with /S; /D=FOLDER chooses the folder.
;
; makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DARCH=win64|win32 -DPROGRAMS=OUT-FOLDER
;          -DICON=ICO -DOUTFILE=SETUP-EXE vellumor.nsi

Unicode true
!if "${ARCH}" == "win64"
  Target amd64-unicode
  !define MACHINE_PROGRAMS "$PROGRAMFILES64"
!else
  !define MACHINE_PROGRAMS "$PROGRAMFILES"
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include nsDialogs.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellumor"
!define SHORTCUT "$SMPROGRAMS\Vellumor.lnk"

Name "Vellumor"
OutFile "${OUTFILE}"
BrandingText "Vellumor ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "Vellumor"
VIAddVersionKey /LANG=2052 "FileDescription" "Vellumor 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "AGPL-3.0-or-later"

Var AllUsers      ; 1 when installing for every user of the machine
Var ChosenFolder  ; the folder given with /D=, which the install mode does not change
Var ForMe         ; the install mode page's two choices
Var ForEveryone

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Vellumor.exe"
Page custom InstallModePage InstallModeLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; Whether this process runs elevated: only then may it write to Program Files and HKLM.
!macro IsElevated result
  UserInfo::GetAccountType
  Pop ${result}
!macroend

; The folder, the Start menu and the registry hive of the chosen mode; the default folder is
; the one of an earlier install in that mode, if any.
Function ApplyInstallMode
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  ${If} $ChosenFolder != ""
    StrCpy $INSTDIR $ChosenFolder
    Return
  ${EndIf}
  ReadRegStr $INSTDIR SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $INSTDIR != ""
    Return
  ${EndIf}
  ${If} $AllUsers == 1
    StrCpy $INSTDIR "${MACHINE_PROGRAMS}\Vellumor"
  ${Else}
    StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Vellumor"
  ${EndIf}
FunctionEnd

; NSIS drops a /D= folder it cannot use (one inside a file, say) and would quietly install
; into the default one instead: the folder asked for is compared with the one it took.
Function RefuseDroppedFolder
  System::Call 'kernel32::GetCommandLine() t .r0'
  ClearErrors
  ${WordFind} $0 " /D=" "E+1}" $1
  ${If} ${Errors}
  ${OrIf} $1 == $INSTDIR
    Return
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "无法安装到“$1”：这不是可用的文件夹路径。" /SD IDOK
  SetErrorLevel 2
  Quit
FunctionEnd

Function .onInit
  Call RefuseDroppedFolder
  StrCpy $ChosenFolder $INSTDIR
  StrCpy $AllUsers 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AllUsers" $1
  ${IfNot} ${Errors}
    !insertmacro IsElevated $1
    ${If} $1 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "为所有用户安装需要管理员权限：请以管理员身份运行安装程序。" /SD IDOK
      SetErrorLevel 740
      Quit
    ${EndIf}
    StrCpy $AllUsers 1
  ${EndIf}
  Call ApplyInstallMode
FunctionEnd

; Asked only when the installer runs elevated and no mode was given on the command line.
Function InstallModePage
  !insertmacro IsElevated $0
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/AllUsers" $2
  ${If} $0 != "Admin"
  ${OrIfNot} ${Errors}
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "选择安装方式" "为谁安装 Vellumor？"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 10u 100% 12u "仅为我安装（安装到我的用户文件夹，不需要管理员权限）"
  Pop $ForMe
  ${NSD_CreateRadioButton} 0 30u 100% 12u "为这台计算机的所有用户安装（安装到 Program Files）"
  Pop $ForEveryone
  ${If} $AllUsers == 1
    ${NSD_Check} $ForEveryone
  ${Else}
    ${NSD_Check} $ForMe
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function InstallModeLeave
  ${NSD_GetState} $ForEveryone $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  Call ApplyInstallMode
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "${PROGRAMS}/Vellumor.exe"
  SetOutPath "$INSTDIR\bin"
  File "${PROGRAMS}/bin/xps2img.exe"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\Vellumor.exe"

  ${If} $AllUsers == 1
    StrCpy $0 "/AllUsers"
  ${Else}
    StrCpy $0 "/CurrentUser"
  ${EndIf}
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Vellumor"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Vellumor"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Vellumor.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" $0'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" $0 /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd

; The uninstaller learns the mode from its command line, as the uninstall entry gives it.
Function un.onInit
  SetShellVarContext current
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AllUsers" $1
  ${IfNot} ${Errors}
    !insertmacro IsElevated $1
    ${If} $1 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "Vellumor 是为所有用户安装的，卸载需要管理员权限：请以管理员身份运行卸载程序。" /SD IDOK
      SetErrorLevel 740
      Quit
    ${EndIf}
    SetShellVarContext all
  ${EndIf}
FunctionEnd

; Removes what the installer put there and nothing else: a folder is removed only when empty,
; so that whatever a user keeps in it stays. A program that cannot be removed (still running)
; stops the uninstall, and the entry stays so that it can be run again.
Section Uninstall
  ClearErrors
  Delete "$INSTDIR\Vellumor.exe"
  Delete "$INSTDIR\bin\xps2img.exe"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "无法删除 $INSTDIR 中的程序文件：Vellumor 或其转换程序可能仍在运行。请关闭后重新卸载。" /SD IDOK
    SetErrorLevel 1
    Abort
  ${EndIf}
  RMDir "$INSTDIR\bin"
  Delete "${SHORTCUT}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
