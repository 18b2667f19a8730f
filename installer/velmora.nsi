; velmora-setup.exe: installs velmora.exe, velmora-service.exe, velmora-ipsec.exe and
; defaultgate.pbk into Program Files\Velmora, a folder only administrators may change, with a
; Start-menu and a desktop shortcut and an Add/Remove Programs entry, registers and starts the
; service, and sets the registry switch the program needs; its uninstaller removes the service,
; exactly those files and what the service wrote beside them, puts the switch back as it found it,
; and leaves each user's settings and connection log in that user's local application data.
; Built by CMake: makensis -INPUTCHARSET UTF8 -DVERSION=<x.y.z> -DPUBLISHER=<name>
;   -DHELP_URL=<the publisher's help page> -DCONTACT=<the publisher's contact>
;   -DMSI_UPGRADE_CODE=<velmora.msi's UpgradeCode, without braces>
;   -DPROGRAMS=<folder of velmora.exe> -DGENERATED=<folder of defaultgate.pbk>
;   -DICON=<velmora.ico> -DWIZARD=<picture of the welcome and finish pages>
;   -DOUTFILE=<velmora-setup.exe> velmora.nsi

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include x64.nsh

!define PRODUCT "Velmora VPN"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora"
!define UNINSTALLER "uninstall.exe"
; velmora.exe holds this mutex while it runs (one copy per session).
!define INSTANCE_MUTEX "VelmoraVpnDialer.Form1"
!define SYNCHRONIZE 0x00100000
!define ERROR_ACCESS_DENIED 5

; The switch that keeps Windows' own IPsec policy off L2TP connections; it takes effect at the
; next start of Windows.
!define RASMAN_KEY "System\CurrentControlSet\Services\RasMan\Parameters"
!define L2TP_SWITCH "ProhibitIpsec"
; What the computer had before is kept in the uninstall entry: SwitchRecorded 1 once recorded,
; SwitchKeyCreated 1 when the installer made the key, and a copy of the value, when there was
; one, under its own name. The copy goes through advapi32, which keeps the type and the data.
!define HKEY_LOCAL_MACHINE 0x80000002
!define KEY_READ 0x20019
!define KEY_WRITE 0x20006
!define ERROR_FILE_NOT_FOUND 2
!define VALUE_BYTES 4096
; The exit code when the switch changed and Windows must restart, as Windows Installer gives it.
!define ERROR_SUCCESS_REBOOT_REQUIRED 3010

; The service: velmora-service.exe registers (or updates) and starts it with /register, stops and
; removes it with /unregister, and ends with 0 or the Windows error.
!define SERVICE_NAME "VelmoraVpn"
!define SERVICE_EXE "velmora-service.exe"
!define SC_MANAGER_CONNECT 0x0001
!define SERVICE_QUERY_CONFIG 0x0001
!define SERVICE_CONFIG_BYTES 8192
; The exit codes of a run that fails (the README lists them): the install folder could not be
; given its rights, or the installed service could not be stopped and removed, before anything was
; copied or removed; the service could not be registered or started after the files were copied.
!define EXIT_FOLDER_NOT_SECURED 3
!define EXIT_SERVICE_NOT_REMOVED 4
!define EXIT_SERVICE_NOT_REGISTERED 5
; Refused before anything is written: velmora.msi has installed the product into the same folder.
!define EXIT_MSI_INSTALLED 6

; The install folder's rights, as velmora-msi.dll gives them too.
!searchparse /file "${__FILEDIR__}/install_folder.h" 'kInstallFolderRights = L"' INSTALL_FOLDER_RIGHTS '"'
!define SDDL_REVISION_1 1
!define FOLDER_ACCESS 0x000E0000 ; READ_CONTROL, WRITE_DAC, WRITE_OWNER
!define SHARE_READ_WRITE 3
!define OPEN_EXISTING 3
!define FOLDER_FLAGS 0x02200000 ; FILE_FLAG_BACKUP_SEMANTICS, FILE_FLAG_OPEN_REPARSE_POINT
!define FILE_ATTRIBUTE_DIRECTORY 0x10
!define FILE_ATTRIBUTE_REPARSE_POINT 0x400
!define ERROR_DIRECTORY 267
!define SE_FILE_OBJECT 1
!define OWNER_AND_PROTECTED_DACL 0x80000005

