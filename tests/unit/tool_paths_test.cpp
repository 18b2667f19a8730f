#include "core/system/tool_paths.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_file_operations.h"
#include "tests/fakes/fake_shell_folders.h"

namespace velmora {
namespace {

// The old policy tools come from a folder only administrators change: beside the program, else
// the system folder, and nowhere else, however the search path reads.
TEST(PolicyToolProgram, comesFromTheProgramsFolderOrTheSystemFolderOnly) {
    struct Row {
        const char* tool;
        std::set<std::string> files;
        const char* expected;
    };
    const Row rows[] = {
        {"velmora-ipsec", {}, "C:\\Program Files\\Velmora\\velmora-ipsec.exe"},
        {"ipseccmd", {"C:\\Program Files\\Velmora\\ipseccmd.exe", "C:\\WINDOWS\\system32\\ipseccmd.exe"},
         "C:\\Program Files\\Velmora\\ipseccmd.exe"},
        {"ipsecpol", {"C:\\WINDOWS\\system32\\ipsecpol.exe"}, "C:\\WINDOWS\\system32\\ipsecpol.exe"},
        {"ipseccmd", {"C:\\Support Tools\\ipseccmd.exe", "D:\\ipseccmd.exe"}, ""},
    };
    for (const Row& row : rows) {
        testing::FakeFileOperations files;
        files.files = row.files;
        testing::FakeShellFolders shell{std::string("C:\\Documents and Settings\\alice\\My Documents")};
        EXPECT_EQ(policyToolProgram(row.tool, files, shell), row.expected) << row.tool;
    }
}

}  // namespace
}  // namespace velmora
