#include "Stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace yoxasim {
namespace {

constexpr size_t kRingBytes = 32u << 20;
constexpr size_t kSpareBuffers = 16;
constexpr int32_t kLostBytes = 64;

void Store(uint8_t* at, uint64_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) at[k] = static_cast<uint8_t>(value >> (8 * k));
}

}  // namespace

Stream::Stream(const SensorConfig& config) : model_(config) {}

void Stream::Configure(const FrameSettings& settings) {
    if (settings == settings_ && !ring_.empty()) return;
    settings_ = settings;
    double rate = FrameRate(model_, settings_);
    if (acquiring_ && rate != rate_) {
        // Frames keep coming from the next due time on, at the new rate.
        base_ += std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>((index_ - baseIndex_) / rate_));
        baseIndex_ = index_;
    }
    rate_ = rate;
    // A scene that repeats along y repeats in the ring too, as far as the ring's size allows.
    size_t frames =
        model_.scene.period > 0 ? static_cast<size_t>(std::lround(model_.scene.period / kYStep)) : 32;
    if (!settings_.peakMode) {
        size_t bytes = size_t{(settings_.width + 31) / 32 * 32} * settings_.height + kTransportHeader;
        frames = std::clamp(kRingBytes / std::max<size_t>(bytes, 1), size_t{2}, frames);
    }
    ring_.assign(frames, std::nullopt);
    ++ringGeneration_;
}

void Stream::Start(Clock::time_point now, Clock::time_point boot) {
    // Whatever still waits is from an earlier acquisition.
    for (auto& image : waiting_) image->stale = true;
    acquiring_ = true;
    boot_ = boot;
    base_ = now;
    baseIndex_ = 0;
    index_ = 0;
    nextNumber_ = 0;
    lastTicks_ = 0;
}

void Stream::Stop() {
    acquiring_ = false;
}

void Stream::Discard() {
    acquiring_ = false;
    waiting_.clear();
    held_.reset();
}

const RenderedFrame& Stream::RingFrame(uint64_t encoder) {
    size_t slot = static_cast<size_t>(encoder % ring_.size());
    if (!ring_[slot]) {
        uint64_t seed = (uint64_t{model_.seed} << 32) ^ (ringGeneration_ << 20) ^ slot;
        ring_[slot] = Render(model_, settings_, static_cast<double>(slot) * kYStep, seed);
    }
    return *ring_[slot];
}

std::unique_ptr<Image> Stream::Make(Clock::time_point t, uint32_t number) {
    const RenderedFrame& frame = RingFrame(encoder_);
    lastSaturated_ = frame.saturated;
    lastMean_ = frame.meanIntensity;
    auto image = std::make_unique<Image>();
    if (!spare_.empty()) {
        image->bytes = std::move(spare_.back());
        spare_.pop_back();
    }
    image->bytes.resize(kTransportHeader + frame.body.size());
    uint8_t* data = image->bytes.data();
    std::memcpy(data + kTransportHeader, frame.body.data(), frame.body.size());
    // Transport header: timestamp, frame number, payload kind (1 peaks, 0 raw image).
    double seconds = std::chrono::duration<double>(t - boot_).count();
    uint64_t ticks =
        std::max<uint64_t>(static_cast<uint64_t>(std::max(seconds, 0.0) * model_.tickRate), lastTicks_ + 1);
    lastTicks_ = ticks;
    Store(data, ticks, 8);
    Store(data + 8, number, 4);
    Store(data + 12, settings_.peakMode ? 1 : 0, 4);
    if (settings_.peakMode && model_.sensorHeader) {
        uint8_t* header = data + kTransportHeader;
        header[0] = 0x1;
        Store(header + 1,
              std::min<uint64_t>(std::lround(settings_.exposure * 1000.0 / model_.durationTickNs), 0xFFFFFF),
              3);
        Store(header + 4, encoder_, 4);
    }
    image->number = number;
    if (loseBytes_ > 0) {
        // The bytes that did not arrive read as zeros.
        --loseBytes_;
        size_t size = image->bytes.size();
        size_t from = std::min(size, std::max<size_t>(kTransportHeader, size / 2));
        size_t count = std::min<size_t>(kLostBytes, size - from);
        std::memset(data + from, 0, count);
        image->lost = static_cast<int32_t>(count > 0 ? count : kLostBytes);
    }
    return image;
}

