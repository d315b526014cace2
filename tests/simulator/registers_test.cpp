// The register file of the simulated sensors: window, availability by family and firmware, access,
// ranges, texts, and the registers that do something.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "SimTest.h"

namespace {

// Handles 1..5 in this order.
const char* const kMixedWorld = R"json({"sensors": [
  {"model": "QVCAM_V2", "mac": "00:1f:0a:00:00:01", "ip": "10.0.0.1", "firmware": "2.5 (17)"},
  {"model": "QVCAM_V2", "mac": "00:1f:0a:00:00:02", "ip": "10.0.0.2", "firmware": "4.7 (1)"},
  {"model": "QvTarn", "mac": "00:1f:0a:00:00:03", "ip": "10.0.0.3", "firmware": "1.2.3 "},
  {"model": "QvTarn", "mac": "00:1f:0a:00:00:04", "ip": "10.0.0.4", "firmware": "1.2.4 ",
   "absent_registers": [20144], "self_test_result": 7, "reboot_ms": 60},
  {"model": "QVSkarvel", "mac": "00:1f:0a:00:00:05", "ip": "10.0.0.5", "firmware": "2.7 (3)"}]})json";
enum Handle : int32_t { kCamOld = 1, kCam471, kTarn123, kTarn124, kSkarvel };

constexpr int32_t kFwuFileCount = 0x8000041;
constexpr int32_t kFwuReboot = 0x8000047;

class Registers : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(world_.status(), 0);
        ASSERT_EQ(Discover().size(), 5u);
        for (int32_t h = 1; h <= 5; ++h) ASSERT_EQ(yoxaOpenCamera(h, nullptr), 0);
    }
    ScopedWorld world_{kMixedWorld};
};

std::atomic<int> gLostCalls{0};
std::atomic<int32_t> gLostHandle{0};
void OnLost(int32_t handle) {
    gLostHandle = handle;
    ++gLostCalls;
}

}  // namespace

TEST_F(Registers, WindowStaysInsideTheLargestWindow) {
    // A QvTarn sensor of 2112 x 1440: the steps camera initialization and offset adjustment take.
    struct Step {
        int32_t reg;
        uint32_t value;
        int32_t status;
        uint32_t width, height, x, y;
    } steps[] = {
        {4, 0, 0, 2112, 1440, 0, 0},      {2, 10000, 0, 2112, 1440, 0, 0},
        {3, 10000, 0, 2112, 1440, 0, 0},  {2, 2048, 0, 2048, 1440, 0, 0},
        {4, 32, 0, 2048, 1440, 32, 0},    {4, 100, 0, 2048, 1440, 64, 0},  // offset clamped to 2112 - 2048
        {2, 10000, 0, 2048, 1440, 64, 0},                                  // width clamped to 2112 - 64
        {2, 15, -3, 2048, 1440, 64, 0},                                    // too narrow
        {3, 1400, 0, 2048, 1400, 64, 0},  {5, 0xFFFFFFFF, 0, 2048, 1400, 64, 40},
        {3, 1440, 0, 2048, 1400, 64, 40}, {3, 7, -3, 2048, 1400, 64, 40},
    };
    for (const Step& s : steps) {
        uint32_t v = s.value;
        EXPECT_EQ(yoxaSetRegisterInt(kTarn124, s.reg, &v), s.status)
            << "register " << s.reg << " = " << s.value;
        uint32_t window[4];
        for (int32_t r = 0; r < 4; ++r) ASSERT_EQ(yoxaGetRegisterInt(kTarn124, 2 + r, &window[r]), 0);
        EXPECT_EQ(window[0], s.width) << "after register " << s.reg << " = " << s.value;
        EXPECT_EQ(window[1], s.height) << "after register " << s.reg << " = " << s.value;
        EXPECT_EQ(window[2], s.x) << "after register " << s.reg << " = " << s.value;
        EXPECT_EQ(window[3], s.y) << "after register " << s.reg << " = " << s.value;
    }
    uint32_t largest = 10000;
    ASSERT_EQ(yoxaSetRegisterInt(kCamOld, 3, &largest), 0);
    ASSERT_EQ(yoxaGetRegisterInt(kCamOld, 3, &largest), 0);
    EXPECT_EQ(largest, 1088u);
}

