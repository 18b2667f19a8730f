// The service's core over fakes of everything it reaches: the machine the operations act on, the
// remote-access service, the log and the clock.
#pragma once

#include "core/service/service_core.h"
#include "tests/fakes/fake_file_operations.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_logon_tasks.h"
#include "tests/fakes/fake_processes.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_remote_access.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"
#include "tests/fakes/fake_windows_version.h"

namespace velmora::testing {

struct FakeService {
    FakeProcesses processes;
    FakeRegistry registry;
    FakeTextFiles files;
    FakeFileOperations folder;
    FakeShellFolders shell{std::nullopt};
    FakeWindowsVersion version;
    FakeLogonTasks tasks;
    LocalOperations operations{processes, registry, files, folder, shell, version, tasks};
    FakeRemoteAccess remoteAccess;
    FakeLogFile logFile;
    FakeClock clock;
    ServiceLog log{logFile, clock};
    ServiceCore core{operations, remoteAccess, clock, log};
};

}  // namespace velmora::testing
