// Grabbing end to end against the simulated sensors: every family and payload format arrives complete
// and in order, stream faults are handled, raw images and the peak-mode change work, and callbacks can
// be replaced and cleared safely while frames stream.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
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

using namespace std::chrono_literals;

struct Frame {
    uint32_t number;
    int count;
    uint64_t flags;
    float minX, maxX, minZ, maxZ;
};

// What the profile callback saw, per camera id.
struct Recording {
    std::mutex mutex;
    std::vector<std::pair<std::string, Frame>> frames;

    void Add(const char* id, const Frame& frame) {
        std::lock_guard lock(mutex);
        frames.emplace_back(id, frame);
    }
    std::vector<Frame> Of(const std::string& id) {
        std::lock_guard lock(mutex);
        std::vector<Frame> out;
        for (auto& [camera, frame] : frames) {
            if (camera == id) out.push_back(frame);
        }
        return out;
    }
    void Clear() {
        std::lock_guard lock(mutex);
        frames.clear();
    }
};
Recording recording;

void OnProfile(char* camera, STRUCT_POINT* points, int* count, HEADER* header) {
    Frame f{header->frameNumber, *count, header->flags, 1e9f, -1e9f, 1e9f, -1e9f};
    for (int i = 0; i < *count; ++i) {
        f.minX = std::min(f.minX, points[i].x);
        f.maxX = std::max(f.maxX, points[i].x);
        f.minZ = std::min(f.minZ, points[i].z);
        f.maxZ = std::max(f.maxZ, points[i].z);
    }
    recording.Add(camera, f);
}

std::atomic<int> rawImages{0};
std::atomic<int> rawWrongSize{0};
std::atomic<int> expectedRawSize{0};
void OnRaw(char*, unsigned char*, int* size, HEADER*) {
    ++rawImages;
    if (*size != expectedRawSize) ++rawWrongSize;
}

char* C(const std::string& s) {
    return const_cast<char*>(s.c_str());
}

struct SensorCase {
    const char* what;
    SensorDescription sensor;
    uint64_t flags;  // sensor header fields valid
};

const SensorCase kSensors[] = {
    {"QVCAM_V2 4.9, dual intensity",
     {.model = "QVCAM_V2",
      .mac = "00:1f:0a:00:00:01",
      .ip = "192.168.1.31",
      .firmware = "4.9 (2)",
      .extra = R"("scene": "steps", "frame_rate": 400, )"},
     7},
    {"QVCAM_V2 3.5, format W",
     {.model = "QVCAM_V2",
      .mac = "00:1f:0a:00:00:02",
      .ip = "192.168.1.32",
      .firmware = "3.5 (1)",
      .extra = R"("scene": "mirror", "frame_rate": 400, )"},
     7},
    {"QVCAM_V2 2.5, format B",
     {.model = "QVCAM_V2",
      .mac = "00:1f:0a:00:00:03",
      .ip = "192.168.1.33",
      .firmware = "2.5 (17)",
      .extra = R"("scene": "steps", "frame_rate": 400, )"},
     7},
    {"QVCAM_V2 1.9, no sensor header",
     {.model = "QVCAM_V2",
      .mac = "00:1f:0a:00:00:04",
      .ip = "192.168.1.34",
      .firmware = "1.9 (3)",
      .extra = R"("scene": "mirror", "frame_rate": 400, )"},
     0},
    {"QVSkarvel 3.7, format B",
     {.model = "QVSkarvel",
      .mac = "00:1f:0a:00:00:05",
      .ip = "192.168.1.35",
      .firmware = "3.7 (4)",
      .extra = R"("scene": "mirror", "frame_rate": 400, )"},
     0},
    {"QVSkarvel 3.5, format A",
     {.model = "QVSkarvel",
      .mac = "00:1f:0a:00:00:06",
      .ip = "192.168.1.36",
      .firmware = "3.5 (4)",
      .extra = R"("scene": "steps", "frame_rate": 400, )"},
     0},
    {"QvTarn 1.4.0",
     {.model = "QvTarn",
      .mac = "00:1f:0a:00:00:07",
      .ip = "192.168.1.37",
      .firmware = "1.4.0 ",
      .serial = "QX25000007",
      .maxWidth = 2112,
      .maxHeight = 1440,
      .extra = R"("scene": "glass-on-steps", "frame_rate": 400, )"},
     7},
};

// Without a self test at connect, its frame grabber first starts in the test below.
const SensorDescription kFreshTarn = {.model = "QvTarn",
                                      .mac = "00:1f:0a:00:00:08",
                                      .ip = "192.168.1.38",
                                      .firmware = "1.1.2 ",
                                      .serial = "QX25000008",
                                      .extra = R"("scene": "steps", "frame_rate": 400, )"};

