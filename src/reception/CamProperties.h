// The per-camera record: identity, settings, flags, queues, callbacks and processing objects of one slot.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "yoxa/yoxa.h"

// A value written by client threads and read by the camera's worker threads without a lock: a reader
// sees either the old or the new value.
template <typename T>
class Setting {
public:
    Setting(T value = T{}) : value_(value) {}
    Setting(const Setting& other) : value_(other.load()) {}
    Setting& operator=(const Setting& other) {
        store(other.load());
        return *this;
    }
    Setting& operator=(T value) {
        store(value);
        return *this;
    }
    operator T() const { return load(); }
    T load() const { return value_.load(std::memory_order_relaxed); }
    void store(T value) { value_.store(value, std::memory_order_relaxed); }

private:
    std::atomic<T> value_;
};

constexpr int kMaxCameras = 10;
constexpr int kMaxLayers = 10;

struct CamProperties {
    // Identity and connection.
    int32_t numPoints = 0;
    uint32_t ipAddress = 0;
    char ipString[64] = {};
    uint8_t mac[6] = {};
    int32_t cameraHandle = -1;
    std::atomic<bool> connected{false};
    char cameraId[512] = {};
    int32_t familyIndex = -1;
    int32_t family = -1;
    int32_t cameraRamType = 0;
    int32_t sensorWidth = -1;
    int32_t sensorHeight = -1;
    int32_t fwMajor = -1;
    int32_t fwMinor = -1;
    int32_t fwFeature = -1;
    int32_t fwBuild = -1;
    std::string serialNumberText;
    std::string deviceVersionText;
    char deviceSerialNumber[64] = {};
    char userFlashWriteTime[64] = {};
    int32_t selfTestCount = 0;

    // Reordering and statistics.
    Setting<bool> reordering{false};
    Setting<int32_t> reordering_span{300};
    Setting<int32_t> reordering_deviation{3000};
    Setting<bool> frequency_calculation{true};
    std::atomic<double> maxFrequency{0.0};
    std::atomic<double> minFrequency{0.0};
    std::atomic<double> maxLag{0.0};
    std::atomic<double> minLag{0.0};

    // Thread flags.
    std::atomic<bool> grabberRun{false};
    std::atomic<bool> grabbing{false};
    std::atomic<bool> holdPeakQueue{false};
    std::atomic<bool> discardFrames{false};
    std::atomic<bool> grabberFinished{false};
    std::atomic<bool> imagePollerStop{false};
    std::atomic<bool> imagePollerFinished{false};
    std::atomic<bool> peakPollerStop{false};
    std::atomic<bool> peakPollerFinished{false};
    std::atomic<bool> peakPollerSpinning{false};

    // Callbacks.
    std::atomic<FrameGrabbedCallback> frameGrabbedCallback{nullptr};
    std::atomic<RawImageCallback> rawImageCallback{nullptr};
    std::atomic<PeaksGrabbedCallback> peaksGrabbedCallback{nullptr};
    std::atomic<PointCloudCallback> pointCloudCallback{nullptr};
    std::atomic<ProfileCallback> profileCallback{nullptr};
    std::array<std::atomic<LineCallback>, kMaxLayers> lineCallbacks{};
    std::array<std::atomic<BatchCallback>, kMaxLayers> batchCallbacks{};
    Setting<int32_t> lineSortingOrder{0};
    Setting<int32_t> maxPointCount{10000};
};
