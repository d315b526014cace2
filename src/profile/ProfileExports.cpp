// The exported line-processor functions. A handle is the address of a ProfileHandler_QVSDK that the
// client owns between ProfileCreate and ProfileFree.
#include <memory>
#include <new>

#include "profile/MedianFilter.h"
#include "profile/ProfileHandler.h"
#include "yoxa/profile.h"

extern "C" {

YOXA_EXPORT ProfileHandler* ProfileCreate(int outputWidth, bool linearCamera, double step) {
    try {
        return std::make_unique<ProfileHandler_QVSDK>(step, outputWidth, linearCamera).release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

YOXA_EXPORT void ProfileFree(ProfileHandler* handle) {
    std::unique_ptr<ProfileHandler> owner(handle);
}

YOXA_EXPORT int ProfileSetMaxThicknesses(ProfileHandler* handle, const float* values, int n) {
    handle->SetMaxThicknesses(values, n);
    return 1;
}

YOXA_EXPORT int ProfileSetMinThicknesses(ProfileHandler* handle, const float* values, int n) {
    handle->SetMinThicknesses(values, n);
    return 1;
}

YOXA_EXPORT int ProfileSetRefractiveIndexes(ProfileHandler* handle, const double* values, int n) {
    handle->SetRefractiveIndexes(values, n);
    return 1;
}

YOXA_EXPORT int ProfileSetLayerIntensityTypes(ProfileHandler* handle, const int* types, int n) {
    handle->SetLayerIntensityTypes(types, n);
    return 1;
}

YOXA_EXPORT int ProfileSetThicknessMode(ProfileHandler* handle, bool on) {
    handle->SetThicknessMode(on);
    return 1;
}

YOXA_EXPORT int ProfileSetDetectMissingFirstLayer(ProfileHandler* handle, double z, double x,
                                                  double minLength) {
    handle->SetDetectMissingFirstLayer(z, x, minLength);
    return 1;
}

YOXA_EXPORT int ProfileSetClusteringDistances(ProfileHandler* handle, double x, double z) {
    handle->SetClusteringDistances(x, z);
    return 1;
}

YOXA_EXPORT int ProfileSetClusterMinimumLength(ProfileHandler* handle, double length) {
    handle->SetClusterMinimumLength(length);
    return 1;
}

YOXA_EXPORT int ProfileSetFillGapXMax(ProfileHandler* handle, float max) {
    handle->SetFillGapXMax(max);
    return 1;
}

YOXA_EXPORT int ProfileSetAverageFilterSizes(ProfileHandler* handle, float z, float intensity) {
    handle->SetAverageFilterSizes(z, intensity);
    return 1;
}

YOXA_EXPORT int ProfileSetMedianFilterSizes(ProfileHandler* handle, int z, int intensity) {
    handle->SetMedianFilterSizes(z, intensity);
    return 1;
}

YOXA_EXPORT int ProfileSetNoiseRemoval(ProfileHandler* handle, bool on) {
    handle->SetNoiseRemoval(on);
    return 1;
}

YOXA_EXPORT int ProfileSetTrimEdges(ProfileHandler* handle, bool on) {
    handle->SetTrimEdges(on);
    return 1;
}

YOXA_EXPORT void ProfileSetXPixels(ProfileHandler* handle, const kConfocalPoint* points, int n) {
    handle->SetXPixels(points, n);
}

YOXA_EXPORT bool ProfileSetPoints(ProfileHandler* handle, const kConfocalPoint* points, int n,
                                  int sortingOrder, int layers, bool flipX) {
    return handle->SetPoints(points, n, sortingOrder, layers, flipX);
}

YOXA_EXPORT int ProfileProcessPoints(ProfileHandler* handle, const kConfocalPoint* points, int n,
                                     int sortingOrder, int layers, bool flipX) {
    if (!handle->SetPoints(points, n, sortingOrder, layers, flipX)) return 0;
    handle->Sort(true);
    return 1;
}

YOXA_EXPORT void ProfileYFilter(ProfileHandler* handle, ProfileHandler* middle, ProfileHandler* previous,
                                int* removed, int* added) {
    int removedCount = 0;
    int addedCount = 0;
    middle->FilterY(*handle, *previous, removedCount, addedCount);
    if (removed != nullptr) *removed = removedCount;
    if (added != nullptr) *added = addedCount;
}

YOXA_EXPORT void ProfileSort(ProfileHandler* handle, bool filter) {
    handle->Sort(filter);
}

YOXA_EXPORT void ProfileFilter(ProfileHandler* handle) {
    handle->Filter();
}

YOXA_EXPORT double ProfileGetOutputStep(ProfileHandler* handle) {
    return handle->GetOutputStep();
}

YOXA_EXPORT int ProfileGetOutputWidth(ProfileHandler* handle) {
    return handle->GetOutputWidth();
}

YOXA_EXPORT float* ProfileGetZOutput(ProfileHandler* handle, int layer) {
    return handle->GetZOutput(layer);
}

YOXA_EXPORT float* ProfileGetIntensityOutput(ProfileHandler* handle, int layer) {
    return handle->GetIntensityOutput(layer);
}

YOXA_EXPORT void ProfileResample(ProfileHandler* handle, int layer, double spacing) {
    try {
        handle->Resample(layer, spacing);
    } catch (const std::bad_alloc&) {
        // No room for the finer samples: the result is empty.
    }
}

YOXA_EXPORT int ProfileGetResampledLength(ProfileHandler* handle) {
    return handle->GetResampledLength();
}

YOXA_EXPORT float* ProfileGetResampledZ(ProfileHandler* handle) {
    return handle->GetResampledZ();
}

YOXA_EXPORT float* ProfileGetResampledIntensity(ProfileHandler* handle) {
    return handle->GetResampledIntensity();
}

YOXA_EXPORT int MedianFilterVector(const float* src, float* dst, int n, int window) {
    try {
        MedianFilter filter;
        return filter.Filter(src, dst, n, window) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

}  // extern "C"