TEST_F(Registers, StatusFollowsFamilyFirmwareTypeAccessAndRange) {
    const uint32_t kNaN = 0x7FC00000;
    struct Case {
        int32_t handle;
        int32_t reg;
        bool isFloat;
        bool write;
        uint32_t value;  // for writes; floats as bit patterns
        int32_t status;
    } cases[] = {
        // Availability by family and firmware version.
        {kCamOld, 20178, false, false, 0, -3},  // surface_mode from 3.0.0
        {kCam471, 20178, false, false, 0, 0},
        {kSkarvel, 20178, false, false, 0, -3},
        {kTarn123, 20178, false, false, 0, 0},
        {kCamOld, 30013, false, false, 0, -3},  // peak_x_filter from 4.7.1, QvTarn from 1.0.13
        {kCam471, 30013, false, false, 0, 0},
        {kTarn123, 30013, false, false, 0, 0},
        {kCam471, 20028, true, false, 0, -3},  // HDR floats only on QvTarn from 1.2.4
        {kTarn123, 20028, true, false, 0, -3},
        {kTarn124, 20028, true, false, 0, 0},
        {kCamOld, 20144, false, true, 0, 0},    // written by every initialization, so on every firmware
        {kTarn124, 20144, false, true, 0, -3},  // ... unless the world leaves it out
        {kSkarvel, 20023, true, false, 0, 0},
        {kCam471, 20023, true, false, 0, -3},
        {kTarn123, 326, true, false, 0, 0},
        {kCam471, 326, true, false, 0, -3},
        {kCam471, 128, true, true, AsBits(2.0f), 0},
        {kTarn123, 128, true, true, AsBits(1.0f), -3},
        {kCam471, 20004, false, true, 512, 0},
        {kTarn123, 20004, false, true, 512, -3},
        {kTarn123, kFwuFileCount, false, true, 1, 0},
        {kCam471, kFwuFileCount, false, true, 1, -3},
        {kCam471, 12345, false, false, 0, -3},
        {kCam471, 1, false, true, 0, -3},
        // The type a register has: 324 is an integer on QVCAM_V2 and a float on QvTarn.
        {kCam471, 324, false, false, 0, 0},
        {kCam471, 324, true, false, 0, -1},
        {kTarn123, 324, true, false, 0, 0},
        {kTarn123, 324, false, false, 0, -1},
        {kCam471, 25, false, true, 100, -1},
        {kCam471, 2, true, false, 0, -1},
        // Read-only registers.
        {kCam471, 40, false, true, 0x2e34, -3},
        {kCam471, 324, false, true, 40, -3},
        {kCam471, 20104, false, true, 1, -3},
        {kTarn123, 386, false, true, 0, -3},
        // Ranges.
        {kCam471, 20012, false, true, 50000, 0},
        {kCam471, 20012, false, true, 50001, -3},
        {kCam471, 20012, false, true, 0, -3},
        {kCam471, 32, true, true, AsBits(1.5f), 0},
        {kCam471, 32, true, true, AsBits(0.5f), -3},
        {kCam471, 25, true, true, kNaN, -3},
        {kCam471, 20060, true, true, AsBits(1.0f), 0},
        {kCam471, 20060, true, true, AsBits(1.2f), -3},
        {kCam471, 321, false, true, 9001, -3},
        {kCam471, 30005, false, true, 2, -3},
        {kCam471, 30005, false, true, 0, 0},
    };
    for (const Case& c : cases) {
        uint32_t bits = c.value;
        int32_t status =
            c.write ? WriteReg(c.handle, c.reg, c.isFloat, bits) : ReadReg(c.handle, c.reg, c.isFloat, &bits);
        EXPECT_EQ(status, c.status) << "camera " << c.handle << (c.write ? " writes " : " reads ")
                                    << (c.isFloat ? "float " : "int ") << c.reg;
    }
}

TEST_F(Registers, RefusedWritesLeaveTheValue) {
    uint32_t freq = 1000;
    ASSERT_EQ(yoxaSetRegisterInt(kCam471, 20012, &freq), 0);
    freq = 60000;
    ASSERT_EQ(yoxaSetRegisterInt(kCam471, 20012, &freq), -3);
    ASSERT_EQ(yoxaGetRegisterInt(kCam471, 20012, &freq), 0);
    EXPECT_EQ(freq, 1000u);
}

