// The stand-ins' journal as the end-to-end tests read it: where a stand-in writes it when it did
// not inherit the tests' environment, who started the stand-in that wrote each line, and when.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/text_codec.h"
#include "sim/sim_state.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

// A stand-in in a folder of its own, started by the test child, which this program starts.
class StandInJournal : public ::testing::Test {
protected:
    StandInJournal() {
        EXPECT_TRUE(CopyFileW((widen(VELMORA_PROGRAMS_DIR) + L"\\route.exe").c_str(), standIn.file(L"route.exe").c_str(),
                              FALSE));
    }
    ~StandInJournal() override {
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", nullptr);
        sim::publishSimFolder({});
    }

    // The stand-in, run with the environment and the registry as they are now; true when it ended well.
    bool runStandIn() {
        return testing::runCommandLine("\"" + narrow(testing::programFolder()) + "\\velmora_test_child.exe\" run \"" +
                                       narrow(standIn.file(L"route.exe")) + "\"") == DWORD{0};
    }

    testing::TempFolder standIn;
    testing::TempFolder fromEnvironment;
    testing::TempFolder fromRegistry;
};

TEST_F(StandInJournal, theEnvironmentComesFirstThenThePublishedFolderThenTheProgramsOwn) {
    const std::string line = "\"" + narrow(standIn.file(L"route.exe")) + "\"\r\n";
    struct Row {
        bool environment;
        bool registry;
        const testing::TempFolder* expected;
    };
    for (const Row& row : {Row{true, true, &fromEnvironment}, Row{false, true, &fromRegistry},
                           Row{false, false, &standIn}}) {
        SCOPED_TRACE(narrow(row.expected->path()));
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", row.environment ? fromEnvironment.path().c_str() : nullptr);
        sim::publishSimFolder(row.registry ? fromRegistry.path() : std::wstring());
        ASSERT_TRUE(runStandIn());
        for (const testing::TempFolder* folder : {&fromEnvironment, &fromRegistry, &standIn}) {
            EXPECT_EQ(testing::readBytes(folder->file(L"journal.txt")), folder == row.expected ? line : "");
            DeleteFileW(folder->file(L"journal.txt").c_str());
            DeleteFileW(folder->file(L"journal-starters.txt").c_str());
            DeleteFileW(folder->file(L"journal-times.txt").c_str());
        }
    }
}

TEST_F(StandInJournal, eachLineNamesTheStandInItsStarterAndTheStartersStarter) {
    SetEnvironmentVariableW(L"VELMORA_SIM_DIR", fromEnvironment.path().c_str());
    const DWORD before = GetTickCount();
    sim::appendJournal("written by the test");
    ASSERT_TRUE(runStandIn());
    const DWORD after = GetTickCount();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring selfPath = self;
    const std::string test = narrow(selfPath.substr(selfPath.find_last_of(L"\\/") + 1));

    const std::vector<sim::JournalEntry> entries = sim::readJournalStarters();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].line, "written by the test");
    EXPECT_EQ(entries[0].program, test);
    EXPECT_EQ(entries[1].line, "\"" + narrow(standIn.file(L"route.exe")) + "\"");
    EXPECT_EQ(entries[1].program, "route.exe");
    EXPECT_EQ(entries[1].parent, "velmora_test_child.exe");
    EXPECT_EQ(entries[1].grandparent, test);
    // The journal itself keeps its lines as they were.
    EXPECT_EQ(sim::readJournal(), (std::vector<std::string>{entries[0].line, entries[1].line}));
    // Each line has the moment it was written, in the order written.
    const std::vector<sim::TimedLine> timed = sim::readTimedJournal();
    ASSERT_EQ(timed.size(), 2u);
    EXPECT_EQ(timed[1].line, entries[1].line);
    EXPECT_LE(timed[0].tick - before, timed[1].tick - before);
    EXPECT_LE(timed[1].tick - before, after - before);
}

}  // namespace
}  // namespace velmora
