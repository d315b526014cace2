#include "reception/Interleaving.h"

#include <algorithm>
#include <cmath>

#include "logging/Log.h"
#include "reception/CamProperties.h"
#include "reception/ImageReception.h"
#include "transport/YoxaDll.h"

namespace {

constexpr uint32_t EXPOSURE_LONG = 0;
constexpr uint32_t EXPOSURE_SHORT = 1;

// The column of a pixel point, trunc(x), or -1 when that lies off the sensor. The range is tested on the
// float so that NaN or huge values never reach the integer conversion.
int ColumnOf(const STRUCT_POINT& p) {
    if (!(p.x > -1.0f && p.x < static_cast<float>(CInterleaving::SENSOR_COLUMNS))) return -1;
    return static_cast<int>(p.x);
}

// trunc() without the library call that baseline x86-64 makes of it: floats of 2^23 and more are whole
// already, and NaN passes through.
float Trunc(float v) {
    return std::fabs(v) < 8388608.0f ? static_cast<float>(static_cast<int32_t>(v)) : v;
}

// Whether the opaque filter takes `p` in place of the column's kept point `k`.
bool OpaqueReplaces(const STRUCT_POINT& p, const STRUCT_POINT& k) {
    if (p.extra == EXPOSURE_SHORT) {
        return k.extra == EXPOSURE_LONG || (k.extra == EXPOSURE_SHORT && p.z < k.z);
    }
    if (p.extra == EXPOSURE_LONG) return k.extra == EXPOSURE_LONG && p.z < k.z;
    return false;
}

}  // namespace

Interleaving InterleavingSettings(const CamProperties& slot) {
    return {.interleavefactor = slot.interleave,
            .interleavefilter = slot.interleavefilter,
            .interleavetargetintensity = slot.interleavetargetintensity,
            .interleaveythreshold = slot.interleaveythreshold};
}

CInterleaving::CInterleaving(int capacity)
    : result(std::make_unique<STRUCT_POINT[]>(static_cast<size_t>(std::max(capacity, 0)))),
      capacity(std::max(capacity, 0)),
      columns(std::make_unique<Column[]>(SENSOR_COLUMNS)) {}

void CInterleaving::Clear() {
    columnCounts.fill(0);
    resultCount = 0;
}

void CInterleaving::CopyToResult() {
    for (int c = 0; c < SENSOR_COLUMNS && resultCount < capacity; ++c) {
        const int n = std::min<int>(columnCounts[c], capacity - resultCount);
        // Mostly one or two points: a plain loop beats a call to memmove per column.
        for (int s = 0; s < n; ++s) result[resultCount++] = columns[c].slots[s];
    }
}

void CInterleaving::TargetIntensity(const STRUCT_POINT* points, int count, const Interleaving& settings) {
    Clear();
    const float target = settings.interleavetargetintensity;
    const float threshold = settings.interleaveythreshold;
    for (int k = 0; k < count; ++k) {
        const STRUCT_POINT& p = points[k];
        const int c = ColumnOf(p);
        if (c < 0) continue;
        Column& column = columns[c];
        uint8_t& n = columnCounts[c];

        bool twinned = false;
        for (int s = 0; s < n; ++s) {
            STRUCT_POINT& r = column.slots[s];
            if (r.extra == p.extra || !(std::fabs(Trunc(r.z - p.z)) <= threshold)) continue;
            if (std::fabs(Trunc(p.intensity - target)) < std::fabs(Trunc(r.intensity - target))) r = p;
            twinned = true;
            break;
        }
        if (!twinned && n < COLUMN_SLOTS) column.slots[n++] = p;
    }
    CopyToResult();
}

void CInterleaving::OpaqueSurface(const STRUCT_POINT* points, int count) {
    Clear();
    for (int k = 0; k < count; ++k) {
        const STRUCT_POINT& p = points[k];
        const int c = ColumnOf(p);
        if (c < 0) continue;
        STRUCT_POINT& kept = columns[c].slots[0];
        if (columnCounts[c] == 0) {
            kept = p;
            columnCounts[c] = 1;
        } else if (OpaqueReplaces(p, kept)) {
            kept = p;
        }
    }
    CopyToResult();
}

void CInterleaving::FilterByTargetIntensity(const STRUCT_POINT* points, int count, STRUCT_POINT** out,
                                            int* outCount, const Interleaving& settings) {
    std::lock_guard lock(mutex);
    TargetIntensity(points, points == nullptr ? 0 : count, settings);
    *out = result.get();
    *outCount = resultCount;
}

void CInterleaving::FilterOpaqueSurface(const STRUCT_POINT* points, int count, STRUCT_POINT** out,
                                        int* outCount, const Interleaving&) {
    std::lock_guard lock(mutex);
    OpaqueSurface(points, points == nullptr ? 0 : count);
    *out = result.get();
    *outCount = resultCount;
}

bool CInterleaving::Apply(PeakArray& frame, const Interleaving& settings) {
    const float factor = settings.interleavefactor;
    if (!(factor > 1.05f || factor < 0.95f)) return false;
    if (settings.interleavefilter != INTERLEAVE_FILTER_TARGET_INTENSITY &&
        settings.interleavefilter != INTERLEAVE_FILTER_OPAQUE_SURFACE) {
        return false;
    }

    std::lock_guard lock(mutex);
    const int count = frame.points == nullptr ? 0 : frame.count;
    if (settings.interleavefilter == INTERLEAVE_FILTER_TARGET_INTENSITY) {
        TargetIntensity(frame.points, count, settings);
    } else {
        OpaqueSurface(frame.points, count);
    }
    std::copy_n(result.get(), resultCount, frame.points);
    frame.count = resultCount;
    return true;
}

// ---------------------------------------------------------------- the interleave factor

CameraStatus CImageReception::SetInterleaving(int index, float factor) {
    CamProperties* cam = GetCameraProperties(index);
    if (cam == nullptr || index >= kMaxCameras) return CS_UNKNOWN_CAMERA;
    if (cam->family == FAMILY_QVTARN) {
        YLOG(INFO) << "Interleaving is not supported.";
        return CS_SUCCESS;
    }
    float value = factor;
    const int status = yoxaSetRegisterFloat(cam->cameraHandle, 128, &value);
    if (status != YOXA_STATUS_SUCCESS) {
        YLOG(ERROR) << "Could not write REG_INTERLEAVE = " << factor;
        return ConvertReadWriteStatus(status);
    }
    cam->interleave = factor;
    uint32_t length = static_cast<uint32_t>(cam->firLength.load());
    if (factor != 1.0f) {
        YLOG(TRACE) << "Interleaving factor " << factor << " effectively divides current FIR length "
                    << cam->firLength << " by 2.";
        length /= 2;
    } else {
        YLOG(TRACE) << "Applying original FIR length " << cam->firLength;
    }
    return SetFirLength(index, &length);
}
