#include "core/ipsec/windows_version.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_file_operations.h"

namespace velmora {
namespace {

using Files = std::set<std::string>;

constexpr const char* kActive = "C:\\Program Files\\Velmora\\winipsec.dll";
constexpr const char* kParked = "C:\\Program Files\\Velmora\\zertaipsec.dll";

class WindowsVersionTest : public ::testing::Test {
protected:
    std::string run(std::uint32_t major, std::uint32_t minor, const std::string& servicePack) {
        const VersionRecord record{major, minor, servicePack, 0};
        nameIpsecLibrary(record, files);
        return windowsVersionText(record);
    }

    testing::FakeFileOperations files;
};

TEST_F(WindowsVersionTest, windows2000TouchesNoFileAndTakesIpsecpol) {
    files.files = {kParked};
    const std::string version = run(5, 0, "Service Pack 4");
    EXPECT_EQ(version, "5.0");
    EXPECT_EQ(chooseIpsecTool(version), "ipsecpol");
    EXPECT_TRUE(files.renames.empty());
}

TEST_F(WindowsVersionTest, laterVersionsTouchNoFile) {
    files.files = {kActive};
    for (const auto& [major, minor, text, tool] : std::vector<std::tuple<int, int, std::string, std::string>>{
             {5, 2, "5.2", "ipseccmd"},
             {6, 0, "6.0", "velmora-ipsec"},
             {6, 1, "6.1", "velmora-ipsec"},
             {10, 0, "10.0", "velmora-ipsec"}}) {
        const std::string version = run(major, minor, "Service Pack 2");
        EXPECT_EQ(version, text);
        EXPECT_EQ(chooseIpsecTool(version), tool);
    }
    EXPECT_TRUE(files.renames.empty());
}

TEST_F(WindowsVersionTest, aFailedQueryReadsZeroAndTakesIpseccmd) {
    const std::string version = run(0, 0, "");
    EXPECT_EQ(version, "0.0");
    EXPECT_EQ(chooseIpsecTool(version), "ipseccmd");
    EXPECT_TRUE(files.renames.empty());
}

TEST_F(WindowsVersionTest, xpBeforeServicePack2BringsTheParkedLibraryBack) {
    for (const std::string servicePack : {"", "Service Pack 1", "Service Pack 1a", "Service Pack"}) {
        files.files = {kParked};
        EXPECT_EQ(run(5, 1, servicePack), "5.1");
        EXPECT_EQ(files.files, Files{kActive}) << servicePack;
    }
}

TEST_F(WindowsVersionTest, xpBeforeServicePack2LeavesAnActiveLibraryAlone) {
    files.files = {kActive};
    run(5, 1, "Service Pack 1");
    EXPECT_EQ(files.files, Files{kActive});
    EXPECT_TRUE(files.renames.empty());
}

TEST_F(WindowsVersionTest, xpFromServicePack2ParksTheLibrary) {
    for (const std::string servicePack : {"Service Pack 2", "Service Pack 3", "Service Pack 4", "Service Pack 2b"}) {
        files.files = {kActive};
        EXPECT_EQ(run(5, 1, servicePack), "5.1");
        EXPECT_EQ(files.files, Files{kParked}) << servicePack;
    }
}

TEST_F(WindowsVersionTest, bothNamesPresentOrBothAbsentLeaveTheFolderAlone) {
    files.files = {kActive, kParked};
    run(5, 1, "Service Pack 2");
    run(5, 1, "Service Pack 1");
    files.files.clear();
    run(5, 1, "Service Pack 2");
    run(5, 1, "Service Pack 1");
    EXPECT_TRUE(files.renames.empty());
}

TEST_F(WindowsVersionTest, aHiddenOrSystemFileCountsAsAbsent) {
    files.hidden = {kActive};
    run(5, 1, "Service Pack 2");
    EXPECT_TRUE(files.renames.empty());

    files.hidden = {kParked};
    files.files = {kActive};
    run(5, 1, "Service Pack 2");
    EXPECT_EQ(files.renames, std::vector<std::string>{std::string(kActive) + " -> " + kParked});
}

TEST_F(WindowsVersionTest, aFailedRenameStillGivesTheVersion) {
    files.files = {kActive};
    files.renamesFail = true;
    EXPECT_EQ(run(5, 1, "Service Pack 2"), "5.1");
    EXPECT_EQ(files.files, Files{kActive});
}

TEST(ChooseIpsecTool, onlyTheExactTextOfWindows2000TakesIpsecpol) {
    EXPECT_EQ(chooseIpsecTool("5.0"), "ipsecpol");
    EXPECT_EQ(chooseIpsecTool("5.1"), "ipseccmd");
    EXPECT_EQ(chooseIpsecTool("5.2"), "ipseccmd");
    EXPECT_EQ(chooseIpsecTool("0.0"), "ipseccmd");
    EXPECT_EQ(chooseIpsecTool("5.00"), "ipseccmd");
    EXPECT_EQ(chooseIpsecTool(""), "ipseccmd");
}

TEST(ChooseIpsecTool, fromMajorVersionSixOnTheNetshProgramBesideTheExe) {
    for (const char* version : {"6.0", "6.1", "6.3", "10.0", "11.2"}) {
        EXPECT_EQ(chooseIpsecTool(version), "velmora-ipsec") << version;
    }
    // A number is compared, not text: "10.0" sorts before "6.0" as text, "5.9" after "10".
    EXPECT_EQ(chooseIpsecTool("5.9"), "ipseccmd");
    for (const char* text : {"6", "x6.0", "6x.0", ".6", "99999999999.0"}) {
        EXPECT_EQ(chooseIpsecTool(text), "ipseccmd") << text;
    }
}

}  // namespace
}  // namespace velmora
