// The line processor's layer assembly: points to layers, gap filling and edge trimming.
#include <algorithm>
#include <cmath>

#include "profile/ProfileHandler.h"

using namespace profile;

namespace {

constexpr float MAX_INTENSITY = 255.0f;

}  // namespace

void ProfileHandler::CollectPointsFromLinearCamera(int maxPoints, int columns) {
    // Per layer gap: the refractive scale of the gap above it and the thickness beyond which a surface
    // in between was not seen.
    float scale[MAX_LAYERS];
    float thickest[MAX_LAYERS];
    bool useExtra[MAX_LAYERS];
    for (int l = 0; l < MAX_LAYERS; ++l) {
        scale[l] = refractiveIndexes.Has(l) ? refractiveIndexes[l] : 1.0f;
        thickest[l] = maxThicknesses.Has(l) && maxThicknesses[l] > 0.5f ? maxThicknesses[l] : INFINITY;
        useExtra[l] = layerIntensityTypes.Has(l) && layerIntensityTypes[l] == 1;
    }
    for (int i = 0; i < columns; ++i) {
        int skipped = 0;
        const int n = columnCounts[i];
        for (int s = 0; s < n; ++s) {
            const kConfocalPoint& p = At(s, i);
            int layer = s + layerOffsets[i] + skipped;
            if (s > 0 && layer >= 1 && layer < MAX_LAYERS) {
                const float gap = std::fabs(At(s - 1, i).z - p.z) * scale[layer - 1];
                if (gap > thickest[layer - 1] && layer + 1 < MAX_LAYERS) {
                    ++skipped;
                    ++layer;
                }
            }
            // Layers beyond the requested ones are not produced.
            if (layer >= layerCount) break;
            Z(layer)[i] = p.z;
            I(layer)[i] = useExtra[layer] ? p.extra : p.intensity;
        }
    }
    if (fill_gap_x_max > 0) {
        const int maxGap = TruncateToInt(fill_gap_x_max / step);
        for (int l = 0; l < std::min(maxPoints, layerCount); ++l)
            FillGaps(maxGap, Z(l), I(l), columns, maxPoints, l);
    }
}

