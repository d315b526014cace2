// One frame as the sensor renders and encodes it: peaks of the scene under the line, in the record
// format of the sensor's family and firmware, or a raw image of the window.
#pragma once

#include <cstdint>
#include <vector>

#include "Optics.h"
#include "WorldConfig.h"

namespace yoxasim {

enum class PeakFormat : uint8_t { kA, kB, kW, kTarn, kDual };

// What the sensor is, fixed for its life.
struct SensorModel {
    explicit SensorModel(const SensorConfig& config);

    Family family;
    int32_t firmware;
    PeakFormat format;
    bool sensorHeader;      // an 8-byte sensor header precedes the peaks
    bool absoluteRows;      // rows count from the imager's first row, not the window's
    double tickRate;        // timestamp ticks per second
    double durationTickNs;  // length of a tick of the sensor header's duration
    int marginX, marginY;   // imager pixels outside the calibrated area, left and top
    int maxWidth, maxHeight;
    TrueCalibration calibration;
    Scene scene;
    double frameRate;  // 0: the timing model
    bool maxRate;
    uint32_t seed;
};

// Everything of the register file that a frame depends on.
struct FrameSettings {
    uint32_t width = 0, height = 0, offsetX = 0, offsetY = 0;
    bool peakMode = true;
    bool testPattern = false;
    float gain = 1, exposure = 10, pulseWidth = 2, currentMiddle = 1, currentEdges = 1, interleave = 1;
    uint32_t threshold = 20, firLength = 16, xMin = 0, xMax = 4095, columnLimit = 0, maxPeaks = 65535;
    float rateLimit = 0, minPeriodUs = 0;
    bool operator==(const FrameSettings&) const = default;
};

// Frames per second the sensor delivers with these settings.
double FrameRate(const SensorModel& model, const FrameSettings& s);

constexpr uint32_t kTransportHeader = 16;  // timestamp, frame number, payload kind
constexpr double kYStep = 10.0;            // micrometres the part moves per frame, one encoder count each

// A rendered frame body (everything after the transport header) and what the sensor learned from it.
struct RenderedFrame {
    std::vector<uint8_t> body;
    uint32_t saturated = 0;
    uint32_t meanIntensity = 0;
};

// Renders the line at position y. noiseSeed makes the noise of this frame.
RenderedFrame Render(const SensorModel& model, const FrameSettings& s, double y, uint64_t noiseSeed);

}  // namespace yoxasim