; The program's start at logon: each user's Run value (before Vista), each user's task in the
; program's task folder (from Vista on).
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Velmora VPN"
!define RUN_COMMAND_END '\velmora.exe" /minimized'
!define LOGON_TASK_FOLDER "\Velmora VPN"
!define PROFILE_LIST "Software\Microsoft\Windows NT\CurrentVersion\ProfileList"
!define CLSID_TASK_SCHEDULER "{0f87369f-a4e5-4cfc-bd3e-73e6154572dd}"
!define IID_TASK_SERVICE "{2faba4c7-4da9-4013-9697-20cc3fd40f85}"

; Every file the installer puts into the install folder, with the folder it is built in: one
; line each. The install section copies them and the uninstaller deletes them, both from here.
!macro InstalledFiles Do
  !insertmacro ${Do} "${PROGRAMS}" "velmora.exe"
  !insertmacro ${Do} "${PROGRAMS}" "${SERVICE_EXE}"
  !insertmacro ${Do} "${PROGRAMS}" "velmora-ipsec.exe"
  !insertmacro ${Do} "${GENERATED}" "defaultgate.pbk"
!macroend
; A new file, which takes the folder's rights, rather than one written through: a file of that name
; that someone else made while the folder was open to users would keep its owner.
!macro InstallFile Folder Name
  Delete "$INSTDIR\${Name}"
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

; The uninstalling user's folder of velmora.exe's settings and log, for the last page.
Var SettingsFolder
; What the uninstaller did with the switch, for its last page.
Var SwitchNote

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "此程序将引导您完成 ${PRODUCT} 的安装。$\r$\n$\r$\n\
安装程序会把注册表设置 ${L2TP_SWITCH} 设为 1，使 L2TP 连接不再使用 Windows 自动添加的 IPsec 策略。\
这项设置影响本计算机的所有 L2TP 连接，不只是 ${PRODUCT} 的连接；如果这项设置需要修改，\
安装完成后需要重新启动计算机，然后才能建立第一个连接。$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!define MUI_DIRECTORYPAGE_TEXT_TOP "安装程序将把 ${PRODUCT} 安装到以下文件夹。\
要安装到其他文件夹，请点击 [浏览(B)...] 另选一个。$_CLICK"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The reboot choice replaces the run box when the switch changed.
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "运行 ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION RunVelmora
!define MUI_FINISHPAGE_TEXT_REBOOT "${PRODUCT} 已经安装。安装程序修改了注册表设置 ${L2TP_SWITCH}，\
使本计算机的所有 L2TP 连接不再使用 Windows 自动添加的 IPsec 策略，重新启动计算机后生效：\
重新启动之前，${PRODUCT} 不能建立第一个连接。是否立即重新启动？"
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_PAGE_FINISH

!define MUI_PAGE_HEADER_SUBTEXT "从您的计算机中卸载 ${PRODUCT}。"
!define MUI_UNCONFIRMPAGE_TEXT_TOP "此向导将从您的计算机中卸载 ${PRODUCT}，\
并把安装时修改的注册表设置恢复为安装前的状态。$_CLICK"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define KEPT_FILES "您的连接设置 l2tpipsec.ini（含 VPN 密码和预共享的密钥）和连接日志保留在 \
$SettingsFolder 中，不再需要时请手动删除。"
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "${PRODUCT} 已从您的计算机中卸载。$SwitchNote$\r$\n$\r$\n${KEPT_FILES}"
!define MUI_FINISHPAGE_TEXT_REBOOT "${PRODUCT} 已从您的计算机中卸载。$SwitchNote重新启动计算机后生效。\
是否立即重新启动？$\r$\n$\r$\n${KEPT_FILES}"
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
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

