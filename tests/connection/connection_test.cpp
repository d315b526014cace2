// Discovery, connection, initialization by product family, re-addressing and lost links, against the
// simulated sensors.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "LogCapture.h"
#include "TestWorld.h"
#include "Worlds.h"
#include "api/Globals.h"
#include "reception/ImageReception.h"
#include "yoxa/yoxa.h"

namespace {

CImageReception* Reception() {
    return dynamic_cast<CImageReception*>(g_ImageReception);
}

// Opens the reception object on a world and discovers it.
struct Opened {
    explicit Opened(const std::vector<SensorDescription>& sensors, int wanted = -1)
        : world(WorldJson(sensors)) {
        count = wanted;
        status = _Open(&count, &ids, 200);
    }
    ~Opened() { _Close(); }
    TestWorld world;
    int count = -1;
    char** ids = nullptr;
    int status = -1;
};

std::vector<std::pair<int, unsigned>> RegisterWrites(const char* camera) {
    int total = yoxasimRegisterLog(camera, nullptr, nullptr, 0);
    std::vector<int> regs(static_cast<size_t>(std::max(total, 0)));
    std::vector<unsigned> values(regs.size());
    yoxasimRegisterLog(camera, regs.data(), values.data(), total);
    std::vector<std::pair<int, unsigned>> writes;
    for (size_t i = 0; i < regs.size(); ++i) writes.emplace_back(regs[i], values[i]);
    return writes;
}

// The registers in the order of their first write, starting at the first write of `from`.
std::vector<int> WriteOrder(const std::vector<std::pair<int, unsigned>>& writes, int from, size_t n) {
    std::vector<int> order;
    bool started = false;
    for (const auto& [reg, value] : writes) {
        started = started || reg == from;
        if (started && order.size() < n) order.push_back(reg);
    }
    return order;
}

}  // namespace

TEST(Discovery, AttemptsAndTimeoutCap) {
    LogCapture log;
    struct Case {
        int wanted;
        int timeoutMs;
        int expectedFound;
        int expectedAttempts;
        const char* timeoutLine;
    } cases[] = {
        // Two wanted, one answers: 20000 / 500 attempts.
        {2, 500, 1, 40, "Discovering connected cameras using timeout 500 ms"},
        // A wanted count outside 0..10 makes one attempt; the timeout is capped.
        {11, 5000, 1, 1, "Discovering connected cameras using timeout 2000 ms"},
        {-1, 100, 1, 1, "Discovering connected cameras using timeout 100 ms"},
        {1, 1000, 1, 1, "Discovering connected cameras using timeout 1000 ms"},
    };
    Opened opened({SensorDescription{}});
    ASSERT_EQ(opened.status, CS_SUCCESS);
    for (const Case& c : cases) {
        log.Clear();
        int count = c.wanted;
        char** ids = nullptr;
        ASSERT_EQ(_Discover(&count, &ids, c.timeoutMs), CS_SUCCESS);
        EXPECT_EQ(count, c.expectedFound);
        EXPECT_EQ(log.Count("Found 1 cameras"), c.expectedAttempts) << c.wanted << " / " << c.timeoutMs;
        EXPECT_EQ(log.Count(c.timeoutLine), 1);
    }
}

// One connection per family and firmware: what initialization reads and writes.
class Initialization : public testing::Test {};

TEST_F(Initialization, FamiliesFirmwareAndRegisterOrder) {
    struct Case {
        SensorDescription sensor;
        int expectedStatus;
        const char* deviceVersion;
        int familyIndex;
        std::vector<int> orderFromIfg;  // the register writes from the inter-frame gap on
    } cases[] = {
        {{.model = "QVCAM_V2", .firmware = "2.5 (17)"},
         CS_SUCCESS,
         "2.5.17",
         1,
         {320, 321, 2, 3, 5, 4, 32, 25, 30005}},
        {{.model = "QVSkarvel", .firmware = "3.7 (4)"},
         CS_SUCCESS,
         "3.7.4",
         0,
         {320, 321, 2, 3, 5, 4, 32, 25, 30005}},
        {{.model = "QvTarn",
          .firmware = "1.1.2 ",
          .serial = "QX25000001",
          .maxWidth = 2112,
          .maxHeight = 1440},
         CS_SUCCESS,
         "1.1.2",
         2,
         {320, 2, 3, 5, 4, 32, 25, 30005}},
        {{.model = "QVCAM_V9"}, CS_UNKNOWN_ERROR, "", -1, {}},
    };
    for (const Case& c : cases) {
        Opened opened({c.sensor});
        ASSERT_EQ(opened.status, CS_SUCCESS);
        ASSERT_EQ(opened.count, 1);
        char* id = opened.ids[0];
        EXPECT_EQ(_Connect(id, nullptr), c.expectedStatus) << c.sensor.model;
        if (c.expectedStatus != CS_SUCCESS) continue;
        EXPECT_EQ(_IsConnected(id), CS_SUCCESS);
        char version[64] = "";
        EXPECT_EQ(_GetDeviceVersion(id, version), CS_SUCCESS);
        EXPECT_STREQ(version, c.deviceVersion);
        const CamProperties* cam = Reception()->GetCameraProperties(0);
        EXPECT_EQ(cam->familyIndex, c.familyIndex);
        EXPECT_EQ(cam->serialNumberText, c.sensor.serial);
        EXPECT_EQ(WriteOrder(RegisterWrites(id), 320, c.orderFromIfg.size()), c.orderFromIfg)
            << c.sensor.model;
    }
}

