// Files in the folder that holds the program's executable, and the other folders where the
// program looks for the tools it starts.
#pragma once

#include <string>

namespace velmora {

class FileOperations {
public:
    virtual ~FileOperations() = default;

    // The folder of the running program's executable (UTF-8), without a trailing backslash.
    virtual std::string programFolder() = 0;
    // The full path of the running program's executable (UTF-8).
    virtual std::string programPath() = 0;

    // True when a file of that full path exists and is neither a folder nor hidden nor a
    // system file.
    virtual bool normalFileExists(const std::string& path) = 0;

    // Renames a file within its folder. A failure (no rights, the file in use) is ignored: the
    // file keeps its name and the program runs on.
    virtual void renameFile(const std::string& from, const std::string& to) = 0;

    // Deletes a file (never a folder); true when it is gone afterwards, also when it never was there.
    virtual bool removeFile(const std::string& path) = 0;
};

}  // namespace velmora
