#include "reception/Interleaving.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr uint32_t LONG = 0;
constexpr uint32_t SHORT = 1;

STRUCT_POINT P(float x, float z, float intensity, uint32_t extra) {
    return {x, z, intensity, extra};
}

using Points = std::vector<STRUCT_POINT>;

void ExpectPoints(const STRUCT_POINT* actual, int count, const Points& expected) {
    ASSERT_EQ(count, static_cast<int>(expected.size()));
    for (int k = 0; k < count; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(actual[k].x, expected[k].x);
        EXPECT_EQ(actual[k].z, expected[k].z);
        EXPECT_EQ(actual[k].intensity, expected[k].intensity);
        EXPECT_EQ(actual[k].extra, expected[k].extra);
    }
}

struct FilterCase {
    std::string name;
    Points input;
    Points expected;
};

// Target 128, height threshold 5.
const std::vector<FilterCase> kTargetCases = {
    {"ShortCloserToTargetReplacesLong",
     {P(10, 100, 200, LONG), P(10, 102, 120, SHORT)},
     {P(10, 102, 120, SHORT)}},
    {"LongArrivingSecondLoses", {P(10, 102, 120, SHORT), P(10, 100, 200, LONG)}, {P(10, 102, 120, SHORT)}},
    {"LongCloserToTargetStays", {P(10, 100, 130, LONG), P(10, 101, 60, SHORT)}, {P(10, 100, 130, LONG)}},
    {"EqualDistanceKeepsTheFirst", {P(10, 100, 136, LONG), P(10, 101, 120, SHORT)}, {P(10, 100, 136, LONG)}},
    {"SameExposureBothKept",
     {P(10, 100, 120, SHORT), P(10, 101, 200, SHORT)},
     {P(10, 100, 120, SHORT), P(10, 101, 200, SHORT)}},
    {"HeightsApartBothKept",
     {P(10, 100, 200, LONG), P(10, 106, 120, SHORT)},
     {P(10, 100, 200, LONG), P(10, 106, 120, SHORT)}},
    // The height difference is truncated before the comparison: 5.9 counts as 5.
    {"TruncatedHeightDifference",
     {P(10, 100, 200, LONG), P(10, 105.9f, 120, SHORT)},
     {P(10, 105.9f, 120, SHORT)}},
    {"TwinReplacedInItsSlot",
     {P(4, 100, 200, LONG), P(4, 200, 200, LONG), P(4, 201, 128, SHORT), P(4, 300, 50, SHORT)},
     {P(4, 100, 200, LONG), P(4, 201, 128, SHORT), P(4, 300, 50, SHORT)}},
    {"SixthPeakOfAColumnDropped",
     {P(3, 0, 9, LONG), P(3, 10, 9, LONG), P(3, 20, 9, LONG), P(3, 30, 9, LONG), P(3, 40, 9, LONG),
      P(3, 50, 9, LONG)},
     {P(3, 0, 9, LONG), P(3, 10, 9, LONG), P(3, 20, 9, LONG), P(3, 30, 9, LONG), P(3, 40, 9, LONG)}},
    {"ColumnOrderThenSlotOrder",
     {P(700, 1, 1, LONG), P(5, 2, 2, LONG), P(700.9f, 30, 3, LONG)},
     {P(5, 2, 2, LONG), P(700, 1, 1, LONG), P(700.9f, 30, 3, LONG)}},
    {"OffSensorColumnsDropped",
     {P(-1, 1, 1, LONG), P(2048, 2, 2, LONG), P(std::numeric_limits<float>::quiet_NaN(), 3, 3, LONG),
      P(1e30f, 4, 4, LONG), P(-0.5f, 5, 5, LONG), P(2047.5f, 6, 6, LONG)},
     {P(-0.5f, 5, 5, LONG), P(2047.5f, 6, 6, LONG)}},
};

const std::vector<FilterCase> kOpaqueCases = {
    {"ShortBeatsLong", {P(10, 50, 9, LONG), P(10, 80, 9, SHORT)}, {P(10, 80, 9, SHORT)}},
    {"LongDoesNotDisplaceShort", {P(10, 80, 9, SHORT), P(10, 50, 9, LONG)}, {P(10, 80, 9, SHORT)}},
    {"TwoLongSmallerHeight", {P(10, 80, 9, LONG), P(10, 50, 9, LONG)}, {P(10, 50, 9, LONG)}},
    {"TwoShortSmallerHeight", {P(10, 50, 9, SHORT), P(10, 80, 9, SHORT)}, {P(10, 50, 9, SHORT)}},
    {"OtherExtraNeverWins", {P(10, 80, 9, LONG), P(10, 10, 9, 2)}, {P(10, 80, 9, LONG)}},
    {"KeptOtherExtraStaysAgainstShortAndLong",
     {P(10, 80, 9, 2), P(10, 10, 9, SHORT), P(10, 10, 9, LONG)},
     {P(10, 80, 9, 2)}},
    {"OnePerColumnInColumnOrder",
     {P(9, 1, 9, LONG), P(3, 2, 9, LONG), P(9, 0.5f, 9, LONG), P(-2, 0, 9, SHORT)},
     {P(3, 2, 9, LONG), P(9, 0.5f, 9, LONG)}},
};

