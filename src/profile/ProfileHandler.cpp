// The line processor up to the layer assignment: binning, isolated-point removal, the cross-line filter,
// the per-column order, holes due to the bin size, clustering and the missing-first-layer detection.
#include "profile/ProfileHandler.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace profile {

int TruncateToInt(double value) {
    if (std::isnan(value)) return INT_MIN;
    if (value >= 2147483647.0) return INT_MAX;
    if (value <= -2147483648.0) return INT_MIN;
    return static_cast<int>(value);
}

float BelowThreshold(double limit) {
    float threshold = static_cast<float>(limit);
    if (static_cast<double>(threshold) < limit) threshold = std::nextafter(threshold, INFINITY);
    return threshold;
}

}  // namespace profile

using namespace profile;

ProfileHandler::ProfileHandler(double step, int outputWidth, bool linearCamera, float xOffset)
    : xPixels(POINT_CAPACITY, 0),
      columnPoints(MAX_COLUMN_POINTS * POINT_ROW, kConfocalPoint{0, 0, 0, 0}),
      labels(MAX_COLUMN_POINTS * VALUE_ROW, 0),
      zOutput(MAX_LAYERS * VALUE_ROW, PROFILE_NO_DATA),
      intensityOutput(MAX_LAYERS * VALUE_ROW, PROFILE_NO_DATA),
      layerOffsets(MAX_COLUMNS, 0),
      linearCamera(linearCamera),
      columnCounts(MAX_COLUMNS, 0),
      step(step),
      outputWidth(std::clamp(outputWidth, 0, MAX_COLUMNS)),
      xOffset(xOffset),
      resampledZ(MAX_COLUMNS, PROFILE_NO_DATA),
      resampledIntensity(MAX_COLUMNS, 0.0f),
      scratch(MAX_COLUMNS, 0.0f) {
    clusterSizes.reserve(POINT_CAPACITY + 1);
    ClearBuffers(MAX_LAYERS);
}

ProfileHandler_QVSDK::ProfileHandler_QVSDK(double step, int outputWidth, bool linearCamera)
    : ProfileHandler(step, outputWidth, linearCamera, 0.0f) {}

void ProfileHandler::SetDetectMissingFirstLayer(double z, double x, double minLength) {
    detect_missing_first_layer = z;
    detect_missing_first_layer_x = x;
    detect_missing_first_layer_min_length = minLength;
}

void ProfileHandler::SetClusteringDistances(double x, double z) {
    clustering_distance_x = x;
    clustering_distance_z = z;
}

void ProfileHandler::SetAverageFilterSizes(float z, float intensity) {
    average_z_filter_size = z;
    average_intensity_filter_size = intensity;
}

void ProfileHandler::SetMedianFilterSizes(int z, int intensity) {
    median_z_filter_size = z;
    median_intensity_filter_size = intensity;
}

float* ProfileHandler::GetZOutput(int layer) {
    return (layer >= 0 && layer < MAX_LAYERS) ? Z(layer) : nullptr;
}

float* ProfileHandler::GetIntensityOutput(int layer) {
    return (layer >= 0 && layer < MAX_LAYERS) ? I(layer) : nullptr;
}

void ProfileHandler::ClearBuffers(int layers) {
    layers = std::min(layers, MAX_LAYERS);
    // Layers of an earlier line with more layers go too, so that no stale line shows through.
    const int clear = std::max(layers, usedLayers);
    for (int l = 0; l < clear; ++l) {
        std::fill_n(Z(l), outputWidth, PROFILE_NO_DATA);
        std::fill_n(I(l), outputWidth, PROFILE_NO_DATA);
    }
    usedLayers = std::max(layers, 0);
    std::fill_n(columnCounts.begin(), outputWidth, 0);
    std::fill_n(layerOffsets.begin(), outputWidth, 0);
}

void ProfileHandler::SetXPixels(const kConfocalPoint* points, int n) {
    if (!linearCamera) return;
    n = (points == nullptr) ? 0 : std::clamp(n, 0, pointCapacity - 1);
    for (int i = 0; i < n; ++i) xPixels[i] = TruncateToInt(points[i].x + 0.1);
    xPixelCount = n;
}

int ProfileHandler::BinOf(double x) const {
    const int c = TruncateToInt((x - xOffset) / step);
    return (c >= 0 && c < outputWidth) ? c : -1;
}

