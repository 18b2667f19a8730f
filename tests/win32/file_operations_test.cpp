// Win32FileOperations against Wine's file system.
#include "platform/win32/win32_file_operations.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::TempFolder;
using testing::fileExists;

void createFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    ASSERT_NE(file.get(), INVALID_HANDLE_VALUE);
}

TEST(FileOperations, programFolderIsTheFolderOfTheRunningExe) {
    Win32FileOperations files;
    EXPECT_EQ(files.programFolder(), narrow(testing::programFolder()));
}

TEST(FileOperations, onlyAPlainFileCountsAsExisting) {
    TempFolder folder;
    createFile(folder.file(L"plain.dll"));
    createFile(folder.file(L"readonly.dll"), FILE_ATTRIBUTE_READONLY);
    createFile(folder.file(L"hidden.dll"), FILE_ATTRIBUTE_HIDDEN);
    createFile(folder.file(L"system.dll"), FILE_ATTRIBUTE_SYSTEM);
    ASSERT_TRUE(CreateDirectoryW(folder.file(L"folder.dll").c_str(), nullptr));

    Win32FileOperations files;
    const auto exists = [&](const wchar_t* name) { return files.normalFileExists(narrow(folder.file(name))); };
    EXPECT_TRUE(exists(L"plain.dll"));
    EXPECT_TRUE(exists(L"readonly.dll"));
    EXPECT_FALSE(exists(L"hidden.dll"));
    EXPECT_FALSE(exists(L"system.dll"));
    EXPECT_FALSE(exists(L"folder.dll"));
    EXPECT_FALSE(exists(L"missing.dll"));
}

TEST(FileOperations, renamesWithinTheFolder) {
    TempFolder folder;
    createFile(folder.file(L"winipsec.dll"));
    Win32FileOperations files;
    files.renameFile(narrow(folder.file(L"winipsec.dll")), narrow(folder.file(L"zertaipsec.dll")));
    EXPECT_FALSE(fileExists(folder.file(L"winipsec.dll")));
    EXPECT_TRUE(fileExists(folder.file(L"zertaipsec.dll")));
}

TEST(FileOperations, aRenameThatCannotBeDoneLeavesBothFilesAsTheyWere) {
    TempFolder folder;
    createFile(folder.file(L"winipsec.dll"));
    createFile(folder.file(L"zertaipsec.dll"), FILE_ATTRIBUTE_HIDDEN);
    Win32FileOperations files;
    files.renameFile(narrow(folder.file(L"winipsec.dll")), narrow(folder.file(L"zertaipsec.dll")));
    files.renameFile(narrow(folder.file(L"absent.dll")), narrow(folder.file(L"other.dll")));
    EXPECT_TRUE(fileExists(folder.file(L"winipsec.dll")));
    EXPECT_EQ(GetFileAttributesW(folder.file(L"zertaipsec.dll").c_str()) & FILE_ATTRIBUTE_HIDDEN,
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(fileExists(folder.file(L"other.dll")));
}

}  // namespace
}  // namespace velmora
