#include "profile/MedianFilter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr float MISSING_ABOVE = 9999998.0f;

// Sortable integer image of a float: signed integer order equals float order, and equal keys mean
// equal bits, so removing a value from the window always finds it (NaN included).
inline int32_t Key(float v) {
    const int32_t bits = std::bit_cast<int32_t>(v);
    return bits ^ ((bits >> 31) & 0x7fffffff);
}

inline float FromKey(int32_t key) {
    return std::bit_cast<float>(key ^ ((key >> 31) & 0x7fffffff));
}

inline float Median3(float a, float b, float c) {
    const float lo = std::min(a, b);
    const float hi = std::max(a, b);
    return std::max(lo, std::min(hi, c));
}

// Comparator networks selecting the median of W values: after the pairs, the middle slot holds it.
template <int W>
struct Network;
template <>
struct Network<3> {
    static constexpr std::pair<int, int> pairs[] = {{0, 1}, {1, 2}, {0, 1}};
};
template <>
struct Network<5> {
    static constexpr std::pair<int, int> pairs[] = {{0, 1}, {3, 4}, {0, 3}, {1, 4}, {1, 2}, {2, 3}, {1, 2}};
};
template <>
struct Network<7> {
    static constexpr std::pair<int, int> pairs[] = {{0, 5}, {0, 3}, {1, 6}, {2, 4}, {0, 1}, {3, 5}, {2, 6},
                                                    {2, 3}, {3, 6}, {4, 5}, {1, 4}, {1, 3}, {3, 4}};
};
template <>
struct Network<9> {
    static constexpr std::pair<int, int> pairs[] = {{1, 2}, {4, 5}, {7, 8}, {0, 1}, {3, 4}, {6, 7}, {1, 2},
                                                    {4, 5}, {7, 8}, {0, 3}, {5, 8}, {4, 7}, {3, 6}, {1, 4},
                                                    {2, 5}, {4, 7}, {4, 2}, {6, 4}, {4, 2}};
};

// Each writes dst[j] = median of src[j .. j + W - 1] for j from `from` while a whole vector fits, and
// returns where it stopped.
template <int W>
int NetworkScalar(const float* src, float* dst, int from, int outputs) {
    for (int j = from; j < outputs; ++j) {
        float v[W];
        for (int k = 0; k < W; ++k) v[k] = src[j + k];
        for (auto [a, b] : Network<W>::pairs) {
            const float lo = std::min(v[a], v[b]);
            v[b] = std::max(v[a], v[b]);
            v[a] = lo;
        }
        dst[j] = v[W / 2];
    }
    return outputs;
}

#if defined(__x86_64__)
template <int W>
int NetworkSse(const float* src, float* dst, int from, int outputs) {
    int j = from;
    for (; j + 4 <= outputs; j += 4) {
        __m128 v[W];
#pragma GCC unroll 16
        for (int k = 0; k < W; ++k) v[k] = _mm_loadu_ps(src + j + k);
#pragma GCC unroll 32
        for (auto [a, b] : Network<W>::pairs) {
            const __m128 lo = _mm_min_ps(v[a], v[b]);
            v[b] = _mm_max_ps(v[a], v[b]);
            v[a] = lo;
        }
        _mm_storeu_ps(dst + j, v[W / 2]);
    }
    return j;
}

template <int W>
__attribute__((target("avx2"))) int NetworkAvx(const float* src, float* dst, int from, int outputs) {
    int j = from;
    for (; j + 8 <= outputs; j += 8) {
        __m256 v[W];
#pragma GCC unroll 16
        for (int k = 0; k < W; ++k) v[k] = _mm256_loadu_ps(src + j + k);
#pragma GCC unroll 32
        for (auto [a, b] : Network<W>::pairs) {
            const __m256 lo = _mm256_min_ps(v[a], v[b]);
            v[b] = _mm256_max_ps(v[a], v[b]);
            v[a] = lo;
        }
        _mm256_storeu_ps(dst + j, v[W / 2]);
    }
    return j;
}
#endif

