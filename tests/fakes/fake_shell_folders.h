// ShellFolders in memory.
#pragma once

#include <utility>

#include "platform/shell_folders.h"

namespace velmora::testing {

class FakeShellFolders : public ShellFolders {
public:
    explicit FakeShellFolders(std::optional<std::string> documents) : documents_(std::move(documents)) {}
    std::optional<std::string> documentsFolder() override { return documents_; }

private:
    std::optional<std::string> documents_;
};

}  // namespace velmora::testing
