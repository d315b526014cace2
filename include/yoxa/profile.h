/*
 * libyoxa: the standalone multi-layer line processor.
 *
 * Turns the unordered points of one line (several peaks per column, one per optical surface) into up to
 * ten ordered layers of heights and intensities over a regular grid of output columns, with the same
 * processing the acquisition pipeline applies to line callbacks. Usable from C99 and C++11.
 *
 * One line:  settings (any time; they persist), ProfileSetXPixels (linear processors, optional),
 *            ProfileProcessPoints, or ProfileSetPoints + ProfileSort(h, false) + ProfileFilter;
 *            then ProfileGetZOutput / ProfileGetIntensityOutput per layer, or ProfileResample and the
 *            three resampled getters.
 * Cross-line filter: keep three processors in rotation; after ProfileSetPoints on the newest call
 *            ProfileYFilter(newest, middle, oldest, ...) and then sort and filter the middle one.
 *
 * Output arrays belong to the processor and stay valid until the next call that changes it.
 * Missing values in every output array are YOXA_PROFILE_NO_DATA. A handle is used by one thread at a
 * time; handles are independent of each other.
 */
#ifndef YOXA_PROFILE_H
#define YOXA_PROFILE_H

#include "yoxa/yoxa.h"

/* Marks a missing height or intensity; any height above 9999998 counts as missing. */
#define YOXA_PROFILE_NO_DATA 9999999.0f
/* Most layers a processor produces. */
#define YOXA_PROFILE_MAX_LAYERS 10
/* Most output columns of a processor. */
#define YOXA_PROFILE_MAX_COLUMNS 2048

#ifdef __cplusplus
extern "C" {
#endif

/* One input point; the layout of STRUCT_POINT, with the second intensity read as a float. */
typedef struct kConfocalPoint {
    float x;         /* pixel column, or lateral position in micrometres */
    float z;         /* peak position or height */
    float intensity; /* 0..255 */
    float extra;     /* second intensity, where the sensor supplies one */
} kConfocalPoint;

/* A line processor; opaque to clients. */
#ifdef __cplusplus
class ProfileHandler;
#else
typedef struct ProfileHandler ProfileHandler;
#endif

/* A new processor with outputWidth columns (at most 2048). linearCamera: output columns are the sensor's
 * pixel columns; otherwise bins of width step. Release it with ProfileFree. */
YOXA_EXPORT ProfileHandler* ProfileCreate(int outputWidth, bool linearCamera, double step);
/* Destroys a processor; a null handle is ignored. */
YOXA_EXPORT void ProfileFree(ProfileHandler* handle);

/* Settings. Each returns 1. Lists keep their first min(n, 10) values (n <= 0 empties them). */
YOXA_EXPORT int ProfileSetMaxThicknesses(ProfileHandler* handle, const float* values, int n);
YOXA_EXPORT int ProfileSetMinThicknesses(ProfileHandler* handle, const float* values, int n);
YOXA_EXPORT int ProfileSetRefractiveIndexes(ProfileHandler* handle, const double* values, int n);
/* Type 1 for a layer: the layer takes the point's extra as its intensity. */
YOXA_EXPORT int ProfileSetLayerIntensityTypes(ProfileHandler* handle, const int* types, int n);
YOXA_EXPORT int ProfileSetThicknessMode(ProfileHandler* handle, bool on);
YOXA_EXPORT int ProfileSetDetectMissingFirstLayer(ProfileHandler* handle, double z, double x,
                                                  double minLength);
YOXA_EXPORT int ProfileSetClusteringDistances(ProfileHandler* handle, double x, double z);
YOXA_EXPORT int ProfileSetClusterMinimumLength(ProfileHandler* handle, double length);
YOXA_EXPORT int ProfileSetFillGapXMax(ProfileHandler* handle, float max);
YOXA_EXPORT int ProfileSetAverageFilterSizes(ProfileHandler* handle, float z, float intensity);
YOXA_EXPORT int ProfileSetMedianFilterSizes(ProfileHandler* handle, int z, int intensity);
YOXA_EXPORT int ProfileSetNoiseRemoval(ProfileHandler* handle, bool on);
YOXA_EXPORT int ProfileSetTrimEdges(ProfileHandler* handle, bool on);

/* Records the pixel columns of the points before unit conversion (linear processors only). */
YOXA_EXPORT void ProfileSetXPixels(ProfileHandler* handle, const kConfocalPoint* points, int n);
/* Starts a line: clears the outputs of the requested layers and bins the points. False for zero layers
 * (nothing is cleared) or zero points. sortingOrder takes the SurfaceSorting values. */
YOXA_EXPORT bool ProfileSetPoints(ProfileHandler* handle, const kConfocalPoint* points, int n,
                                  int sortingOrder, int layers, bool flipX);
/* ProfileSetPoints, then sorting and filtering: 1, or 0 when ProfileSetPoints failed. */
YOXA_EXPORT int ProfileProcessPoints(ProfileHandler* handle, const kConfocalPoint* points, int n,
                                     int sortingOrder, int layers, bool flipX);
/* Cross-line filter on middle, with handle the newest line and previous the oldest. The counts of removed
 * and added points are stored through the pointers that are not null. */
YOXA_EXPORT void ProfileYFilter(ProfileHandler* handle, ProfileHandler* middle, ProfileHandler* previous,
                                int* removed, int* added);
YOXA_EXPORT void ProfileSort(ProfileHandler* handle, bool filter);
YOXA_EXPORT void ProfileFilter(ProfileHandler* handle);

YOXA_EXPORT double ProfileGetOutputStep(ProfileHandler* handle);
YOXA_EXPORT int ProfileGetOutputWidth(ProfileHandler* handle);
/* outputWidth values of layer 0..9; null for another layer. */
YOXA_EXPORT float* ProfileGetZOutput(ProfileHandler* handle, int layer);
YOXA_EXPORT float* ProfileGetIntensityOutput(ProfileHandler* handle, int layer);

/* Resamples one layer to the given lateral spacing (in the unit of step). */
YOXA_EXPORT void ProfileResample(ProfileHandler* handle, int layer, double spacing);
YOXA_EXPORT int ProfileGetResampledLength(ProfileHandler* handle);
YOXA_EXPORT float* ProfileGetResampledZ(ProfileHandler* handle);
YOXA_EXPORT float* ProfileGetResampledIntensity(ProfileHandler* handle);

/* Running median of window (an even window is widened by one): dst[i] is the median of the window centred
 * on i; closer than half a window to either end the median of three neighbours, and the end values are
 * copied. Values above 9999998 (missing) are copied and split the input into runs filtered on their own.
 * src and dst may be the same array. Returns 0 without writing when window is below 3 or an array is
 * null, else 1. */
YOXA_EXPORT int MedianFilterVector(const float* src, float* dst, int n, int window);

#ifdef __cplusplus
}
#endif

#endif /* YOXA_PROFILE_H */
