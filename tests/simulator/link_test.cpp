// Worlds, discovery, the camera information record, lost links and address changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

#include "SimTest.h"

namespace {

struct Info {
    int32_t handle;
    uint32_t address;
    uint32_t mask;
    uint8_t mac[6];
};

int32_t GetInfo(int32_t handle, Info* info) {
    uint8_t record[128];
    int32_t status = yoxaGetCameraInfo(handle, record);
    if (status == 0) {
        std::memcpy(&info->handle, record + 100, 4);
        std::memcpy(&info->address, record + 104, 4);
        std::memcpy(&info->mask, record + 108, 4);
        std::memcpy(info->mac, record + 112, 6);
    }
    return status;
}

std::atomic<int> gLostCalls{0};
std::atomic<int32_t> gLostHandle{0};
std::atomic<bool> gLostOnCallerThread{false};
std::thread::id gCaller;
void OnLost(int32_t handle) {
    gLostHandle = handle;
    gLostOnCallerThread = std::this_thread::get_id() == gCaller;
    ++gLostCalls;
}

}  // namespace

TEST(World, BuiltInWorldHasACamAndATarn) {
    ASSERT_EQ(yoxasimLoadWorld(nullptr), 0);
    auto handles = Discover();
    ASSERT_EQ(handles.size(), 2u);
    struct Expected {
        uint8_t mac[6];
        uint32_t address;
        const char* model;
        uint32_t width, height;
    } expected[] = {{{0x00, 0x1f, 0x0a, 0x12, 0x34, 0x05}, 0xC0A8010A, "QVCAM_V2", 2048, 1088},
                    {{0x00, 0x1f, 0x0a, 0x12, 0x35, 0x17}, 0xC0A8010B, "QvTarn", 2112, 1440}};
    for (size_t i = 0; i < handles.size(); ++i) {
        Info info{};
        ASSERT_EQ(GetInfo(handles[i], &info), 0);
        EXPECT_EQ(info.handle, handles[i]);
        EXPECT_EQ(info.address, expected[i].address);
        EXPECT_EQ(std::memcmp(info.mac, expected[i].mac, 6), 0);
        ASSERT_EQ(yoxaOpenCamera(handles[i], nullptr), 0);
        uint32_t words[8];
        uint32_t length = 8;
        ASSERT_EQ(yoxaReadMemory(handles[i], 154, &length, words), 0);
        EXPECT_EQ(WordsToText(words, 8), expected[i].model);
        uint32_t width = 0, height = 0;
        ASSERT_EQ(yoxaGetRegisterInt(handles[i], 2, &width), 0);
        ASSERT_EQ(yoxaGetRegisterInt(handles[i], 3, &height), 0);
        EXPECT_EQ(width, expected[i].width);
        EXPECT_EQ(height, expected[i].height);
    }
    EXPECT_EQ(yoxaGetVersion() >> 24, 2u);
    EXPECT_EQ(yoxaInit(), 0);
    EXPECT_EQ(yoxaRelease(), 0);
}

TEST(World, VersionAndInitStatusComeFromTheWorld) {
    struct Case {
        const char* version;
        uint32_t expected;
        int initStatus;
    } cases[] = {
        {R"("0x01FF0000")", 0x01FF0000, 0}, {"33619968", 0x02010000, -1}, {R"("0x02000000")", 0x02000000, 7}};
    for (const Case& c : cases) {
        ScopedWorld world(std::string(R"({"api_version": )") + c.version + R"(, "init_status": )" +
                          std::to_string(c.initStatus) + R"(, "sensors": []})");
        ASSERT_EQ(world.status(), 0) << c.version;
        EXPECT_EQ(yoxaGetVersion(), c.expected);
        EXPECT_EQ(yoxaInit(), c.initStatus);
        EXPECT_TRUE(Discover().empty());
    }
}

TEST(World, MalformedWorldsGiveAnEmptyWorldAndAMessage) {
    const char* cases[] = {
        "not json",
        "[1, 2]",
        R"({"sensors": {}})",
        R"({"sensors": [{"model": "QVCAM_V2"}]})",
        R"({"sensors": [{"mac": "00:1f:0a:12:34"}]})",
        R"({"sensors": [{"mac": "00:1f:0a:12:34:05", "ip": "300.1.1.1"}]})",
        R"({"sensors": [{"mac": "00:1f:0a:12:34:05"}, {"mac": "0:1f:a:12:34:5"}]})",
        R"({"sensors": [{"mac": "00:1f:0a:12:34:05", "max_width": "wide"}]})",
        R"({"sensors": [{"mac": "00:1f:0a:12:34:05", "max_height": 100000}]})",
        R"({"sensors": [{"mac": "00:1f:0a:12:34:05", "scene": "moon"}]})",
        R"({"sensors": [{"mac": "00:1f:0a:12:34:05", "firmware": "1.2.3.4.5.6.7.8"}]})",
        R"({"api_version": "two", "sensors": []})",
    };
    for (const char* json : cases) {
        testing::internal::CaptureStderr();
        {
            ScopedWorld world(json);
            EXPECT_EQ(world.status(), -1) << json;
            EXPECT_TRUE(Discover().empty()) << json;
        }
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("world"), std::string::npos) << json;
    }
    // A file that does not exist.
    testing::internal::CaptureStderr();
    EXPECT_EQ(yoxasimLoadWorld("/nonexistent/world.json"), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("/nonexistent/world.json"), std::string::npos);
    EXPECT_TRUE(Discover().empty());
    EXPECT_EQ(yoxasimLoadWorld(nullptr), 0);
}

