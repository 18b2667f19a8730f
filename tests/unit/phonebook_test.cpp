#include "core/connection/phonebook.h"

#include <gtest/gtest.h>

#include "tests/data/expected_files.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"

namespace velmora {
namespace {

class PhonebookTest : public ::testing::Test {
protected:
    void write() { writepbk(shell, files, window, log.log); }

    testing::FakeShellFolders shell{std::string("C:\\Documents and Settings\\user\\My Documents")};
    testing::FakeTextFiles files;
    testing::FakeControlSurface window;
    testing::MemoryLog log;
};

TEST_F(PhonebookTest, writesBothFilesByteForByte) {
    write();
    EXPECT_EQ(files.files["C:\\ipsec.pbk"], testing::kIpsecPbk);
    EXPECT_EQ(files.files["C:\\pptp.pbk"], testing::kPptpPbk);
    EXPECT_EQ(files.files.size(), 2u);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(log.file.lines.empty());
}

TEST_F(PhonebookTest, theDefaultGatewayPhonebookIsThePptpEntryThroughTheRemoteGatewayAndNotWrittenAtStart) {
    files.writeLines("defaultgate.pbk", defaultGatewayPhonebookLines());
    EXPECT_EQ(files.files["defaultgate.pbk"], testing::kDefaultGatePbk);
    files.files.clear();
    write();
    EXPECT_EQ(files.files.size(), 2u);
    EXPECT_EQ(files.files.count("C:\\defaultgate.pbk"), 0u);
}

TEST_F(PhonebookTest, replacesExistingFilesWhole) {
    files.files["C:\\ipsec.pbk"] = testing::kPptpPbk + std::string(10000, 'x');
    files.files["C:\\pptp.pbk"] = "[other]\r\n";
    write();
    write();
    EXPECT_EQ(files.files["C:\\ipsec.pbk"], testing::kIpsecPbk);
    EXPECT_EQ(files.files["C:\\pptp.pbk"], testing::kPptpPbk);
}

TEST_F(PhonebookTest, anUnwritableFileIsReportedOnceAndTheOtherStillWritten) {
    files.unwritable.insert("C:\\ipsec.pbk");
    write();
    EXPECT_EQ(files.files["C:\\pptp.pbk"], testing::kPptpPbk);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_NE(window.messages[0].find("C:\\ipsec.pbk"), std::string::npos);
    EXPECT_EQ(window.messages[0].find("pptp.pbk"), std::string::npos);
}

TEST_F(PhonebookTest, anUnwritableFolderGivesOneMessageNamingBothFiles) {
    files.unwritable = {"C:\\ipsec.pbk", "C:\\pptp.pbk"};
    write();
    EXPECT_EQ(window.messages,
              std::vector<std::string>{"无法写入电话簿文件 C:\\ipsec.pbk、C:\\pptp.pbk，拨号将会失败！请检查该文件夹能否写入。"});
    EXPECT_EQ(log.file.lines, (std::vector<std::string>{testing::kLogTime + "无法写入电话簿文件 C:\\ipsec.pbk",
                                                        testing::kLogTime + "无法写入电话簿文件 C:\\pptp.pbk"}));
    EXPECT_TRUE(files.files.empty());
}

}  // namespace
}  // namespace velmora
