// Decoding of peak payloads: the optional sensor header in front of the peaks and the peak records of
// every product family and firmware generation, into STRUCT_POINTs in pixels.
//
// The fastest sensors send tens of thousands of frames per second, so the record format is chosen once
// per frame (PeakDecoder::For) and each format has its own loop without branches on the family.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "yoxa/yoxa.h"

// The camera record carries the peak queue, so it includes this header and not the other way round.
struct CamProperties;

// Records are read with one 64-bit load; the host is little-endian like the wire format.
static_assert(std::endian::native == std::endian::little, "peak records are decoded with native loads");

constexpr int PEAK_RECORD_SIZE = 8;
constexpr int SENSOR_HEADER_SIZE = 8;

// One decoded peak frame on its way from the frame grabber to the processing stage.
//
// `points` is the buffer in use. It is borrowed from the processing stage's pool, which takes it back
// (the array only forgets it), or it is `owned.get()` when the grabber had to allocate one because the
// pool was exhausted; then the array frees it.
struct PeakArray {
    STRUCT_POINT* points = nullptr;
    std::unique_ptr<STRUCT_POINT[]> owned;
    int32_t count = 0;
    HEADER header{};

    PeakArray() = default;
    PeakArray(const PeakArray&) = delete;
    PeakArray& operator=(const PeakArray&) = delete;
    // The source is left empty, so that a moved-from array never refers to a buffer it gave away.
    PeakArray(PeakArray&& other) noexcept;
    PeakArray& operator=(PeakArray&& other) noexcept;
    ~PeakArray() = default;

    // An array that writes into a pool buffer it does not own.
    static PeakArray Borrowing(STRUCT_POINT* buffer);
    // An array with its own buffer of `capacity` points (at least one).
    static PeakArray Owning(int capacity);

    // Drops the buffer: frees it when owned, forgets it when borrowed. Count becomes 0.
    void Release();
};

// The record layouts, by product family and firmware (see PeakDecoder::For).
enum class PeakFormat : uint8_t {
    A,              // QVSkarvel, minor version up to 6: 15-bit numerator, 14-bit denominator
    B,              // QVSkarvel from minor 7, QVCAM_V2 before 3.x: 8-bit offset, 11-bit fraction
    BDoubleRow,     // format B while the sensor interleaves two rows
    W,              // QVCAM_V2 from 3.x: signed 24-bit z and x in 1/512 pixel, 16-bit intensity
    QvTarn,         // layout W, z shifted by the sensor's Y offset adjustment
    DualIntensity,  // 20-bit position, column, two 12-bit intensities
};

// The decoding of one frame, chosen from the camera record before the loop over its records.
struct PeakDecoder {
    PeakFormat format = PeakFormat::W;
    // 16 / firLength: formats A and B report intensities summed over the FIR length.
    float intensityScale = 1.0f;
    // offsetAdjustY, subtracted from z by the QvTarn and dual-intensity formats.
    int32_t offsetY = 0;

    static PeakDecoder For(const CamProperties& slot);

    // True when `extra` of the decoded points is an intensity (zero for QvTarn), which the intensity
    // correction then scales as well; false when it is the odd-row flag of the standard formats.
    bool DualIntensity() const { return format == PeakFormat::QvTarn || format == PeakFormat::DualIntensity; }

    // Decodes `count` records and writes the kept points, in record order, to `points`, which has room
    // for `count` points. Returns the number kept.
    int Decode(const uint8_t* records, int count, STRUCT_POINT* points) const;
};

struct DualIntensities {
    // Decodes one record; true when it holds a peak (position not 0).
    static bool ParseTwoIntensitiesPreciseIntensities(const unsigned char* record, int offsetY,
                                                      STRUCT_POINT& point) {
        uint64_t v;
        std::memcpy(&v, record, sizeof v);
        const uint32_t position = static_cast<uint32_t>(v & 0xFFFFF);
        const uint32_t column = static_cast<uint32_t>((v >> 20) & 0x7FF);
        const uint32_t second = static_cast<uint32_t>((v >> 31) & 0xFFF);
        const uint32_t intensity = static_cast<uint32_t>((v >> 43) & 0xFFF);
        point.x = static_cast<float>(column);
        point.z = static_cast<float>(position) / 512.0f - static_cast<float>(offsetY);
        point.intensity = static_cast<float>(intensity) / 16.0f;
        point.extra = std::bit_cast<uint32_t>(static_cast<float>(second) / 16.0f);
        return position != 0;
    }

    // Decodes `count` records into `points`; returns the number kept.
    static int ProcessPeaks(const uint8_t* records, int count, int offsetY, STRUCT_POINT* points);
};

// Parses the sensor header that QvTarn sensors and QVCAM_V2 sensors from firmware 2.x put after the
// transport header of `hsz` bytes. Returns true when one was decoded into `header` (its three validity
// flags set); `offset` receives where the peak records start: hsz + 8, or hsz without a sensor header.
bool ParseQvHeader(const uint8_t* data, int size, uint8_t hsz, const CamProperties& slot, HEADER* header,
                   int* offset);

// The number of peak records a payload of `length` bytes holds: the final 8-byte block is not a record.
constexpr int PeakRecordCapacity(int length) {
    return length >= 2 * PEAK_RECORD_SIZE ? length / PEAK_RECORD_SIZE - 1 : 0;
}

// Decodes slot.numPoints records of `payload` (never more than the payload holds or maxPointCount) into
// `points`, which has room for that many. Leaves the number kept in slot.numPoints and sets
// slot.dualIntensity for the decoder used. Returns true.
bool ProcessPeaks(const uint8_t* payload, int length, CamProperties& slot, STRUCT_POINT* points);
