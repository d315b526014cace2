// The exported functions: creation, status mapping, the connection pre-check and teardown.
#include <gtest/gtest.h>

#include <string>

#include "TestWorld.h"
#include "api/Globals.h"
#include "reception/ImageReception.h"
#include "yoxa/yoxa.h"

namespace {

std::string WorldWith(const std::string& apiVersion, int initStatus) {
    return R"({"api_version": ")" + apiVersion + R"(", "init_status": )" + std::to_string(initStatus) +
           R"json(, "sensors": [{"model": "QVCAM_V2", "mac": "00:1f:0a:12:34:05", "ip": "192.168.1.10",
               "firmware": "4.9 (2)", "serial": "QC21000123", "device_version": "B"}]})json";
}

class Dispatch : public testing::Test {
protected:
    void TearDown() override {
        _Close();
        TestWorld reset;
    }
};

}  // namespace

TEST_F(Dispatch, PreCheckedCallsBeforeOpenAnswerNotConnected) {
    ASSERT_EQ(g_ImageReception, nullptr);
    EXPECT_EQ(_StartGrabbing(const_cast<char*>("x")), CS_NOT_CONNECTED);
    EXPECT_EQ(_IsConnected(nullptr), CS_NOT_CONNECTED);
    EXPECT_DOUBLE_EQ(_IntensityCalibrationProgress(nullptr, nullptr), 2.0);
    char id[18];
    EXPECT_EQ(_GetCameraID(0, id), CS_NOT_CONNECTED);
    _Close();
    _Close();  // harmless without an object
}

TEST_F(Dispatch, CreationMapsTransportFailures) {
    struct Case {
        const char* apiVersion;
        int initStatus;
        int expected;
    } cases[] = {
        {"0x02000000", 0, CS_SUCCESS},       {"0x02010000", 0, CS_SUCCESS},
        {"0x01FF0000", 0, CS_INCOMPATIBLE},  {"0x02000000", -1, CS_NOT_CONNECTED},
        {"0x02000000", 7, CS_NOT_CONNECTED},
    };
    for (const Case& c : cases) {
        TestWorld world(WorldWith(c.apiVersion, c.initStatus));
        ASSERT_TRUE(world.ok());
        int count = -1;
        char** ids = nullptr;
        EXPECT_EQ(_Open(&count, &ids, 100), c.expected) << c.apiVersion << " init " << c.initStatus;
        EXPECT_EQ(g_ImageReception != nullptr, c.expected == CS_SUCCESS);
        if (c.expected == CS_SUCCESS) {
            EXPECT_EQ(count, 1);
            EXPECT_STREQ(ids[0], "0:1f:a:12:34:5");
        }
        _Close();
        EXPECT_EQ(g_ImageReception, nullptr);
    }
}

TEST_F(Dispatch, CameraLookupAfterDiscovery) {
    TestWorld world;
    int count = -1;
    char** ids = nullptr;
    ASSERT_EQ(_Open(&count, &ids, 100), CS_SUCCESS);
    ASSERT_EQ(count, 2);
    // A second creating call reuses the object.
    IImageReception* first = g_ImageReception;
    ASSERT_EQ(_Open(&count, &ids, 100), CS_SUCCESS);
    EXPECT_EQ(g_ImageReception, first);

    // Discovery alone fills no slot with an identity: ids are known only to connection.
    EXPECT_EQ(_IsConnected(ids[0]), CS_UNKNOWN_CAMERA);
    EXPECT_EQ(_IsConnected(const_cast<char*>("0:0:0:0:0:1")), CS_UNKNOWN_CAMERA);
    EXPECT_EQ(_IsConnected(nullptr), CS_NOT_CONNECTED);
    EXPECT_EQ(_IsConnected(const_cast<char*>("")), CS_NOT_CONNECTED);
    EXPECT_EQ(_Connect(const_cast<char*>("1:2:3:4:5:6"), nullptr), CS_UNKNOWN_CAMERA);

    char id[18];
    EXPECT_EQ(_GetCameraID(count, id), CS_UNKNOWN_CAMERA);
    EXPECT_EQ(_GetCameraID(-1, id), CS_UNKNOWN_CAMERA);
}

TEST_F(Dispatch, IdAndSerialTextsOfASlot) {
    TestWorld world;
    int count = -1;
    char** ids = nullptr;
    ASSERT_EQ(_Open(&count, &ids, 100), CS_SUCCESS);
    auto* reception = dynamic_cast<CImageReception*>(g_ImageReception);
    ASSERT_NE(reception, nullptr);
    const uint8_t mac[6] = {0x00, 0x1F, 0x0A, 0x12, 0x34, 0x05};
    std::copy(mac, mac + 6, reception->GetCameraProperties(1)->mac);

    char id[18];
    ASSERT_EQ(_GetCameraID(1, id), CS_SUCCESS);
    EXPECT_STREQ(id, "0:1f:a:12:34:5");
    int index = -1;
    EXPECT_EQ(reception->GetCameraIndex("0:1f:a:12:34:5", &index), CS_SUCCESS);
    EXPECT_EQ(index, 1);
    EXPECT_NE(reception->GetCameraIndex("0:1F:a:12:34:5", &index), CS_SUCCESS);  // case-sensitive
    char serial[256];
    ASSERT_EQ(_GetSerialNumber(id, serial), CS_SUCCESS);
    EXPECT_STREQ(serial, "00:1f:0a:12:34:05");
    EXPECT_EQ(reception->GetCameraProperties(10), reception->GetCameraProperties(10));
    EXPECT_EQ(reception->GetCameraProperties(11), nullptr);
    EXPECT_EQ(reception->GetCameraProperties(-1), nullptr);
}

TEST_F(Dispatch, FirMapSelectsLengthsByNibbles) {
    TestWorld world;
    int count = -1;
    char** ids = nullptr;
    ASSERT_EQ(_Open(&count, &ids, 100), CS_SUCCESS);
    auto* reception = dynamic_cast<CImageReception*>(g_ImageReception);
    const auto& fir = reception->FirMap();
    EXPECT_EQ(fir.size(), 8u);
    EXPECT_EQ(fir.at(0x10000000u), 2);
    EXPECT_EQ(fir.at(0x11111000u), 10);
    EXPECT_EQ(fir.at(0x11111111u), 16);
}