TEST_F(Initialization, TarnWindowOffsetsAndGain) {
    Opened opened({{.model = "QvTarn", .firmware = "1.1.2 ", .maxWidth = 2112, .maxHeight = 1440}});
    ASSERT_EQ(opened.status, CS_SUCCESS);
    char* id = opened.ids[0];
    ASSERT_EQ(_Connect(id, nullptr), CS_SUCCESS);
    const CamProperties* cam = Reception()->GetCameraProperties(0);
    EXPECT_EQ(cam->offsetAdjustX, 32);
    EXPECT_EQ(cam->offsetAdjustY, 20);
    EXPECT_EQ(cam->sensorHeight, 1400);
    // The window is centred: offsets carry the adjustment, the client sees 0.
    unsigned offsetX = 0, offsetY = 0, gainBits = 0;
    ASSERT_EQ(yoxasimPeekRegister(id, 4, &offsetX), 0);
    ASSERT_EQ(yoxasimPeekRegister(id, 5, &offsetY), 0);
    EXPECT_EQ(offsetX, 32u);
    EXPECT_EQ(offsetY, 20u);
    ASSERT_EQ(yoxasimPeekRegister(id, 32, &gainBits), 0);
    float gain;
    std::memcpy(&gain, &gainBits, sizeof gain);
    EXPECT_FLOAT_EQ(gain, 2.0f);

    // A gain below 2.0 is raised to 2.0 on QvTarn sensors, in the register and in the record.
    CamProperties* slot = Reception()->GetCameraProperties(0);
    slot->gainValue = 1.5;
    ASSERT_EQ(Reception()->InitializeCamera(0), CS_SUCCESS);
    ASSERT_EQ(yoxasimPeekRegister(id, 32, &gainBits), 0);
    std::memcpy(&gain, &gainBits, sizeof gain);
    EXPECT_FLOAT_EQ(gain, 2.0f);
    EXPECT_DOUBLE_EQ(slot->gainValue, 2.0);
}

TEST(Connection, ReaddressLostLinkAndUnknownIds) {
    Opened opened({SensorDescription{}, {.mac = "00:1f:0a:12:34:06", .ip = "192.168.1.11"}});
    ASSERT_EQ(opened.status, CS_SUCCESS);
    ASSERT_EQ(opened.count, 2);
    std::string first = opened.ids[0];
    std::string second = opened.ids[1];

    EXPECT_EQ(_Connect(const_cast<char*>("0:1f:a:12:34:99"), nullptr), CS_UNKNOWN_CAMERA);
    EXPECT_EQ(_Connect(const_cast<char*>(first.c_str()), const_cast<char*>("192.168.1.20")), CS_SUCCESS);
    // Re-addressing rediscovered the sensors and found the camera again by its id.
    const CamProperties* cam = nullptr;
    for (int i = 0; i < 2; ++i) {
        const CamProperties* slot = Reception()->GetCameraProperties(i);
        if (first == slot->cameraId) cam = slot;
    }
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->ipAddress, (192u << 24) | (168u << 16) | (1u << 8) | 20u);
    EXPECT_EQ(_IsConnected(const_cast<char*>(first.c_str())), CS_SUCCESS);

    EXPECT_EQ(_Connect(const_cast<char*>(second.c_str()), const_cast<char*>("300.1.1.1")), CS_OUT_OF_RANGE);

    LogCapture log;
    ASSERT_EQ(yoxasimDropLink(first.c_str()), 0);
    for (int i = 0; i < 100 && _IsConnected(const_cast<char*>(first.c_str())) == CS_SUCCESS; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(_IsConnected(const_cast<char*>(first.c_str())), CS_NOT_CONNECTED);
    EXPECT_EQ(_StartGrabbing(const_cast<char*>(first.c_str())), CS_NOT_CONNECTED);
    EXPECT_TRUE(log.Contains("Lost connection to camera " + first + "."));
}

TEST(Connection, ConnectAllConnectsEverySensor) {
    TestWorld world(WorldJson({SensorDescription{}, {.mac = "00:1f:0a:12:34:06", .ip = "192.168.1.11"}}));
    int count = 0;
    ASSERT_EQ(_Initialize(const_cast<char*>("ignored"), &count), CS_SUCCESS);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(_IsConnected(const_cast<char*>("0:1f:a:12:34:5")), CS_SUCCESS);
    EXPECT_EQ(_IsConnected(const_cast<char*>("0:1f:a:12:34:6")), CS_SUCCESS);
    _Close();
}

TEST(Connection, ConnectAllWithoutSensorsEndsWithNone) {
    TestWorld world(R"({"sensors": []})");
    int count = -1;
    ASSERT_EQ(_Initialize(nullptr, &count), CS_SUCCESS);
    EXPECT_EQ(count, 0);
    _Close();
}