std::string IdOf(const SensorDescription& sensor) {
    unsigned b[6];
    std::sscanf(sensor.mac.c_str(), "%x:%x:%x:%x:%x:%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]);
    char id[18];
    std::snprintf(id, sizeof id, "%x:%x:%x:%x:%x:%x", b[0], b[1], b[2], b[3], b[4], b[5]);
    return id;
}

class Grabbing : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // Installed before any thread logs and removed after all have ended: the logging library does
        // not guard its callback list against concurrent writers.
        log = std::make_unique<LogCapture>();
        std::vector<SensorDescription> sensors;
        for (const SensorCase& c : kSensors) sensors.push_back(c.sensor);
        sensors.push_back(kFreshTarn);
        world = std::make_unique<TestWorld>(WorldJson(sensors));
        int count = static_cast<int>(sensors.size());
        char** ids = nullptr;
        ASSERT_EQ(_Open(&count, &ids, 200), CS_SUCCESS);
        ASSERT_EQ(count, static_cast<int>(sensors.size()));
        for (const SensorCase& c : kSensors) {
            connectStatus.push_back(_Connect(C(IdOf(c.sensor)), nullptr));
        }
        connectStatus.push_back(_Connect(C(IdOf(kFreshTarn)), nullptr));
    }
    static void TearDownTestSuite() {
        _Close();
        log.reset();
        world.reset();
        TestWorld reset;
    }
    void SetUp() override { recording.Clear(); }

    // Grabs with the profile callback until `frames` arrived (slow builds, such as sanitizer builds,
    // take longer) and returns what arrived.
    static std::vector<Frame> Grab(const std::string& id, size_t frames) {
        recording.Clear();
        EXPECT_EQ(_SetProfileCallback(C(id), OnProfile), CS_SUCCESS);
        EXPECT_EQ(_StartGrabbing(C(id)), CS_SUCCESS);
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (recording.Of(id).size() < frames && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(_StopGrabbing(C(id)), CS_SUCCESS);
        EXPECT_EQ(_SetProfileCallback(C(id), nullptr), CS_SUCCESS);
        return recording.Of(id);
    }

    static std::unique_ptr<TestWorld> world;
    static std::unique_ptr<LogCapture> log;
    static std::vector<int> connectStatus;
};
std::unique_ptr<TestWorld> Grabbing::world;
std::unique_ptr<LogCapture> Grabbing::log;
std::vector<int> Grabbing::connectStatus;

// Waits until `n` frames of the camera arrived, for at most 30 s (sanitizer builds are slow).
void WaitFrames(const std::string& id, size_t n) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (recording.Of(id).size() < n && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
}

bool Ascending(const std::vector<Frame>& frames) {
    for (size_t i = 1; i < frames.size(); ++i) {
        if (frames[i].number <= frames[i - 1].number) return false;
    }
    return true;
}

int Gaps(const std::vector<Frame>& frames) {
    int gaps = 0;
    for (size_t i = 1; i < frames.size(); ++i) gaps += frames[i].number != frames[i - 1].number + 1 ? 1 : 0;
    return gaps;
}

}  // namespace

TEST_F(Grabbing, EveryFamilyAndFormatArrivesCompleteAndInOrder) {
    for (size_t i = 0; i < std::size(kSensors); ++i) {
        const SensorCase& c = kSensors[i];
        SCOPED_TRACE(c.what);
        // The grabbing self test ran at connect: a failure would have shown as 31 only without the
        // heartbeat, so check the camera is usable.
        ASSERT_EQ(connectStatus[i], CS_SUCCESS);
        const std::string id = IdOf(c.sensor);
        int height = 0;
        ASSERT_EQ(_GetIntParameter(C(id), "image_height", &height), CS_SUCCESS);
        std::vector<Frame> frames = Grab(id, 60);
        ASSERT_GT(frames.size(), 50u);
        EXPECT_TRUE(Ascending(frames));
        EXPECT_EQ(Gaps(frames), 0);
        for (const Frame& f : frames) {
            EXPECT_GT(f.count, 100) << f.number;
            EXPECT_EQ(f.flags, c.flags) << f.number;
            EXPECT_GE(f.minX, 0.0f);
            EXPECT_LT(f.maxX, 2048.0f);
            EXPECT_GE(f.minZ, -1.0f);
            EXPECT_LT(f.maxZ, static_cast<float>(height));
            if (testing::Test::HasFailure()) break;
        }
    }
}

