// The per-camera record: identity, settings, flags, queues, callbacks and processing objects of one slot.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "reception/PeakDecoding.h"
#include "reception/Queues.h"
#include "yoxa/yoxa.h"

class CInterleaving;
class ParallelProfileProcessing;

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

// Product families: the index into the parameter table's support words and the behaviour branches.
constexpr int FAMILY_QVSKARVEL = 0;
constexpr int FAMILY_QVCAM_V2 = 1;
constexpr int FAMILY_QVTARN = 2;

constexpr int kMaxCameras = 10;
constexpr int kMaxLayers = 10;

struct CamProperties {
    CamProperties();
    ~CamProperties();
    CamProperties(const CamProperties&) = delete;
    CamProperties& operator=(const CamProperties&) = delete;

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
    std::atomic<int32_t> selfTestCount{0};  // counted on a poller thread during the self test

    // Settings copied from a template at connection and written to the sensor's registers.
    Setting<int32_t> imageWidth{2048};
    Setting<int32_t> imageHeight{1088};
    Setting<int32_t> imageOffsetY{0};
    Setting<int32_t> imageOffsetX{0};
    Setting<int32_t> lastOffsetY{0};
    Setting<int32_t> offsetAdjustX{0};
    Setting<int32_t> offsetAdjustY{0};
    Setting<bool> heightZeroUsed{false};
    Setting<double> gainValue{1.0};
    Setting<double> exposure{7.0};
    Setting<float> pulseWidth{2.0f};
    Setting<int32_t> pulseFrequency{50};
    Setting<int32_t> mtu{1500};
    Setting<int32_t> ifg{200};
    Setting<int32_t> peakThreshold{20};
    Setting<uint32_t> peak_filter_coeff{0x11111111u};
    Setting<bool> peakMode{true};
    Setting<int32_t> pulseFrequencyRegister{50};
    Setting<int32_t> pulseWidthRegister{2};
    Setting<int32_t> pulseDivider{1};
    Setting<int32_t> pulseDelay{5};
    Setting<int32_t> internalPulsing{0};
    Setting<int32_t> hdrEnable{0};
    Setting<int32_t> hdrVlow2{68};
    Setting<int32_t> hdrVlow3{105};
    Setting<int32_t> hdrKp1Pos{1};
    Setting<int32_t> hdrKp2Pos{98};
    Setting<int32_t> heartbeat{5000};
    Setting<int32_t> overcurrentDrive{0};
    Setting<float> interleave{1.0f};
    Setting<int32_t> firLength{16};
    Setting<int32_t> register30018{240};
    bool supportsSignalDetectionFilterLength = false;

    // Library-side parameters, named after the parameters.
    Setting<float> detect_missing_first_layer{0.0f};
    Setting<float> detect_missing_first_layer_x{0.0f};
    Setting<double> detect_missing_first_layer_min_length{0.0};
    Setting<int32_t> thickness_mode{0};
    Setting<int32_t> interleavefilter{0};
    Setting<float> interleavetargetintensity{0.0f};
    Setting<float> interleaveythreshold{0.0f};
    Setting<bool> flip_x_enabled{false};
    Setting<float> flip_x_x0{0.0f};
    Setting<bool> flip_z_enabled{false};
    Setting<float> flip_z_z0{0.0f};
    Setting<int32_t> sensor_type{-1};
    Setting<float> fill_gap_x_max{0.0f};
    Setting<int32_t> image_height_zero_position{0};
    Setting<float> resample_line_x_resolution{0.0f};
    Setting<float> average_z_filter_size{0.0f};
    Setting<float> average_intensity_filter_size{0.0f};
    Setting<int32_t> batch_length{0};
    Setting<int32_t> batch_timeout{0};
    Setting<int32_t> median_z_filter_size{0};
    Setting<int32_t> median_intensity_filter_size{0};
    Setting<bool> noise_removal{false};             // bit 0 of the parameter
    Setting<bool> noise_removal_sequential{false};  // bit 1: one frame at a time, in sequence
    Setting<bool> trim_edges{false};
    Setting<float> clustering_distance_x{0.0f};
    Setting<float> clustering_distance_z{0.0f};
    Setting<float> cluster_minimum_length{0.0f};
    Setting<float> line_callback_xres{0.0f};
    Setting<int32_t> peak_x_unit{0};
    Setting<int32_t> peak_y_unit{0};
    Setting<bool> intensity_correction_enable{false};
    Setting<bool> z_compensation_y_direction{false};
    Setting<bool> z_compensation_x_direction{false};
    Setting<bool> z_compensation_offset{false};
    Setting<bool> z_compensation_interpolate{false};
    Setting<float> z_compensation_threshold{0.0f};
    Setting<double> encoder_pulse_width{4.0};
    Setting<int32_t> moving_direction{0};
    Setting<double> z_compensation_x_bright_to_dark_mul{1.0};
    Setting<double> z_compensation_y_bright_to_dark_mul{1.0};
    Setting<double> z_compensation_x_dark_to_bright_mul{1.0};
    Setting<double> z_compensation_y_dark_to_bright_mul{1.0};
    Setting<int32_t> dyn_sensor_control_enable{0};
    std::array<DynSensorControl, 32> dynSensorControlPoints{};
    bool sensorDataInFlash = false;
    bool sensorFlipY = false;
    bool calibrationFlipY = false;
    bool dualIntensity = false;

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
    // Calls of the raw-image and frame-grabbed callbacks (image poller) and of the data callbacks (peak
    // poller), so that replacing a callback can wait for a running call of the old one.
    CallbackGate imageCallbackGate;
    CallbackGate dataCallbackGate;

    // Queues and threads of acquisition.
    SyncQueue<Image> imageQueue;
    SyncQueue<PeakArray> peakQueue;
    std::thread frameGrabber;
    std::thread imagePoller;
    std::thread peakPoller;
    std::atomic<bool> clearBatchRequest{false};
    // Set when grabbing stops: the peak poller starts its frame ordering anew.
    std::atomic<bool> reorderRestart{false};

    // Processing objects.
    std::unique_ptr<CInterleaving> interleaving;
    std::unique_ptr<ParallelProfileProcessing> processing;
};
