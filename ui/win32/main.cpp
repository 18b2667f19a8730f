// Entry point of velmora.exe: the real window, the real platform services, the service (or this
// process's own rights where none answers), and the window's behaviour between them.
#include <windows.h>

#include "core/service/local_operations.h"
#include "core/service/operations_choice.h"
#include "core/service/service_client.h"
#include "core/system/script_command.h"
#include "platform/win32/caller_output.h"
#include "platform/win32/command_line_arguments.h"
#include "platform/win32/process_user.h"
#include "platform/win32/system_library.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_event_loop.h"
#include "platform/win32/win32_file_operations.h"
#include "platform/win32/win32_ip_helper.h"
#include "platform/win32/win32_log_file.h"
#include "platform/win32/win32_logon_tasks.h"
#include "platform/win32/win32_management_service.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_remote_access.h"
#include "platform/win32/win32_service_channel.h"
#include "platform/win32/win32_shell_folders.h"
#include "platform/win32/win32_text_files.h"
#include "platform/win32/win32_windows_version.h"
#include "ui/form1.h"
#include "ui/layout.h"
#include "ui/win32/main_window.h"
#include "ui/win32/script_channel.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    using namespace velmora;
    restrictDllSearchToSystemFolder();
    const ScriptRequest request = parseScriptArguments(commandLineArguments());
    if (request.verb == ScriptVerb::unknown) {
        // A script reads the options where it started the program; only a start without one, as
        // from a shortcut, gets the box.
        const std::wstring usage = widen(scriptUsage(request.unknownArgument));
        if (!writeToCaller(usage)) {
            (void)MessageBoxW(nullptr, usage.c_str(), widen(kMessageCaption).c_str(), MB_OK | MB_ICONWARNING);
        }
        return script_exit::unknownArgument;
    }
    if (handedToRunningProgram(request.verb)) {
        if (const std::optional<int> code = handToRunningProgram(request.verb)) {
            return *code;
        }
        // Nothing runs: an ordinary start, one in the tray and Connect start the program, which
        // then stays.
        if (request.verb == ScriptVerb::disconnect || request.verb == ScriptVerb::status ||
            request.verb == ScriptVerb::exit) {
            return script_exit::notRunning;
        }
    }
    const bool inTray = request.verb == ScriptVerb::connect || request.verb == ScriptVerb::minimized;
    Win32RemoteAccess remoteAccess;
    Win32Processes processes;
    Win32ShellFolders shell;
    Win32TextFiles files;
    Win32AnsiCodec codec;
    Win32EventLoop loop;
    Win32Registry registry;
    Win32IpHelper ipHelper;
    Win32ManagementService management;
    Win32WindowsVersion version;
    Win32FileOperations programFiles;
    Win32LogFile log;
    Win32Clock clock;
    Win32LogonTasks logonTasks;
    LocalOperations ownOperations(processes, registry, files, programFiles, shell, version, logonTasks);
    Win32ServiceConnector connector;
    ServiceClient service(connector, remoteAccess);
    const OperationsChoice choice = chooseOperations(service.hello(), processIsAdministrator());
    if (choice.way == OperationsWay::refused) {
        (void)MessageBoxW(nullptr, widen(choice.message).c_str(), widen(kMessageCaption).c_str(),
                          MB_OK | MB_ICONWARNING);
        return script_exit::notAsAsked;
    }
    if (choice.way == OperationsWay::offerElevation) {
        if (MessageBoxW(nullptr, widen(choice.message).c_str(), widen(kMessageCaption).c_str(),
                        MB_YESNO | MB_ICONWARNING) == IDYES) {
            (void)startAgainAsAdministrator();
        }
        return script_exit::notAsAsked;
    }
    const bool throughService = choice.way == OperationsWay::service;
    Operations& operations = throughService ? static_cast<Operations&>(service) : ownOperations;
    RemoteAccess& connections = throughService ? static_cast<RemoteAccess&>(service) : remoteAccess;

    MainWindow window(instance);
    loop.setDialogWindow(window.handle());
    Form1 form(window, window,
               Platform{connections, processes, shell, files, codec, loop, registry, ipHelper,
                        management, version, programFiles, log, clock, operations});
    return window.run(form, inTray ? SW_SHOWMINNOACTIVE : showCommand, request.verb == ScriptVerb::connect);
}
