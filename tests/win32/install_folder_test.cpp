// The install folder's rights as both installers give them, against Wine's file system. Wine keeps
// no descriptor of its own for a folder: it turns the one it is given into a Unix mode, and derives
// what it reports from that mode (the user who runs Wine as owner, users as Everyone). So these
// tests see each call's result, the folders made, and what is refused and left as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "installer/install_folder.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

TEST(InstallFolder, aMissingFolderIsMadeWithTheFoldersAboveItAndAnExistingOneKeepsWhatItHolds) {
    testing::TempFolder temp;
    const std::wstring above = temp.file(L"VPN 客户端");
    const std::wstring folder = above + L"\\Velmora";
    // As Windows Installer names it, with a backslash.
    EXPECT_EQ(secureInstallFolder(folder + L"\\"), DWORD{ERROR_SUCCESS});
    EXPECT_NE(GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    // Again, as over an installed version: the folder and what it holds stay.
    ASSERT_TRUE(CopyFileW((testing::programFolder() + L"\\velmora_test_child.exe").c_str(),
                          (folder + L"\\velmora.exe").c_str(), FALSE));
    EXPECT_EQ(secureInstallFolder(folder), DWORD{ERROR_SUCCESS});
    EXPECT_TRUE(testing::fileExists(folder + L"\\velmora.exe"));
    DeleteFileW((folder + L"\\velmora.exe").c_str());
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(above.c_str());
}

TEST(InstallFolder, aFileOrALinkInItsPlaceIsRefusedAndLeftAsItIs) {
    testing::TempFolder temp;
    const std::wstring file = temp.file(L"Velmora");
    const HANDLE made = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    CloseHandle(made);
    EXPECT_EQ(secureInstallFolder(file), DWORD{ERROR_DIRECTORY});
    EXPECT_EQ(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(secureInstallFolder(file + L"\\Velmora"), DWORD{ERROR_PATH_NOT_FOUND}) << "below a file";

    // A link to a folder whose rights must not change.
    const std::wstring target = temp.file(L"system");
    const std::wstring link = temp.file(L"linked");
    ASSERT_TRUE(testing::makeLinkedFolder(target, link));
    EXPECT_EQ(secureInstallFolder(link), DWORD{ERROR_DIRECTORY});
    EXPECT_TRUE(testing::removeLinkedFolder(target, link));
}

}  // namespace
}  // namespace velmora
