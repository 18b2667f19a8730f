// ShellFolders in memory.
#pragma once

#include <utility>

#include "platform/shell_folders.h"

namespace velmora::testing {

class FakeShellFolders : public ShellFolders {
public:
    explicit FakeShellFolders(std::optional<std::string> documents,
                              std::optional<std::string> system = std::string("C:\\WINDOWS\\system32"))
        : documents_(std::move(documents)), system_(std::move(system)) {}
    std::optional<std::string> documentsFolder() override { return documents_; }
    std::optional<std::string> systemFolder() override { return system_; }

private:
    std::optional<std::string> documents_;
    std::optional<std::string> system_;
};

}  // namespace velmora::testing