; Copies a value of HKEY_LOCAL_MACHINE as it is stored, type and data, from one key into another,
; which is created when missing. $0 is then 0 when it was copied, ERROR_FILE_NOT_FOUND when the
; source key or value does not exist, or another error code. Uses $1 to $4.
!macro CopyMachineValue From To Name
  System::Call 'advapi32::RegOpenKeyExW(p ${HKEY_LOCAL_MACHINE}, w "${From}", i 0, i ${KEY_READ}, *p .r1) i .r0'
  ${If} $0 = 0
    System::Alloc ${VALUE_BYTES}
    Pop $2
    StrCpy $4 ${VALUE_BYTES}
    System::Call 'advapi32::RegQueryValueExW(p r1, w "${Name}", p 0, *i .r3, p r2, *i r4r4) i .r0'
    System::Call 'advapi32::RegCloseKey(p r1)'
    ${If} $0 = 0
      System::Call 'advapi32::RegCreateKeyExW(p ${HKEY_LOCAL_MACHINE}, w "${To}", i 0, p 0, i 0, i ${KEY_WRITE}, \
                    p 0, *p .r1, p 0) i .r0'
      ${If} $0 = 0
        System::Call 'advapi32::RegSetValueExW(p r1, w "${Name}", i 0, i r3, p r2, i r4) i .r0'
        System::Call 'advapi32::RegCloseKey(p r1)'
      ${EndIf}
    ${EndIf}
    System::Free $2
  ${EndIf}
!macroend

; Runs the service's program with the verb and waits for it; a failure is told, with the program's
; exit code (the Windows error), and ends the run with the exit code given. Uses $0.
!macro RunServiceProgram Program Verb Failure Message
  ClearErrors
  ExecWait '"${Program}" ${Verb}' $0
  ${If} ${Errors}
    StrCpy $0 "无法运行 ${Program}"
  ${ElseIf} $0 <> 0
    StrCpy $0 "错误代码 $0"
  ${Else}
    StrCpy $0 ""
  ${EndIf}
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONSTOP "${Message}" /SD IDOK
    SetErrorLevel ${Failure}
    Abort
  ${EndIf}
!macroend

; $R0: the program the service manager runs as the service (its command line is the path, quoted),
; or nothing when the service is not registered. Uses $0 to $3.
!macro RegisteredServiceProgram Prefix
Function ${Prefix}RegisteredServiceProgram
  StrCpy $R0 ""
  System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i ${SC_MANAGER_CONNECT}) p .r0'
  ${If} $0 <> 0
    System::Call 'advapi32::OpenServiceW(p r0, w "${SERVICE_NAME}", i ${SERVICE_QUERY_CONFIG}) p .r1'
    ${If} $1 <> 0
      System::Alloc ${SERVICE_CONFIG_BYTES}
      Pop $2
      System::Call 'advapi32::QueryServiceConfigW(p r1, p r2, i ${SERVICE_CONFIG_BYTES}, *i .r3) i .r3'
      ${If} $3 <> 0
        System::Call '*$2(i, i, i, w .R0)'
      ${EndIf}
      System::Free $2
      System::Call 'advapi32::CloseServiceHandle(p r1)'
    ${EndIf}
    System::Call 'advapi32::CloseServiceHandle(p r0)'
  ${EndIf}
  StrCpy $1 $R0 1
  ${If} $1 == '"'
    StrCpy $2 1
    ${Do}
      StrCpy $1 $R0 1 $2
      ${IfThen} $1 == '"' ${|} ${ExitDo} ${|}
      ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
      IntOp $2 $2 + 1
    ${Loop}
    IntOp $2 $2 - 1
    StrCpy $R0 $R0 $2 1
  ${EndIf}
FunctionEnd
!macroend
!insertmacro RegisteredServiceProgram ""
!insertmacro RegisteredServiceProgram "un."

; velmora.msi installs the same files into the same folder under its own record: installed over it,
; this installer would add a second Add/Remove Programs entry for that folder, whose uninstaller would
; delete the package's files and give back the switch beneath it. So it refuses, before anything is
; written, while a product of the package's UpgradeCode is installed, and names how to remove it
; first. msi.dll by its full path, as it is not one of the libraries Windows always takes from the
; system folder. Uses $0 and $1.
Function RefuseWhileMsiInstalled
  System::Call '$SYSDIR\msi.dll::MsiEnumRelatedProductsW(w "{${MSI_UPGRADE_CODE}}", i 0, i 0, w .r1) i .r0'
  ; As text: a call that could not be made leaves "error", which counts as 0 among numbers.
  ${If} $0 == "0"
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} 已经由 Windows Installer 程序包 velmora.msi 安装在本计算机上。\
请先卸载它：在“添加或删除程序”中删除 ${PRODUCT}，或者运行 msiexec /x $1，然后再运行安装程序。" /SD IDOK
    SetErrorLevel ${EXIT_MSI_INSTALLED}
    Abort
  ${EndIf}