bool ProfileHandler::SetPoints(const kConfocalPoint* points, int n, int order, int layers, bool flip) {
    columnCount = 0;
    layerCount = 0;
    if (layers <= 0) return false;
    flipX = flip;
    layers = std::min(layers, MAX_LAYERS);
    ClearBuffers(layers);
    if (points == nullptr || n <= 0) return false;
    n = std::min(n, pointCapacity - 1);

    int highest = 1000;
    if (linearCamera) {
        // Points usually come column by column: the count of the current column stays in a register.
        int current = 0;
        int count = columnCounts[0];
        auto bin = [&](int i, int c) {
            if (c != current) {
                columnCounts[current] = count;
                current = c;
                count = columnCounts[c];
                highest = std::max(highest, c);
            }
            if (count < MAX_COLUMN_POINTS) At(count++, c) = points[i];
        };
        const int recorded = std::min(n, xPixelCount);
        for (int i = 0; i < recorded; ++i) {
            const int c = xPixels[i];
            if (c >= 0 && c < outputWidth) bin(i, c);
        }
        // Points beyond the recorded pixel columns carry their pixel column in x. Truncation towards
        // zero puts (-1, 0) into column 0.
        for (int i = recorded; i < n; ++i) {
            const double c = points[i].x + 0.1;
            if (c > -1.0 && c < outputWidth) bin(i, static_cast<int>(c));
        }
        columnCounts[current] = count;
    } else {
        // Peaks closer than this in one bin are the same surface seen by neighbouring pixels.
        const float duplicate = step < 4 ? 5.0f : (step > 7.5 ? 40.0f : 20.0f);
        for (int i = 0; i < n; ++i) {
            const int c = BinOf(points[i].x);
            if (c < 0) continue;
            highest = std::max(highest, c);
            int& count = columnCounts[c];
            if (count >= MAX_COLUMN_POINTS) continue;
            const float z = points[i].z;
            bool near = false;
            for (int s = 0; s < count && !near; ++s) near = std::fabs(At(s, c).z - z) < duplicate;
            if (!near) At(count++, c) = points[i];
        }
    }
    // Columns beyond the output width hold nothing: never process them.
    const int columns = std::min(highest + 1, outputWidth);
    if (noise_removal) Erode(layers, columns);
    columnCount = columns;
    sortingOrder = order;
    layerCount = layers;
    return true;
}

void ProfileHandler::RemovePoint(int slot, int column) {
    const int last = --columnCounts[column];
    if (slot != last) {
        At(slot, column) = At(last, column);
        LabelAt(slot, column) = LabelAt(last, column);
    }
}

void ProfileHandler::RemovePointKeepingOrder(int slot, int column) {
    const int count = --columnCounts[column];
    for (int s = slot; s < count; ++s) {
        At(s, column) = At(s + 1, column);
        LabelAt(s, column) = LabelAt(s + 1, column);
    }
}

void ProfileHandler::Erode(int layers, int columns) {
    (void)layers;
    const float tolerance = step < 4 ? 10.0f : 20.0f;
    int* counts = columnCounts.data();
    auto hasNear = [&](int column, float z) {
        if (column < 0 || column >= columns) return false;
        const kConfocalPoint* p = &At(0, column);
        for (int s = 0, n = counts[column]; s < n; ++s, p += POINT_ROW) {
            if (std::fabs(p->z - z) < tolerance) return true;
        }
        return false;
    };
    for (int i = 0; i < columns; ++i) {
        int s = 0;
        while (s < counts[i]) {
            const float z = At(s, i).z;
            if (hasNear(i - 1, z) || hasNear(i + 1, z) || hasNear(i - 2, z)) {
                ++s;
            } else {
                RemovePoint(s, i);
            }
        }
    }
}

