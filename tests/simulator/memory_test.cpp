// Sensor memory: the user flash of the older families and the file transfer of QvTarn sensors.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "SimTest.h"

namespace {

constexpr int32_t kStartWrite = 0x8000040, kFileCount = 0x8000041, kCurrentFile = 0x8000042;
constexpr int32_t kFileCrc = 0x8000043, kCalculateCrc = 0x8000044, kProgress = 0x8000045, kState = 0x8000046;
constexpr int32_t kReadStart = 0x8000048, kReadLength = 0x8000049;
constexpr uint32_t kDescription = 0x8000080, kReadName = 0x8000100, kData = 0x8004000;
constexpr int32_t kCam = 1, kTarn = 2;

// Bytes b0 b1 b2 b3 travel as the word whose memory bytes are b3 b2 b1 b0; the last group zero-filled.
std::vector<uint32_t> ToWire(const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> words((bytes.size() + 3) / 4, 0);
    for (size_t i = 0; i < bytes.size(); ++i) words[i / 4] |= uint32_t{bytes[i]} << (24 - 8 * (i % 4));
    return words;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

int32_t SetInt(int32_t reg, uint32_t value) {
    return yoxaSetRegisterInt(kTarn, reg, &value);
}

uint32_t GetInt(int32_t reg) {
    uint32_t v = 0xDEADBEEF;
    EXPECT_EQ(yoxaGetRegisterInt(kTarn, reg, &v), 0) << reg;
    return v;
}

int32_t WriteWords(uint32_t address, std::vector<uint32_t> words) {
    uint32_t length = static_cast<uint32_t>(words.size());
    return yoxaWriteMemory(kTarn, address, &length, words.data());
}

// One file through the upload protocol, up to the CRC the sensor computes.
uint32_t Upload(const std::string& destination, const std::vector<uint8_t>& content) {
    EXPECT_EQ(SetInt(kFileCount, 1), 0);
    EXPECT_EQ(SetInt(kCurrentFile, 0), 0);
    char description[256];
    std::snprintf(description, sizeof(description), "%s;%zx;%x", destination.c_str(), content.size(), 0u);
    std::vector<uint8_t> text(description, description + std::strlen(description) + 1);
    EXPECT_EQ(WriteWords(kDescription, ToWire(text)), 0);
    std::vector<uint32_t> wire = ToWire(content);
    for (size_t offset = 0; offset < wire.size(); offset += 128) {
        std::vector<uint32_t> chunk(wire.begin() + offset,
                                    wire.begin() + std::min(wire.size(), offset + 128));
        EXPECT_EQ(WriteWords(kData + static_cast<uint32_t>(offset), chunk), 0);
    }
    EXPECT_EQ(SetInt(kCalculateCrc, 1), 0);
    return GetInt(kFileCrc);
}

std::vector<uint8_t> ReadBack(const std::string& path) {
    std::vector<uint8_t> name(path.begin(), path.end());
    name.resize((name.size() + 4) / 4 * 4, 0);
    EXPECT_EQ(WriteWords(kReadName, ToWire(name)), 0);
    EXPECT_EQ(SetInt(kReadStart, 1), 0);
    EXPECT_TRUE(WaitFor([] { return GetInt(kReadStart) == 0; }));
    uint32_t length = GetInt(kReadLength);
    std::vector<uint8_t> content;
    for (uint32_t offset = 0; offset < length; offset += 512) {
        uint32_t words[128];
        uint32_t count = 128;
        EXPECT_EQ(yoxaReadMemory(kTarn, kData + offset / 4, &count, words), 0);
        for (int i = 0; i < 512; ++i)
            content.push_back(static_cast<uint8_t>(words[i / 4] >> (24 - 8 * (i % 4))));
    }
    content.resize(length);
    return content;
}

class Memory : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(yoxasimLoadWorld(nullptr), 0);
        ASSERT_EQ(Discover().size(), 2u);
        ASSERT_EQ(yoxaOpenCamera(kCam, nullptr), 0);
        ASSERT_EQ(yoxaOpenCamera(kTarn, nullptr), 0);
    }
    void TearDown() override {
        yoxaRelease();
        yoxasimLoadWorld(nullptr);
    }
};

}  // namespace

TEST_F(Memory, UserFlashKeepsWhatIsWrittenAndStartsErased) {
    uint32_t words[128];
    uint32_t length = 128;
    ASSERT_EQ(yoxaReadMemory(kCam, 200000, &length, words), 0);
    EXPECT_EQ(words[0], 0xFFFFFFFFu);
    for (uint32_t i = 0; i < 128; ++i) words[i] = i * 0x01010101u;
    ASSERT_EQ(yoxaWriteMemory(kCam, 200128, &length, words), 0);
    uint32_t back[128];
    ASSERT_EQ(yoxaReadMemory(kCam, 200128, &length, back), 0);
    EXPECT_EQ(std::memcmp(words, back, sizeof(words)), 0);
    // The flash survives a reboot.
    uint32_t one = 1;
    ASSERT_EQ(yoxaSetRegisterInt(kCam, 322, &one), 0);
    ASSERT_TRUE(WaitFor([] { return Discover().size() == 2; }));
    ASSERT_TRUE(WaitFor([] { return yoxaOpenCamera(kCam, nullptr) == 0; }));
    ASSERT_EQ(yoxaReadMemory(kCam, 200128, &length, back), 0);
    EXPECT_EQ(std::memcmp(words, back, sizeof(words)), 0);
}

