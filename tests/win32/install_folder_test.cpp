// The install folder's rights as both installers give them, against Wine's file system. Wine keeps
// no descriptor of its own for a folder: it turns the one it is given into a Unix mode, and derives
// what it reports from that mode (the user who runs Wine as owner, users as Everyone). So these
// tests see each call's result, the folders made, and what is refused and left as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "installer/install_folder.h"
#include "platform/win32/text_codec.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

// The Unix path Wine gives a Windows one.
std::string unixPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix != nullptr ? toUnix(path.c_str()) : nullptr;
    const std::string result = unix != nullptr ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

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

    // A link to a folder whose rights must not change (Wine shows a Unix link as a reparse point).
    const std::wstring target = temp.file(L"system");
    const std::wstring link = temp.file(L"linked");
    ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
    // Wine neither waits for a Unix program nor gives its exit status: the link is looked for.
    testing::runCommandLine("/bin/sh -c \"ln -s '" + unixPath(target) + "' '" + unixPath(temp.path()) + "/linked'\"");
    DWORD linked = INVALID_FILE_ATTRIBUTES;
    for (int look = 0; look < 100 && (linked = GetFileAttributesW(link.c_str())) == INVALID_FILE_ATTRIBUTES; ++look) {
        Sleep(50);
    }
    ASSERT_TRUE(linked != INVALID_FILE_ATTRIBUTES && (linked & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
    EXPECT_EQ(secureInstallFolder(link), DWORD{ERROR_DIRECTORY});
    RemoveDirectoryW(link.c_str());
    RemoveDirectoryW(target.c_str());
}

}  // namespace
}  // namespace velmora
