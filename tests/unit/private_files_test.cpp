#include "core/settings/private_files.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

TEST(RestrictDataFiles, closesWhatOthersCanReachAndLogsEachKindOnce) {
    struct Row {
        const char* what;
        Lines open;
        Lines unwritable;
        bool permissions;
        Lines logged;
    };
    const std::string ini = "C:\\l2tpipsec.ini";
    const std::string l2tp = "C:\\ipsec.pbk";
    const std::string pptp = "C:\\pptp.pbk";
    const Row rows[] = {
        {"all closed already", {}, {}, true, {}},
        {"two open", {ini, pptp}, {}, true,
         {"其他用户可以读取或更改这些文件，已改为只有管理员和系统可以访问：C:\\l2tpipsec.ini、C:\\pptp.pbk"}},
        {"one cannot be closed", {ini, l2tp}, {l2tp}, true,
         {"其他用户可以读取或更改这些文件，已改为只有管理员和系统可以访问：C:\\l2tpipsec.ini",
          "无法使这些文件只由管理员和系统访问，其他用户仍可读取或更改：C:\\ipsec.pbk"}},
        {"no permissions", {ini}, {}, false,
         {"这些文件所在的文件系统不保存权限，本机所有用户都能读取和更改：C:\\l2tpipsec.ini、C:\\ipsec.pbk、C:\\pptp.pbk"}},
    };
    for (const Row& row : rows) {
        testing::FakeShellFolders shell{std::string("C:\\Documents and Settings\\alice\\My Documents")};
        testing::FakeTextFiles files;
        for (const std::string& path : {ini, l2tp, pptp}) {
            files.files[path] = "bytes of " + path;
        }
        files.open.insert(row.open.begin(), row.open.end());
        files.unwritable.insert(row.unwritable.begin(), row.unwritable.end());
        files.permissions = row.permissions;
        testing::MemoryLog log;

        restrictDataFiles(shell, files, log.log);

        Lines logged;
        for (const std::string& line : log.file.lines) {
            logged.push_back(line.substr(testing::kLogTime.size()));
        }
        EXPECT_EQ(logged, row.logged) << row.what;
        EXPECT_EQ(files.files[ini], "bytes of " + ini) << row.what;
    }
}

}  // namespace
}  // namespace velmora
