// The moving average against its definition: clipped windows at the ends, even windows reaching right.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "profile/AverageVector.h"

namespace {

std::vector<double> Averaged(const std::vector<double>& src, int window) {
    std::vector<double> dst(src.size(), -1.0);
    AverageVector<double>::Average(src.data(), dst.data(), static_cast<int>(src.size()), window);
    return dst;
}

TEST(AverageVector, DocumentedExamples) {
    const std::vector<double> src = {1, 2, 3, 4, 5};
    EXPECT_EQ(Averaged(src, 40), std::vector<double>(5, 3.0));
    EXPECT_EQ(Averaged(src, 3), (std::vector<double>{1.5, 2, 3, 4, 4.5}));
    EXPECT_EQ(Averaged(src, 5), std::vector<double>(5, 3.0));
}

TEST(AverageVector, MatchesTheClippedWindowDefinition) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> value(-50, 50);
    for (int window : {1, 2, 3, 4, 7, 10, 41}) {
        for (int n : {window + 1, window + 2, 3 * window + 5, 300}) {
            std::vector<double> src(n);
            for (double& v : src) v = value(rng);
            const int h = window / 2;
            const std::vector<double> dst = Averaged(src, window);
            for (int o = 0; o < n; ++o) {
                double sum = 0;
                int count = 0;
                for (int i = o - (window - 1 - h); i <= o + h; ++i) {
                    if (i < 0 || i >= n) continue;
                    sum += src[i];
                    ++count;
                }
                ASSERT_NEAR(dst[o], sum / count, 1e-9)
                    << "window " << window << " length " << n << " at " << o;
            }
        }
    }
}

TEST(AverageVector, FloatRowsDoNotDrift) {
    // A long row of large values: a float running sum would wander away from the plain mean.
    std::vector<float> src(2048);
    for (int i = 0; i < 2048; ++i) src[i] = 100000.0f + static_cast<float>(i % 7) * 0.37f;
    std::vector<float> dst(2048);
    AverageVector<float>::Average(src.data(), dst.data(), 2048, 7);
    double mean = 0;
    for (int i = 0; i < 7; ++i) mean += src[i];
    mean /= 7;
    EXPECT_NEAR(dst[2040], mean, 1e-3);
}

}  // namespace