TEST_F(Grabbing, FirstFramesOfAGrabberNotNumberedZeroAreDropped) {
    const std::string id = IdOf(kFreshTarn);
    ASSERT_EQ(connectStatus.back(), CS_SUCCESS);
    log->Clear();
    ASSERT_EQ(_SetProfileCallback(C(id), OnProfile), CS_SUCCESS);
    // The sensor's counter does not start at 0 this time: at most 21 frames are dropped.
    ASSERT_EQ(yoxasimInject(id.c_str(), "frame_number", 1000), 0);
    ASSERT_EQ(_StartGrabbing(C(id)), CS_SUCCESS);
    WaitFrames(id, 10);
    _StopGrabbing(C(id));
    std::vector<Frame> frames = recording.Of(id);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().number, 1021u);
    int dropped = 0;
    for (const std::string& line : log->Lines()) {
        dropped += line.rfind("Frame removed from buffer at the beginning. Index: ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(dropped, 21);

    // Once per frame grabber: a later start drops nothing. (The grabber first discards what was still
    // due when grabbing stopped.)
    std::this_thread::sleep_for(50ms);
    recording.Clear();
    ASSERT_EQ(yoxasimInject(id.c_str(), "frame_number", 2000), 0);
    ASSERT_EQ(_StartGrabbing(C(id)), CS_SUCCESS);
    WaitFrames(id, 10);
    _StopGrabbing(C(id));
    _SetProfileCallback(C(id), nullptr);
    frames = recording.Of(id);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().number, 2000u);
}

TEST_F(Grabbing, ConnectWhileGrabbingIsRefused) {
    const std::string id = IdOf(kSensors[1].sensor);
    ASSERT_EQ(_StartGrabbing(C(id)), CS_SUCCESS);
    EXPECT_EQ(_Connect(C(id), nullptr), CS_NOT_ALLOWED);
    EXPECT_EQ(_StopGrabbing(C(id)), CS_SUCCESS);
    EXPECT_EQ(_IsConnected(C(id)), CS_SUCCESS);
}

TEST_F(Grabbing, StreamFaults) {
    const std::string id = IdOf(kSensors[1].sensor);
    struct Case {
        const char* fault;
        int value;
        bool reordering;
        bool ascending;  // numbers always rise at the callback
        int maxGaps;     // numbers missing at the callback
        const char* logLine;
    } cases[] = {
        {"swap", 1, true, true, 0, nullptr},
        {"swap", 1, false, false, 3, nullptr},
        {"skip", 2, true, true, 1, nullptr},
        {"lose_bytes", 3, false, true, 3, "Data lost(2) when retrieving peak data"},
        {"stale", 5, false, true, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + (c.reordering ? " with reordering" : ""));
        log->Clear();
        ASSERT_EQ(_SetIntParameter(C(id), "reordering", c.reordering ? 1 : 0), CS_SUCCESS);
        recording.Clear();
        ASSERT_EQ(_SetProfileCallback(C(id), OnProfile), CS_SUCCESS);
        // Stale images are those waiting when acquisition starts.
        const bool beforeStart = std::string(c.fault) == "stale";
        if (beforeStart) ASSERT_EQ(yoxasimInject(id.c_str(), c.fault, c.value), 0);
        ASSERT_EQ(_StartGrabbing(C(id)), CS_SUCCESS);
        WaitFrames(id, 20);
        if (!beforeStart) ASSERT_EQ(yoxasimInject(id.c_str(), c.fault, c.value), 0);
        WaitFrames(id, 200);
        _StopGrabbing(C(id));
        _SetProfileCallback(C(id), nullptr);
        std::vector<Frame> frames = recording.Of(id);
        ASSERT_GT(frames.size(), 50u);
        EXPECT_EQ(Ascending(frames), c.ascending) << [&] {
            std::string numbers;
            for (const Frame& f : frames) numbers += std::to_string(f.number) + " ";
            return numbers;
        }();
        EXPECT_LE(Gaps(frames), c.maxGaps);
        for (const Frame& f : frames) EXPECT_LT(f.number, 100000u) << "a stale image was delivered";
        if (c.logLine != nullptr) EXPECT_TRUE(log->Contains(c.logLine));
    }
    _SetIntParameter(C(id), "reordering", 0);
}

TEST_F(Grabbing, CounterRestartWithReorderingPassesAtOnce) {
    const std::string id = IdOf(kSensors[0].sensor);
    ASSERT_EQ(_SetIntParameter(C(id), "reordering", 1), CS_SUCCESS);
    recording.Clear();
    ASSERT_EQ(_SetProfileCallback(C(id), OnProfile), CS_SUCCESS);
    ASSERT_EQ(_StartGrabbing(C(id)), CS_SUCCESS);
    WaitFrames(id, 60);
    ASSERT_EQ(yoxasimInject(id.c_str(), "frame_number", 50000), 0);
    WaitFrames(id, 120);
    _StopGrabbing(C(id));
    _SetProfileCallback(C(id), nullptr);
    _SetIntParameter(C(id), "reordering", 0);
    std::vector<Frame> frames = recording.Of(id);
    ASSERT_GT(frames.size(), 50u);
    // Before the jump, the jump itself, and counting on from there: nothing held back.
    size_t jump = 0;
    for (size_t i = 1; i < frames.size(); ++i) {
        if (frames[i].number == 50000) jump = i;
    }
    ASSERT_GT(jump, 0u);
    EXPECT_LT(frames[jump - 1].number, 50000u);
    for (size_t i = jump + 1; i < frames.size(); ++i) EXPECT_EQ(frames[i].number, frames[i - 1].number + 1);
}