TEST_F(Memory, AccessOutsideTheAreasIsOutOfRange) {
    struct Case {
        int32_t handle;
        bool write;
        uint32_t address;
        uint32_t length;
        int32_t status;
    } cases[] = {
        {kCam, false, 200000 + 51200 - 128, 128, 0},  // the last words of the user flash
        {kCam, false, 200000 + 51200 - 127, 128, -3},
        {kCam, false, 200000, 129, -3},  // at most 128 words per call
        {kCam, false, 0, 1, -3},
        {kCam, true, 154, 8, -3},  // identity texts are read-only
        {kCam, false, 250, 8, -3},
        {kCam, false, 154, 0, 0},
        {kTarn, false, 200000, 1, -3},  // QvTarn keeps its data as a file instead
        {kCam, true, kDescription, 4, -3},
        {kTarn, true, kData, 4, -3},  // no file announced
    };
    std::vector<uint32_t> buffer(256, 0);
    for (const Case& c : cases) {
        uint32_t length = c.length;
        int32_t status = c.write ? yoxaWriteMemory(c.handle, c.address, &length, buffer.data())
                                 : yoxaReadMemory(c.handle, c.address, &length, buffer.data());
        EXPECT_EQ(status, c.status) << c.handle << (c.write ? " writes " : " reads ") << c.address << " + "
                                    << c.length;
    }
}

TEST_F(Memory, FileCrcIsTheReflectedCrcWithoutFinalInversion) {
    EXPECT_EQ(Upload("/tmp/check", Bytes("123456789")), 0x2DFD2D88u);
}

TEST_F(Memory, UploadedFileIsWrittenAndReadsBack) {
    std::vector<uint8_t> content(10001);
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i * 7 + 3);
    Upload("/mnt/flashfs/sensor_data", content);
    EXPECT_EQ(ReadBack("/mnt/flashfs/sensor_data").size(), 0u);  // not written yet
    ASSERT_EQ(SetInt(kStartWrite, 1), 0);
    EXPECT_EQ(GetInt(kState), 0u);
    ASSERT_TRUE(WaitFor([] { return GetInt(kState) == 5; }));
    float progress = 0;
    ASSERT_EQ(yoxaGetRegisterFloat(kTarn, kProgress, &progress), 0);
    EXPECT_EQ(progress, 1.0f);
    EXPECT_EQ(ReadBack("/mnt/flashfs/sensor_data"), content);
    EXPECT_TRUE(ReadBack("/mnt/flashfs/other").empty());
}

TEST_F(Memory, WritingWithoutACheckedFileFails) {
    ASSERT_EQ(SetInt(kFileCount, 1), 0);
    ASSERT_EQ(SetInt(kCurrentFile, 0), 0);
    ASSERT_EQ(SetInt(kStartWrite, 1), 0);
    EXPECT_EQ(GetInt(kState), 6u);
    EXPECT_EQ(SetInt(kCurrentFile, 1), -3);  // only one file announced
}

TEST(MemoryWorld, UserFlashFileOfTheWorldIsTheInitialContent) {
    std::string dir = std::filesystem::temp_directory_path();
    std::string name = "yoxasim-flash-" + std::to_string(getpid()) + ".bin";
    std::ofstream(dir + "/" + name, std::ios::binary) << "ABCDEFGH";
    {
        ScopedWorld world(R"({"sensors": [{"mac": "0:1f:a:0:0:1", "user_flash": ")" + name + R"("},
                                           {"mac": "0:1f:a:0:0:2", "model": "QvTarn", "user_flash": ")" +
                          name + R"("}]})");
        ASSERT_EQ(world.status(), 0);
        ASSERT_EQ(Discover().size(), 2u);
        ASSERT_EQ(yoxaOpenCamera(kCam, nullptr), 0);
        ASSERT_EQ(yoxaOpenCamera(kTarn, nullptr), 0);
        uint32_t words[3];
        uint32_t length = 3;
        ASSERT_EQ(yoxaReadMemory(kCam, 200000, &length, words), 0);
        EXPECT_EQ(WordsToText(words, 2), "ABCDEFGH");
        EXPECT_EQ(words[2], 0xFFFFFFFFu);
        EXPECT_EQ(ReadBack("/mnt/flashfs/sensor_data"), Bytes("ABCDEFGH"));
    }
    std::filesystem::remove(dir + "/" + name);
}
