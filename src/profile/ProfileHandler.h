// The multi-layer line processor: the unordered peaks of one line in, up to ten ordered layers out.
//
// One line: SetXPixels (linear cameras, before unit conversion, optional), settings, SetPoints,
// optionally FilterY on the previous line, Sort, Filter, then the outputs or Resample.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "profile/MedianFilter.h"
#include "yoxa/profile.h"

namespace profile {

constexpr float PROFILE_NO_DATA = YOXA_PROFILE_NO_DATA;
inline bool IsNoData(float v) {
    return v > 9999998.0f;
}

// At most N values, stored in place.
template <typename T, int N>
class BoundedList {
public:
    template <typename U>
    void Assign(const U* values, int n) {
        count = (values == nullptr || n <= 0) ? 0 : (n < N ? n : N);
        for (int i = 0; i < count; ++i) items[i] = static_cast<T>(values[i]);
    }
    int size() const { return count; }
    bool empty() const { return count == 0; }
    bool Has(int index) const { return index >= 0 && index < count; }
    T operator[](int index) const { return items[index]; }

private:
    std::array<T, N> items{};
    int count = 0;
};

// Truncation towards zero that saturates instead of overflowing; NaN gives INT_MIN.
int TruncateToInt(double value);
// The float t for which |d| < t equals |d| < limit for every float d.
float BelowThreshold(double limit);

}  // namespace profile

class ProfileHandler {
public:
    static constexpr int MAX_LAYERS = YOXA_PROFILE_MAX_LAYERS;
    static constexpr int MAX_COLUMNS = YOXA_PROFILE_MAX_COLUMNS;
    static constexpr int MAX_COLUMN_POINTS = 10;
    static constexpr int POINT_CAPACITY = MAX_LAYERS * MAX_COLUMNS;

    ProfileHandler(double step, int outputWidth, bool linearCamera, float xOffset);
    virtual ~ProfileHandler() = default;
    ProfileHandler(const ProfileHandler&) = delete;
    ProfileHandler& operator=(const ProfileHandler&) = delete;

    // Hooks for derived processors; empty here.
    virtual void MedianProfile(int layers, int width) {
        (void)layers;
        (void)width;
    }
    virtual void StartPerformanceMeasurement() {}
    virtual void StepPerformanceMeasurement(int step) { (void)step; }
    virtual void BurrCorrection() const {}

    // --- settings; they persist across lines ---
    void SetMaxThicknesses(const float* values, int n) { maxThicknesses.Assign(values, n); }
    void SetMinThicknesses(const float* values, int n) { minThicknesses.Assign(values, n); }
    void SetRefractiveIndexes(const double* values, int n) { refractiveIndexes.Assign(values, n); }
    void SetLayerIntensityTypes(const int* types, int n) { layerIntensityTypes.Assign(types, n); }
    void SetThicknessMode(bool on) { thicknessMode = on; }
    void SetDetectMissingFirstLayer(double z, double x, double minLength);
    void SetClusteringDistances(double x, double z);
    void SetClusterMinimumLength(double length) { cluster_minimum_length = length; }
    void SetFillGapXMax(float max) { fill_gap_x_max = max; }
    void SetAverageFilterSizes(float z, float intensity);
    void SetMedianFilterSizes(int z, int intensity);
    void SetNoiseRemoval(bool on) { noise_removal = on; }
    void SetTrimEdges(bool on) { trim_edges = on; }

    // --- one line ---
    void SetXPixels(const kConfocalPoint* points, int n);
    bool SetPoints(const kConfocalPoint* points, int n, int sortingOrder, int layers, bool flipX);
    // Cross-line filter, run on the middle one of three consecutive lines.
    void FilterY(const ProfileHandler& next, const ProfileHandler& previous, int& removed, int& added);
    void Sort(bool filter);
    void Filter();
    void Resample(int layer, double spacing);

    // --- outputs ---
    float* GetZOutput(int layer);
    float* GetIntensityOutput(int layer);
    double GetOutputStep() const { return step; }
    int GetOutputWidth() const { return outputWidth; }
    int GetResampledLength() const { return resampledLength; }
    float* GetResampledZ() { return resampledZ.data(); }
    float* GetResampledIntensity() { return resampledIntensity.data(); }

    // --- the binned points of the current line ---
    int ColumnCount() const { return columnCount; }
    int PointCount(int column) const { return columnCounts[column]; }
    const kConfocalPoint& Point(int slot, int column) const { return columnPoints[Slot(slot, column)]; }
    int LayerOffset(int column) const { return layerOffsets[column]; }