void Stream::Emit(Clock::time_point t) {
    uint32_t number = numberOverride_.value_or(nextNumber_);
    numberOverride_.reset();
    nextNumber_ = number + 1;
    ++index_;
    if (skip_ > 0) {
        --skip_;
    } else if (Full()) {
        ++dropped_;
    } else {
        std::unique_ptr<Image> image = Make(t, number);
        ++delivered_;
        if (swap_ && !held_) {
            held_ = std::move(image);
        } else {
            waiting_.push_back(std::move(image));
            if (held_) {
                waiting_.push_back(std::move(held_));
                swap_ = false;
            }
        }
    }
    encoder_ += 1;
}

void Stream::Produce(Clock::time_point now) {
    if (!acquiring_ || ring_.empty()) return;
    if (model_.maxRate) {
        // Skipped frames and the first of a swapped pair leave the buffer empty: go on to the next.
        for (int guard = 0; waiting_.empty() && !Full() && guard < 1 << 20; ++guard) Emit(now);
        return;
    }
    double elapsed = std::chrono::duration<double>(now - base_).count();
    if (elapsed < 0.0) return;
    uint64_t due = baseIndex_ + static_cast<uint64_t>(std::floor(elapsed * rate_)) + 1;
    while (index_ < due) {
        if (Full() && skip_ == 0 && !numberOverride_) {
            // Everything else due now falls on a full buffer: count it without making it.
            uint64_t missed = due - index_;
            dropped_ += missed;
            nextNumber_ += static_cast<uint32_t>(missed);
            encoder_ += missed;
            index_ = due;
            break;
        }
        auto offset = std::chrono::duration<double>((index_ - baseIndex_) / rate_);
        Emit(base_ + std::chrono::duration_cast<Clock::duration>(offset));
    }
}

std::optional<Clock::time_point> Stream::NextDue() const {
    if (!acquiring_) return std::nullopt;
    if (model_.maxRate) return Clock::now();
    auto offset = std::chrono::duration<double>((index_ - baseIndex_) / rate_);
    return base_ + std::chrono::duration_cast<Clock::duration>(offset);
}

int32_t Stream::Pending(Clock::time_point now) {
    Produce(now);
    if (!waiting_.empty() && waiting_.front()->stale) return -1;
    return static_cast<int32_t>(waiting_.size());
}

bool Stream::Empty(Clock::time_point now) {
    Produce(now);
    return waiting_.empty();
}

Image* Stream::Next(Clock::time_point now) {
    Produce(now);
    if (waiting_.empty()) return nullptr;
    std::unique_ptr<Image> image = std::move(waiting_.front());
    waiting_.pop_front();
    Image* raw = image.get();
    out_.emplace(raw, std::move(image));
    return raw;
}

void Stream::Pop(Image* image) {
    auto it = out_.find(image);
    if (it == out_.end()) return;  // not ours, or popped before
    if (spare_.size() < kSpareBuffers) spare_.push_back(std::move(it->second->bytes));
    out_.erase(it);
}

int Stream::Inject(const std::string& fault, int value, Clock::time_point now) {
    if (value < 0) return -1;
    if (fault == "lose_bytes") {
        loseBytes_ = value;
    } else if (fault == "swap") {
        swap_ = true;
    } else if (fault == "skip") {
        skip_ = value;
    } else if (fault == "frame_number") {
        numberOverride_ = static_cast<uint32_t>(value);
    } else if (fault == "stale") {
        if (ring_.empty()) return -1;
        // Images left over from an acquisition before: at the head of the buffer, older than anything.
        for (int i = value - 1; i >= 0; --i) {
            auto image = Make(now - std::chrono::seconds(1), staleNumber_ + static_cast<uint32_t>(i));
            image->stale = true;
            waiting_.push_front(std::move(image));
        }
        staleNumber_ += static_cast<uint32_t>(value);
    } else {
        return -1;
    }
    return 0;
}

}  // namespace yoxasim