TEST(World, ANewWorldWaitsForTheNextInitWhileACameraIsOpen) {
    ASSERT_EQ(yoxasimLoadWorld(nullptr), 0);
    ASSERT_EQ(Discover().size(), 2u);
    ASSERT_EQ(yoxaOpenCamera(1, nullptr), 0);
    {
        ScopedWorld world(R"({"sensors": [{"mac": "02:00:00:00:00:01"}]})");
        ASSERT_EQ(world.status(), 0);
        EXPECT_EQ(Discover().size(), 2u);  // not yet
        ASSERT_EQ(yoxaInit(), 0);
        auto handles = Discover();
        ASSERT_EQ(handles.size(), 1u);
        Info info{};
        ASSERT_EQ(GetInfo(handles[0], &info), 0);
        EXPECT_EQ(info.mac[0], 0x02);
    }
    EXPECT_EQ(Discover().size(), 2u);
}

TEST(World, DiscoveryFillsAtMostTheRoomGiven) {
    ASSERT_EQ(yoxasimLoadWorld(nullptr), 0);
    int32_t handles[2] = {0, 0};
    EXPECT_EQ(yoxaDiscover(handles, 1, 50), 1);
    EXPECT_EQ(handles[1], 0);
    EXPECT_EQ(yoxaDiscover(handles, 0, 50), 0);
    EXPECT_EQ(yoxaDiscover(nullptr, 10, 50), -1);
}

TEST(World, ControlFunctionsTakeBothMacForms) {
    ASSERT_EQ(yoxasimLoadWorld(nullptr), 0);
    struct Case {
        const char* mac;
        int status;
    } cases[] = {{"00:1f:0a:12:34:05", 0},
                 {"0:1f:a:12:34:5", 0},
                 {"00:1F:0A:12:34:05", 0},
                 {"00:1f:0a:12:34:06", -1},
                 {"00:1f:0a:12:34", -1},
                 {"00:1f:0a:12:34:05:", -1},
                 {"001f0a123405", -1},
                 {"", -1},
                 {nullptr, -1}};
    for (const Case& c : cases) {
        unsigned value = 0;
        EXPECT_EQ(yoxasimPeekRegister(c.mac, 2, &value), c.status) << (c.mac ? c.mac : "null");
    }
}

class Link : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(yoxasimLoadWorld(nullptr), 0);
        ASSERT_EQ(Discover().size(), 2u);
        gLostCalls = 0;
        gCaller = std::this_thread::get_id();
    }
    void TearDown() override {
        yoxaRelease();
        yoxasimLoadWorld(nullptr);
    }
    static constexpr const char* kCam = "0:1f:a:12:34:5";
};

