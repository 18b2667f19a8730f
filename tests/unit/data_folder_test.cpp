#include "core/system/data_folder.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_shell_folders.h"

namespace velmora {
namespace {

std::string dataFolderFor(std::optional<std::string> documents,
                          std::optional<std::string> system = std::string("D:\\WINNT\\system32")) {
    testing::FakeShellFolders shell(std::move(documents), std::move(system));
    return getDataFolder(shell);
}

TEST(DataFolder, isTheRootOfTheDocumentsDrive) {
    EXPECT_EQ(dataFolderFor("C:\\Documents and Settings\\user\\My Documents"), "C:\\");
    EXPECT_EQ(dataFolderFor("D:\\Users\\user\\Documents"), "D:\\");
}

TEST(DataFolder, isTheFirstThreeCharactersWhateverThePath) {
    EXPECT_EQ(dataFolderFor("C:"), "C:");
    EXPECT_EQ(dataFolderFor(""), "");
    EXPECT_EQ(dataFolderFor("我的文档\\资料"), "我的文");
}

TEST(DataFolder, isTheSystemDriveRootForDocumentsOnAShareOrNowhere) {
    EXPECT_EQ(dataFolderFor("\\\\server\\share\\users\\li\\My Documents"), "D:\\");
    EXPECT_EQ(dataFolderFor(std::nullopt), "D:\\");
    EXPECT_EQ(dataFolderFor("\\\\server\\share", std::nullopt), "");
}

}  // namespace
}  // namespace velmora
