// FileOperations over the file attributes, MoveFileW and the environment.
#pragma once

#include "platform/file_operations.h"

namespace velmora {

class Win32FileOperations : public FileOperations {
public:
    std::string programFolder() override;
    std::string programPath() override;
    bool normalFileExists(const std::string& path) override;
    void renameFile(const std::string& from, const std::string& to) override;
    bool removeFile(const std::string& path) override;
};

}  // namespace velmora
