// The processing stage: point buffers, delivery to the callbacks in frame order, buffer release.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "reception/ImageReception.h"
#include "reception/Interleaving.h"
#include "reception/ParallelProfileProcessing.h"

namespace {

struct Seen {
    std::mutex mutex;
    std::vector<uint32_t> frames;
    std::vector<std::string> kinds;
    std::vector<int32_t> firstX;
    void Add(const char* kind, uint32_t frame, int32_t x) {
        std::lock_guard lock(mutex);
        kinds.push_back(kind);
        frames.push_back(frame);
        firstX.push_back(x);
    }
};
Seen seen;

void OnPeaks(char*, STRUCT_PEAK_DATA* peaks, int*, int*, double*, unsigned* frame) {
    seen.Add("peaks", *frame, peaks[0].x);
}
void OnCloud(char*, STRUCT_POINT*, int*, int*, double*, unsigned* frame) {
    seen.Add("cloud", *frame, 0);
}
void OnProfile(char*, STRUCT_POINT*, int*, HEADER* header) {
    seen.Add("profile", header->frameNumber, 0);
}

class Stage : public testing::Test {
protected:
    void SetUp() override {
        seen.frames.clear();
        seen.kinds.clear();
        seen.firstX.clear();
        camera.maxPointCount = 64;
        camera.grabbing = true;
        interleaving = std::make_unique<CInterleaving>(10000);
        stage = std::make_unique<ParallelProfileProcessing>(0, &camera, interleaving.get());
    }

    // Fills the array buffers with frames as the peak poller does and sends them.
    void SendFrames(const std::vector<uint32_t>& numbers) {
        ParallelData* data = stage->GetFirstArrayBuffer();
        for (uint32_t number : numbers) {
            data = stage->GetCurrentArrayBuffer();
            ASSERT_NE(data, nullptr);
            data->array = PeakArray::Borrowing(stage->GetNextPointsBuffer());
            data->array.count = 2;
            data->array.points[0] = {17.9f, 100.25f, 50.0f, 0};
            data->array.points[1] = {18.2f, 101.0f, 60.0f, 0};
            data->array.header.frameNumber = number;
            ++stage->currentArrayBuffer;
        }
        stage->SendPeakData(nullptr);
    }

    int FreeBuffers() {
        std::vector<STRUCT_POINT*> taken;
        while (STRUCT_POINT* p = stage->GetNextPointsBuffer()) taken.push_back(p);
        for (STRUCT_POINT* p : taken) stage->FreePointsBuffer(p);
        return static_cast<int>(taken.size());
    }

    CamProperties camera;
    std::unique_ptr<CInterleaving> interleaving;
    std::unique_ptr<ParallelProfileProcessing> stage;
};

}  // namespace

TEST(PointBuffers, TwoPerWorkerBetweenTenAnd255) {
    const std::pair<int, int> cases[] = {{1, 10}, {4, 10}, {5, 10}, {8, 16}, {100, 200}, {200, 255}};
    for (auto [threads, buffers] : cases)
        EXPECT_EQ(ParallelProfileProcessing::PointBufferCount(threads), buffers);
}

TEST_F(Stage, DeliversInFrameOrderAndReleasesBuffers) {
    const int buffers = FreeBuffers();
    EXPECT_EQ(buffers,
              ParallelProfileProcessing::PointBufferCount(ParallelProfileProcessing::GetThreadCount()));
    camera.peaksGrabbedCallback = OnPeaks;
    std::vector<uint32_t> numbers;
    for (int i = 0; i < stage->ArrayBufferCount(); ++i) numbers.push_back(10 + i);
    SendFrames(numbers);
    EXPECT_EQ(seen.frames, numbers);
    // Columns reach the peaks callback as integers, truncated.
    EXPECT_EQ(seen.firstX.front(), 17);
    EXPECT_EQ(FreeBuffers(), buffers);
}

