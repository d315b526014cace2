#include "reception/PeakDecoding.h"

#include <algorithm>
#include <utility>

#include "logging/Log.h"
#include "reception/CamProperties.h"

namespace {

uint64_t LoadRecord(const uint8_t* record) {
    uint64_t v;
    std::memcpy(&v, record, sizeof v);
    return v;
}

// Runs `parse` over every record and keeps the points it accepts. A rejected point is overwritten by the
// next one, so the loop needs no branch on the outcome; the slot written is never beyond the record
// index, so `points` needs no more room than there are records.
template <typename Parse>
int Compact(const uint8_t* records, int count, STRUCT_POINT* points, Parse parse) {
    int kept = 0;
    for (int k = 0; k < count; ++k) {
        kept += parse(LoadRecord(records + k * PEAK_RECORD_SIZE), points[kept]) ? 1 : 0;
    }
    return kept;
}

// Fields shared by formats A and B: 12-bit intensity across the two words, row and column.
struct RowColumnIntensity {
    uint32_t intensity;
    uint32_t row;
    uint32_t column;
};

RowColumnIntensity SplitHigh(uint32_t w0, uint32_t w1) {
    return {(w0 >> 30) | ((w1 & 0x3FF) << 2), (w1 >> 10) & 0x7FF, w1 >> 21};
}

// Formats A and B sum the intensity over the FIR window; `scale` brings it back to one sample.
float ScaledIntensity(uint32_t intensity, float scale) {
    return std::min(static_cast<float>(intensity) / 16.0f * scale, 255.0f);
}

int32_t SignExtend24(uint32_t v) {
    return static_cast<int32_t>(v << 8) >> 8;
}

int DecodeFormatA(const uint8_t* records, int count, float scale, STRUCT_POINT* points) {
    return Compact(records, count, points, [scale](uint64_t v, STRUCT_POINT& p) {
        const auto w0 = static_cast<uint32_t>(v);
        const auto w1 = static_cast<uint32_t>(v >> 32);
        const int32_t numerator = static_cast<int32_t>(w0 & 0x7FFF);
        // Always negative, so the divisor below is never 0.
        const int32_t denominator = static_cast<int32_t>((w0 >> 15) & 0x3FFF) - 16384;
        const RowColumnIntensity f = SplitHigh(w0, w1);
        p.x = static_cast<float>(f.column);
        p.z = static_cast<float>(f.row) -
              static_cast<float>(numerator) / static_cast<float>(denominator - numerator);
        p.intensity = ScaledIntensity(f.intensity, scale);
        p.extra = 0;
        return f.intensity != 0;
    });
}

struct FormatB {
    float offset;
    float fraction;
    RowColumnIntensity f;
};

FormatB SplitFormatB(uint64_t v) {
    const auto w0 = static_cast<uint32_t>(v);
    const auto w1 = static_cast<uint32_t>(v >> 32);
    const int32_t numerator = static_cast<int32_t>((w0 >> 8) & 0x7FF);
    const int32_t denominator = static_cast<int32_t>((w0 >> 19) & 0x7FF) - 2048;  // always negative
    return {static_cast<float>(w0 & 0xFF),
            static_cast<float>(numerator) / static_cast<float>(denominator - numerator), SplitHigh(w0, w1)};
}

int DecodeFormatB(const uint8_t* records, int count, float scale, STRUCT_POINT* points) {
    return Compact(records, count, points, [scale](uint64_t v, STRUCT_POINT& p) {
        const FormatB b = SplitFormatB(v);
        p.x = static_cast<float>(b.f.column);
        p.z = static_cast<float>(b.f.row) - b.offset / 2.0f - b.fraction;
        p.intensity = ScaledIntensity(b.f.intensity, scale);
        p.extra = 0;
        return b.f.intensity != 0;
    });
}

// Two rows are read out together: the record's row counts half rows, and its parity tells the row.
int DecodeFormatBDoubleRow(const uint8_t* records, int count, float scale, STRUCT_POINT* points) {
    return Compact(records, count, points, [scale](uint64_t v, STRUCT_POINT& p) {
        const FormatB b = SplitFormatB(v);
        p.x = static_cast<float>(b.f.column);
        p.z = 2.0f * (static_cast<float>(b.f.row) / 2.0f - b.offset / 2.0f - b.fraction) - 8.5f;
        p.intensity = ScaledIntensity(b.f.intensity, scale);
        p.extra = b.f.row & 1u;
        return b.f.intensity != 0;
    });
}

// Layout W: z in bytes 0..2 and x in bytes 3..5 (signed, 1/512 pixel), intensity in bytes 6..7.
void SplitFormatW(uint64_t v, float zOffset, STRUCT_POINT& p) {
    p.x = static_cast<float>(SignExtend24(static_cast<uint32_t>(v >> 24))) / 512.0f;
    p.z = static_cast<float>(SignExtend24(static_cast<uint32_t>(v))) / 512.0f - zOffset;
    p.intensity = static_cast<float>(static_cast<uint32_t>(v >> 48)) / 16.0f;
    p.extra = 0;
}

int DecodeFormatW(const uint8_t* records, int count, STRUCT_POINT* points) {
    return Compact(records, count, points, [](uint64_t v, STRUCT_POINT& p) {
        SplitFormatW(v, 0.0f, p);
        return (v >> 48) != 0;
    });
}

int DecodeQvTarn(const uint8_t* records, int count, int32_t offsetY, STRUCT_POINT* points) {
    const auto zOffset = static_cast<float>(offsetY);
    return Compact(records, count, points, [zOffset](uint64_t v, STRUCT_POINT& p) {
        SplitFormatW(v, zOffset, p);
        return (v >> 32) != 0;
    });
}

}  // namespace

