// Moving average shared by the line processor and the calibration tables.
#pragma once

#include <algorithm>
#include <type_traits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

template <typename T>
class AverageVector {
public:
    // dst[o] is the mean of src[o - (window - 1 - h) .. o + h], h = window / 2, clipped to 0..count-1: a
    // centred window for odd sizes, reaching one further right for even ones. With count <= window every
    // output is the mean of all inputs. A window below 1 copies. src and dst must not overlap.
    static void Average(const T* src, T* dst, int count, int window) {
        if (count <= 0) return;
        if (window < 1) window = 1;
        if (count <= window) {
            double sum = 0;
            for (int i = 0; i < count; ++i) sum += src[i];
            const T mean = static_cast<T>(sum / count);
            std::fill(dst, dst + count, mean);
            return;
        }
        const int right = window / 2;
        const int left = window - 1 - right;
        // The clipped ends directly; right <= left + 1 and count > window keep these ranges apart.
        for (int o = 0; o < right && o < count; ++o) dst[o] = ClippedMean(src, count, o - left, o + right);
        for (int o = std::max(right, count - right); o < count; ++o) {
            dst[o] = ClippedMean(src, count, o - left, o + right);
        }
        // The interior with a running sum, in double so that long rows do not drift. right >= left, so
        // these windows are never clipped.
        const int end = count - right;
        if (right >= end) return;
        if (window <= 8) {
            // Short windows summed directly, several outputs at a time: no running sum to wait for.
            const T scale = static_cast<T>(1.0 / window);
            int o = right;
#if defined(__x86_64__)
            if constexpr (std::is_same_v<T, float>) {
                const __m128 scales = _mm_set1_ps(scale);
                for (; o + 4 <= end; o += 4) {
                    __m128 sum = _mm_loadu_ps(src + o - left);
                    for (int i = 1; i < window; ++i) sum = _mm_add_ps(sum, _mm_loadu_ps(src + o - left + i));
                    _mm_storeu_ps(dst + o, _mm_mul_ps(sum, scales));
                }
            }
#endif
            for (; o < end; ++o) {
                T sum = src[o - left];
                for (int i = 1; i < window; ++i) sum += src[o - left + i];
                dst[o] = sum * scale;
            }
            return;
        }
        double sum = 0;
        for (int i = right - left; i <= 2 * right; ++i) sum += src[i];
        dst[right] = static_cast<T>(sum / window);
        for (int o = right + 1; o < end; ++o) {
            sum += static_cast<double>(src[o + right]) - src[o - 1 - left];
            dst[o] = static_cast<T>(sum / window);
        }
    }

private:
    static T ClippedMean(const T* src, int count, int from, int to) {
        from = std::max(from, 0);
        to = std::min(to, count - 1);
        double sum = 0;
        for (int i = from; i <= to; ++i) sum += src[i];
        return static_cast<T>(sum / (to - from + 1));
    }
};
