// The operations carried out over fakes: for a test whose subject only needs the registry to act,
// the rest of the machine in memory beside it.
#pragma once

#include "core/service/local_operations.h"
#include "tests/fakes/fake_file_operations.h"
#include "tests/fakes/fake_logon_tasks.h"
#include "tests/fakes/fake_processes.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"
#include "tests/fakes/fake_windows_version.h"

namespace velmora::testing {

class OperationsOnRegistry {
public:
    explicit OperationsOnRegistry(Registry& registry)
        : operations(processes, registry, files, folder, shell, version, tasks) {}

    FakeProcesses processes;
    FakeTextFiles files;
    FakeFileOperations folder;
    FakeShellFolders shell{std::nullopt};
    FakeWindowsVersion version;
    FakeLogonTasks tasks;
    LocalOperations operations;
};

}  // namespace velmora::testing
