// The exported interface: handles, setters, the zero cases and the cross-line filter's counters.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "yoxa/profile.h"

namespace {

constexpr float NO = YOXA_PROFILE_NO_DATA;

struct Handle {
    Handle(int width, bool linear, double step) : h(ProfileCreate(width, linear, step)) {}
    ~Handle() { ProfileFree(h); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ProfileHandler* h;
};

std::vector<kConfocalPoint> TwoLayers(int from, int to) {
    std::vector<kConfocalPoint> points;
    for (int c = from; c <= to; ++c) {
        points.push_back({static_cast<float>(c), 300, 100, 1});
        points.push_back({static_cast<float>(c), 200, 50, 2});
    }
    return points;
}

TEST(ProfileApi, CreateReportsItsGridAndFreeIgnoresNull) {
    Handle p(1200, false, 12.5);
    ASSERT_NE(p.h, nullptr);
    EXPECT_EQ(ProfileGetOutputWidth(p.h), 1200);
    EXPECT_EQ(ProfileGetOutputStep(p.h), 12.5);
    EXPECT_EQ(ProfileGetZOutput(p.h, 10), nullptr);
    EXPECT_EQ(ProfileGetIntensityOutput(p.h, -1), nullptr);
    EXPECT_EQ(std::count(ProfileGetZOutput(p.h, 9), ProfileGetZOutput(p.h, 9) + 1200, NO), 1200);
    ProfileFree(nullptr);
}

TEST(ProfileApi, SettersReturnOne) {
    Handle p(2048, true, 1.0);
    const float f[] = {1, 2};
    const double d[] = {1.5};
    const int t[] = {1};
    EXPECT_EQ(ProfileSetMaxThicknesses(p.h, f, 2), 1);
    EXPECT_EQ(ProfileSetMinThicknesses(p.h, f, 2), 1);
    EXPECT_EQ(ProfileSetRefractiveIndexes(p.h, d, 1), 1);
    EXPECT_EQ(ProfileSetLayerIntensityTypes(p.h, t, 1), 1);
    EXPECT_EQ(ProfileSetThicknessMode(p.h, true), 1);
    EXPECT_EQ(ProfileSetDetectMissingFirstLayer(p.h, 1, 2, 3), 1);
    EXPECT_EQ(ProfileSetClusteringDistances(p.h, 1, 2), 1);
    EXPECT_EQ(ProfileSetClusterMinimumLength(p.h, 1), 1);
    EXPECT_EQ(ProfileSetFillGapXMax(p.h, 1), 1);
    EXPECT_EQ(ProfileSetAverageFilterSizes(p.h, 1, 2), 1);
    EXPECT_EQ(ProfileSetMedianFilterSizes(p.h, 3, 3), 1);
    EXPECT_EQ(ProfileSetNoiseRemoval(p.h, true), 1);
    EXPECT_EQ(ProfileSetTrimEdges(p.h, true), 1);
}

TEST(ProfileApi, ZeroLayersAndZeroPoints) {
    Handle p(2048, true, 1.0);
    const std::vector<kConfocalPoint> points = TwoLayers(10, 20);
    ASSERT_EQ(ProfileProcessPoints(p.h, points.data(), static_cast<int>(points.size()), 0, 2, false), 1);
    ASSERT_EQ(ProfileGetZOutput(p.h, 1)[15], 200.0f);

    // Zero layers: 0, and the last line stays.
    EXPECT_EQ(ProfileProcessPoints(p.h, points.data(), static_cast<int>(points.size()), 0, 0, false), 0);
    EXPECT_EQ(ProfileGetZOutput(p.h, 0)[15], 300.0f);
    EXPECT_EQ(ProfileGetZOutput(p.h, 1)[15], 200.0f);

    // Zero points: 0, with the requested layers cleared.
    EXPECT_EQ(ProfileProcessPoints(p.h, points.data(), 0, 0, 2, false), 0);
    EXPECT_EQ(ProfileGetZOutput(p.h, 0)[15], NO);
    EXPECT_EQ(ProfileGetIntensityOutput(p.h, 1)[15], NO);
    EXPECT_FALSE(ProfileSetPoints(p.h, nullptr, 5, 0, 2, false));
    // Sorting after a failed start does nothing.
    ProfileSort(p.h, true);
    EXPECT_EQ(ProfileGetZOutput(p.h, 0)[15], NO);
}

TEST(ProfileApi, LayerIntensityTypesKeepTen) {
    Handle p(2048, true, 1.0);
    const int types[12] = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1};
    EXPECT_EQ(ProfileSetLayerIntensityTypes(p.h, types, 12), 1);
    const std::vector<kConfocalPoint> points = TwoLayers(10, 12);
    ASSERT_EQ(ProfileProcessPoints(p.h, points.data(), static_cast<int>(points.size()), 0, 10, false), 1);
    EXPECT_EQ(ProfileGetIntensityOutput(p.h, 0)[11], 100.0f);
    EXPECT_EQ(ProfileGetIntensityOutput(p.h, 1)[11], 2.0f);
}

TEST(ProfileApi, YFilterStoresCountsOnlyThroughGivenPointers) {
    Handle oldest(2048, true, 1.0), middle(2048, true, 1.0), newest(2048, true, 1.0);
    std::vector<kConfocalPoint> a = {{10, 100, 50, 0}, {10, 300, 50, 0}};
    std::vector<kConfocalPoint> b = {{10, 100, 50, 0}, {10, 700, 50, 0}};
    std::vector<kConfocalPoint> c = {{10, 110, 50, 0}, {10, 320, 50, 0}};
    ASSERT_TRUE(ProfileSetPoints(oldest.h, a.data(), 2, 0, 2, false));
    ASSERT_TRUE(ProfileSetPoints(middle.h, b.data(), 2, 0, 2, false));
    ASSERT_TRUE(ProfileSetPoints(newest.h, c.data(), 2, 0, 2, false));

    ProfileYFilter(newest.h, middle.h, oldest.h, nullptr, nullptr);
    ProfileSort(middle.h, false);
    EXPECT_EQ(ProfileGetZOutput(middle.h, 0)[10], 310.0f);  // 700 removed, 310 put back
    EXPECT_EQ(ProfileGetZOutput(middle.h, 1)[10], 100.0f);

    int removed = -1;
    int added = -1;
    ASSERT_TRUE(ProfileSetPoints(middle.h, b.data(), 2, 0, 2, false));
    ProfileYFilter(newest.h, middle.h, oldest.h, &removed, nullptr);
    EXPECT_EQ(removed, 1);
    ASSERT_TRUE(ProfileSetPoints(middle.h, b.data(), 2, 0, 2, false));
    ProfileYFilter(newest.h, middle.h, oldest.h, nullptr, &added);
    EXPECT_EQ(added, 1);
}

TEST(ProfileApi, ResampleThroughTheInterface) {
    Handle p(100, false, 10.0);
    std::vector<kConfocalPoint> points;
    for (int c = 0; c < 100; ++c) points.push_back({c * 10.0f, 5.0f * c, 100, 0});
    ASSERT_EQ(ProfileProcessPoints(p.h, points.data(), 100, 1, 1, false), 1);
    ProfileResample(p.h, 0, 20);
    ASSERT_EQ(ProfileGetResampledLength(p.h), 50);
    EXPECT_FLOAT_EQ(ProfileGetResampledZ(p.h)[10], 102.5f);
    EXPECT_FLOAT_EQ(ProfileGetResampledIntensity(p.h)[10], 100.0f);
}

}  // namespace