TEST(RegisterTexts, FirmwareAndIdentityReadAsFourCharactersPerWordLowestFirst) {
    struct Case {
        const char* model;
        const char* firmware;
        const char* serial;
        const char* deviceVersion;
    } cases[] = {
        {"QVCAM_V2", "4.9 (2)", "QC21000123", "B"},
        {"QvTarn", "1.3.0 ", "QX17000001", "rev 2"},
        {"QVSkarvel", "12.345.6789a", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", "0123456789abcdef0123456789abcdef"},
        {"SomeOtherModel", "1.0 (0)", "X", ""},
    };
    for (const Case& c : cases) {
        ScopedWorld world(std::string(R"({"sensors": [{"mac": "0:1f:a:0:0:1", "model": ")") + c.model +
                          R"(", "firmware": ")" + c.firmware + R"(", "serial": ")" + c.serial +
                          R"(", "device_version": ")" + c.deviceVersion + R"("}]})");
        ASSERT_EQ(world.status(), 0) << c.model;
        ASSERT_EQ(Discover().size(), 1u);
        ASSERT_EQ(yoxaOpenCamera(1, nullptr), 0);
        uint32_t firmware[3];
        for (int32_t r = 0; r < 3; ++r) ASSERT_EQ(yoxaGetRegisterInt(1, 40 + r, &firmware[r]), 0);
        EXPECT_EQ(WordsToText(firmware, 3), c.firmware);
        struct Text {
            uint32_t address;
            const char* expected;
        } texts[] = {{154, c.model}, {162, c.deviceVersion}, {182, c.serial}};
        for (const Text& t : texts) {
            uint32_t words[8];
            uint32_t length = 8;
            ASSERT_EQ(yoxaReadMemory(1, t.address, &length, words), 0);
            EXPECT_EQ(length, 8u);
            EXPECT_EQ(WordsToText(words, 8), t.expected) << "word " << t.address;
        }
    }
}

TEST_F(Registers, ImagerRegistersAreReachedThroughTheAddressPair) {
    uint32_t v;
    auto write = [](int32_t reg, uint32_t value) { return yoxaSetRegisterInt(kTarn124, reg, &value); };
    ASSERT_EQ(write(54, 114), 0);
    ASSERT_EQ(write(55, 12160), 0);
    ASSERT_EQ(write(54, 115), 0);
    ASSERT_EQ(yoxaGetRegisterInt(kTarn124, 55, &v), 0);
    EXPECT_EQ(v, 0u);
    ASSERT_EQ(write(54, 114), 0);
    ASSERT_EQ(yoxaGetRegisterInt(kTarn124, 55, &v), 0);
    EXPECT_EQ(v, 12160u);
}

TEST_F(Registers, RestartReadsBackZeroWhenDoneWithTheSelfTestResult) {
    uint32_t v = 2;
    ASSERT_EQ(yoxaSetRegisterInt(kTarn124, 20113, &v), 0);
    ASSERT_EQ(yoxaGetRegisterInt(kTarn124, 20113, &v), 0);
    EXPECT_EQ(v, 2u);  // still restarting
    EXPECT_TRUE(WaitFor([] {
        uint32_t r = 1;
        return yoxaGetRegisterInt(kTarn124, 20113, &r) == 0 && r == 0;
    }));
    ASSERT_EQ(yoxaGetRegisterInt(kTarn124, 386, &v), 0);
    EXPECT_EQ(v, 7u);
}

TEST_F(Registers, RebootDropsTheLinkAndComesBackWithPowerOnValues) {
    struct Case {
        int32_t reg;
        int32_t writeStatus;  // the file transfer's reboot goes down before it answers
    } cases[] = {{322, 0}, {10022, 0}, {kFwuReboot, -4}};
    for (const Case& c : cases) {
        gLostCalls = 0;
        ASSERT_EQ(yoxaOpenCamera(kTarn124, OnLost), 0);
        float exposure = 50.0f;
        ASSERT_EQ(yoxaSetRegisterFloat(kTarn124, 25, &exposure), 0);
        uint32_t one = 1;
        EXPECT_EQ(yoxaSetRegisterInt(kTarn124, c.reg, &one), c.writeStatus) << c.reg;
        EXPECT_TRUE(WaitFor([] { return gLostCalls == 1; })) << c.reg;
        EXPECT_EQ(gLostHandle, kTarn124);
        EXPECT_EQ(yoxaGetRegisterFloat(kTarn124, 25, &exposure), -4);
        // Away while it boots, then back.
        auto listed = [] {
            auto handles = Discover();
            return std::find(handles.begin(), handles.end(), kTarn124) != handles.end();
        };
        EXPECT_FALSE(listed()) << c.reg;
        EXPECT_TRUE(WaitFor(listed)) << c.reg;
        ASSERT_EQ(yoxaOpenCamera(kTarn124, nullptr), 0);
        ASSERT_EQ(yoxaGetRegisterFloat(kTarn124, 25, &exposure), 0);
        EXPECT_EQ(exposure, 10.0f) << c.reg;
        EXPECT_EQ(gLostCalls, 1);
    }
}

