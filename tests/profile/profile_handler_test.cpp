// The line processor's steps on small lines: binning, ordering, noise removal, holes, clustering,
// missing first layers, gap filling, edge trimming, filters, refractive indexes and resampling.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "profile/ProfileHandler.h"

namespace {

constexpr float NO = 9999999.0f;

kConfocalPoint P(float x, float z, float intensity = 100.0f, float extra = 0.0f) {
    return kConfocalPoint{x, z, intensity, extra};
}

std::vector<float> Layer(ProfileHandler& p, int layer, int from, int to) {
    const float* z = p.GetZOutput(layer);
    return std::vector<float>(z + from, z + to + 1);
}

// Points of one surface at height z over columns [from, to] (pixel columns, or x = column * step).
void AddSurface(std::vector<kConfocalPoint>& points, int from, int to, float z, double step = 1.0,
                float intensity = 100.0f) {
    for (int c = from; c <= to; ++c) points.push_back(P(static_cast<float>(c * step), z, intensity));
}

TEST(ProfileHandlerOrder, SortingOrdersOfOneColumn) {
    struct Case {
        int order;
        int layers;
        std::vector<float> expected;
    };
    // Heights 10, 30, 20 with intensities 200, 50, 100.
    const std::vector<Case> cases = {
        {0, 3, {30, 20, 10}},  // height, highest first
        {1, 3, {10, 20, 30}},  // height, lowest first
        {2, 3, {10, 20, 30}},  // intensity, highest first
        {3, 2, {20, 10, NO}},  // the two most intense, highest first
        {3, 3, {30, 20, 10}},  // all three most intense, by height
        {7, 3, {10, 20, 30}},  // an unknown order sorts like order 1
    };
    for (bool linear : {true, false}) {
        for (const Case& k : cases) {
            // Step 2 keeps heights 10 apart in one bin.
            ProfileHandler_QVSDK p(linear ? 1.0 : 2.0, 2048, linear);
            const float x = linear ? 500.0f : 1000.0f;
            std::vector<kConfocalPoint> points = {P(x, 10, 200), P(x, 30, 50), P(x, 20, 100)};
            ASSERT_TRUE(p.SetPoints(points.data(), 3, k.order, k.layers, false));
            p.Sort(false);
            std::vector<float> got;
            for (int l = 0; l < 3; ++l) got.push_back(p.GetZOutput(l)[500]);
            EXPECT_EQ(got, k.expected) << "order " << k.order << (linear ? " linear" : " binned");
        }
    }
}

TEST(ProfileHandlerBinning, ElevenPointsAndOutsidePoints) {
    for (bool linear : {true, false}) {
        const double step = linear ? 1.0 : 10.0;
        ProfileHandler_QVSDK p(step, 2048, linear);
        std::vector<kConfocalPoint> points;
        for (int k = 1; k <= 10; ++k) points.push_back(P(static_cast<float>(7 * step), 100.0f * k));
        points.push_back(P(static_cast<float>(7 * step), 5000));  // the eleventh, highest of all
        points.push_back(P(static_cast<float>(2048 * step), 100));
        points.push_back(P(static_cast<float>(-5 * step), 100));
        ASSERT_TRUE(p.SetPoints(points.data(), static_cast<int>(points.size()), 0, 10, false));
        EXPECT_EQ(p.PointCount(7), 10);
        p.Sort(false);
        std::vector<float> expected;
        for (int k = 10; k >= 1; --k) expected.push_back(100.0f * k);
        std::vector<float> got;
        for (int l = 0; l < 10; ++l) got.push_back(p.GetZOutput(l)[7]);
        EXPECT_EQ(got, expected) << (linear ? "linear" : "binned");
    }
}

TEST(ProfileHandlerBinning, BinnedDuplicatesByStep) {
    struct Case {
        double step;
        float dz;
        int expectedPoints;
    };
    const std::vector<Case> cases = {
        {2.0, 4.9f, 1}, {2.0, 5.0f, 2}, {5.0, 19.0f, 1}, {5.0, 20.0f, 2}, {10.0, 39.0f, 1}, {10.0, 41.0f, 2},
    };
    for (const Case& k : cases) {
        ProfileHandler_QVSDK p(k.step, 2048, false);
        const float x = static_cast<float>(300 * k.step);
        std::vector<kConfocalPoint> points = {P(x, 100), P(x + 0.5f, 100 + k.dz)};
        ASSERT_TRUE(p.SetPoints(points.data(), 2, 0, 2, false));
        EXPECT_EQ(p.PointCount(300), k.expectedPoints) << "step " << k.step << " dz " << k.dz;
    }
}

TEST(ProfileHandlerBinning, RequestedLayersAreClampedAndStaleLayersCleared) {
    ProfileHandler_QVSDK p(1.0, 2048, true);
    std::vector<kConfocalPoint> points;
    for (int k = 0; k < 10; ++k) points.push_back(P(20, 1000.0f - 10 * k));
    ASSERT_TRUE(p.SetPoints(points.data(), 10, 0, 11, false));
    p.Sort(false);
    EXPECT_EQ(p.GetZOutput(9)[20], 910.0f);  // eleven layers asked: all ten delivered

    // A following line with one layer leaves no trace of the earlier deeper layers.
    std::vector<kConfocalPoint> one = {P(30, 50), P(30, 40)};
    ASSERT_TRUE(p.SetPoints(one.data(), 2, 0, 1, false));
    p.Sort(false);
    EXPECT_EQ(p.GetZOutput(0)[30], 50.0f);
    for (int l = 1; l < 10; ++l) {
        EXPECT_EQ(p.GetZOutput(l)[20], NO) << l;
        EXPECT_EQ(p.GetZOutput(l)[30], NO) << l;
    }
}

TEST(ProfileHandlerBinning, LinearCameraUsesRecordedPixelColumns) {
    // Micrometre x with the pixel columns recorded before conversion.
    ProfileHandler_QVSDK p(12.5, 2048, true);
    std::vector<kConfocalPoint> pixels = {P(40.95f, 0), P(41.0f, 0)};
    p.SetXPixels(pixels.data(), 2);
    std::vector<kConfocalPoint> points = {P(512.0f, 100), P(513.0f, 200)};
    ASSERT_TRUE(p.SetPoints(points.data(), 2, 0, 1, false));
    EXPECT_EQ(p.PointCount(41), 2);  // 40.95 + 0.1 truncates to 41
}

TEST(ProfileHandlerErode, IsolatedPointsAreRemoved) {
    struct Case {
        std::string name;
        double step;
        int neighbourColumn;  // relative to the tested point at column 100
        float dz;
        bool kept;
    };
    const std::vector<Case> cases = {
        {"left neighbour", 1.0, -1, 9.0f, true},
        {"right neighbour", 1.0, +1, 9.0f, true},
        {"two to the left", 1.0, -2, 9.0f, true},
        {"two to the right only", 1.0, +2, 9.0f, false},
        {"too far in height", 1.0, -1, 10.0f, false},
        {"coarse step, wider tolerance", 5.0, -1, 19.0f, true},
        {"coarse step, too far", 5.0, -1, 20.0f, false},
    };
    for (const Case& k : cases) {
        for (bool linear : {true, false}) {
            ProfileHandler_QVSDK p(k.step, 2048, linear);
            p.SetNoiseRemoval(true);
            const float scale = linear ? 1.0f : static_cast<float>(k.step);
            std::vector<kConfocalPoint> points = {P(100 * scale, 500),
                                                  P((100 + k.neighbourColumn) * scale, 500 + k.dz)};
            // Columns are cleaned left to right: a neighbour on the left needs support of its own.
            if (k.neighbourColumn < 0) points.push_back(P((99 + k.neighbourColumn) * scale, 500 + k.dz));
            ASSERT_TRUE(p.SetPoints(points.data(), static_cast<int>(points.size()), 0, 1, false));
            EXPECT_EQ(p.PointCount(100), k.kept ? 1 : 0) << k.name << (linear ? " linear" : " binned");
        }
    }
}

TEST(ProfileHandlerHoles, BinsThatMissedASurfaceAreRepaired) {
    // Binned camera, step 10; three surfaces at 300, 200 and 100 over columns 40..60.
    auto line = [](auto edit) {
        std::vector<kConfocalPoint> points;
        for (int c = 40; c <= 60; ++c) {
            for (float z : {300.0f, 200.0f, 100.0f}) {
                kConfocalPoint p = P(c * 10.0f, z);
                if (edit(c, p)) points.push_back(p);
            }
        }
        return points;
    };
    {
        // Column 50 lost its first surface: detected, then the gap is filled.
        auto points = line([](int c, kConfocalPoint& p) { return !(c == 50 && p.z == 300); });
        ProfileHandler_QVSDK p(10.0, 2048, false);
        ASSERT_TRUE(p.SetPoints(points.data(), static_cast<int>(points.size()), 0, 3, false));
        p.Sort(false);
        EXPECT_EQ(p.LayerOffset(50), 1);
        EXPECT_EQ(Layer(p, 0, 49, 51), (std::vector<float>{300, 300, 300}));
        EXPECT_EQ(Layer(p, 1, 49, 51), (std::vector<float>{200, 200, 200}));
        EXPECT_EQ(Layer(p, 2, 49, 51), (std::vector<float>{100, 100, 100}));
    }
    {
        // A one-column spike of the first surface is replaced by the mean of its neighbours.
        auto points = line([](int c, kConfocalPoint& p) {
            if (c == 50 && p.z == 300) p.z = 400;
            return true;
        });
        ProfileHandler_QVSDK p(10.0, 2048, false);
        ASSERT_TRUE(p.SetPoints(points.data(), static_cast<int>(points.size()), 0, 3, false));
        p.Sort(false);
        EXPECT_EQ(p.GetZOutput(0)[50], 300.0f);
    }
    {
        // Column 50 lost its middle surface: the mean of the neighbours is put in, and the deepest
        // measured point is kept below it.
        auto points = line([](int c, kConfocalPoint& p) { return !(c == 50 && p.z == 200); });
        ProfileHandler_QVSDK p(10.0, 2048, false);
        ASSERT_TRUE(p.SetPoints(points.data(), static_cast<int>(points.size()), 0, 3, false));
        p.Sort(false);
        EXPECT_EQ(p.PointCount(50), 3);
        EXPECT_EQ(p.GetZOutput(1)[50], 200.0f);
        EXPECT_EQ(p.GetZOutput(2)[50], 100.0f);
    }
}

TEST(ProfileHandlerClustering, ShortClustersAreRemoved) {
    ProfileHandler_QVSDK p(1.0, 2048, true);
    p.SetClusteringDistances(3, 10);
    p.SetClusterMinimumLength(10);
    std::vector<kConfocalPoint> points;
    AddSurface(points, 100, 300, 100);
    AddSurface(points, 600, 604, 500);  // five points: a cluster of size 4
    AddSurface(points, 700, 709, 500);  // ten points with a two-column gap: one cluster of size 9...
    AddSurface(points, 712, 712, 500);  // ...and 10 with this one
    ASSERT_TRUE(p.SetPoints(points.data(), static_cast<int>(points.size()), 0, 1, false));
    p.Sort(false);
    EXPECT_EQ(p.PointCount(150), 1);
    EXPECT_EQ(p.PointCount(602), 0);
    EXPECT_EQ(p.PointCount(705), 1);
    EXPECT_EQ(p.PointCount(712), 1);

    // Each setting below 1 switches clustering off.
    ProfileHandler_QVSDK off(1.0, 2048, true);
    off.SetClusteringDistances(3, 10);
    off.SetClusterMinimumLength(0.5);
    ASSERT_TRUE(off.SetPoints(points.data(), static_cast<int>(points.size()), 0, 1, false));
    off.Sort(false);
    EXPECT_EQ(off.PointCount(602), 1);
}

TEST(ProfileHandlerMissingFirstLayer, TopSurfaceEndingOrStartingLate) {
    // Two surfaces: 100 over 100..400, 200 over 201..300. Without detection the lower surface is layer 0
    // wherever it is the only one.
    std::vector<kConfocalPoint> points;
    AddSurface(points, 100, 400, 100);
    AddSurface(points, 201, 300, 200);
    struct Case {
        std::string name;
        double z, x, minLength;
        float layer0At150, layer0At350, layer1At350;
    };
    const std::vector<Case> cases = {
        {"off", 0, 0, 0, 100, 100, NO},
        // Neighbour rule: the first surface ends at 300, the continuing lower one stays layer 1.
        {"neighbour rule", 20, 0, 0, 100, NO, 100},
        // Labels: the lower surface is a top surface buried under the upper one, so it is layer 1
        // everywhere, before the upper surface starts as well.
        {"labels", 20, 5, 10, NO, NO, 100},
    };
    for (const Case& k : cases) {
        ProfileHandler_QVSDK p(1.0, 2048, true);
        p.SetDetectMissingFirstLayer(k.z, k.x, k.minLength);
        ASSERT_TRUE(p.SetPoints(points.data(), static_cast<int>(points.size()), 0, 2, false));
        p.Sort(false);
        EXPECT_EQ(p.GetZOutput(0)[150], k.layer0At150) << k.name;
        EXPECT_EQ(p.GetZOutput(0)[250], 200.0f) << k.name;
        EXPECT_EQ(p.GetZOutput(1)[250], 100.0f) << k.name;
        EXPECT_EQ(p.GetZOutput(0)[350], k.layer0At350) << k.name;
        EXPECT_EQ(p.GetZOutput(1)[350], k.layer1At350) << k.name;
    }
}

TEST(ProfileHandlerCollect, ThickGapMeansAMissingLayer) {
    ProfileHandler_QVSDK p(1.0, 2048, true);
    const float maxThickness[] = {50, 50};
    p.SetMaxThicknesses(maxThickness, 2);
    std::vector<kConfocalPoint> points = {P(10, 300), P(10, 290), P(10, 100), P(11, 300), P(11, 290)};
    ASSERT_TRUE(p.SetPoints(points.data(), 5, 0, 4, false));
    p.Sort(false);
    EXPECT_EQ(Layer(p, 0, 10, 11), (std::vector<float>{300, 300}));
    EXPECT_EQ(Layer(p, 1, 10, 11), (std::vector<float>{290, 290}));
    EXPECT_EQ(Layer(p, 2, 10, 11), (std::vector<float>{NO, NO}));
    EXPECT_EQ(Layer(p, 3, 10, 11), (std::vector<float>{100, NO}));

    // A refractive index scales the gap before the test: 15 * 4 exceeds 50.
    const double index[] = {4.0};
    p.SetRefractiveIndexes(index, 1);
    std::vector<kConfocalPoint> thin = {P(10, 300), P(10, 285)};
    ASSERT_TRUE(p.SetPoints(thin.data(), 2, 0, 3, false));
    p.Sort(false);
    EXPECT_EQ(p.GetZOutput(1)[10], NO);
    EXPECT_EQ(p.GetZOutput(2)[10], 285.0f);
}

TEST(ProfileHandlerCollect, IntensityTypeTakesTheSecondIntensity) {
    ProfileHandler_QVSDK p(1.0, 2048, true);
    const int types[] = {0, 1};
    p.SetLayerIntensityTypes(types, 2);
    std::vector<kConfocalPoint> points = {P(10, 300, 50, 7), P(10, 200, 60, 8)};
    ASSERT_TRUE(p.SetPoints(points.data(), 2, 0, 2, false));
    p.Sort(false);
    EXPECT_EQ(p.GetIntensityOutput(0)[10], 50.0f);
    EXPECT_EQ(p.GetIntensityOutput(1)[10], 8.0f);
}

TEST(ProfileHandlerCollect, BinnedHeightsAreMovedToColumnCentres) {
    // A slope of 1 sampled mid-bin: every column, the first and the last of the run included, gets the
    // height of the surface at its own position.
    ProfileHandler_QVSDK p(10.0, 2048, false);
    std::vector<kConfocalPoint> points;
    for (int c = 100; c <= 120; ++c) points.push_back(P(c * 10.0f + 5.0f, c * 10.0f + 5.0f, 100));
    ASSERT_TRUE(p.SetPoints(points.data(), static_cast<int>(points.size()), 0, 1, false));
    p.Sort(false);
    for (int c = 100; c <= 120; ++c) EXPECT_FLOAT_EQ(p.GetZOutput(0)[c], c * 10.0f) << c;

    // A jump of J or more is not interpolated.
    std::vector<kConfocalPoint> steep = {P(1005, 0), P(1015, 30), P(1025, 60)};
    ASSERT_TRUE(p.SetPoints(steep.data(), 3, 0, 1, false));
    p.Sort(false);
    EXPECT_EQ(p.GetZOutput(0)[101], 30.0f);
}

TEST(ProfileHandlerFillGaps, GapsAndJumpLimits) {
    struct Case {
        std::string name;
        std::vector<float> z;
        int maxGap;
        int maxPoints;
        std::vector<float> minThicknesses;
        int layer;
        std::vector<float> expected;
    };
    const std::vector<Case> cases = {
        {"three columns, small jump",
         {90, 100, NO, NO, NO, 110, 120},
         3,
         1,
         {},
         0,
         {90, 100, 102.5f, 105, 107.5f, 110, 120}},
        {"wider than allowed",
         {90, 100, NO, NO, NO, NO, 110, 120},
         3,
         1,
         {},
         0,
         {90, 100, NO, NO, NO, NO, 110, 120}},
        {"single layer, jump 150 over two",
         {0, 100, NO, NO, 250, 250},
         3,
         1,
         {},
         0,
         {0, 100, NO, NO, 250, 250}},
        {"single layer, jump 120 over one", {0, 100, NO, 220, 220}, 3, 1, {}, 0, {0, 100, 160, 220, 220}},
        {"several layers, jump 25", {0, 100, NO, 125, 125}, 3, 2, {}, 0, {0, 100, NO, 125, 125}},
        {"several layers, jump 20", {0, 100, NO, 120, 120}, 3, 2, {}, 0, {0, 100, 110, 120, 120}},
        {"long gaps bridge any jump",
         {0, 100, NO, NO, NO, NO, 500, 0},
         5,
         2,
         {},
         0,
         {0, 100, 180, 260, 340, 420, 500, 0}},
        {"minimum thickness is strict",
         {0, 100, NO, NO, NO, NO, 500, 0},
         5,
         2,
         {30},
         0,
         {0, 100, NO, NO, NO, NO, 500, 0}},
        {"minimum thickness allows 10 more",
         {0, 100, NO, NO, NO, NO, 135, 0},
         5,
         2,
         {30},
         0,
         {0, 100, 107, 114, 121, 128, 135, 0}},
        {"thickness of another layer", {0, 100, NO, 135, 0}, 3, 2, {30, 5}, 1, {0, 100, NO, 135, 0}},
        {"layer beyond the list",
         {0, 100, NO, NO, NO, NO, 500, 0},
         5,
         2,
         {30, 5},
         2,
         {0, 100, 180, 260, 340, 420, 500, 0}},
        {"leading and trailing ends",
         {NO, NO, 100, 100, NO, NO, NO},
         3,
         1,
         {},
         0,
         {100, 100, 100, 100, 100, 100, 100}},
        {"ends longer than allowed",
         {NO, NO, NO, 100, 100, NO, NO, NO, NO},
         2,
         1,
         {},
         0,
         {NO, NO, NO, 100, 100, NO, NO, NO, NO}},
        {"nothing to fill from", {NO, NO, NO}, 3, 1, {}, 0, {NO, NO, NO}},
    };
    for (const Case& k : cases) {
        ProfileHandler_QVSDK p(1.0, 2048, true);
        p.SetMinThicknesses(k.minThicknesses.data(), static_cast<int>(k.minThicknesses.size()));
        std::vector<float> z = k.z;
        std::vector<float> intensity(z.size());
        for (size_t i = 0; i < z.size(); ++i) intensity[i] = z[i] == NO ? NO : 10.0f;
        p.FillGaps(k.maxGap, z.data(), intensity.data(), static_cast<int>(z.size()), k.maxPoints, k.layer);
        ASSERT_EQ(z.size(), k.expected.size()) << k.name;
        for (size_t i = 0; i < z.size(); ++i) {
            EXPECT_NEAR(z[i], k.expected[i], 1e-3) << k.name << " at " << i;
            EXPECT_EQ(intensity[i] == NO, k.expected[i] == NO) << k.name << " intensity at " << i;
        }
    }
}

TEST(ProfileHandlerFillGaps, FillGapXMaxOfTheLine) {
    // The documented example through a whole line: fill_gap_x_max 3 at step 1 allows three columns.
    for (float fill : {3.0f, 2.9f, 0.0f}) {
        ProfileHandler_QVSDK p(1.0, 2048, true);
        p.SetFillGapXMax(fill);
        std::vector<kConfocalPoint> points;
        AddSurface(points, 10, 20, 100);
        AddSurface(points, 24, 30, 110);
        ASSERT_TRUE(p.SetPoints(points.data(), static_cast<int>(points.size()), 0, 1, false));
        p.Sort(false);
        if (fill >= 3) {
            EXPECT_EQ(Layer(p, 0, 20, 24), (std::vector<float>{100, 102.5f, 105, 107.5f, 110}));
            EXPECT_EQ(p.GetIntensityOutput(0)[22], 100.0f);
        } else {
            EXPECT_EQ(Layer(p, 0, 20, 24), (std::vector<float>{100, NO, NO, NO, 110})) << fill;
        }
    }
}

TEST(ProfileHandlerTrimEdges, DimColumnsAtBothEndsOfALongRun) {
    ProfileHandler_QVSDK p(1.0, 2048, true);
    p.SetTrimEdges(true);
    std::vector<kConfocalPoint> points;
    for (int c = 100; c <= 199; ++c) {
        const bool dim = c <= 102 || c >= 197;
        points.push_back(P(static_cast<float>(c), 100, dim ? 5.0f : 100.0f));
    }
    AddSurface(points, 100, 199, 50, 1.0, 100);  // a second layer moves up where the first is trimmed
    ASSERT_TRUE(p.SetPoints(points.data(), static_cast<int>(points.size()), 0, 2, false));
    p.Sort(false);
    // The scan keeps the last position whose next three columns are brighter by 48, so the trimmed
    // edge reaches two columns into the bright part.
    for (int c = 100; c <= 199; ++c) {
        const bool trimmed = c <= 104 || c >= 195;
        EXPECT_EQ(p.GetZOutput(0)[c], trimmed ? 50.0f : 100.0f) << c;
        EXPECT_EQ(p.GetZOutput(1)[c], trimmed ? NO : 50.0f) << c;
    }
    // A short run is left alone.
    std::vector<kConfocalPoint> shortRun;
    for (int c = 300; c <= 310; ++c)
        shortRun.push_back(P(static_cast<float>(c), 100, c <= 302 ? 5.0f : 100.0f));
    ASSERT_TRUE(p.SetPoints(shortRun.data(), static_cast<int>(shortRun.size()), 0, 1, false));
    p.Sort(false);
    EXPECT_EQ(p.GetZOutput(0)[300], 100.0f);
}

TEST(ProfileHandlerFilter, MedianAndAverageWorkOnRunsOfValidHeights) {
    ProfileHandler_QVSDK p(1.0, 2048, true);
    p.SetMedianFilterSizes(3, 0);
    std::vector<kConfocalPoint> points = {
        P(10, 100),     P(11, 190),     P(12, 100),     P(13, 100),  // a spike inside a run
        P(20, 300),     P(21, 100),                                  // a run of two stays as it is
        P(30, 100, 10), P(31, 100, 90), P(32, 100, 10),              // intensities are not filtered at size 0
    };
    ASSERT_TRUE(p.SetPoints(points.data(), static_cast<int>(points.size()), 0, 1, false));
    p.Sort(true);
    EXPECT_EQ(Layer(p, 0, 10, 13), (std::vector<float>{100, 100, 100, 100}));
    EXPECT_EQ(Layer(p, 0, 20, 21), (std::vector<float>{300, 100}));
    EXPECT_EQ(p.GetIntensityOutput(0)[31], 90.0f);

    // An even size is widened: 4 filters like 5.
    ProfileHandler_QVSDK q(1.0, 2048, true);
    q.SetMedianFilterSizes(4, 2);
    std::vector<kConfocalPoint> run;
    const float heights[] = {0, 0, 9, 9, 0, 0, 0, 0};
    for (int c = 0; c < 8; ++c)
        run.push_back(P(static_cast<float>(50 + c), heights[c], c == 3 ? 200.0f : 20.0f * c));
    ASSERT_TRUE(q.SetPoints(run.data(), 8, 0, 1, false));
    q.Sort(true);
    EXPECT_EQ(Layer(q, 0, 50, 57), (std::vector<float>{0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(q.GetIntensityOutput(0)[53], 80.0f);  // size 2 becomes 3

    // Moving average: window = size / step, runs on their own.
    ProfileHandler_QVSDK a(2.0, 2048, false);
    a.SetAverageFilterSizes(6, 0);
    std::vector<kConfocalPoint> ramp;
    for (int c = 0; c < 6; ++c) ramp.push_back(P(2.0f * (70 + c), 10.0f * c));
    ramp.push_back(P(2.0f * 90, 1000));
    ASSERT_TRUE(a.SetPoints(ramp.data(), 7, 1, 1, false));
    a.Sort(true);
    EXPECT_EQ(Layer(a, 0, 70, 75), (std::vector<float>{5, 10, 20, 30, 40, 45}));
    EXPECT_EQ(a.GetZOutput(0)[90], 1000.0f);
}

TEST(ProfileHandlerRefraction, IndexesAndThicknessMode) {
    struct Case {
        std::string name;
        std::vector<double> indexes;
        bool thicknessMode;
        std::vector<float> in;
        std::vector<float> out;
    };
    const std::vector<Case> cases = {
        {"index 1.5", {1.5}, false, {100, 90}, {100, 85}},
        {"thickness", {1.5}, true, {100, 90}, {100, 15}},
        {"thickness without indexes", {}, true, {100, 90, 60}, {100, 10, 30}},
        {"short list leaves deeper gaps unscaled", {2.0}, false, {100, 90, 60}, {100, 80, 50}},
        {"missing middle layer clears below", {1.5, 2.0}, false, {100, NO, 80}, {100, NO, NO}},
        {"missing middle layer in thickness mode", {1.5, 2.0}, true, {100, NO, 80}, {100, NO, 40}},
        {"missing first layer clears all", {1.5}, true, {NO, 90, 80}, {NO, NO, NO}},
        {"nothing to do", {}, false, {100, 90}, {100, 90}},
    };
    for (const Case& k : cases) {
        ProfileHandler_QVSDK p(1.0, 2048, true);
        p.SetRefractiveIndexes(k.indexes.data(), static_cast<int>(k.indexes.size()));
        p.SetThicknessMode(k.thicknessMode);
        const int layers = static_cast<int>(k.in.size());
        for (int l = 0; l < layers; ++l) p.GetZOutput(l)[5] = k.in[l];
        p.UseRefractiveIndexes(layers, 10);
        for (int l = 0; l < layers; ++l)
            EXPECT_FLOAT_EQ(p.GetZOutput(l)[5], k.out[l]) << k.name << " layer " << l;
    }
}

TEST(ProfileHandlerResample, CoarserSpacingAveragesOverlappingColumns) {
    ProfileHandler_QVSDK p(10.0, 100, false);
    float* z = p.GetZOutput(0);
    float* intensity = p.GetIntensityOutput(0);
    for (int c = 0; c < 100; ++c) {
        z[c] = static_cast<float>(c);
        intensity[c] = 200.0f + c;
    }
    p.Resample(0, 20);
    ASSERT_EQ(p.GetResampledLength(), 50);
    for (int m = 0; m < 50; ++m) {
        EXPECT_FLOAT_EQ(p.GetResampledZ()[m], 2 * m + 0.5f) << m;
        EXPECT_FLOAT_EQ(p.GetResampledIntensity()[m], std::min(200.0f + 2 * m + 0.5f, 255.0f)) << m;
    }

    // Missing columns carry no weight; a sample without any valid column has no data and intensity 0.
    z[10] = intensity[10] = 9999999.0f;
    z[20] = z[21] = intensity[20] = intensity[21] = 9999999.0f;
    p.Resample(0, 20);
    EXPECT_FLOAT_EQ(p.GetResampledZ()[5], 11.0f);
    EXPECT_EQ(p.GetResampledZ()[10], NO);
    EXPECT_EQ(p.GetResampledIntensity()[10], 0.0f);

    // Spacing 30: sample 0 covers columns 0, 1, 2; sample 1 columns 3, 4, 5; the length counts the
    // sample ends inside the line.
    p.Resample(0, 30);
    EXPECT_EQ(p.GetResampledLength(), 33);
    EXPECT_FLOAT_EQ(p.GetResampledZ()[1], 4.0f);
    // Spacing 25 splits column 2 between the first two samples.
    p.Resample(0, 25);
    EXPECT_EQ(p.GetResampledLength(), 40);
    EXPECT_FLOAT_EQ(p.GetResampledZ()[0], (0 + 1 + 0.5f * 2) / 2.5f);
}

TEST(ProfileHandlerResample, FinerSpacingInterpolatesBetweenColumns) {
    ProfileHandler_QVSDK p(10.0, 10, false);
    float* z = p.GetZOutput(0);
    float* intensity = p.GetIntensityOutput(0);
    for (int c = 0; c < 10; ++c) {
        z[c] = 100.0f + 10 * c;
        intensity[c] = 250.0f + c;
    }
    z[6] = intensity[6] = 9999999.0f;
    p.Resample(0, 2.5);
    ASSERT_EQ(p.GetResampledLength(), 40);
    const float* r = p.GetResampledZ();
    EXPECT_FLOAT_EQ(r[0], 100.0f);
    EXPECT_FLOAT_EQ(r[1], 102.5f);
    EXPECT_FLOAT_EQ(r[6], 115.0f);
    EXPECT_FLOAT_EQ(p.GetResampledIntensity()[5], 251.25f);
    EXPECT_EQ(p.GetResampledIntensity()[9], 252.25f);
    // Samples between columns 5 and 6 (6 has no data) have none; column 7 after a gap takes its value.
    for (int m = 21; m <= 24; ++m) {
        EXPECT_EQ(r[m], NO) << m;
        EXPECT_EQ(p.GetResampledIntensity()[m], 0.0f) << m;
    }
    EXPECT_FLOAT_EQ(r[25], 170.0f);
    EXPECT_FLOAT_EQ(r[28], 170.0f);
    EXPECT_FLOAT_EQ(r[29], 172.5f);
    // The last samples lie on the last column.
    EXPECT_FLOAT_EQ(r[39], 190.0f);

    // Intensity interpolation is capped at 255.
    intensity[8] = 300.0f;
    p.Resample(0, 2.5);
    EXPECT_EQ(p.GetResampledIntensity()[33], 255.0f);

    // Buffers grow for more samples than columns; spacing below 0.1 yields nothing.
    p.Resample(0, 0.125);
    EXPECT_EQ(p.GetResampledLength(), 800);
    EXPECT_FLOAT_EQ(p.GetResampledZ()[4], 100.5f);
    p.Resample(0, 0.05);
    EXPECT_EQ(p.GetResampledLength(), 0);
    p.Resample(10, 20);
    EXPECT_EQ(p.GetResampledLength(), 0);
}

TEST(ProfileHandlerFilterY, NoiseIsRemovedAndConfirmedPointsAdded) {
    auto make = [](std::vector<kConfocalPoint> points) {
        auto p = std::make_unique<ProfileHandler_QVSDK>(1.0, 2048, true);
        EXPECT_TRUE(p->SetPoints(points.data(), static_cast<int>(points.size()), 0, 2, false));
        return p;
    };
    auto previous = make({P(10, 100, 40, 1), P(10, 300, 50, 2), P(12, 100)});
    auto middle = make({P(10, 100), P(10, 500), P(12, 129)});
    auto next = make({P(10, 105), P(10, 350, 70, 4), P(12, 500)});
    int removed = 0;
    int added = 0;
    middle->FilterY(*next, *previous, removed, added);
    // 500 at column 10 is on neither neighbour; 300 is on both within twice the tolerance; 129 is
    // within 30 of the previous line.
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(added, 1);
    ASSERT_EQ(middle->PointCount(10), 2);
    EXPECT_EQ(middle->Point(1, 10).z, 325.0f);
    EXPECT_EQ(middle->Point(1, 10).intensity, 60.0f);
    EXPECT_EQ(middle->Point(1, 10).extra, 3.0f);
    EXPECT_EQ(middle->PointCount(12), 1);
}

TEST(ProfileHandlerFlip, LinearLineIsMirroredWhole) {
    for (int width : {2048, 100}) {
        std::vector<kConfocalPoint> points;
        AddSurface(points, 10, 30, 100);
        AddSurface(points, 33, 44, 130);
        points.push_back(P(45, 150));  // a spike for the median
        AddSurface(points, 46, 60, 130);
        ProfileHandler_QVSDK straight(1.0, width, true);
        ProfileHandler_QVSDK flipped(1.0, width, true);
        for (ProfileHandler_QVSDK* p : {&straight, &flipped}) {
            p->SetFillGapXMax(3);
            p->SetMedianFilterSizes(5, 0);
            ASSERT_TRUE(p->SetPoints(points.data(), static_cast<int>(points.size()), 0, 1, p == &flipped));
            p->Sort(true);
        }
        EXPECT_FLOAT_EQ(straight.GetZOutput(0)[32], 120.0f);
        EXPECT_FLOAT_EQ(straight.GetZOutput(0)[45], 130.0f);
        for (int c = 0; c < width; ++c) {
            ASSERT_EQ(flipped.GetZOutput(0)[width - 1 - c], straight.GetZOutput(0)[c])
                << width << " at " << c;
        }
    }
}

}  // namespace