void ProfileHandler::FilterY(const ProfileHandler& next, const ProfileHandler& previous, int& removed,
                             int& added) {
    const float tolerance = step < 4 ? 30.0f : 50.0f;
    auto nearIn = [](const ProfileHandler& line, int column, float z, float within) -> int {
        for (int s = 0; s < line.columnCounts[column]; ++s) {
            if (std::fabs(line.At(s, column).z - z) < within) return s;
        }
        return -1;
    };
    for (int i = 0; i < columnCount; ++i) {
        // A point seen on neither neighbouring line is noise.
        int s = 0;
        while (s < columnCounts[i]) {
            const float z = At(s, i).z;
            if (nearIn(previous, i, z, tolerance) >= 0 || nearIn(next, i, z, tolerance) >= 0) {
                ++s;
            } else {
                RemovePoint(s, i);
                ++removed;
            }
        }
        // A point seen on both neighbouring lines but missing here is put back.
        for (int p = 0; p < previous.columnCounts[i]; ++p) {
            const kConfocalPoint& q = previous.At(p, i);
            if (nearIn(*this, i, q.z, tolerance) >= 0) continue;
            const int r = nearIn(next, i, q.z, 2 * tolerance);
            if (r < 0 || columnCounts[i] > MAX_COLUMN_POINTS - 1) continue;
            const kConfocalPoint& n = next.At(r, i);
            At(columnCounts[i]++, i) = kConfocalPoint{
                (q.x + n.x) / 2, (q.z + n.z) / 2, (q.intensity + n.intensity) / 2, (q.extra + n.extra) / 2};
            ++added;
        }
    }
}

void ProfileHandler::SortColumn(int column) {
    const int n = columnCounts[column];
    if (n < 2) return;
    if (n == 2 && (sortingOrder == 0 || sortingOrder == 1)) {
        // The common column of two surfaces.
        kConfocalPoint& a = At(0, column);
        kConfocalPoint& b = At(1, column);
        if (sortingOrder == 0 ? b.z > a.z : b.z <= a.z) std::swap(a, b);
        return;
    }
    auto select = [&](int count, auto later) {
        for (int a = 0; a < count; ++a) {
            for (int b = a + 1; b < count; ++b) {
                if (later(At(b, column), At(a, column))) std::swap(At(a, column), At(b, column));
            }
        }
    };
    auto higher = [](const kConfocalPoint& b, const kConfocalPoint& a) { return b.z > a.z; };
    switch (sortingOrder) {
        case 0:
            select(n, higher);
            break;
        case 2:
            SortMaxIntensityToLower(column);
            break;
        case 3:
            SortMaxIntensityToLower(column);
            select(std::min(n, layerCount), higher);
            break;
        default:
            select(n, [](const kConfocalPoint& b, const kConfocalPoint& a) { return b.z <= a.z; });
            break;
    }
}

void ProfileHandler::SortMaxIntensityToLower(int column) {
    const int n = columnCounts[column];
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            if (At(b, column).intensity > At(a, column).intensity) std::swap(At(a, column), At(b, column));
        }
    }
}

void ProfileHandler::ClearOffsets() {
    std::fill(layerOffsets.begin(), layerOffsets.end(), 0);
}

void ProfileHandler::Sort(bool filter) {
    if (layerCount <= 0) return;
    const int columns = columnCount;
    StartPerformanceMeasurement();
    int maxPoints = 0;
    for (int i = 0; i < columns; ++i) {
        const int n = columnCounts[i];
        if (n >= 2) SortColumn(i);
        maxPoints = std::max(maxPoints, n);
    }
    StepPerformanceMeasurement(0);
    ClearOffsets();
    StepPerformanceMeasurement(1);
    if (!linearCamera && sortingOrder != 1) {
        FindHolesDueToPixelSize(columns);
        // An inserted point may have made a column the fullest.
        for (int i = 0; i < columns; ++i) maxPoints = std::max(maxPoints, columnCounts[i]);
    }
    StepPerformanceMeasurement(2);
    Clustering(columns);
    StepPerformanceMeasurement(3);
    if (detect_missing_first_layer_x > 1) {
        LabelPoints(columns);
    } else {
        DetectMissingFirstLayer(columns);
    }
    StepPerformanceMeasurement(4);
    BurrCorrection();
    StepPerformanceMeasurement(5);
    if (linearCamera) {
        CollectPointsFromLinearCamera(maxPoints, columns);
    } else {
        CollectPointsFromNonlinearCamera(maxPoints, columns);
    }
    StepPerformanceMeasurement(6);
    if (trim_edges) FixEdgePoints(layerCount, columns);
    // A linear line is assembled in sensor order and mirrored as a whole, so that gap filling, edge
    // trimming and the filters see the same line whichever way it is shown.
    if (linearCamera && flipX) MirrorOutputs();
    StepPerformanceMeasurement(7);
    if (filter) Filter();
    StepPerformanceMeasurement(8);
}

void ProfileHandler::MirrorOutputs() {
    for (int l = 0; l < layerCount; ++l) {
        std::reverse(Z(l), Z(l) + outputWidth);
        std::reverse(I(l), I(l) + outputWidth);
    }
}