TEST_F(Grabbing, RawImagesAndPeakModeChangeWhileGrabbing) {
    const std::string id = IdOf(kSensors[1].sensor);
    int width = 0, height = 0;
    ASSERT_EQ(_GetIntParameter(C(id), "image_width", &width), CS_SUCCESS);
    ASSERT_EQ(_GetIntParameter(C(id), "image_height", &height), CS_SUCCESS);
    expectedRawSize = width * height;
    rawImages = rawWrongSize = 0;
    ASSERT_EQ(_SetIntParameter(C(id), "peak_enable", 0), CS_SUCCESS);
    ASSERT_EQ(_SetRawImageCallback(C(id), OnRaw), CS_SUCCESS);
    recording.Clear();
    ASSERT_EQ(_SetProfileCallback(C(id), OnProfile), CS_SUCCESS);
    ASSERT_EQ(_StartGrabbing(C(id)), CS_SUCCESS);
    for (int i = 0; i < 3000 && rawImages < 5; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_GE(rawImages.load(), 5);
    EXPECT_EQ(rawWrongSize.load(), 0);
    EXPECT_TRUE(recording.Of(id).empty());

    // Back to peaks without stopping: the queues are drained and grabbing goes on.
    ASSERT_EQ(_SetIntParameter(C(id), "peak_enable", 1), CS_SUCCESS);
    for (int i = 0; i < 3000 && recording.Of(id).empty(); ++i) std::this_thread::sleep_for(10ms);
    int grabbing = 0;
    EXPECT_EQ(_GetIntParameter(C(id), "grabbing", &grabbing), CS_SUCCESS);
    EXPECT_EQ(grabbing, 1);
    EXPECT_FALSE(recording.Of(id).empty());
    _StopGrabbing(C(id));
    _SetRawImageCallback(C(id), nullptr);
    _SetProfileCallback(C(id), nullptr);
}

namespace {

std::atomic<int> callsA{0};
std::atomic<int> callsB{0};
std::atomic<bool> swapFromInside{false};
std::string swapCamera;

void PeaksB(char*, STRUCT_PEAK_DATA*, int*, int*, double*, unsigned*) {
    ++callsB;
}
void PeaksA(char* camera, STRUCT_PEAK_DATA*, int*, int*, double*, unsigned*) {
    ++callsA;
    // Replacing the running callback from inside it must neither wait nor deadlock.
    if (swapFromInside.exchange(false)) _SetPeaksGrabbedCallback(camera, PeaksB);
}

}  // namespace

TEST_F(Grabbing, CallbacksReplacedAndClearedWhileFramesStream) {
    const std::string id = IdOf(kSensors[0].sensor);
    for (int round = 0; round < 10; ++round) {
        callsA = callsB = 0;
        ASSERT_EQ(_SetPeaksGrabbedCallback(C(id), PeaksA), CS_SUCCESS);
        ASSERT_EQ(_StartGrabbing(C(id)), CS_SUCCESS);
        std::this_thread::sleep_for(30ms);
        swapFromInside = true;
        std::this_thread::sleep_for(30ms);
        // Clearing returns when no call is running: nothing is called afterwards.
        ASSERT_EQ(_SetPeaksGrabbedCallback(C(id), nullptr), CS_SUCCESS);
        const int a = callsA, b = callsB;
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(callsA.load(), a);
        EXPECT_EQ(callsB.load(), b);
        EXPECT_GT(a, 0);
        ASSERT_EQ(_StopGrabbing(C(id)), CS_SUCCESS);
    }
    // Closing while a camera streams ends every thread; a new object starts cleanly afterwards.
    ASSERT_EQ(_SetPeaksGrabbedCallback(C(id), PeaksB), CS_SUCCESS);
    ASSERT_EQ(_StartGrabbing(C(id)), CS_SUCCESS);
    std::this_thread::sleep_for(30ms);
    _Close();
    const int after = callsB;
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(callsB.load(), after);
    int count = -1;
    char** ids = nullptr;
    ASSERT_EQ(_Open(&count, &ids, 200), CS_SUCCESS);
    for (size_t i = 0; i < std::size(kSensors); ++i)
        connectStatus[i] = _Connect(C(IdOf(kSensors[i].sensor)), nullptr);
    connectStatus.back() = _Connect(C(IdOf(kFreshTarn)), nullptr);
}