PeakArray::PeakArray(PeakArray&& other) noexcept
    : points(std::exchange(other.points, nullptr)),
      owned(std::move(other.owned)),
      count(std::exchange(other.count, 0)),
      header(other.header) {}

PeakArray& PeakArray::operator=(PeakArray&& other) noexcept {
    if (this != &other) {
        points = std::exchange(other.points, nullptr);
        owned = std::move(other.owned);
        count = std::exchange(other.count, 0);
        header = other.header;
    }
    return *this;
}

PeakArray PeakArray::Borrowing(STRUCT_POINT* buffer) {
    PeakArray array;
    array.points = buffer;
    return array;
}

PeakArray PeakArray::Owning(int capacity) {
    PeakArray array;
    array.owned = std::make_unique_for_overwrite<STRUCT_POINT[]>(static_cast<size_t>(std::max(capacity, 1)));
    array.points = array.owned.get();
    return array;
}

void PeakArray::Release() {
    owned.reset();
    points = nullptr;
    count = 0;
}

PeakDecoder PeakDecoder::For(const CamProperties& slot) {
    PeakDecoder decoder;
    decoder.offsetY = slot.offsetAdjustY;
    const int32_t firLength = slot.firLength;
    // A FIR length of 0 (an odd length halved by interleaving) has no scale; keep the raw intensity
    // rather than turn every point into infinity or NaN.
    decoder.intensityScale = firLength > 0 ? 16.0f / static_cast<float>(firLength) : 1.0f;

    if (slot.supportsSignalDetectionFilterLength) {
        decoder.format = PeakFormat::DualIntensity;
    } else if (slot.family == FAMILY_QVTARN) {
        decoder.format = PeakFormat::QvTarn;
    } else if ((slot.familyIndex == FAMILY_QVSKARVEL && slot.fwMinor > 6) ||
               (slot.familyIndex == FAMILY_QVCAM_V2 && slot.fwMajor < 3)) {
        decoder.format = slot.interleave == 1.0f ? PeakFormat::B : PeakFormat::BDoubleRow;
    } else if (slot.familyIndex == FAMILY_QVSKARVEL) {
        decoder.format = PeakFormat::A;
    } else {
        decoder.format = PeakFormat::W;
    }
    return decoder;
}

int PeakDecoder::Decode(const uint8_t* records, int count, STRUCT_POINT* points) const {
    if (count <= 0) return 0;
    switch (format) {
        case PeakFormat::A:
            return DecodeFormatA(records, count, intensityScale, points);
        case PeakFormat::B:
            return DecodeFormatB(records, count, intensityScale, points);
        case PeakFormat::BDoubleRow:
            return DecodeFormatBDoubleRow(records, count, intensityScale, points);
        case PeakFormat::W:
            return DecodeFormatW(records, count, points);
        case PeakFormat::QvTarn:
            return DecodeQvTarn(records, count, offsetY, points);
        case PeakFormat::DualIntensity:
            return DualIntensities::ProcessPeaks(records, count, offsetY, points);
    }
    return 0;
}

int DualIntensities::ProcessPeaks(const uint8_t* records, int count, int offsetY, STRUCT_POINT* points) {
    int kept = 0;
    for (int k = 0; k < count; ++k) {
        kept += ParseTwoIntensitiesPreciseIntensities(records + k * PEAK_RECORD_SIZE, offsetY, points[kept])
                    ? 1
                    : 0;
    }
    return kept;
}

bool ParseQvHeader(const uint8_t* data, int size, uint8_t hsz, const CamProperties& slot, HEADER* header,
                   int* offset) {
    *offset = hsz;
    const bool qvTarn = slot.family == FAMILY_QVTARN;
    const bool hasHeader = qvTarn || (slot.familyIndex == FAMILY_QVCAM_V2 && slot.fwMajor >= 2);
    if (!hasHeader || data == nullptr || size - hsz < SENSOR_HEADER_SIZE) return false;

    const uint8_t* h = data + hsz;
    const uint32_t ticks = h[1] | (static_cast<uint32_t>(h[2]) << 8) | (static_cast<uint32_t>(h[3]) << 16);
    // The tick is 10 ns on QvTarn and 10.5 ns on QVCAM_V2.
    const float tickNs = qvTarn ? 10.0f : 10.5f;
    uint32_t encoder;
    std::memcpy(&encoder, h + 4, sizeof encoder);

    header->headerBits = h[0] & 0x0F;
    header->durationUs = static_cast<float>(ticks) * tickNs / 1000.0f;
    header->encoder = static_cast<int32_t>(encoder);
    header->flags |= YOXA_HEADER_BITS_VALID | YOXA_HEADER_DURATION_VALID | YOXA_HEADER_ENCODER_VALID;
    *offset = hsz + SENSOR_HEADER_SIZE;
    return true;
}

bool ProcessPeaks(const uint8_t* payload, int length, CamProperties& slot, STRUCT_POINT* points) {
    const int64_t imageBytes = static_cast<int64_t>(slot.imageWidth) * slot.imageHeight;
    if (length >= imageBytes) {
        YLOG(TRACE) << "Buffer limit " << length;
    }

    const PeakDecoder decoder = PeakDecoder::For(slot);
    // The grabber derives numPoints from the same length; the bound here keeps a stale or wrong count
    // from reading past the payload.
    int count =
        std::min({slot.numPoints, static_cast<int32_t>(slot.maxPointCount), PeakRecordCapacity(length)});
    if (payload == nullptr || points == nullptr) count = 0;

    slot.numPoints = decoder.Decode(payload, count, points);
    slot.dualIntensity = decoder.DualIntensity();
    return true;
}
