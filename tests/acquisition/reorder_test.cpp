// Restoring frame order in the peak poller.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "reception/PeakPoller.h"

namespace {

// Records the frame numbers that reach the processing stage.
class RecordingSink : public FrameSink {
public:
    PeakArray* current = nullptr;
    std::vector<uint32_t> delivered;
    int released = 0;

    void SendPeakData(PeakArray* frame) override {
        delivered.push_back((frame != nullptr ? frame : current)->header.frameNumber);
    }
    void ReleasePoints(PeakArray& frame) override {
        ++released;
        frame.Release();
    }
};

struct FeedResult {
    std::vector<uint32_t> delivered;
    int released;
};

// Feeds the frame numbers through a reorderer, as the poller does, then lets `idleAfterMs` pass idle.
FeedResult Feed(const std::vector<uint32_t>& numbers, int spanMs, int deviation, int idleAfterMs = -1) {
    RecordingSink sink;
    PeakReorderer reorderer(sink);
    reorderer.StartTimer();
    int received = 0;
    for (uint32_t number : numbers) {
        PeakArray frame = PeakArray::Owning(4);
        frame.count = 1;
        frame.header.frameNumber = number;
        sink.current = &frame;
        reorderer.Take(frame, ++received, spanMs, deviation);
    }
    if (idleAfterMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(idleAfterMs));
        reorderer.Idle(spanMs);
    }
    return {sink.delivered, sink.released};
}

std::vector<uint32_t> Range(uint32_t first, uint32_t count) {
    std::vector<uint32_t> numbers;
    for (uint32_t i = 0; i < count; ++i) numbers.push_back(first + i);
    return numbers;
}

}  // namespace

TEST(Reordering, RestoresOrder) {
    struct Case {
        const char* name;
        std::vector<uint32_t> in;
        int spanMs;
        int deviation;
        int idleAfterMs;
        std::vector<uint32_t> out;
    } cases[] = {
        {"swap", {1, 2, 4, 3}, 300, 3000, -1, {1, 2, 3, 4}},
        {"missing frame waits for the span", {1, 2, 4, 5}, 300, 3000, -1, {1, 2}},
        {"missing frame after the span", {1, 2, 4, 5}, 20, 3000, 40, {1, 2, 4, 5}},
        {"late frame held and sorted", {1, 5, 3, 4, 2}, 300, 3000, -1, {1, 2, 3, 4, 5}},
        {"counter restart passes at once", {1, 5000, 1, 2}, 300, 3000, -1, {1, 5000, 1, 2}},
        {"restart while a frame is missing", {10, 12, 1}, 300, 5, -1, {10, 12, 1}},
        {"first frame 100 dispatched", {100, 101}, 300, 3000, -1, {100, 101}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Feed(c.in, c.spanMs, c.deviation, c.idleAfterMs).delivered, c.out) << c.name;
    }
}

TEST(Reordering, StaleHighNumbersAtTheStartAreSkipped) {
    // The first 99 frames numbered above 100 are dropped (and their buffers released); the 100th passes.
    FeedResult run = Feed(Range(250, 105), 300, 3000);
    ASSERT_FALSE(run.delivered.empty());
    EXPECT_EQ(run.delivered.front(), 349u);
    EXPECT_EQ(run.delivered.size(), 6u);
    EXPECT_EQ(run.released, 99);
}

TEST(ProfileBuffer, GrowsWithRoomToSpare) {
    ProfileBuffer buffer(4);
    std::vector<STRUCT_POINT> points(10, STRUCT_POINT{1.0f, 2.0f, 3.0f, 0});
    HEADER header{};
    header.frameNumber = 7;
    buffer.AddPoints(points.data(), 3, header);
    EXPECT_EQ(buffer.capacity, 4);
    buffer.AddPoints(points.data(), 10, header);
    EXPECT_EQ(buffer.capacity, 510);
    PeakArray lent;
    buffer.UsePoints(lent);
    EXPECT_EQ(lent.count, 10);
    EXPECT_EQ(lent.points, buffer.points.get());
    EXPECT_EQ(lent.owned, nullptr);
    EXPECT_EQ(lent.header.frameNumber, 7u);
}