TEST_F(Link, DroppedLinkCallsBackOnceAndAnswersNoResponseUntilRediscoveredAndReopened) {
    ASSERT_EQ(yoxaOpenCamera(1, OnLost), 0);
    ASSERT_EQ(yoxasimDropLink(kCam), 0);
    ASSERT_TRUE(WaitFor([] { return gLostCalls > 0; }));
    EXPECT_EQ(gLostHandle, 1);
    EXPECT_FALSE(gLostOnCallerThread);

    uint32_t u = 0;
    float f = 0;
    uint8_t record[128];
    int32_t progress = 0;
    auto everyCallAnswers = [&](int32_t expected) {
        EXPECT_EQ(yoxaGetRegisterInt(1, 2, &u), expected);
        EXPECT_EQ(yoxaSetRegisterInt(1, 2, &u), expected);
        EXPECT_EQ(yoxaGetRegisterFloat(1, 25, &f), expected);
        EXPECT_EQ(yoxaSetRegisterFloat(1, 25, &f), expected);
        uint32_t length = 1;
        EXPECT_EQ(yoxaReadMemory(1, 154, &length, &u), expected);
        EXPECT_EQ(yoxaStartImageAcquisition(1), expected);
        EXPECT_EQ(yoxaStopImageAcquisition(1), expected);
        EXPECT_EQ(yoxaFirmwareGetProgress(1, &progress), expected);
    };
    everyCallAnswers(-4);
    EXPECT_EQ(yoxaGetCameraInfo(1, record), -4);
    EXPECT_EQ(yoxaSetCameraIP(1, 0xC0A80114, 0xFFFF0000), -4);
    EXPECT_EQ(yoxaOpenCamera(1, OnLost), -4);
    EXPECT_EQ(yoxaCloseCamera(1), -4);
    ASSERT_EQ(yoxasimDropLink(kCam), 0);  // no link, no second call

    // Rediscovered: the record answers again, but the camera is not open.
    ASSERT_EQ(Discover().size(), 2u);
    EXPECT_EQ(yoxaGetCameraInfo(1, record), 0);
    EXPECT_EQ(yoxaGetRegisterInt(1, 2, &u), -4);
    ASSERT_EQ(yoxaOpenCamera(1, OnLost), 0);
    everyCallAnswers(0);
    // The other camera never noticed.
    ASSERT_EQ(yoxaOpenCamera(2, nullptr), 0);
    EXPECT_EQ(yoxaGetRegisterInt(2, 2, &u), 0);

    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(gLostCalls, 1);
}

TEST_F(Link, CameraNotOpenIsNotCalledBack) {
    ASSERT_EQ(yoxaOpenCamera(1, OnLost), 0);
    ASSERT_EQ(yoxaCloseCamera(1), 0);
    ASSERT_EQ(yoxasimDropLink(kCam), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(gLostCalls, 0);
    EXPECT_EQ(yoxasimDropLink("00:1f:0a:00:00:00"), -1);
}

TEST_F(Link, NewAddressShowsAtRediscovery) {
    ASSERT_EQ(yoxaSetCameraIP(1, 0xC0A80114, 0xFFFF0000), 0);  // 192.168.1.20
    ASSERT_EQ(Discover().size(), 2u);
    Info info{};
    ASSERT_EQ(GetInfo(1, &info), 0);
    EXPECT_EQ(info.address, 0xC0A80114u);
    EXPECT_EQ(info.mask, 0xFFFF0000u);
    ASSERT_EQ(yoxaSetCameraIP(1, 0x0A000005, 0xFF000000), 0);  // 10.0.0.5/8
    ASSERT_EQ(GetInfo(1, &info), 0);
    EXPECT_EQ(info.mask, 0xFF000000u);
    EXPECT_EQ(yoxaOpenCamera(1, nullptr), 0);
}

TEST_F(Link, AddressesThatCannotBeAHostAreRefused) {
    struct Case {
        uint32_t address;
        uint32_t mask;
    } cases[] = {
        {0x00000000, 0xFFFF0000},                            // 0.0.0.0
        {0xC0A80000, 0xFFFF0000},                            // the network itself
        {0xC0A8FFFF, 0xFFFF0000},                            // its broadcast address
        {0xC0A80100, 0xFFFFFF00},                            // another network address
        {0x7F000001, 0xFF000000},                            // loopback
        {0xE0000001, 0xFFFF0000},                            // multicast
        {0xFFFFFFFF, 0xFFFF0000}, {0xC0A80114, 0xFF00FF00},  // not a mask
        {0xC0A80114, 0x00000000}, {0xC0A80114, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(yoxaSetCameraIP(1, c.address, c.mask), -3) << std::hex << c.address << "/" << c.mask;
    }
    Info info{};
    ASSERT_EQ(GetInfo(1, &info), 0);
    EXPECT_EQ(info.address, 0xC0A8010Au);
}

TEST_F(Link, UnknownHandlesAndNullArgumentsAreErrors) {
    uint32_t u = 0;
    uint8_t record[128];
    EXPECT_EQ(yoxaOpenCamera(0, nullptr), -1);
    EXPECT_EQ(yoxaOpenCamera(3, nullptr), -1);
    EXPECT_EQ(yoxaGetCameraInfo(1, nullptr), -1);
    EXPECT_EQ(yoxaGetCameraInfo(-1, record), -1);
    ASSERT_EQ(yoxaOpenCamera(1, nullptr), 0);
    EXPECT_EQ(yoxaGetRegisterInt(1, 2, nullptr), -1);
    EXPECT_EQ(yoxaGetRegisterInt(9, 2, &u), -1);
    EXPECT_EQ(yoxaCloseCamera(1), 0);
    EXPECT_EQ(yoxaCloseCamera(1), -1);
    EXPECT_EQ(yoxaGetRegisterInt(1, 2, &u), -4);  // closed: no connection
}