Interleaving Settings(int filter) {
    return {2.0f, filter, 128.0f, 5.0f};
}

class TargetIntensityFilter : public testing::TestWithParam<FilterCase> {};
class OpaqueSurfaceFilter : public testing::TestWithParam<FilterCase> {};

TEST_P(TargetIntensityFilter, KeepsOnePeakPerSurface) {
    const FilterCase& c = GetParam();
    CInterleaving filter(10000);
    STRUCT_POINT* out = nullptr;
    int outCount = -1;
    filter.FilterByTargetIntensity(c.input.data(), static_cast<int>(c.input.size()), &out, &outCount,
                                   Settings(INTERLEAVE_FILTER_TARGET_INTENSITY));
    ExpectPoints(out, outCount, c.expected);
}

TEST_P(OpaqueSurfaceFilter, KeepsOnePeakPerColumn) {
    const FilterCase& c = GetParam();
    CInterleaving filter(10000);
    STRUCT_POINT* out = nullptr;
    int outCount = -1;
    filter.FilterOpaqueSurface(c.input.data(), static_cast<int>(c.input.size()), &out, &outCount,
                               Settings(INTERLEAVE_FILTER_OPAQUE_SURFACE));
    ExpectPoints(out, outCount, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TargetIntensityFilter, testing::ValuesIn(kTargetCases),
                         [](const auto& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(Cases, OpaqueSurfaceFilter, testing::ValuesIn(kOpaqueCases),
                         [](const auto& info) { return info.param.name; });

TEST(InterleavingFilter, EachCallStartsFromAnEmptyResult) {
    CInterleaving filter(10000);
    STRUCT_POINT* out = nullptr;
    int outCount = -1;
    const Points first = {P(1, 1, 9, LONG), P(2, 1, 9, LONG)};
    filter.FilterOpaqueSurface(first.data(), 2, &out, &outCount, Settings(2));
    ASSERT_EQ(outCount, 2);

    filter.FilterByTargetIntensity(nullptr, 0, &out, &outCount, Settings(1));
    EXPECT_EQ(outCount, 0);

    const Points second = {P(2, 7, 9, SHORT)};
    filter.FilterByTargetIntensity(second.data(), 1, &out, &outCount, Settings(1));
    ExpectPoints(out, outCount, second);
}

TEST(InterleavingFilter, ResultNeverExceedsCapacity) {
    CInterleaving filter(3);
    const Points input = {P(0, 0, 9, LONG), P(1, 0, 9, LONG), P(2, 0, 9, LONG), P(3, 0, 9, LONG),
                          P(4, 0, 9, LONG)};
    STRUCT_POINT* out = nullptr;
    int outCount = -1;
    filter.FilterOpaqueSurface(input.data(), 5, &out, &outCount, Settings(2));
    ExpectPoints(out, outCount, {input[0], input[1], input[2]});
    filter.FilterByTargetIntensity(input.data(), 5, &out, &outCount, Settings(1));
    ExpectPoints(out, outCount, {input[0], input[1], input[2]});
}

struct ApplyCase {
    std::string name;
    float factor;
    int filter;
    bool filtered;
};

// Interleaving counts as on outside 0.95..1.05; only filters 1 and 2 exist.
const std::vector<ApplyCase> kApplyCases = {
    {"Factor1", 1.0f, 1, false},         {"Factor1_04", 1.04f, 2, false},
    {"Factor0_96", 0.96f, 1, false},     {"FilterNone", 2.0f, 0, false},
    {"UnknownFilter", 2.0f, 3, false},   {"TargetIntensity", 2.0f, 1, true},
    {"OpaqueBelowRange", 0.5f, 2, true},
};

class FrameFiltering : public testing::TestWithParam<ApplyCase> {};

TEST_P(FrameFiltering, FiltersInPlaceOnlyWhenInterleaving) {
    const ApplyCase& c = GetParam();
    // Both filters reduce these two to the short peak.
    const Points input = {P(10, 50, 200, LONG), P(10, 52, 120, SHORT)};
    std::vector<STRUCT_POINT> buffer = input;
    PeakArray frame = PeakArray::Borrowing(buffer.data());
    frame.count = 2;

    CInterleaving filter(10000);
    EXPECT_EQ(filter.Apply(frame, {c.factor, c.filter, 128.0f, 5.0f}), c.filtered);
    EXPECT_EQ(frame.points, buffer.data());
    ExpectPoints(frame.points, frame.count, c.filtered ? Points{input[1]} : input);
}

INSTANTIATE_TEST_SUITE_P(Settings, FrameFiltering, testing::ValuesIn(kApplyCases),
                         [](const auto& info) { return info.param.name; });

}  // namespace