void ProfileHandler::CollectPointsFromNonlinearCamera(int maxPoints, int columns) {
    const float maxJump = step > 7.5 ? 30.0f : 20.0f;
    auto intensityOf = [&](const kConfocalPoint& p, int layer) {
        return layerIntensityTypes.Has(layer) && layerIntensityTypes[layer] == 1 ? p.extra : p.intensity;
    };
    for (int i = 0; i < columns; ++i) {
        int skipped = 0;
        for (int s = 0; s < columnCounts[i]; ++s) {
            const kConfocalPoint& p = At(s, i);
            int layer = s + layerOffsets[i] + skipped;
            if (layer >= MAX_LAYERS) break;

            // The thickness test; the first point of a column that lost its first surface is measured
            // against the previous column's first surface.
            const kConfocalPoint* above = nullptr;
            if (s > 0) {
                above = &At(s - 1, i);
            } else if (layerOffsets[i] == 1 && i > 1 && layerOffsets[i - 1] == 0 && columnCounts[i - 1] > 0) {
                above = &At(0, i - 1);
            }
            if (above != nullptr && layer >= 1) {
                float gap = std::fabs(above->z - p.z);
                if (refractiveIndexes.Has(layer - 1)) gap *= refractiveIndexes[layer - 1];
                if (maxThicknesses.Has(layer - 1) && maxThicknesses[layer - 1] > 0.5f &&
                    gap > maxThicknesses[layer - 1]) {
                    if (layer + 1 >= MAX_LAYERS) break;
                    ++skipped;
                    ++layer;
                }
            }
            if (layer >= layerCount) break;

            int c = TruncateToInt((static_cast<double>(p.x) - xOffset) / step);
            if (flipX && p.x >= xOffset && c < outputWidth) ++c;
            if (c < 0 || c >= outputWidth) continue;
            const double centre = xOffset + step * c;

            float z = p.z;
            float intensity = intensityOf(p, layer);
            // Moves the height to the column centre along the line to a neighbouring point of the same
            // layer, when that point is close enough for the line to mean something.
            auto toCentre = [&](const kConfocalPoint& from, const kConfocalPoint& to) {
                const double t = std::fabs(static_cast<double>(to.x) - from.x);
                const double u = std::fabs(centre - from.x);
                const double dz = static_cast<double>(to.z) - from.z;
                if (!(t > 0.9 && t > u && std::fabs(dz) < maxJump)) return;
                const double f = (centre - from.x) / (static_cast<double>(to.x) - from.x);
                const double fromI = intensityOf(from, layer);
                const double toI = intensityOf(to, layer);
                z = static_cast<float>(from.z + f * dz);
                intensity =
                    static_cast<float>(std::clamp(fromI + f * (toI - fromI), 0.0, double{MAX_INTENSITY}));
            };
            if (i > 0 && i < columns - 1) {
                const int sp = layer - layerOffsets[i - 1];
                if (sp >= 0 && sp < columnCounts[i - 1]) {
                    toCentre(At(sp, i - 1), p);
                } else if (i != MAX_COLUMNS - 1) {
                    const int sn = layer - layerOffsets[i + 1];
                    if (sn >= 0 && sn < columnCounts[i + 1]) toCentre(p, At(sn, i + 1));
                }
            }
            Z(layer)[c] = z;
            I(layer)[c] = intensity;
        }
    }
    const int maxGap = std::max(3, TruncateToInt(fill_gap_x_max / step));
    for (int l = 0; l < std::min(maxPoints, layerCount); ++l)
        FillGaps(maxGap, Z(l), I(l), columns, maxPoints, l);
}

void ProfileHandler::FillGaps(int maxGap, float* z, float* intensity, int width, int maxPoints,
                              int layer) const {
    // The height jump a gap may bridge: a single surface may climb further than one of several layers.
    float allowed = 20.0f;
    bool strict = false;
    if (maxPoints <= 1) {
        allowed = step > 7.5 ? 240.0f : 120.0f;
    } else if (!minThicknesses.empty()) {
        const int index = minThicknesses.size() == 1 ? 0 : layer;
        if (minThicknesses.Has(index) && minThicknesses[index] > 0.1f) {
            strict = true;
            allowed = 10.0f + minThicknesses[index];
        }
    }
    int first = 0;
    while (first < width && IsNoData(z[first])) ++first;
    if (first >= width) return;
    int last = first;
    for (int c = first + 1; c < width; ++c) {
        if (IsNoData(z[c])) continue;
        const int gap = c - last - 1;
        if (gap >= 1 && gap <= maxGap) {
            const float a = z[last];
            const float b = z[c];
            if (std::fabs(b - a) <= allowed || (!strict && gap > 3)) {
                const float ia = intensity[last];
                const float ib = intensity[c];
                for (int k = 0; k < gap; ++k) {
                    const float f = static_cast<float>(k + 1) / static_cast<float>(gap + 1);
                    z[last + 1 + k] = a + (b - a) * f;
                    intensity[last + 1 + k] = ia + (ib - ia) * f;
                }
            }
        }
        last = c;
    }
    if (first <= maxGap) {
        std::fill(z, z + first, z[first]);
        std::fill(intensity, intensity + first, intensity[first]);
    }
    if (width - 1 - last <= maxGap) {
        std::fill(z + last + 1, z + width, z[last]);
        std::fill(intensity + last + 1, intensity + width, intensity[last]);
    }
}

