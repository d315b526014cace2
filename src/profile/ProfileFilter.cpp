// The line processor's smoothing, refractive correction and resampling of finished layers.
#include <algorithm>
#include <cmath>

#include "profile/AverageVector.h"
#include "profile/ProfileHandler.h"

using namespace profile;

namespace {

constexpr float MAX_INTENSITY = 255.0f;
// The most samples a finer resampling produces (a 2048-column line at a fiftieth of its step and more).
constexpr double MAX_RESAMPLED = 1 << 22;

}  // namespace

template <typename Op>
void ProfileHandler::ForEachRun(int layer, int width, Op op) {
    const float* z = Z(layer);
    int c = 0;
    while (c < width) {
        if (IsNoData(z[c])) {
            ++c;
            continue;
        }
        int end = c + 1;
        while (end < width && !IsNoData(z[end])) ++end;
        op(c, end - c);
        c = end;
    }
}

void ProfileHandler::Filter() {
    // Over the whole width: a mirrored line lies at the far end, and the columns past the processed
    // ones hold no data anyway.
    MedianProfile(layerCount, outputWidth);
    AverageProfile(layerCount, outputWidth);
    UseRefractiveIndexes(layerCount, outputWidth);
}

void ProfileHandler_QVSDK::MedianProfile(int layers, int width) {
    if (median_z_filter_size <= 2 && median_intensity_filter_size <= 2) return;
    if (median_z_filter_size % 2 == 0) ++median_z_filter_size;
    if (median_intensity_filter_size % 2 == 0) ++median_intensity_filter_size;
    std::vector<float>& run = Scratch();
    for (int l = 0; l < std::min(layers, MAX_LAYERS); ++l) {
        ForEachRun(l, width, [&](int from, int n) {
            if (median_z_filter_size > 1) {
                std::copy_n(Z(l) + from, n, run.begin());
                medianFilter.Filter(run.data(), Z(l) + from, n, median_z_filter_size);
            }
            if (median_intensity_filter_size > 1) {
                std::copy_n(I(l) + from, n, run.begin());
                medianFilter.Filter(run.data(), I(l) + from, n, median_intensity_filter_size);
            }
        });
    }
}

void ProfileHandler::AverageProfile(int layers, int width) {
    const int zWindow = TruncateToInt(average_z_filter_size / step + 0.1);
    const int intensityWindow = TruncateToInt(average_intensity_filter_size / step + 0.1);
    if (zWindow <= 1 && intensityWindow <= 1) return;
    for (int l = 0; l < std::min(layers, MAX_LAYERS); ++l) {
        ForEachRun(l, width, [&](int from, int n) {
            if (zWindow > 1) {
                std::copy_n(Z(l) + from, n, scratch.begin());
                AverageVector<float>::Average(scratch.data(), Z(l) + from, n, zWindow);
            }
            if (intensityWindow > 1) {
                std::copy_n(I(l) + from, n, scratch.begin());
                AverageVector<float>::Average(scratch.data(), I(l) + from, n, intensityWindow);
            }
        });
    }
}

void ProfileHandler::UseRefractiveIndexes(int layers, int width) {
    if (refractiveIndexes.empty() && !thicknessMode) return;
    layers = std::min(layers, MAX_LAYERS);
    auto clear = [&](int fromLayer, int c) {
        for (int l = fromLayer; l < layers; ++l) Z(l)[c] = I(l)[c] = PROFILE_NO_DATA;
    };
    float thickness[MAX_LAYERS] = {};
    for (int c = 0; c < width; ++c) {
        if (IsNoData(Z(0)[c])) {
            clear(1, c);
            continue;
        }
        // Optical thicknesses between consecutive measured surfaces, scaled to geometric ones.
        float above = Z(0)[c];
        for (int l = 1; l < layers; ++l) {
            const float z = Z(l)[c];
            if (IsNoData(z)) {
                thickness[l] = 0;
                continue;
            }
            thickness[l] = (above - z) * (refractiveIndexes.Has(l - 1) ? refractiveIndexes[l - 1] : 1.0f);
            above = z;
        }
        for (int l = 1; l < layers; ++l) {
            if (!IsNoData(Z(l)[c])) {
                Z(l)[c] = thicknessMode ? thickness[l] : Z(l - 1)[c] - thickness[l];
            } else if (!thicknessMode) {
                clear(l + 1, c);
                break;
            }
        }
    }
}

