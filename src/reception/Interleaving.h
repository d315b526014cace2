// The interleaving filter: with two exposures per frame a surface can show up twice in a column, once
// from the short exposure (extra 1) and once from the long one (extra 0). The filter keeps one peak per
// surface, or one per column for opaque surfaces.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "reception/PeakDecoding.h"
#include "yoxa/yoxa.h"

struct CamProperties;

// The interleave settings of a camera.
struct Interleaving {
    float interleavefactor = 1.0f;  // 1.0: off
    int32_t interleavefilter = 0;   // INTERLEAVE_FILTER_*
    float interleavetargetintensity = 0.0f;
    float interleaveythreshold = 0.0f;
};

constexpr int32_t INTERLEAVE_FILTER_NONE = 0;
constexpr int32_t INTERLEAVE_FILTER_TARGET_INTENSITY = 1;
constexpr int32_t INTERLEAVE_FILTER_OPAQUE_SURFACE = 2;

// The settings as the camera record holds them now.
Interleaving InterleavingSettings(const CamProperties& slot);

class CInterleaving {
public:
    static constexpr int SENSOR_COLUMNS = 2048;
    static constexpr int COLUMN_SLOTS = 5;

    // `capacity`: the most points a result holds.
    explicit CInterleaving(int capacity);

    // Both filters read `count` pixel points and deliver their result through `out` and `outCount`; it
    // stays valid until the next filter call and never holds more points than the input.
    //
    // Per column, a point replaces its twin from the other exposure (heights within
    // interleaveythreshold) when its intensity is closer to interleavetargetintensity; points without a
    // twin are kept, up to COLUMN_SLOTS per column.
    void FilterByTargetIntensity(const STRUCT_POINT* points, int count, STRUCT_POINT** out, int* outCount,
                                 const Interleaving& settings);
    // One point per column: a short-exposure peak before a long one, the smaller height among equals.
    void FilterOpaqueSurface(const STRUCT_POINT* points, int count, STRUCT_POINT** out, int* outCount,
                             const Interleaving& settings);

    // Filters a frame in place with the filter its settings select, when the factor says the sensor
    // interleaves (outside 0.95..1.05). Returns true when a filter ran.
    bool Apply(PeakArray& frame, const Interleaving& settings);

private:
    struct Column {
        std::array<STRUCT_POINT, COLUMN_SLOTS> slots;
    };

    void Clear();
    void CopyToResult();
    void TargetIntensity(const STRUCT_POINT* points, int count, const Interleaving& settings);
    void OpaqueSurface(const STRUCT_POINT* points, int count);

    std::unique_ptr<STRUCT_POINT[]> result;
    int32_t capacity;
    int32_t resultCount = 0;
    std::unique_ptr<Column[]> columns;
    std::array<uint8_t, SENSOR_COLUMNS> columnCounts{};
    std::mutex mutex;
};