TEST_F(Stage, CallbackPrecedence) {
    struct Case {
        bool profile, cloud, peaks;
        int yUnit;
        bool grabbing;
        const char* expected;  // "" for nothing delivered
    } cases[] = {
        {true, true, true, 0, true, "profile"},
        {false, true, true, 0, true, "cloud"},
        {false, false, true, 0, true, "peaks"},
        {false, true, true, 0, false, "peaks"},  // not grabbing: the data callbacks stay quiet
        {false, false, true, 1, true, ""},       // peaks are pixels: not with micrometres on
    };
    const int buffers = FreeBuffers();
    for (const Case& c : cases) {
        seen.kinds.clear();
        camera.profileCallback = c.profile ? OnProfile : nullptr;
        camera.pointCloudCallback = c.cloud ? OnCloud : nullptr;
        camera.peaksGrabbedCallback = c.peaks ? OnPeaks : nullptr;
        camera.peak_y_unit = c.yUnit;
        camera.grabbing = c.grabbing;
        SendFrames({1});
        if (std::string(c.expected).empty()) {
            EXPECT_TRUE(seen.kinds.empty());
        } else {
            ASSERT_EQ(seen.kinds.size(), 1u);
            EXPECT_EQ(seen.kinds[0], c.expected);
        }
        EXPECT_EQ(FreeBuffers(), buffers) << "buffers released";
    }
}

TEST_F(Stage, EmptyFrameIsSkippedAndItsBufferReturns) {
    camera.peaksGrabbedCallback = OnPeaks;
    const int buffers = FreeBuffers();
    ParallelData* data = stage->GetFirstArrayBuffer();
    data->array = PeakArray::Borrowing(stage->GetNextPointsBuffer());
    data->array.count = 0;
    stage->currentArrayBuffer = 1;
    stage->SendPeakData(nullptr);
    EXPECT_TRUE(seen.frames.empty());
    EXPECT_EQ(FreeBuffers(), buffers);
}

TEST_F(Stage, ExhaustedPoolAndGivenFrame) {
    camera.peaksGrabbedCallback = OnPeaks;
    std::vector<STRUCT_POINT*> all;
    while (STRUCT_POINT* p = stage->GetNextPointsBuffer()) all.push_back(p);
    EXPECT_EQ(stage->GetNextPointsBuffer(), nullptr);
    // An owned frame given directly is delivered and freed by the stage.
    PeakArray frame = PeakArray::Owning(3);
    frame.count = 1;
    frame.points[0] = {3.5f, 1.0f, 2.0f, 0};
    frame.header.frameNumber = 99;
    stage->SendPeakData(&frame);
    EXPECT_EQ(seen.frames, std::vector<uint32_t>{99});
    EXPECT_EQ(frame.points, nullptr);
    EXPECT_EQ(frame.owned, nullptr);
    stage->FreePointsBuffer(nullptr);  // unknown pointers are ignored
    for (STRUCT_POINT* p : all) stage->FreePointsBuffer(p);
    stage->Reallocate(32);  // smaller: nothing changes
    EXPECT_EQ(stage->BufferSize(), 64);
    stage->Reallocate(128);
    EXPECT_EQ(stage->BufferSize(), 128);
}

TEST(FrameRate, TimestampClockByFamilyAndFirmware) {
    struct Case {
        int family, major, minor, feature;
        double hzFor99000Ticks;
    } cases[] = {
        {2, 1, 1, 9, 100.0},     // QvTarn before 1.2.0: 9.9 MHz
        {2, 1, 2, 0, 101.0101},  // fixed from 1.2.0: 10 MHz
        {1, 1, 1, 9, 101.0101},  // other families always 10 MHz
        {0, 3, 7, 4, 101.0101},
    };
    for (const Case& c : cases) {
        CamProperties cam;
        cam.family = c.family;
        cam.fwMajor = c.major;
        cam.fwMinor = c.minor;
        cam.fwFeature = c.feature;
        EXPECT_NEAR(TimestampTickRate(cam) / 99000.0, c.hzFor99000Ticks, 1e-3);
    }
}

TEST_F(Stage, SequentialModeDeliversEachGivenFrameAtOnce) {
    camera.noise_removal_sequential = true;
    camera.profileCallback = OnProfile;
    for (uint32_t number : {5u, 6u, 7u}) {
        PeakArray frame = PeakArray::Borrowing(stage->GetNextPointsBuffer());
        frame.count = 1;
        frame.points[0] = {1.0f, 2.0f, 3.0f, 0};
        frame.header.frameNumber = number;
        stage->SendPeakData(&frame);
        EXPECT_EQ(seen.frames.back(), number);
    }
    EXPECT_EQ(seen.frames.size(), 3u);
}