void ProfileHandler::Resample(int layer, double spacing) {
    resampledLength = 0;
    if (layer < 0 || layer >= MAX_LAYERS || !(spacing > 0) || !(step > 0)) return;
    if (spacing < step) {
        ResampleSmallerThanNative(layer, spacing);
        return;
    }
    const float* z = Z(layer);
    const float* intensity = I(layer);
    // Positions in native columns; weights are fractions of a native column.
    const double width = spacing / step;
    const double epsilon = 1e-9 * std::max(1.0, static_cast<double>(outputWidth));
    int m = 0;
    double zWeight = 0, zSum = 0, iWeight = 0, iSum = 0;
    for (int i = 0; i < outputWidth && m < resampleCapacity; ++i) {
        double from = i;
        while (m < resampleCapacity) {
            const double sampleEnd = (m + 1) * width;
            const double to = std::min(static_cast<double>(i + 1), sampleEnd);
            const double overlap = to - from;
            if (overlap > 0 && !IsNoData(z[i])) {
                zWeight += overlap;
                zSum += overlap * z[i];
                if (intensity[i] > 0.1f && !IsNoData(intensity[i])) {
                    iWeight += overlap;
                    iSum += overlap * intensity[i];
                }
            }
            if (sampleEnd > i + 1 + epsilon) break;
            // The sample ends inside this column.
            resampledZ[m] = zWeight >= 0.1 ? static_cast<float>(zSum / zWeight) : PROFILE_NO_DATA;
            resampledIntensity[m] =
                iWeight >= 0.1 ? static_cast<float>(std::min(iSum / iWeight, double{MAX_INTENSITY})) : 0.0f;
            ++m;
            zWeight = zSum = iWeight = iSum = 0;
            from = sampleEnd;
        }
    }
    resampledLength = m;
}

void ProfileHandler::ResampleSmallerThanNative(int layer, double spacing) {
    resampledLength = 0;
    if (!(spacing >= 0.1) || layer < 0 || layer >= MAX_LAYERS) return;
    const double target = std::min(outputWidth * step / spacing, MAX_RESAMPLED);
    const int length = TruncateToInt(target);
    if (length <= 0) return;
    if (length > resampleCapacity) {
        resampledZ.resize(length);
        resampledIntensity.resize(length);
        resampleCapacity = length;
    }
    const float* z = Z(layer);
    const float* intensity = I(layer);
    // Sample m lies at m * spacing, native column i at i * step; a sample between columns i - 1 and i
    // is produced at column i.
    const double epsilon = 1e-9 * std::max(1.0, outputWidth * step);
    int m = 0;
    auto sampleAt = [&](int i, double position) {
        if (IsNoData(z[i])) {
            resampledZ[m] = PROFILE_NO_DATA;
            resampledIntensity[m] = 0.0f;
        } else if (i > 0 && !IsNoData(z[i - 1])) {
            const double f = (position - (i - 1) * step) / step;
            resampledZ[m] = static_cast<float>(z[i - 1] + f * (z[i] - z[i - 1]));
            resampledIntensity[m] = static_cast<float>(
                std::min(intensity[i - 1] + f * (intensity[i] - intensity[i - 1]), double{MAX_INTENSITY}));
        } else {
            resampledZ[m] = z[i];
            resampledIntensity[m] = intensity[i];
        }
        ++m;
    };
    for (int i = 0; i < outputWidth && m < length; ++i) {
        while (m < length && m * spacing <= i * step + epsilon) sampleAt(i, m * spacing);
    }
    // Past the last column's position the samples still lie on that column.
    while (m < length && outputWidth > 0) {
        const int lastColumn = outputWidth - 1;
        resampledZ[m] = z[lastColumn];
        resampledIntensity[m] = IsNoData(z[lastColumn]) ? 0.0f : intensity[lastColumn];
        ++m;
    }
    resampledLength = m;
}
