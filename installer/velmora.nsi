; velmora-setup.exe: installs velmora.exe, velmora-ipsec.exe and defaultgate.pbk into
; Program Files\Velmora with a Start-menu and a desktop shortcut and an Add/Remove Programs
; entry; its uninstaller removes exactly those, and leaves the user's settings and phonebooks
; in the data folder.
; Built by CMake: makensis -INPUTCHARSET UTF8 -DVERSION=<x.y.z> -DPUBLISHER=<name>
;   -DPROGRAMS=<folder of velmora.exe> -DGENERATED=<folder of defaultgate.pbk>
;   -DICON=<velmora.ico> -DOUTFILE=<velmora-setup.exe> velmora.nsi

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh

!define PRODUCT "Velmora VPN"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora"
!define UNINSTALLER "uninstall.exe"
; velmora.exe holds this mutex while it runs (one copy per session).
!define INSTANCE_MUTEX "VelmoraVpnDialer.Form1"
!define SYNCHRONIZE 0x00100000
!define ERROR_ACCESS_DENIED 5

; Every file the installer puts into the install folder, with the folder it is built in: one
; line each. The install section copies them and the uninstaller deletes them, both from here.
!macro InstalledFiles Do
  !insertmacro ${Do} "${PROGRAMS}" "velmora.exe"
  !insertmacro ${Do} "${PROGRAMS}" "velmora-ipsec.exe"
  !insertmacro ${Do} "${GENERATED}" "defaultgate.pbk"
!macroend
!macro InstallFile Folder Name
  File "${Folder}/${Name}"
!macroend
!macro RemoveFile Folder Name
  Delete "$INSTDIR\${Name}"
!macroend

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; The 32-bit Program Files on 64-bit Windows: velmora.exe is a 32-bit program.
InstallDir "$PROGRAMFILES\Velmora"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

Var DataFolder

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} 已从您的计算机中卸载。$\r$\n$\r$\n\
您的连接设置（l2tpipsec.ini）和电话簿（ipsec.pbk、pptp.pbk）是您自己的配置，仍保留在 $DataFolder 中，\
重新安装后即可继续使用。如不再需要，可以手动删除这三个文件。"
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "版权所有 © ${COPYRIGHT_YEAR} ${PUBLISHER}"

; Ends the installer or uninstaller with the message when velmora.exe runs: the files it would
; replace or delete are in use. A mutex that exists but may not be opened is a running copy too.
!macro RefuseWhileVelmoraRuns Message
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${INSTANCE_MUTEX}") i .r0 ?e'
  Pop $1
  ${If} $0 <> 0
  ${OrIf} $1 = ${ERROR_ACCESS_DENIED}
    System::Call 'kernel32::CloseHandle(i r0)'
    MessageBox MB_OK|MB_ICONSTOP "${Message}" /SD IDOK
    Abort
  ${EndIf}
!macroend

Function .onInit
  !insertmacro RefuseWhileVelmoraRuns "${PRODUCT} 正在运行。请先在托盘图标的菜单中选择“退出”，再运行安装程序。"
FunctionEnd

Section "${PRODUCT}" Program
  SetOutPath "$INSTDIR"
  !insertmacro InstalledFiles InstallFile
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; For every user of the computer. SetOutPath made the install folder the shortcuts' working
  ; folder, where the default-gateway dial finds defaultgate.pbk.
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\velmora.exe" "" "$INSTDIR\velmora.exe" 0
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\velmora.exe" "" "$INSTDIR\velmora.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velmora.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In kilobytes: the files of this section, as makensis counted them.
  SectionGetSize ${Program} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  !insertmacro RefuseWhileVelmoraRuns "${PRODUCT} 正在运行。请先在托盘图标的菜单中选择“退出”，再卸载。"
  ; Where the program keeps its files: the root of the drive of the user's documents folder, or
  ; of the system's drive when the documents lie on a network share.
  StrCpy $DataFolder $DOCUMENTS 3
  StrCpy $0 $DOCUMENTS 2
  ${If} $0 == "\\"
  ${OrIf} $DataFolder == ""
    StrCpy $DataFolder $SYSDIR 3
  ${EndIf}
FunctionEnd

Section "Uninstall"
  !insertmacro InstalledFiles RemoveFile
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: anything else in it was not put there by the installer.
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
