// The program's folder in memory: the normal files it (and any other folder) holds, files that
// only exist hidden or as system files, and renames that fail.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/file_operations.h"

namespace velmora::testing {

class FakeFileOperations : public FileOperations {
public:
    std::string programFolder() override { return folder; }
    std::string programPath() override { return folder + "\\velmora.exe"; }
    bool normalFileExists(const std::string& path) override { return files.count(path) != 0; }
    void renameFile(const std::string& from, const std::string& to) override {
        renames.push_back(from + " -> " + to);
        if (renamesFail || files.count(from) == 0 || files.count(to) != 0 || hidden.count(to) != 0) {
            return;
        }
        files.erase(from);
        files.insert(to);
    }

    bool removeFile(const std::string& path) override {
        removed.push_back(path);
        files.erase(path);
        return true;
    }

    std::string folder = "C:\\Program Files\\Velmora";
    std::set<std::string> files;   // normal files, by full path
    std::set<std::string> hidden;  // hidden or system files: there, but not normal
    bool renamesFail = false;
    std::vector<std::string> renames;  // every rename asked for, "from -> to"
    std::vector<std::string> removed;  // every file removed, by full path
};

}  // namespace velmora::testing