// Centred outputs dst[h .. n - 1 - h] of a short window, as many outputs per step as the machine has lanes.
template <int W>
void CentredNetwork(const float* src, float* dst, int n) {
    const int outputs = n - W + 1;
    dst += W / 2;
    int j = 0;
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) j = NetworkAvx<W>(src, dst, j, outputs);
    j = NetworkSse<W>(src, dst, j, outputs);
#endif
    NetworkScalar<W>(src, dst, j, outputs);
}

// Index of the first key not below `key` in a[0 .. n - 1], n >= 1; without data-dependent branches.
inline int LowerBound(const int32_t* a, int n, int32_t key) {
    const int32_t* base = a;
    while (n > 1) {
        const int half = n / 2;
        base = base[half - 1] < key ? base + half : base;
        n -= half;
    }
    return static_cast<int>(base - a) + (*base < key);
}

}  // namespace

bool MedianFilter::Filter(const float* src, float* dst, int n, int window) {
    if (src == nullptr || dst == nullptr || window <= 2) return false;
    if (window % 2 == 0) ++window;
    if (n <= 0) return true;
    if (dst < src + n && src < dst + n) {
        copy.assign(src, src + n);
        src = copy.data();
    }
    int i = 0;
    while (i < n) {
        if (src[i] > MISSING_ABOVE) {
            dst[i] = src[i];
            ++i;
            continue;
        }
        int end = i + 1;
        while (end < n && !(src[end] > MISSING_ABOVE)) ++end;
        FilterRun(src + i, dst + i, end - i, window);
        i = end;
    }
    return true;
}

void MedianFilter::FilterRun(const float* src, float* dst, int n, int window) {
    if (n <= 2) {
        std::copy(src, src + n, dst);
        return;
    }
    dst[0] = src[0];
    dst[n - 1] = src[n - 1];
    if (window >= n) {
        for (int i = 1; i <= n - 2; ++i) dst[i] = Median3(src[i - 1], src[i], src[i + 1]);
        return;
    }
    // Where the window does not fit, the median of three neighbours.
    const int h = window / 2;
    for (int i = 1; i < h; ++i) dst[i] = Median3(src[i - 1], src[i], src[i + 1]);
    for (int i = n - h; i <= n - 2; ++i) dst[i] = Median3(src[i - 1], src[i], src[i + 1]);
    switch (window) {
        case 3:
            CentredNetwork<3>(src, dst, n);
            return;
        case 5:
            CentredNetwork<5>(src, dst, n);
            return;
        case 7:
            CentredNetwork<7>(src, dst, n);
            return;
        case 9:
            CentredNetwork<9>(src, dst, n);
            return;
        default:
            break;
    }
    CentredSorted(src, dst, n, window);
}

void MedianFilter::CentredSorted(const float* src, float* dst, int n, int window) {
    const int h = window / 2;
    const int outputs = n - window + 1;
    sortedKeys.resize(window);
    int32_t* keys = sortedKeys.data();
    for (int k = 0; k < window; ++k) keys[k] = Key(src[k]);
    std::sort(keys, keys + window);
    dst[h] = FromKey(keys[h]);
    for (int j = 1; j < outputs; ++j) {
        const int32_t out = Key(src[j - 1]);
        const int32_t in = Key(src[j - 1 + window]);
        if (out != in) {
            const int at = LowerBound(keys, window, out);
            const int to = LowerBound(keys, window, in);
            if (to > at) {
                // Everything between the leaving and the entering value moves one place down.
                std::memmove(keys + at, keys + at + 1, sizeof(int32_t) * (to - 1 - at));
                keys[to - 1] = in;
            } else {
                std::memmove(keys + to + 1, keys + to, sizeof(int32_t) * (at - to));
                keys[to] = in;
            }
        }
        dst[h + j] = FromKey(keys[h]);
    }
}
