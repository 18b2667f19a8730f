// The stand-in rasapi32.dll checks record and buffer sizes as the real service does, so that
// the program's own checks are tested against something that can refuse.
#include <windows.h>
#include <ras.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sim/sim_state.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

constexpr DWORD kRecord = 412;

class StandInRasapi : public ::testing::Test {
protected:
    StandInRasapi() {
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", folder.path().c_str());
        sim::saveConnections({{1, "first"}, {2, "second"}});
    }
    ~StandInRasapi() override { SetEnvironmentVariableW(L"VELMORA_SIM_DIR", nullptr); }

    // Two records' worth of room and a guard area filled with a pattern.
    std::vector<unsigned char> buffer = std::vector<unsigned char>(4 * kRecord, 0xAB);
    DWORD bytes = 0;
    DWORD count = 0;
    testing::TempFolder folder;

    DWORD enumerate(DWORD recordSize, DWORD bufferBytes) {
        std::memcpy(buffer.data(), &recordSize, sizeof recordSize);
        bytes = bufferBytes;
        return RasEnumConnectionsA(reinterpret_cast<LPRASCONNA>(buffer.data()), &bytes, &count);
    }
};

TEST_F(StandInRasapi, refusesAnUnknownRecordSize) {
    EXPECT_EQ(enumerate(400, 4 * kRecord), 632u);
}

TEST_F(StandInRasapi, tooSmallABufferIsAnErrorNotAnOverrun) {
    EXPECT_EQ(enumerate(kRecord, kRecord), 603u);
    EXPECT_EQ(bytes, 2 * kRecord);
    EXPECT_EQ(count, 2u);
    for (std::size_t i = 4; i < buffer.size(); ++i) {
        ASSERT_EQ(buffer[i], 0xAB) << "byte " << i << " was written";
    }
}

TEST_F(StandInRasapi, fillsRecordsAtTheCallersStride) {
    ASSERT_EQ(enumerate(kRecord, 2 * kRecord), 0u);
    EXPECT_EQ(count, 2u);
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer.data() + 8), "first");
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer.data() + kRecord + 8), "second");
    EXPECT_EQ(buffer[2 * kRecord], 0xAB);
}

}  // namespace
}  // namespace velmora