FunctionEnd

Function .onInit
  Call RefuseWhileMsiInstalled
  !insertmacro RefuseWhileVelmoraRuns "${PRODUCT} 正在运行。请先在托盘图标的菜单中选择“退出”，再运行安装程序。"
FunctionEnd

; Records what the computer had, unless an earlier installation did (its record holds what the
; computer had before Velmora VPN), then sets the switch to the number 1. A change asks for a
; restart: on the finish page, or by the exit code of a silent run.
Function SetL2tpSwitch
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "SwitchRecorded"
  ${If} $0 <> 1
    System::Call 'advapi32::RegOpenKeyExW(p ${HKEY_LOCAL_MACHINE}, w "${RASMAN_KEY}", i 0, i ${KEY_READ}, *p .r1) i .r0'
    ${If} $0 = 0
      System::Call 'advapi32::RegCloseKey(p r1)'
      !insertmacro CopyMachineValue "${RASMAN_KEY}" "${UNINSTALL_KEY}" "${L2TP_SWITCH}"
    ${Else}
      WriteRegDWORD HKLM "${UNINSTALL_KEY}" "SwitchKeyCreated" 1
    ${EndIf}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "SwitchRecorded" 1
  ${EndIf}
  ClearErrors
  ReadRegDWORD $0 HKLM "${RASMAN_KEY}" "${L2TP_SWITCH}"
  ${If} ${Errors}
  ${OrIf} $0 <> 1
    WriteRegDWORD HKLM "${RASMAN_KEY}" "${L2TP_SWITCH}" 1
    SetRebootFlag true
    ; When, as the system time counts it, so that the program reminds the user until Windows has
    ; restarted.
    System::Call 'kernel32::GetSystemTimeAsFileTime(*l .r1)'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "SwitchSetAt" $1
  ${EndIf}
FunctionEnd

; Gives the install folder its rights (installer/install_folder.h) before any program is copied into
; it, whichever folder was chosen: made with them when it is missing (the folders above it plainly),
; given them when it exists, which reaches what it holds. A link or a file in its place is refused.
; The name is held, without sharing its deletion, while it is looked at and its rights are set. A
; failure is told and ends the run before anything is copied. Uses $0 to $5.
Function SecureInstallFolder
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${INSTALL_FOLDER_RIGHTS}", \
                i ${SDDL_REVISION_1}, *p .r1, p 0) i .r0 ?e'
  Pop $2
  ${If} $0 = 0
    StrCpy $0 $2
  ${Else}
    ${GetParent} "$INSTDIR" $2
    CreateDirectory "$2"
    System::Call '*(i 12, p r1, i 0) p .r3'
    System::Call 'kernel32::CreateDirectoryW(w "$INSTDIR", p r3)'
    System::Free $3
    System::Call 'kernel32::CreateFileW(w "$INSTDIR", i ${FOLDER_ACCESS}, i ${SHARE_READ_WRITE}, p 0, \
                  i ${OPEN_EXISTING}, i ${FOLDER_FLAGS}, p 0) p .r2 ?e'
    Pop $0
    ${If} $2 <> -1
      System::Call 'kernel32::GetFileAttributesW(w "$INSTDIR") i .r3'
      IntOp $4 $3 & ${FILE_ATTRIBUTE_DIRECTORY}
      IntOp $5 $3 & ${FILE_ATTRIBUTE_REPARSE_POINT}
      StrCpy $0 ${ERROR_DIRECTORY}
      ${If} $3 <> -1
      ${AndIf} $4 <> 0
      ${AndIf} $5 = 0
        System::Call 'advapi32::GetSecurityDescriptorOwner(p r1, *p .r4, *i .r5)'
        System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i .r5, *p .r3, *i .r5)'
        System::Call 'advapi32::SetSecurityInfo(p r2, i ${SE_FILE_OBJECT}, i ${OWNER_AND_PROTECTED_DACL}, p r4, p 0, \
                      p r3, p 0) i .r0'
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    System::Call 'kernel32::LocalFree(p r1)'
  ${EndIf}
  ${If} $0 <> 0
    MessageBox MB_OK|MB_ICONSTOP "无法设置安装文件夹 $INSTDIR 的访问权限（错误代码 $0）。安装已取消，没有复制任何文件。" /SD IDOK
    SetErrorLevel ${EXIT_FOLDER_NOT_SECURED}
    Abort
  ${EndIf}