TEST_F(Registers, TemperaturesArePlausible) {
    struct Case {
        int32_t handle;
        int32_t reg;
        bool isFloat;
    } cases[] = {{kCam471, 64, true},     {kCam471, 324, false},   {kTarn123, 324, true},
                 {kTarn123, 326, true},   {kTarn123, 20230, true}, {kTarn123, 20231, true},
                 {kTarn123, 20233, true}, {kTarn123, 20234, true}, {kTarn123, 20235, true},
                 {kSkarvel, 20023, true}};
    for (const Case& c : cases) {
        uint32_t bits = 0;
        ASSERT_EQ(ReadReg(c.handle, c.reg, c.isFloat, &bits), 0) << c.reg;
        double t = c.isFloat ? AsFloat(bits) : static_cast<int32_t>(bits);
        EXPECT_GT(t, 15.0) << c.reg;
        EXPECT_LT(t, 70.0) << c.reg;
    }
}

TEST_F(Registers, QvTarnControlPointsAreStoredAndLoadedBySelectedIndex) {
    auto write = [](int32_t reg, uint32_t value) { return yoxaSetRegisterInt(kTarn124, reg, &value); };
    auto read = [](int32_t reg) {
        uint32_t v = 0xDEAD;
        EXPECT_EQ(yoxaGetRegisterInt(kTarn124, reg, &v), 0);
        return v;
    };
    ASSERT_EQ(read(20500), 32u);
    ASSERT_EQ(write(20480, 3), 0);
    ASSERT_EQ(write(20481, 100), 0);
    ASSERT_EQ(write(20484, 200), 0);
    ASSERT_EQ(write(20485, 30), 0);
    float width = 12.5f;
    ASSERT_EQ(yoxaSetRegisterFloat(kTarn124, 20486, &width), 0);
    ASSERT_EQ(write(20487, 40), 0);
    ASSERT_EQ(write(20496, 1), 0);
    // Another point overwrites the point registers; loading point 3 brings its values back.
    ASSERT_EQ(write(20480, 0), 0);
    ASSERT_EQ(write(20481, 5), 0);
    ASSERT_EQ(write(20496, 1), 0);
    ASSERT_EQ(write(20480, 3), 0);
    ASSERT_EQ(write(20497, 1), 0);
    EXPECT_EQ(read(20481), 100u);
    EXPECT_EQ(read(20484), 200u);
    EXPECT_EQ(read(20485), 30u);
    EXPECT_EQ(read(20487), 40u);
    ASSERT_EQ(yoxaGetRegisterFloat(kTarn124, 20486, &width), 0);
    EXPECT_EQ(width, 12.5f);
    ASSERT_EQ(write(20501, 0), 0);
    ASSERT_EQ(write(20497, 1), 0);
    EXPECT_EQ(read(20481), 0u);
}

TEST_F(Registers, QvTarnTimingFollowsTheWindow) {
    uint32_t v = 2048;
    ASSERT_EQ(yoxaSetRegisterInt(kTarn124, 2, &v), 0);
    v = 1400;
    ASSERT_EQ(yoxaSetRegisterInt(kTarn124, 3, &v), 0);
    // A reference frequency gives the rows that fit: (74250000 / 1000 - 1029) / (2048 / 32 + 1).
    float f = 1000.0f;
    ASSERT_EQ(yoxaSetRegisterFloat(kTarn124, 20035, &f), 0);
    ASSERT_EQ(yoxaGetRegisterInt(kTarn124, 20036, &v), 0);
    EXPECT_EQ(v, 1126u);
    // The shortest trigger period is the frame time of the window, unless a longer one is set.
    float period = 0;
    ASSERT_EQ(yoxaGetRegisterFloat(kTarn124, 20034, &period), 0);
    EXPECT_NEAR(period, (1400.0 * 65 + 1029) / 74.25, 0.01);
    period = 5000.0f;
    ASSERT_EQ(yoxaSetRegisterFloat(kTarn124, 20034, &period), 0);
    ASSERT_EQ(yoxaGetRegisterFloat(kTarn124, 20034, &period), 0);
    EXPECT_EQ(period, 5000.0f);
    // Older firmware has neither.
    EXPECT_EQ(yoxaSetRegisterFloat(kCam471, 20035, &f), -3);
}

