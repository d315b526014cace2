// The running median against a brute-force reference: the centred windows, both edge rules, missing
// values and every window path (short networks, the sorted window).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "profile/MedianFilter.h"
#include "yoxa/profile.h"

namespace {

constexpr float MISSING = 9999999.0f;

float MedianOf(std::vector<float> values) {
    auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The filter written out from its definition, one run of valid values.
std::vector<float> Reference(const std::vector<float>& src, int window) {
    const int n = static_cast<int>(src.size());
    std::vector<float> dst(src);
    if (n <= 2) return dst;
    const int h = window / 2;
    auto three = [&](int i) { return MedianOf({src[i - 1], src[i], src[i + 1]}); };
    for (int i = 1; i <= n - 2; ++i) {
        if (window >= n || i < h || i > n - 1 - h) {
            dst[i] = three(i);
        } else {
            dst[i] = MedianOf(std::vector<float>(src.begin() + i - h, src.begin() + i + h + 1));
        }
    }
    return dst;
}

std::vector<float> Filtered(const std::vector<float>& src, int window) {
    std::vector<float> dst(src.size(), -1.0f);
    MedianFilter filter;
    EXPECT_TRUE(filter.Filter(src.data(), dst.data(), static_cast<int>(src.size()), window));
    return dst;
}

enum class Data { Random, SmallIntegers, ConstantRuns, Rising };

std::vector<float> Make(Data kind, int n, std::mt19937& rng) {
    std::vector<float> v(n);
    std::normal_distribution<float> normal(500.0f, 100.0f);
    std::uniform_int_distribution<int> small(0, 3);
    for (int i = 0; i < n; ++i) {
        switch (kind) {
            case Data::Random:
                v[i] = normal(rng);
                break;
            case Data::SmallIntegers:
                v[i] = static_cast<float>(small(rng));
                break;  // ties everywhere
            case Data::ConstantRuns:
                v[i] = static_cast<float>((i / 37) % 3) * 10.0f - 5.0f;
                break;
            case Data::Rising:
                v[i] = static_cast<float>(i) * 0.5f - 100.0f;
                break;
        }
    }
    return v;
}

TEST(MedianFilter, MatchesBruteForceForEveryWindowPathAndLength) {
    std::mt19937 rng(7);
    for (int window : {3, 5, 7, 9, 15, 101, 2047}) {
        for (int n :
             {1, 2, 3, window - 1, window, window + 1, window + 2, window + 7, 2 * window + 3, 2048}) {
            if (n < 1) continue;
            for (Data kind : {Data::Random, Data::SmallIntegers, Data::ConstantRuns, Data::Rising}) {
                const std::vector<float> src = Make(kind, n, rng);
                ASSERT_EQ(Filtered(src, window), Reference(src, window))
                    << "window " << window << ", length " << n << ", data " << static_cast<int>(kind);
            }
        }
    }
}

TEST(MedianFilter, KeepsItsWorkBuffersCorrectAcrossCalls) {
    // One filter reused for shrinking and growing windows, as a processor does line after line.
    std::mt19937 rng(11);
    MedianFilter filter;
    for (int window : {301, 15, 2047, 31, 101}) {
        const std::vector<float> src = Make(Data::Random, 2048, rng);
        std::vector<float> dst(src.size());
        ASSERT_TRUE(filter.Filter(src.data(), dst.data(), 2048, window));
        EXPECT_EQ(dst, Reference(src, window)) << "window " << window;
    }
}

TEST(MedianFilter, DocumentedExampleAndEdges) {
    const std::vector<float> src = {1, 9, 2, 8, 3};
    const std::vector<float> dst = Filtered(src, 3);
    EXPECT_EQ(dst, (std::vector<float>{1, 2, 8, 3, 3}));
    // A window as long as the run: three-neighbour medians inside, the ends copied.
    EXPECT_EQ(Filtered(src, 5), (std::vector<float>{1, 2, 8, 3, 3}));
    // Two values or fewer are copied.
    EXPECT_EQ(Filtered({4, 1}, 3), (std::vector<float>{4, 1}));
}

TEST(MedianFilter, RefusesShortWindowsAndNullArrays) {
    const std::vector<float> src = {1, 9, 2, 8, 3};
    std::vector<float> dst(5, -1.0f);
    MedianFilter filter;
    for (int window : {2, 1, 0, -3}) {
        EXPECT_FALSE(filter.Filter(src.data(), dst.data(), 5, window)) << window;
        EXPECT_EQ(dst, std::vector<float>(5, -1.0f)) << "dst written for window " << window;
    }
    EXPECT_FALSE(filter.Filter(nullptr, dst.data(), 5, 3));
    EXPECT_FALSE(filter.Filter(src.data(), nullptr, 5, 3));
}

TEST(MedianFilter, EvenWindowIsWidenedByOne) {
    std::mt19937 rng(3);
    const std::vector<float> src = Make(Data::Random, 200, rng);
    EXPECT_EQ(Filtered(src, 4), Reference(src, 5));
    EXPECT_EQ(Filtered(src, 20), Reference(src, 21));
}

TEST(MedianFilter, MissingValuesNeverEnterAWindow) {
    std::mt19937 rng(5);
    std::vector<float> first = Make(Data::Random, 40, rng);
    std::vector<float> second = Make(Data::Random, 25, rng);
    std::vector<float> src = first;
    src.push_back(MISSING);
    src.push_back(1e8f);  // anything above 9999998 is missing
    src.insert(src.end(), second.begin(), second.end());
    src.push_back(MISSING);

    std::vector<float> expected = Reference(first, 9);
    expected.push_back(MISSING);
    expected.push_back(1e8f);
    const std::vector<float> tail = Reference(second, 9);
    expected.insert(expected.end(), tail.begin(), tail.end());
    expected.push_back(MISSING);
    EXPECT_EQ(Filtered(src, 9), expected);
}

TEST(MedianFilter, FiltersInPlace) {
    std::mt19937 rng(9);
    for (int window : {5, 101}) {
        std::vector<float> data = Make(Data::Random, 500, rng);
        const std::vector<float> expected = Reference(data, window);
        MedianFilter filter;
        ASSERT_TRUE(filter.Filter(data.data(), data.data(), 500, window));
        EXPECT_EQ(data, expected) << window;
    }
}

TEST(MedianFilterVector, RunsTheFilterAndRefusesWindowTwo) {
    const float src[5] = {1, 9, 2, 8, 3};
    float dst[5] = {-1, -1, -1, -1, -1};
    EXPECT_EQ(MedianFilterVector(src, dst, 5, 2), 0);
    for (float v : dst) EXPECT_EQ(v, -1.0f);
    EXPECT_EQ(MedianFilterVector(src, dst, 5, 3), 1);
    EXPECT_EQ(std::vector<float>(dst + 1, dst + 5), (std::vector<float>{2, 8, 3, 3}));
}

}  // namespace
