// What the service runs on, made once: the platform's real services (the same classes the window
// uses), the operations carried out in the service's folder, its log in that folder, and the core.
#pragma once

#include <string>

#include "core/service/local_operations.h"
#include "core/service/service_core.h"
#include "core/service/service_log.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_file_operations.h"
#include "platform/win32/win32_log_file.h"
#include "platform/win32/win32_logon_tasks.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_remote_access.h"
#include "platform/win32/win32_shell_folders.h"
#include "platform/win32/win32_text_files.h"
#include "platform/win32/win32_windows_version.h"

namespace velmora {

inline constexpr const char* kServiceLogFolder = "logs";
inline constexpr const char* kServiceLogName = "velmora-service.log";

// "<folder>\logs", made for the administrators and the system alone; empty, so that nothing is
// logged rather than into a folder others may read, when it cannot be made so.
std::string serviceLogFolder(const std::string& folder);

struct ServiceParts {
    Win32Processes processes;
    Win32Registry registry;
    Win32TextFiles files;
    // Its program folder is the service's: the installed folder.
    Win32FileOperations folder;
    Win32ShellFolders shell;
    Win32WindowsVersion version;
    Win32LogonTasks logonTasks;
    Win32RemoteAccess remoteAccess;
    Win32Clock clock;
    Win32LogFile logFile{serviceLogFolder(folder.programFolder()), kServiceLogName};
    ServiceLog log{logFile, clock};
    LocalOperations operations{processes, registry, files, folder, shell, version, logonTasks};
    ServiceCore core{operations, remoteAccess, clock, log};
};

}  // namespace velmora