void ProfileHandler::FindHolesDueToPixelSize(int columns) {
    const float a = step < 4 ? 15.0f : 20.0f;
    auto z0 = [&](int column) { return At(0, column).z; };
    auto has = [&](int column) { return column >= 0 && column < columns && columnCounts[column] > 0; };
    auto meanInto = [](kConfocalPoint& target, const kConfocalPoint& l, const kConfocalPoint& r) {
        target.z = (l.z + r.z) / 2;
        target.intensity = (l.intensity + r.intensity) / 2;
        target.extra = (l.extra + r.extra) / 2;
    };

    // The first surface, one column at a time.
    for (int i = 0; i + 1 < columns; ++i) {
        if (!has(i) || !has(i + 1)) continue;
        const float d = z0(i + 1) - z0(i);
        if (d > a) {
            if (i == 0) {
                layerOffsets[0] = 1;
            } else if (has(i - 1)) {
                // Below both neighbours by a similar step: this column lost its first surface.
                const float d2 = z0(i - 1) - z0(i);
                if (d2 > a && std::fabs(d - d2) < a) layerOffsets[i] = 1;
            }
        } else if (d < -a) {
            if (i == 0) {
                kConfocalPoint& p = At(0, 0);
                const kConfocalPoint& r = At(0, 1);
                p.z = r.z;
                p.intensity = r.intensity;
                p.extra = r.extra;
            } else if (has(i - 1)) {
                // Above both neighbours by a similar step: a one-column spike.
                const float d2 = z0(i - 1) - z0(i);
                if (std::fabs(d2) > a && std::fabs(d - d2) < a)
                    meanInto(At(0, i), At(0, i - 1), At(0, i + 1));
            }
        }
    }

    // The deeper surfaces: a layer whose point here sits on the far side of both neighbours lost it in
    // this bin; put in the mean of the neighbours.
    int firstSlot = 0;
    for (int j = 0; j < columns; ++j) {
        bool inserted = false;
        for (int s = firstSlot; s < columnCounts[j] && !inserted; ++s) {
            const int layer = s + layerOffsets[j];
            if (layer < 1 || j + 1 >= columns) continue;
            const int sr = layer - layerOffsets[j + 1];
            if (sr < 0 || sr >= columnCounts[j + 1]) continue;
            const kConfocalPoint& r = At(sr, j + 1);
            const float dr = r.z - At(s, j).z;
            if (std::fabs(dr) <= a) continue;
            if (j == 0) {
                kConfocalPoint& p = At(s, 0);
                p.z = r.z;
                p.intensity = r.intensity;
                p.extra = r.extra;
                continue;
            }
            const int sl = layer - layerOffsets[j - 1];
            if (sl < 0 || sl >= columnCounts[j - 1]) continue;
            const kConfocalPoint& l = At(sl, j - 1);
            const float dl = l.z - At(s, j).z;
            if (!((dr > 0 && dl > a) || (dr < 0 && dl < -a))) continue;
            // The points from s on move one slot down; the column grows unless it is full, so that no
            // measured point is lost for the interpolated one.
            int& count = columnCounts[j];
            if (count < MAX_COLUMN_POINTS) ++count;
            for (int t = count - 1; t > s; --t) At(t, j) = At(t - 1, j);
            meanInto(At(s, j), l, r);
            inserted = true;
            firstSlot = s + 1;
        }
        if (!inserted) firstSlot = 0;
    }
}

void ProfileHandler::LabelByNeighbours(int columns, int reach, double tolerance, bool sizes) {
    const float within = BelowThreshold(tolerance);
    const int* counts = columnCounts.data();
    int* sizeOf = clusterSizes.data();
    int nextLabel = 0;
    for (int i = 0; i < columns; ++i) {
        const int n = counts[i];
        for (int s = 0; s < n; ++s) {
            const float z = At(s, i).z;
            int label = -1;
            for (int c = i - 1; c >= std::max(i - reach, 0) && label < 0; --c) {
                const int m = counts[c];
                for (int t = 0; t < m; ++t) {
                    if (std::fabs(At(t, c).z - z) < within) {
                        label = LabelAt(t, c);
                        if (sizes) ++sizeOf[label];
                    }
                }
            }
            if (label < 0) {
                label = nextLabel++;
                if (sizes) {
                    clusterSizes.push_back(0);
                    sizeOf = clusterSizes.data();
                }
            }
            LabelAt(s, i) = label;
        }
    }
}

