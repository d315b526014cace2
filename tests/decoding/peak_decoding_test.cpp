#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "PeakEncoder.h"
#include "reception/CamProperties.h"
#include "reception/PeakDecoding.h"

namespace {

using namespace peak_encoder;

constexpr int QVSKARVEL = 0;
constexpr int QVCAM_V2 = 1;
constexpr int QVTARN = 2;

struct Camera {
    int family = QVCAM_V2;
    int fwMajor = 3;
    int fwMinor = 0;
    float interleave = 1.0f;
    int firLength = 16;
    int offsetAdjustY = 0;
    bool signalDetectionFilterLength = false;
};

void Configure(CamProperties& slot, const Camera& camera) {
    slot.familyIndex = camera.family;
    slot.family = camera.family;
    slot.fwMajor = camera.fwMajor;
    slot.fwMinor = camera.fwMinor;
    slot.interleave = camera.interleave;
    slot.firLength = camera.firLength;
    slot.offsetAdjustY = camera.offsetAdjustY;
    slot.supportsSignalDetectionFilterLength = camera.signalDetectionFilterLength;
}

// Decodes a frame body (records and final block) the way the grabber does: the count from the length.
std::vector<STRUCT_POINT> Decode(CamProperties& slot, const std::vector<uint8_t>& payload) {
    const int length = static_cast<int>(payload.size());
    slot.numPoints = length / 8 - 1;
    std::vector<STRUCT_POINT> points(std::max(slot.numPoints, 0));
    EXPECT_TRUE(ProcessPeaks(payload.data(), length, slot, points.data()));
    points.resize(slot.numPoints);
    return points;
}

constexpr uint32_t FloatBits(float f) {
    return std::bit_cast<uint32_t>(f);
}

void ExpectPoint(const STRUCT_POINT& actual, const STRUCT_POINT& expected) {
    EXPECT_FLOAT_EQ(actual.x, expected.x);
    EXPECT_FLOAT_EQ(actual.z, expected.z);
    EXPECT_FLOAT_EQ(actual.intensity, expected.intensity);
    EXPECT_EQ(actual.extra, expected.extra);
}

struct RecordCase {
    std::string name;
    Camera camera;
    Record record;
    bool kept;
    STRUCT_POINT expected;
    bool dualIntensity;
};

// One record per case: the format chosen for the camera, its fields and the keep rule.
const std::vector<RecordCase> kRecordCases = {
    {"A_example", {QVSKARVEL, 1, 6}, FormatA(100, 16284, 320, 500, 1000), true, {1000, 500.5f, 20, 0}, false},
    {"A_fir8_doubles_intensity",
     {QVSKARVEL, 1, 6, 1.0f, 8},
     FormatA(0, 0, 100 * 16, 10, 3),
     true,
     {3, 10, 200, 0},
     false},
    {"A_fir8_caps_at_255",
     {QVSKARVEL, 1, 6, 1.0f, 8},
     FormatA(0, 0, 150 * 16, 10, 3),
     true,
     {3, 10, 255, 0},
     false},
    {"A_fir0_leaves_intensity",
     {QVSKARVEL, 1, 6, 1.0f, 0},
     FormatA(0, 0, 320, 10, 3),
     true,
     {3, 10, 20, 0},
     false},
    {"A_zero_intensity_dropped", {QVSKARVEL, 1, 6}, FormatA(100, 16284, 0, 500, 1000), false, {}, false},
    // From minor 7 the same family sends format B.
    {"B_skarvel_minor7",
     {QVSKARVEL, 1, 7},
     FormatB(3, 100, 1948, 320, 500, 1000),
     true,
     {1000, 500 - 1.5f + 0.5f, 20, 0},
     false},
    {"B_v2_fw2_fir8_caps",
     {QVCAM_V2, 2, 0, 1.0f, 8},
     FormatB(0, 0, 0, 2400, 7, 9),
     true,
     {9, 7, 255, 0},
     false},
    {"B_zero_intensity_dropped", {QVCAM_V2, 2}, FormatB(3, 100, 1948, 0, 500, 1000), false, {}, false},
    {"B_double_row_odd",
     {QVCAM_V2, 2, 0, 2.0f},
     FormatB(0, 0, 0, 320, 501, 7),
     true,
     {7, 492.5f, 20, 1},
     false},
    {"B_double_row_even",
     {QVCAM_V2, 2, 0, 2.0f},
     FormatB(2, 100, 1948, 320, 500, 7),
     true,
     {7, 2 * (250 - 1 + 0.5f) - 8.5f, 20, 0},
     false},
    {"W_negative_z", {QVCAM_V2, 3}, FormatW(0xFFFE00, 100 * 512, 320), true, {100, -1.0f, 20, 0}, false},
    // No FIR scaling and no limit in format W.
    {"W_negative_x_large_values",
     {QVCAM_V2, 3, 0, 1.0f, 8},
     FormatW(0x7FFFFF, -1280, 300 * 16),
     true,
     {-2.5f, 8388607 / 512.0f, 300, 0},
     false},
    {"W_zero_intensity_dropped", {QVCAM_V2, 3}, FormatW(512, 512, 0), false, {}, false},
    {"QvTarn_z_minus_offset",
     {QVTARN, 1, 2, 1.0f, 16, 20},
     FormatW(100 * 512, 1000 * 512, 320),
     true,
     {1000, 80, 20, 0},
     true},
    // QvTarn keeps a record while any of bytes 4..7 is set, intensity 0 or not.
    {"QvTarn_kept_without_intensity", {QVTARN, 1, 2}, FormatW(512, 0x100, 0), true, {0.5f, 1, 0, 0}, true},
    {"QvTarn_bytes_4_to_7_zero_dropped", {QVTARN, 1, 2}, FormatW(512, 0xFF, 0), false, {}, true},
    {"Dual_intensity",
     {QVSKARVEL, 1, 6, 1.0f, 16, 20, true},
     Dual(300 * 512 + 256, 1500, 160, 4095),
     true,
     {1500, 280.5f, 4095 / 16.0f, FloatBits(10.0f)},
     true},
    {"Dual_intensity_on_QvTarn",
     {QVTARN, 1, 2, 1.0f, 16, 0, true},
     Dual(512, 2047, 0, 16),
     true,
     {2047, 1, 1, FloatBits(0.0f)},
     true},
    {"Dual_zero_position_dropped",
     {QVCAM_V2, 3, 0, 1.0f, 16, 0, true},
     Dual(0, 5, 160, 320),
     false,
     {},
     true},
};

class RecordDecoding : public testing::TestWithParam<RecordCase> {};

TEST_P(RecordDecoding, DecodesOneRecord) {
    const RecordCase& c = GetParam();
    CamProperties slot;
    Configure(slot, c.camera);
    const std::vector<STRUCT_POINT> points = Decode(slot, Payload({c.record}));
    EXPECT_EQ(slot.dualIntensity, c.dualIntensity);
    ASSERT_EQ(points.size(), c.kept ? 1u : 0u);
    if (c.kept) ExpectPoint(points[0], c.expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, RecordDecoding, testing::ValuesIn(kRecordCases),
                         [](const auto& info) { return info.param.name; });

TEST(PeakDecoding, DroppedRecordsShrinkTheFrameAndKeepTheOrder) {
    CamProperties slot;
    Configure(slot, {QVCAM_V2, 3});
    slot.dualIntensity = true;  // left over from another camera setting
    const std::vector<int> intensities = {20, 0, 30, 0, 0, 40, 0};
    std::vector<Record> records;
    for (size_t k = 0; k < intensities.size(); ++k) {
        records.push_back(FormatW(512, static_cast<int32_t>(k) * 512, intensities[k] * 16));
    }
    const std::vector<STRUCT_POINT> points = Decode(slot, Payload(records));
    ASSERT_EQ(points.size(), 3u);
    EXPECT_FALSE(slot.dualIntensity);
    const float xs[] = {0, 2, 5}, is[] = {20, 30, 40};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(points[k].x, xs[k]);
        EXPECT_EQ(points[k].intensity, is[k]);
    }
}

struct CountCase {
    std::string name;
    int payloadBytes;
    int numPoints;
    int maxPointCount;
    int expected;
};

// The buffers are sized exactly, so that a read past the payload or a write past the points shows under
// the address sanitizer.
const std::vector<CountCase> kCountCases = {
    {"AsTheGrabberComputesIt", 5 * 8, 4, 10000, 4}, {"NumPointsBeyondPayload", 5 * 8, 100, 10000, 4},
    {"FinalBlockNotARecord", 5 * 8, 5, 10000, 4},   {"PartialBlockIgnored", 5 * 8 + 7, 5, 10000, 4},
    {"LimitedByMaxPointCount", 11 * 8, 10, 3, 3},   {"NegativeNumPoints", 5 * 8, -1, 10000, 0},
    {"ShorterThanOneBlock", 7, 5, 10000, 0},        {"OnlyTheFinalBlock", 8, 1, 10000, 0},
};

class RecordCount : public testing::TestWithParam<CountCase> {};

TEST_P(RecordCount, NeverReadsPastThePayload) {
    const CountCase& c = GetParam();
    CamProperties slot;
    Configure(slot, {QVCAM_V2, 3});
    slot.maxPointCount = c.maxPointCount;
    slot.numPoints = c.numPoints;
    std::vector<uint8_t> payload;
    while (static_cast<int>(payload.size()) + 8 <= c.payloadBytes) {
        const Record r = FormatW(512, 512, 320);
        payload.insert(payload.end(), r.begin(), r.end());
    }
    payload.resize(c.payloadBytes, 0x11);
    std::vector<STRUCT_POINT> points(c.expected);
    ASSERT_TRUE(ProcessPeaks(payload.data(), c.payloadBytes, slot, points.data()));
    EXPECT_EQ(slot.numPoints, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Bounds, RecordCount, testing::ValuesIn(kCountCases),
                         [](const auto& info) { return info.param.name; });

struct HeaderCase {
    std::string name;
    Camera camera;
    int bytesAfterTransportHeader;
    bool parsed;
    float durationUs;
};

constexpr uint8_t kHsz = 16;

const std::vector<HeaderCase> kHeaderCases = {
    {"QVCAM_V2_fw1_has_none", {QVCAM_V2, 1}, 64, false, 0},
    {"QVCAM_V2_fw2", {QVCAM_V2, 2}, 64, true, 1000 * 10.5f / 1000},
    {"QVCAM_V2_fw3", {QVCAM_V2, 3}, 64, true, 1000 * 10.5f / 1000},
    {"QvTarn_10ns_tick", {QVTARN, 1}, 8, true, 1000 * 10.0f / 1000},
    {"QvTarn_too_short", {QVTARN, 1}, 7, false, 0},
    {"QVSkarvel_has_none", {QVSKARVEL, 1, 7}, 64, false, 0},
};

class SensorHeaderParsing : public testing::TestWithParam<HeaderCase> {};

TEST_P(SensorHeaderParsing, ParsesWhenTheFamilySendsOne) {
    const HeaderCase& c = GetParam();
    CamProperties slot;
    Configure(slot, c.camera);
    std::vector<uint8_t> frame(kHsz, 0xEE);
    const auto sensor = SensorHeader(0xA5, 1000, 0xFFFFFFFBu);
    frame.insert(frame.end(), sensor.begin(), sensor.end());
    frame.resize(kHsz + c.bytesAfterTransportHeader, 0);

    HEADER header{};
    int offset = -1;
    EXPECT_EQ(ParseQvHeader(frame.data(), static_cast<int>(frame.size()), kHsz, slot, &header, &offset),
              c.parsed);
    if (c.parsed) {
        EXPECT_EQ(offset, kHsz + 8);
        EXPECT_EQ(header.flags, 7u);
        EXPECT_EQ(header.headerBits, 5);
        EXPECT_FLOAT_EQ(header.durationUs, c.durationUs);
        EXPECT_EQ(header.encoder, -5);
    } else {
        EXPECT_EQ(offset, kHsz);
        EXPECT_EQ(header.flags, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Families, SensorHeaderParsing, testing::ValuesIn(kHeaderCases),
                         [](const auto& info) { return info.param.name; });

TEST(SensorHeader, FullTickRangeConvertsInSinglePrecision) {
    CamProperties slot;
    Configure(slot, {QVTARN, 1});
    const auto bytes = SensorHeader(0, 0xFFFFFF, 0);
    HEADER header{};
    int offset = 0;
    ASSERT_TRUE(ParseQvHeader(bytes.data(), 8, 0, slot, &header, &offset));
    EXPECT_EQ(header.durationUs, static_cast<float>(16777215) * 10.0f / 1000.0f);
}

// Whole frames as the grabber sees them: the same bytes after the transport header are a sensor header
// on firmware 2.x and the first peak on firmware 1.x.
TEST(PeakFrame, SensorHeaderDependsOnFirmware) {
    const Record first = FormatB(0, 0, 0, 320, 100, 1);
    const Record second = FormatB(0, 0, 0, 480, 200, 2);
    std::vector<uint8_t> frame(kHsz, 0xEE);
    frame.insert(frame.end(), first.begin(), first.end());
    const std::vector<uint8_t> rest = Payload({second});
    frame.insert(frame.end(), rest.begin(), rest.end());

    struct Case {
        int fwMajor;
        int offset;
        std::vector<float> rows;
    };
    for (const Case& c : {Case{1, kHsz, {100, 200}}, Case{2, kHsz + 8, {200}}}) {
        SCOPED_TRACE(c.fwMajor);
        CamProperties slot;
        Configure(slot, {QVCAM_V2, c.fwMajor});
        HEADER header{};
        int offset = 0;
        ParseQvHeader(frame.data(), static_cast<int>(frame.size()), kHsz, slot, &header, &offset);
        ASSERT_EQ(offset, c.offset);
        const std::vector<uint8_t> payload(frame.begin() + offset, frame.end());
        const std::vector<STRUCT_POINT> points = Decode(slot, payload);
        ASSERT_EQ(points.size(), c.rows.size());
        for (size_t k = 0; k < points.size(); ++k) EXPECT_EQ(points[k].z, c.rows[k]);
    }
}

TEST(PeakArray, OwnedBufferFollowsTheArray) {
    PeakArray owning = PeakArray::Owning(4);
    owning.count = 4;
    STRUCT_POINT* buffer = owning.points;
    ASSERT_NE(buffer, nullptr);
    buffer[3] = {1, 2, 3, 4};

    PeakArray moved(std::move(owning));
    EXPECT_EQ(moved.points, buffer);
    EXPECT_EQ(moved.count, 4);
    EXPECT_EQ(owning.points, nullptr);
    EXPECT_EQ(owning.count, 0);
    EXPECT_FALSE(owning.owned);

    PeakArray assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.points[3].extra, 4u);
    EXPECT_EQ(moved.points, nullptr);
    // The buffer is freed by the array; the sanitizer build reports a leak or a double free otherwise.
}

TEST(PeakArray, BorrowedBufferStaysWithItsPool) {
    std::vector<STRUCT_POINT> pool(8);
    {
        PeakArray borrowing = PeakArray::Borrowing(pool.data());
        EXPECT_FALSE(borrowing.owned);
        borrowing.count = 2;
        borrowing.Release();
        EXPECT_EQ(borrowing.points, nullptr);
        EXPECT_EQ(borrowing.count, 0);
        borrowing = PeakArray::Borrowing(pool.data());
    }
    pool[7].x = 1;  // still ours
}

}  // namespace