FunctionEnd

; The installed service goes before its files are replaced (they must not be in use), through the
; program the service manager runs: only an administrator can have registered it, whereas a file
; in a folder chosen earlier may have been put there by anyone.
Function RemoveInstalledService
  Call RegisteredServiceProgram
  ${If} $R0 != ""
  ${AndIf} ${FileExists} "$R0"
    !insertmacro RunServiceProgram "$R0" "/unregister" ${EXIT_SERVICE_NOT_REMOVED} \
      "无法停止并删除已安装的 ${PRODUCT} 服务（$0）。安装已取消，没有复制任何文件。"
  ${EndIf}
FunctionEnd

Function RegisterService
  !insertmacro RunServiceProgram "$INSTDIR\${SERVICE_EXE}" "/register" ${EXIT_SERVICE_NOT_REGISTERED} \
    "无法注册并启动 ${PRODUCT} 服务（$0）。程序文件已经复制，但服务运行之前 ${PRODUCT} 不能连接；请重新运行安装程序。"
FunctionEnd

; Started from its own folder, where the default-gateway dial finds defaultgate.pbk.
Function RunVelmora
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\velmora.exe"'
FunctionEnd

Function .onInstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" Program
  Call SecureInstallFolder
  SetOutPath "$INSTDIR"
  Call RemoveInstalledService
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
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "${HELP_URL}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Contact" "${CONTACT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In kilobytes: the files of this section, as makensis counted them.
  SectionGetSize ${Program} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  Call SetL2tpSwitch
  ; Last: a failure leaves an installation that its uninstaller, or this installer run again, completes.
  Call RegisterService
SectionEnd

Function un.onInit
  !insertmacro RefuseWhileVelmoraRuns "${PRODUCT} 正在运行。请先在托盘图标的菜单中选择“退出”，再卸载。"
  ; Each user's own: the Velmora folder of the user's local application data (read here, while the
  ; shell folders are still the user's rather than all users').
  StrCpy $SettingsFolder "$LOCALAPPDATA\Velmora"
FunctionEnd

; Puts back what the installer recorded: the value as it was, or no value, or no key. A change
; asks for a restart, as the installer's did.
Function un.RestoreL2tpSwitch
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "SwitchRecorded"
  ${If} $0 <> 1
    Return
  ${EndIf}
  ReadRegDWORD $5 HKLM "${RASMAN_KEY}" "${L2TP_SWITCH}"
  ReadRegDWORD $6 HKLM "${UNINSTALL_KEY}" "${L2TP_SWITCH}"
  !insertmacro CopyMachineValue "${UNINSTALL_KEY}" "${RASMAN_KEY}" "${L2TP_SWITCH}"
  ${If} $0 = ${ERROR_FILE_NOT_FOUND}
    DeleteRegValue HKLM "${RASMAN_KEY}" "${L2TP_SWITCH}"
  ${EndIf}
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "SwitchKeyCreated"
  ${If} $0 = 1
    DeleteRegKey /ifempty HKLM "${RASMAN_KEY}"
  ${EndIf}
  ${If} $5 != $6
    SetRebootFlag true
  ${EndIf}
  StrCpy $SwitchNote "安装时修改的注册表设置 ${L2TP_SWITCH} 已恢复为安装前的状态。"
FunctionEnd

; The Run value under the key, where it still starts this program; another program's value of the
; name stays.
!macro RemoveRunValue Root Key
  ReadRegStr $1 ${Root} "${Key}" "${RUN_VALUE}"
  StrCpy $2 $1 "" -24
  ${If} $2 == '${RUN_COMMAND_END}'
    DeleteRegValue ${Root} "${Key}" "${RUN_VALUE}"
  ${EndIf}
!macroend

; The uninstalling user's Run value and that of every user whose hive is loaded. A user who is not
; logged on keeps a value that starts nothing.
Function un.RemoveRunValues
  !insertmacro RemoveRunValue HKCU "${RUN_KEY}"
  StrCpy $0 0
  ${Do}
    EnumRegKey $3 HKU "" $0
    ${If} $3 == ""
      ${Break}
    ${EndIf}
    !insertmacro RemoveRunValue HKU "$3\${RUN_KEY}"
    IntOp $0 $0 + 1
  ${Loop}
