// A sensor's image stream and the transport's buffer for it. Frames are made when the client looks
// for them: every frame that became due since the last look is made then, with the timestamp of the
// moment it was due, so that no thread of our own has to tick along. Frame bodies come from a ring of
// rendered frames that is rebuilt when a setting changes, so a frame costs little more than a copy.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Frame.h"

namespace yoxasim {

using Clock = std::chrono::steady_clock;

struct Image {
    std::vector<uint8_t> bytes;  // transport header first
    uint32_t number = 0;
    int32_t lost = 0;
    bool stale = false;  // waited in the buffer from before the current acquisition started
};

class Stream {
public:
    explicit Stream(const SensorConfig& config);

    const SensorModel& model() const { return model_; }
    // Settings as the register file holds them; cheap to call with unchanged settings.
    void Configure(const FrameSettings& settings);

    void Start(Clock::time_point now, Clock::time_point boot);
    void Stop();
    bool acquiring() const { return acquiring_; }
    // Link loss, close and reboot: the images that wait are gone (images handed out stay valid).
    void Discard();
    void SetCapacity(int32_t count) { capacity_ = count; }

    // -1 while the oldest waiting image is stale, else the number waiting.
    int32_t Pending(Clock::time_point now);
    bool Empty(Clock::time_point now);
    Image* Next(Clock::time_point now);
    void Pop(Image* image);
    // When the next frame will be due (for waiting calls); nullopt when none will come.
    std::optional<Clock::time_point> NextDue() const;

    // 0, or -1 for an unknown fault or a bad value.
    int Inject(const std::string& fault, int value, Clock::time_point now);

    uint64_t delivered() const { return delivered_; }
    uint64_t dropped() const { return dropped_; }
    uint32_t saturated() const { return lastSaturated_; }
    uint32_t meanIntensity() const { return lastMean_; }

private:
    void Produce(Clock::time_point now);
    // Makes the frame of index k_ (due at t) and hands it to the buffer unless a fault or a full
    // buffer keeps it away.
    void Emit(Clock::time_point t);
    std::unique_ptr<Image> Make(Clock::time_point t, uint32_t number);
    const RenderedFrame& RingFrame(uint64_t encoder);
    bool Full() const { return static_cast<int64_t>(waiting_.size() + out_.size()) >= capacity_; }

    SensorModel model_;
    FrameSettings settings_;
    double rate_ = 1.0;

    // Ring of rendered bodies, indexed by the part's position.
    std::vector<std::optional<RenderedFrame>> ring_;
    uint64_t ringGeneration_ = 0;

    bool acquiring_ = false;
    Clock::time_point boot_{};
    Clock::time_point base_{};  // due time of frame baseIndex_
    uint64_t baseIndex_ = 0;
    uint64_t index_ = 0;  // frames made (or dropped) since the acquisition started
    uint32_t nextNumber_ = 0;
    uint64_t encoder_ = 0;
    uint64_t lastTicks_ = 0;

    int64_t capacity_ = 200;
    std::deque<std::unique_ptr<Image>> waiting_;
    std::unordered_map<Image*, std::unique_ptr<Image>> out_;
    std::vector<std::vector<uint8_t>> spare_;

    // Faults waiting to happen.
    int loseBytes_ = 0;
    int skip_ = 0;
    bool swap_ = false;
    std::unique_ptr<Image> held_;
    std::optional<uint32_t> numberOverride_;
    uint32_t staleNumber_ = 100000;

    uint64_t delivered_ = 0;
    uint64_t dropped_ = 0;
    uint32_t lastSaturated_ = 0;
    uint32_t lastMean_ = 0;
};

}  // namespace yoxasim
