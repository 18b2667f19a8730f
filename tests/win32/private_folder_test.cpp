// The service's folder for its log against Wine's file system. Wine keeps no descriptor of its own
// for a file or folder: one given at creation shows only as the Everyone entry left out, and one
// set on an existing folder changes nothing there, so only a new folder's can be seen.
#include "platform/win32/private_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/text_codec.h"
#include "service/service_parts.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

constexpr const wchar_t* kEveryone = L"S-1-1-0";

TEST(PrivateFolder, aNewFolderGrantsEveryoneNothingAndAFileInItsPlaceIsRefused) {
    testing::TempFolder temp;
    const std::wstring plain = temp.file(L"plain");
    ASSERT_TRUE(CreateDirectoryW(plain.c_str(), nullptr));
    ASSERT_EQ(testing::grantedTo(plain).count(kEveryone), 1u) << "a folder made the plain way is open here";

    const std::wstring made = temp.file(L"日志");
    ASSERT_TRUE(makePrivateFolder(narrow(made)));
    EXPECT_NE(GetFileAttributesW(made.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(testing::grantedTo(made).count(kEveryone), 0u);
    EXPECT_TRUE(makePrivateFolder(narrow(made))) << "made before: closed again";

    const std::wstring file = temp.file(L"a file");
    const HANDLE created = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    CloseHandle(created);
    EXPECT_FALSE(makePrivateFolder(narrow(file)));
}

TEST(ServiceLogFolder, isTheLogsFolderOfTheServicesFolderOrNoneWhereItCannotBeMadePrivate) {
    testing::TempFolder temp;
    EXPECT_EQ(serviceLogFolder(narrow(temp.path())), narrow(temp.path()) + "\\logs");
    EXPECT_EQ(testing::grantedTo(temp.file(L"logs")).count(kEveryone), 0u);
    // A file where the folder belongs: nothing is logged rather than anywhere else.
    const std::wstring other = temp.file(L"other");
    ASSERT_TRUE(CreateDirectoryW(other.c_str(), nullptr));
    const HANDLE created = CreateFileW((other + L"\\logs").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    CloseHandle(created);
    EXPECT_EQ(serviceLogFolder(narrow(other)), "");
}

}  // namespace
}  // namespace velmora
