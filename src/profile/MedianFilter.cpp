#include "profile/MedianFilter.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
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

// Comparator networks selecting the median, written once for scalars and for 4-wide vectors.
struct ScalarOps {
    using V = float;
    static V Load(const float* p) { return *p; }
    static void Store(float* p, V v) { *p = v; }
    static V Min(V a, V b) { return b < a ? b : a; }
    static V Max(V a, V b) { return b < a ? a : b; }
};

#if defined(__SSE2__)
struct VectorOps {
    using V = __m128;
    static V Load(const float* p) { return _mm_loadu_ps(p); }
    static void Store(float* p, V v) { _mm_storeu_ps(p, v); }
    static V Min(V a, V b) { return _mm_min_ps(a, b); }
    static V Max(V a, V b) { return _mm_max_ps(a, b); }
};
#endif

template <typename Ops>
inline void Sort2(typename Ops::V& a, typename Ops::V& b) {
    const typename Ops::V lo = Ops::Min(a, b);
    b = Ops::Max(a, b);
    a = lo;
}

template <typename Ops, int W>
inline typename Ops::V NetworkMedian(const float* p) {
    using V = typename Ops::V;
    V v[W];
    for (int k = 0; k < W; ++k) v[k] = Ops::Load(p + k);
    auto s = [&](int a, int b) { Sort2<Ops>(v[a], v[b]); };
    if constexpr (W == 3) {
        return Ops::Max(Ops::Min(v[0], v[1]), Ops::Min(Ops::Max(v[0], v[1]), v[2]));
    } else if constexpr (W == 5) {
        s(0, 1), s(3, 4), s(0, 3), s(1, 4), s(1, 2), s(2, 3), s(1, 2);
        return v[2];
    } else if constexpr (W == 7) {
        s(0, 5), s(0, 3), s(1, 6), s(2, 4), s(0, 1), s(3, 5), s(2, 6);
        s(2, 3), s(3, 6), s(4, 5), s(1, 4), s(1, 3), s(3, 4);
        return v[3];
    } else {
        static_assert(W == 9);
        s(1, 2), s(4, 5), s(7, 8), s(0, 1), s(3, 4), s(6, 7), s(1, 2), s(4, 5), s(7, 8), s(0, 3);
        s(5, 8), s(4, 7), s(3, 6), s(1, 4), s(2, 5), s(4, 7), s(4, 2), s(6, 4), s(4, 2);
        return v[4];
    }
}

// Centred outputs dst[h .. n - 1 - h] of a short window, several outputs per step.
template <int W>
void CentredNetwork(const float* src, float* dst, int n) {
    constexpr int H = W / 2;
    const int outputs = n - W + 1;
    int j = 0;
#if defined(__SSE2__)
    for (; j + 4 <= outputs; j += 4) VectorOps::Store(dst + H + j, NetworkMedian<VectorOps, W>(src + j));
#endif
    for (; j < outputs; ++j) dst[H + j] = NetworkMedian<ScalarOps, W>(src + j);
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
