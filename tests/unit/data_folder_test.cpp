#include "core/system/data_folder.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_shell_folders.h"

namespace velmora {
namespace {

std::string dataFolderFor(std::optional<std::string> documents) {
    testing::FakeShellFolders shell(std::move(documents));
    return getDataFolder(shell);
}

TEST(DataFolder, isTheRootOfTheDocumentsDrive) {
    EXPECT_EQ(dataFolderFor("C:\\Documents and Settings\\user\\My Documents"), "C:\\");
    EXPECT_EQ(dataFolderFor("D:\\Users\\user\\Documents"), "D:\\");
}

TEST(DataFolder, isTheFirstThreeCharactersWhateverThePath) {
    EXPECT_EQ(dataFolderFor("\\\\server\\share\\docs"), "\\\\s");
    EXPECT_EQ(dataFolderFor("C:"), "C:");
    EXPECT_EQ(dataFolderFor(""), "");
    EXPECT_EQ(dataFolderFor("我的文档\\资料"), "我的文");
}

TEST(DataFolder, isEmptyWhenTheShellCannotNameTheFolder) {
    EXPECT_EQ(dataFolderFor(std::nullopt), "");
}

}  // namespace
}  // namespace velmora
