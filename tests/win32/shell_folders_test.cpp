// Win32ShellFolders and the data folder against Wine's shell.
#include "platform/win32/win32_shell_folders.h"

#include <gtest/gtest.h>

#include "core/system/data_folder.h"

namespace velmora {
namespace {

TEST(ShellFolders, documentsFolderIsWinesUserDocuments) {
    Win32ShellFolders shell;
    const auto documents = shell.documentsFolder();
    ASSERT_TRUE(documents.has_value());
    EXPECT_EQ(documents->rfind("C:\\users\\", 0), 0u) << *documents;
    EXPECT_NE(documents->find("\\Documents"), std::string::npos) << *documents;
}

TEST(ShellFolders, systemFolderIsWinesSystem32) {
    Win32ShellFolders shell;
    const auto system = shell.systemFolder();
    ASSERT_TRUE(system.has_value());
    EXPECT_EQ(*system, "C:\\windows\\system32");
}

TEST(ShellFolders, dataFolderIsTheDriveRoot) {
    Win32ShellFolders shell;
    EXPECT_EQ(getDataFolder(shell), "C:\\");
}

}  // namespace
}  // namespace velmora