void ProfileHandler::RemoveEdgeColumn(int layer, int column, int layers) {
    // Nothing of this layer to remove: lifting the deeper layers here would misplace them.
    if (column < 0 || column >= MAX_COLUMNS || IsNoData(Z(layer)[column])) return;
    for (int l = layer; l + 1 < layers; ++l) {
        Z(l)[column] = Z(l + 1)[column];
        I(l)[column] = I(l + 1)[column];
    }
    Z(layers - 1)[column] = PROFILE_NO_DATA;
    I(layers - 1)[column] = PROFILE_NO_DATA;
}

void ProfileHandler::FixEdgePoints(int layers, int columns) {
    constexpr int LONG_RUN = 17;
    constexpr int SCAN = 12;  // rising-edge positions examined
    constexpr float RISE = 48.0f;
    constexpr float BRIGHT = 90.0f;
    constexpr float JUMP = 30.0f;
    layers = std::min(layers, MAX_LAYERS);
    const int last = std::min(columns + 19, MAX_COLUMNS) - 19;
    for (int layer = 0; layer < layers; ++layer) {
        const float* z = Z(layer);
        const float* intensity = I(layer);
        auto valid = [&](int c) { return c >= 0 && c < MAX_COLUMNS && !IsNoData(z[c]); };
        // Sum of three intensities; the sums read at most 19 columns past a run start below `last`.
        auto sum3 = [&](int j) { return intensity[j] + intensity[j + 1] + intensity[j + 2]; };
        bool previousDown = false;
        int from = 1;
        while (from < last) {
            int c = from;
            while (c < last && !valid(c)) ++c;
            if (c >= last) break;
            bool isLong = true;
            for (int m = 0; m < LONG_RUN && c + m < last; ++m) {
                if (!valid(c + m)) {
                    isLong = false;
                    break;
                }
            }

            // Rising edge: dim columns before the intensity reaches its plateau.
            int scanEnd = c;
            if (isLong && c >= 10 && !previousDown) {
                int edge = -1;
                scanEnd = c + SCAN;
                for (int j = c; j < c + SCAN; ++j) {
                    if (sum3(j + 3) - sum3(j) > RISE) {
                        edge = j + 2;
                    } else if (sum3(j) > BRIGHT) {
                        scanEnd = j;
                        break;
                    }
                }
                for (int k = c; k <= edge; ++k) RemoveEdgeColumn(layer, k, layers);
            }

            // Run end and the height jump there (+1 up, -1 down, 0 none).
            int end = scanEnd + 1;
            int jump = 0;
            for (; end < last; ++end) {
                if (!valid(end)) {
                    if (valid(end - 1)) {
                        for (int q = end + 1; q <= end + 11 && q < MAX_COLUMNS; ++q) {
                            if (valid(q) && std::fabs(z[q] - z[end - 1]) > JUMP) {
                                jump = z[q] > z[end - 1] ? 1 : -1;
                                break;
                            }
                        }
                    }
                    break;
                }
                if (valid(end + 1) && std::fabs(z[end + 1] - z[end]) > JUMP) {
                    jump = z[end + 1] > z[end] ? 1 : -1;
                    break;
                }
            }

            // Falling edge: dim columns after the plateau.
            int next = end + 1;
            if (isLong && jump != 1) {
                int edgeEnd = end;
                if (jump == -1 && edgeEnd < last - 1) ++edgeEnd;
                int reach = -1;
                for (int k = 1; k <= 11 && edgeEnd - k - 6 >= 0; ++k) {
                    if (sum3(edgeEnd - k - 6) - sum3(edgeEnd - k - 3) > RISE) {
                        reach = k + 3;
                    } else if (sum3(edgeEnd - k - 3) > BRIGHT) {
                        break;
                    }
                }
                if (reach >= 0) {
                    for (int k = std::max(edgeEnd - reach, 0); k <= edgeEnd; ++k)
                        RemoveEdgeColumn(layer, k, layers);
                }
                next = edgeEnd + 1;
            }
            previousDown = jump == -1;
            if (end >= last) break;
            from = next;
        }
    }
}
