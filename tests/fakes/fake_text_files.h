// Text files in memory, held as the bytes a disk would hold: lines converted by the fake ANSI
// code page and ended with CR LF. A test can make a path fail to write or to read, leave a file
// open to others, or take the file system's permissions away.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/text_files.h"
#include "tests/fakes/fake_ansi_codec.h"

namespace velmora::testing {

class FakeTextFiles : public TextFiles {
public:
    bool writeLines(const std::string& path, const std::vector<std::string>& lines) override {
        ++writes;
        if (unwritable.count(path) != 0) {
            return false;
        }
        std::string bytes;
        for (const std::string& line : lines) {
            bytes += codec_.toAnsiOrQuestionMarks(line) + "\r\n";
        }
        files[path] = bytes;
        open.erase(path);
        return true;
    }

    FileAccess restrictAccess(const std::string& path) override {
        if (files.count(path) == 0) {
            return FileAccess::notFound;
        }
        if (!permissions) {
            return FileAccess::openToAll;
        }
        if (unwritable.count(path) != 0 && open.count(path) != 0) {
            return FileAccess::failed;
        }
        return open.erase(path) != 0 ? FileAccess::restrictedNow : FileAccess::restricted;
    }

    TextFileContents readText(const std::string& path) override {
        const auto found = files.find(path);
        if (found == files.end()) {
            return {ReadStatus::notFound, {}};
        }
        if (unreadable.count(path) != 0) {
            return {ReadStatus::failed, {}};
        }
        std::string bytes = found->second;
        if (bytes.size() > kMaxTextFileBytes) {
            const std::size_t lastEnd = bytes.find_last_of("\r\n", kMaxTextFileBytes - 1);
            bytes.resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
        }
        return {ReadStatus::ok, codec_.fromAnsiOrQuestionMarks(bytes)};
    }

    std::map<std::string, std::string> files;  // path -> bytes
    std::set<std::string> unwritable;
    std::set<std::string> unreadable;  // only counts for a file that exists
    std::set<std::string> open;        // files that others can reach
    bool permissions = true;           // false: a file system that keeps none
    int writes = 0;

private:
    FakeAnsiCodec codec_;
};

}  // namespace velmora::testing