FunctionEnd

; Deletes the task of the user whose SID $5 holds, through the scheduler's root folder in $2.
!macro DeleteLogonTask
  System::Call 'oleaut32::SysAllocString(w "${LOGON_TASK_FOLDER}\$5") p .r6'
  System::Call '$2->15(p r6, i 0)'
  System::Call 'oleaut32::SysFreeString(p r6)'
!macroend

; The task of every user with a profile or a loaded hive in the program's task folder, then the
; folder, through the Task Scheduler's COM interfaces (by their methods' places in the tables);
; before Vista there is no such scheduler. The task of a user whose profile is gone stays, and
; with it the folder.
Function un.RemoveLogonTasks
  System::Call 'ole32::CoInitialize(p 0)'
  System::Call 'ole32::CoCreateInstance(g "${CLSID_TASK_SCHEDULER}", p 0, i 1, g "${IID_TASK_SERVICE}", *p .r0) i .r1'
  ${If} $1 = 0
    System::Call 'oleaut32::SysAllocString(w "\") p .r8'
    ; Connect, with four empty VARIANTs, then GetFolder of the root.
    System::Call '$0->10(l 0, l 0, l 0, l 0, l 0, l 0, l 0, l 0) i .r1'
    ${If} $1 = 0
      System::Call '$0->7(p r8, *p .r2) i .r1'
    ${EndIf}
    ${If} $1 = 0
      ${If} ${RunningX64}
        SetRegView 64
      ${EndIf}
      StrCpy $4 0
      ${Do}
        EnumRegKey $5 HKLM "${PROFILE_LIST}" $4
        ${IfThen} $5 == "" ${|} ${Break} ${|}
        !insertmacro DeleteLogonTask
        IntOp $4 $4 + 1
      ${Loop}
      SetRegView 32
      StrCpy $4 0
      ${Do}
        EnumRegKey $5 HKU "" $4
        ${IfThen} $5 == "" ${|} ${Break} ${|}
        !insertmacro DeleteLogonTask
        IntOp $4 $4 + 1
      ${Loop}
      ; DeleteFolder, refused while anything is left in it.
      System::Call 'oleaut32::SysAllocString(w "${LOGON_TASK_FOLDER}") p .r6'
      System::Call '$2->12(p r6, i 0)'
      System::Call 'oleaut32::SysFreeString(p r6)'
      System::Call '$2->2()'
    ${EndIf}
    System::Call 'oleaut32::SysFreeString(p r8)'
    System::Call '$0->2()'
  ${EndIf}
  System::Call 'ole32::CoUninitialize()'
FunctionEnd

Function un.onUninstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${EndIf}
FunctionEnd

; The service of this folder, through its own program, before anything is removed; a service that
; another folder's program runs is not this installation's and stays.
Function un.RemoveService
  Call un.RegisteredServiceProgram
  ${If} $R0 == "$INSTDIR\${SERVICE_EXE}"
  ${AndIf} ${FileExists} "$R0"
    !insertmacro RunServiceProgram "$R0" "/unregister" ${EXIT_SERVICE_NOT_REMOVED} \
      "无法停止并删除 ${PRODUCT} 服务（$0）。卸载已取消，没有删除任何文件。"
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; The service's program runs in the system folder; the install folder, emptied, goes at the end.
  SetOutPath "$SYSDIR"
  Call un.RemoveService
  Call un.RestoreL2tpSwitch
  Call un.RemoveLogonTasks
  Call un.RemoveRunValues
  !insertmacro InstalledFiles RemoveFile
  Delete "$INSTDIR\${UNINSTALLER}"
  ; What the service wrote beside its program: the dials' phonebooks and its log.
  Delete "$INSTDIR\ipsec.pbk"
  Delete "$INSTDIR\pptp.pbk"
  Delete "$INSTDIR\logs\velmora-service.log"
  Delete "$INSTDIR\logs\velmora-service.log.1"
  RMDir "$INSTDIR\logs"
  ; Only when empty: anything else in it was not put there by the installer.
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