void ProfileHandler::Clustering(int columns) {
    if (!(clustering_distance_x >= 1 && clustering_distance_z >= 1 && cluster_minimum_length >= 1)) return;
    const int reach = std::max(1, TruncateToInt(std::max(1.0, clustering_distance_x / step)));
    clusterSizes.clear();
    clusterSizes.push_back(0);
    LabelByNeighbours(columns, reach, clustering_distance_z, true);
    // The point that opened a cluster is not counted in its size.
    const int minimum = TruncateToInt(cluster_minimum_length / step);
    for (int i = 0; i < columns; ++i) {
        int s = 0;
        while (s < columnCounts[i]) {
            if (clusterSizes[LabelAt(s, i)] < minimum) {
                // The column is sorted by now: moving its last point into the gap would swap layers.
                RemovePointKeepingOrder(s, i);
            } else {
                ++s;
            }
        }
    }
}

void ProfileHandler::DetectMissingFirstLayer(int columns) {
    const double a = detect_missing_first_layer;
    if (a < 1) return;
    for (int i = 1; i < columns; ++i) {
        if (columnCounts[i] == 0 || columnCounts[i - 1] == 0) continue;
        const double here = At(0, i).z;
        const double d0 = std::fabs(At(0, i - 1).z - here);
        if (layerOffsets[i - 1] == 1) {
            // The previous column lost its first surface; this one too while it continues that surface.
            if (d0 < a) layerOffsets[i] = 1;
        } else if (columnCounts[i - 1] >= 2) {
            // This column's first point continues the previous column's second surface.
            if (d0 > a && std::fabs(At(1, i - 1).z - here) < a) layerOffsets[i] = 1;
        }
    }
}

void ProfileHandler::LabelPoints(int columns) {
    const double a = detect_missing_first_layer;
    if (a < 1 || detect_missing_first_layer_x < 1) return;
    const int reach = std::max(1, TruncateToInt(std::max(1.0, detect_missing_first_layer_x / step)));
    LabelByNeighbours(columns, reach, a, false);

    // Top labels: surfaces that come first over at least the minimum length.
    const int minimum = TruncateToInt(detect_missing_first_layer_min_length / step + 0.1);
    std::vector<int> top;
    int current = -1;
    int counter = 0;
    for (int i = 0; i < columns; ++i) {
        if (columnCounts[i] == 0) continue;
        const int label = LabelAt(0, i);
        if (label == current) continue;
        if (++counter >= minimum) {
            counter = 0;
            current = label;
            if (std::find(top.begin(), top.end(), label) == top.end()) top.push_back(label);
        }
    }

    // Buried top labels: top surfaces seen under another surface somewhere. One top label stays on top.
    std::vector<int> buried;
    if (top.size() >= 2) {
        std::vector<bool> used(top.size(), false);
        for (int i = 0; i < columns && buried.size() + 1 < top.size(); ++i) {
            for (int s = 1; s < columnCounts[i] && buried.size() + 1 < top.size(); ++s) {
                const auto it = std::find(top.begin(), top.end(), LabelAt(s, i));
                if (it == top.end() || used[it - top.begin()]) continue;
                used[it - top.begin()] = true;
                buried.push_back(*it);
            }
        }
    }
    for (int i = 0; i < columns; ++i) {
        if (columnCounts[i] > 0 && std::find(buried.begin(), buried.end(), LabelAt(0, i)) != buried.end()) {
            layerOffsets[i] = 1;
        }
    }

    // Spikes of one or two columns above both sides.
    auto has = [&](int column) { return columnCounts[column] > 0; };
    auto z0 = [&](int column) { return static_cast<double>(At(0, column).z); };
    for (int n = 2; n <= columns - 2; ++n) {
        if (!has(n - 1) || !has(n) || !has(n + 1) || layerOffsets[n] || layerOffsets[n - 1]) continue;
        const bool single = z0(n) - z0(n - 1) > a && z0(n) - z0(n + 1) > a;
        const bool pair = has(n - 2) && !layerOffsets[n - 2] && z0(n) - z0(n - 2) > a &&
                          z0(n) - z0(n + 1) > a && z0(n - 1) - z0(n - 2) > a && z0(n - 1) - z0(n + 1) > a;
        if (single) layerOffsets[n] = 1;
        if (pair) layerOffsets[n] = layerOffsets[n - 1] = 1;
    }
}
