// A whole line of a known scene through the exported interface: two transparent layers over a stepped
// substrate, with gaps, a stretch where the top surface is not seen, a short piece of debris, a small
// spike and isolated noise, delivered in random order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "yoxa/profile.h"

namespace {

constexpr float NO = YOXA_PROFILE_NO_DATA;

// Surfaces: top of the upper film (600, columns 300..1700), top of the lower film (450, 200..1800) and
// the substrate (100..1950), 200 left of column 1024 and 260 from there on.
float Substrate(int c) {
    return c < 1024 ? 200.0f : 260.0f;
}

std::vector<kConfocalPoint> Scene() {
    std::vector<kConfocalPoint> points;
    auto add = [&](int c, float z, float intensity) {
        points.push_back(kConfocalPoint{static_cast<float>(c), z, intensity, 0.0f});
    };
    for (int c = 100; c <= 1950; ++c) {
        const bool topHidden = c >= 900 && c <= 919;  // the top surface is not seen here
        const bool topGap = c >= 1500 && c <= 1503;
        if (c >= 300 && c <= 1700 && !topHidden && !topGap) add(c, c == 800 ? 608.0f : 600.0f, 100);
        if (c >= 200 && c <= 1800 && c != 500 && c != 501) add(c, 450, 80);
        if (c < 1200 || c > 1202) add(c, Substrate(c), 150);
    }
    for (int c = 1300; c <= 1305; ++c) add(c, 1000, 30);  // debris: too short to be a surface
    for (auto [c, z] : {std::pair{150, 500.0f}, {700, 1000.0f}, {1100, 350.0f}, {1850, 50.0f}}) add(c, z, 20);
    std::shuffle(points.begin(), points.end(), std::mt19937(42));
    return points;
}

// The layers the scene should give.
float Expected(int layer, int c) {
    switch (layer) {
        case 0:
            if (c >= 100 && c <= 199) return Substrate(c);  // the substrate alone
            if (c >= 200 && c <= 299) return 450;           // the lower film is first here
            if (c >= 900 && c <= 919) return NO;            // first surface missing, too long to fill
            if (c >= 300 && c <= 1700) return 600;          // spike smoothed, short gap filled
            if (c >= 1801 && c <= 1950) return Substrate(c);
            return NO;  // 1701..1800: the upper film ended, the lower film stays layer 1
        case 1:
            if (c >= 300 && c <= 1800) return 450;  // gap at 500..501 filled
            return NO;  // 200..299: the substrate is too far below the first surface for layer 1
        case 2:
            if (c >= 200 && c <= 1800) return Substrate(c);  // gap at 1200..1202 filled
            return NO;
        default:
            return NO;
    }
}

class ProfileScene : public ::testing::Test {
protected:
    void SetUp() override {
        handle = ProfileCreate(2048, true, 1.0);
        ASSERT_NE(handle, nullptr);
        const float maxThicknesses[] = {200, 400};
        ProfileSetMaxThicknesses(handle, maxThicknesses, 2);
        ProfileSetNoiseRemoval(handle, true);
        ProfileSetClusteringDistances(handle, 3, 10);
        ProfileSetClusterMinimumLength(handle, 20);
        ProfileSetDetectMissingFirstLayer(handle, 30, 0, 0);
        ProfileSetFillGapXMax(handle, 5);
        ProfileSetMedianFilterSizes(handle, 5, 0);
    }
    void TearDown() override { ProfileFree(handle); }

    ProfileHandler* handle = nullptr;
};

TEST_F(ProfileScene, LayersOfTheKnownScene) {
    const std::vector<kConfocalPoint> points = Scene();
    ASSERT_EQ(ProfileProcessPoints(handle, points.data(), static_cast<int>(points.size()),
                                   SORT_HEIGHT_DESCENDING, 3, false),
              1);
    for (int layer = 0; layer < 3; ++layer) {
        const float* z = ProfileGetZOutput(handle, layer);
        const float* intensity = ProfileGetIntensityOutput(handle, layer);
        int wrong = 0;
        for (int c = 0; c < 2048 && wrong < 10; ++c) {
            if (z[c] != Expected(layer, c)) {
                ADD_FAILURE() << "layer " << layer << " column " << c << ": " << z[c] << ", expected "
                              << Expected(layer, c);
                ++wrong;
            }
            EXPECT_EQ(intensity[c] == NO, z[c] == NO) << "layer " << layer << " column " << c;
        }
    }
    EXPECT_EQ(ProfileGetIntensityOutput(handle, 0)[1000], 100.0f);
    EXPECT_EQ(ProfileGetIntensityOutput(handle, 2)[1000], 150.0f);
    for (int layer = 3; layer < 10; ++layer) {
        const float* z = ProfileGetZOutput(handle, layer);
        EXPECT_EQ(std::count(z, z + 2048, NO), 2048) << layer;
    }
}

TEST_F(ProfileScene, StepwiseCallsAndFlippedLineGiveTheSame) {
    const std::vector<kConfocalPoint> points = Scene();
    const int n = static_cast<int>(points.size());
    ASSERT_TRUE(ProfileSetPoints(handle, points.data(), n, SORT_HEIGHT_DESCENDING, 3, true));
    ProfileSort(handle, false);
    ProfileFilter(handle);
    for (int layer = 0; layer < 3; ++layer) {
        const float* z = ProfileGetZOutput(handle, layer);
        for (int c = 0; c < 2048; ++c) {
            ASSERT_EQ(z[2047 - c], Expected(layer, c)) << "flipped layer " << layer << " column " << c;
        }
    }
}

TEST_F(ProfileScene, WithoutTheCleaningTheSceneIsMisread) {
    // The settings matter: without noise removal, clustering and missing-layer detection the debris
    // and the hidden top surface put wrong surfaces into layer 0.
    ProfileSetNoiseRemoval(handle, false);
    ProfileSetClusterMinimumLength(handle, 0);
    ProfileSetDetectMissingFirstLayer(handle, 0, 0, 0);
    const std::vector<kConfocalPoint> points = Scene();
    ASSERT_EQ(ProfileProcessPoints(handle, points.data(), static_cast<int>(points.size()), 0, 3, false), 1);
    const float* top = ProfileGetZOutput(handle, 0);
    EXPECT_EQ(top[1302], 1000.0f);
    EXPECT_EQ(top[910], 450.0f);
    EXPECT_EQ(top[1750], 450.0f);
}

}  // namespace