    // --- the steps of Sort and Filter, in the order they run ---
    void ClearBuffers(int layers);
    void Erode(int layers, int columns);
    void SortMaxIntensityToLower(int column);
    void ClearOffsets();
    void FindHolesDueToPixelSize(int columns);
    void Clustering(int columns);
    void DetectMissingFirstLayer(int columns);
    void LabelPoints(int columns);
    void CollectPointsFromLinearCamera(int maxPoints, int columns);
    void CollectPointsFromNonlinearCamera(int maxPoints, int columns);
    void FillGaps(int maxGap, float* z, float* intensity, int width, int maxPoints, int layer) const;
    void FixEdgePoints(int layers, int columns);
    void AverageProfile(int layers, int width);
    void UseRefractiveIndexes(int layers, int width);
    void ResampleSmallerThanNative(int layer, double spacing);

protected:
    // Rows are padded so that the slots and layers of one column do not share a cache set.
    static constexpr int POINT_ROW = MAX_COLUMNS + 24;
    static constexpr int VALUE_ROW = MAX_COLUMNS + 48;
    static int Slot(int slot, int column) { return slot * POINT_ROW + column; }
    kConfocalPoint& At(int slot, int column) { return columnPoints[Slot(slot, column)]; }
    const kConfocalPoint& At(int slot, int column) const { return columnPoints[Slot(slot, column)]; }
    int& LabelAt(int slot, int column) { return labels[slot * VALUE_ROW + column]; }
    float* Z(int layer) { return zOutput.data() + layer * VALUE_ROW; }
    float* I(int layer) { return intensityOutput.data() + layer * VALUE_ROW; }
    // Removes a point; the column's last point (and its label) takes the slot.
    void RemovePoint(int slot, int column);
    // Removes a point; the points below it move up one slot.
    void RemovePointKeepingOrder(int slot, int column);
    // Column bin of a lateral position; -1 when outside the output.
    int BinOf(double x) const;
    // Gives every point of the first `columns` columns a label: the label of the nearest earlier column
    // (within `reach`) holding a point closer than `tolerance` in height, else a new one. With sizes,
    // counts every such match per label in clusterSizes.
    void LabelByNeighbours(int columns, int reach, double tolerance, bool sizes);
    void SortColumn(int column);
    // Removes column c of layer `layer`: the deeper layers move up, the deepest gets no data.
    void RemoveEdgeColumn(int layer, int column, int layers);
    void MirrorOutputs();
    // Runs `op` on every run of consecutive valid heights of a layer within [0, width).
    template <typename Op>
    void ForEachRun(int layer, int width, Op op);

    std::vector<float>& Scratch() { return scratch; }

    profile::BoundedList<float, MAX_LAYERS> maxThicknesses;
    profile::BoundedList<float, MAX_LAYERS> minThicknesses;
    profile::BoundedList<float, MAX_LAYERS> refractiveIndexes;
    const int maxLayers = MAX_LAYERS;
    const int pointCapacity = POINT_CAPACITY;
    std::vector<int> xPixels;
    int xPixelCount = 0;                       // entries of xPixels recorded by the last SetXPixels
    std::vector<kConfocalPoint> columnPoints;  // [slot][column], rows of POINT_ROW
    std::vector<int> labels;                   // [slot][column], rows of VALUE_ROW
    std::vector<int> clusterSizes;
    std::vector<float> zOutput;          // [layer][column], rows of VALUE_ROW
    std::vector<float> intensityOutput;  // [layer][column], rows of VALUE_ROW
    std::vector<int> layerOffsets;
    const bool linearCamera;
    int resampleCapacity = MAX_COLUMNS;
    bool flipX = false;
    int columnCount = 0;
    int sortingOrder = 0;
    int layerCount = 0;
    int usedLayers = 0;  // layers that may hold data of an earlier line
    std::vector<int> columnCounts;
    const double step;
    const int outputWidth;
    const float xOffset;
    bool thicknessMode = false;
    double detect_missing_first_layer = 0;
    double detect_missing_first_layer_x = 0;
    double detect_missing_first_layer_min_length = 0;
    double clustering_distance_x = 0;
    double clustering_distance_z = 0;
    double cluster_minimum_length = 0;
    float fill_gap_x_max = 0;
    float average_z_filter_size = 0;
    float average_intensity_filter_size = 0;
    int median_z_filter_size = 0;
    int median_intensity_filter_size = 0;
    bool noise_removal = false;
    bool trim_edges = false;
    profile::BoundedList<int, MAX_LAYERS> layerIntensityTypes;
    int resampledLength = 0;
    std::vector<float> resampledZ;
    std::vector<float> resampledIntensity;
    std::vector<float> scratch;  // one run of a layer, for the filters
};

// The processor the library hands out: the base processor with our running median.
class ProfileHandler_QVSDK : public ProfileHandler {
public:
    ProfileHandler_QVSDK(double step, int outputWidth, bool linearCamera);
    void MedianProfile(int layers, int width) override;

private:
    MedianFilter medianFilter;
};