TEST_F(Registers, FaultsAnswerTheirStatusUntilCleared) {
    const char* mac = "0:1f:a:0:0:2";
    for (int status : {-1, -3, -4}) {
        ASSERT_EQ(yoxasimSetRegisterFault(mac, 25, status), 0);
        float f = 20.0f;
        EXPECT_EQ(yoxaSetRegisterFloat(kCam471, 25, &f), status);
        EXPECT_EQ(yoxaGetRegisterFloat(kCam471, 25, &f), status);
        uint32_t other = 0;
        EXPECT_EQ(yoxaGetRegisterInt(kCam471, 2, &other), 0);  // only that register
    }
    ASSERT_EQ(yoxasimSetRegisterFault(mac, 25, 0), 0);
    float f = 20.0f;
    EXPECT_EQ(yoxaSetRegisterFloat(kCam471, 25, &f), 0);
    EXPECT_EQ(yoxasimSetRegisterFault(mac, 25, -2), -1);
    EXPECT_EQ(yoxasimSetRegisterFault("0:1f:a:0:0:99", 25, -3), -1);
}

TEST_F(Registers, LogListsTheWritesReceivedSinceOpened) {
    const char* mac = "00:1F:0A:00:00:02";
    uint32_t v = 100;
    ASSERT_EQ(yoxaSetRegisterInt(kCam471, 20012, &v), 0);
    ASSERT_EQ(yoxaOpenCamera(kCam471, nullptr), 0);  // a new log
    v = 200;
    ASSERT_EQ(yoxaSetRegisterInt(kCam471, 20012, &v), 0);
    v = 60000;
    ASSERT_EQ(yoxaSetRegisterInt(kCam471, 20012, &v), -3);  // refused, but received
    float gain = 2.5f;
    ASSERT_EQ(yoxaSetRegisterFloat(kCam471, 32, &gain), 0);
    ASSERT_EQ(yoxaGetRegisterInt(kCam471, 20012, &v), 0);  // reads are not logged

    int regs[8];
    unsigned values[8];
    ASSERT_EQ(yoxasimRegisterLog(mac, regs, values, 8), 3);
    EXPECT_EQ(regs[0], 20012);
    EXPECT_EQ(values[0], 200u);
    EXPECT_EQ(regs[1], 20012);
    EXPECT_EQ(values[1], 60000u);
    EXPECT_EQ(regs[2], 32);
    EXPECT_EQ(values[2], AsBits(2.5f));
    // A short buffer gets the oldest entries; the total is still reported.
    int first = 0;
    unsigned firstValue = 0;
    EXPECT_EQ(yoxasimRegisterLog(mac, &first, &firstValue, 1), 3);
    EXPECT_EQ(firstValue, 200u);
    EXPECT_EQ(yoxasimRegisterLog(mac, nullptr, nullptr, 0), 3);
    EXPECT_EQ(yoxasimRegisterLog(mac, nullptr, nullptr, 2), -1);
}

TEST_F(Registers, PeekShowsTheSensorsValueWithoutTheLink) {
    const char* mac = "0:1f:a:0:0:4";
    float exposure = 33.5f;
    ASSERT_EQ(yoxaSetRegisterFloat(kTarn124, 25, &exposure), 0);
    ASSERT_EQ(yoxasimDropLink(mac), 0);
    unsigned bits = 0;
    ASSERT_EQ(yoxasimPeekRegister(mac, 25, &bits), 0);
    EXPECT_EQ(AsFloat(bits), 33.5f);
    ASSERT_EQ(yoxasimPeekRegister(mac, 2, &bits), 0);
    EXPECT_EQ(bits, 2112u);
    EXPECT_EQ(yoxasimPeekRegister(mac, 20144, &bits), -1);  // absent on this sensor
    EXPECT_EQ(yoxasimPeekRegister(mac, 25, nullptr), -1);
    EXPECT_EQ(yoxasimPeekRegister("not a mac", 25, &bits), -1);
}
