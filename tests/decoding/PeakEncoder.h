// A small encoder of peak frames as the sensors send them, written from the record layouts and not
// from the decoder, so that the tests compare two readings of the layouts.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace peak_encoder {

using Record = std::array<uint8_t, 8>;

// Packs fields into the 64-bit little-endian record: Put(first bit, width, value).
class Bits {
public:
    Bits& Put(int first, int width, int64_t value) {
        const uint64_t mask = width == 64 ? ~0ull : (1ull << width) - 1;
        bits_ |= (static_cast<uint64_t>(value) & mask) << first;
        return *this;
    }
    Record Bytes() const {
        Record r{};
        for (int b = 0; b < 8; ++b) r[b] = static_cast<uint8_t>(bits_ >> (8 * b));
        return r;
    }

private:
    uint64_t bits_ = 0;
};

// QVSkarvel up to minor 6: denominator field d, D = d - 16384.
inline Record FormatA(int n, int d, int i, int r, int c) {
    return Bits().Put(0, 15, n).Put(15, 14, d).Put(30, 12, i).Put(42, 11, r).Put(53, 11, c).Bytes();
}

// D = d - 2048.
inline Record FormatB(int o, int n, int d, int i, int r, int c) {
    return Bits()
        .Put(0, 8, o)
        .Put(8, 11, n)
        .Put(19, 11, d)
        .Put(30, 12, i)
        .Put(42, 11, r)
        .Put(53, 11, c)
        .Bytes();
}

// Signed 24-bit z and x (1/512 pixel), 16-bit intensity (1/16).
inline Record FormatW(int32_t zv, int32_t xv, int iv) {
    return Bits().Put(0, 24, zv).Put(24, 24, xv).Put(48, 16, iv).Bytes();
}

inline Record Dual(int p, int c, int i2, int i) {
    return Bits().Put(0, 20, p).Put(20, 11, c).Put(31, 12, i2).Put(43, 12, i).Bytes();
}

inline std::array<uint8_t, 8> SensorHeader(uint8_t first, uint32_t ticks, uint32_t encoder) {
    return {first,
            static_cast<uint8_t>(ticks),
            static_cast<uint8_t>(ticks >> 8),
            static_cast<uint8_t>(ticks >> 16),
            static_cast<uint8_t>(encoder),
            static_cast<uint8_t>(encoder >> 8),
            static_cast<uint8_t>(encoder >> 16),
            static_cast<uint8_t>(encoder >> 24)};
}

// Records followed by the final 8-byte block, which is filled with a record-like pattern so that
// decoding it by mistake shows.
inline std::vector<uint8_t> Payload(const std::vector<Record>& records) {
    std::vector<uint8_t> bytes;
    for (const Record& r : records) bytes.insert(bytes.end(), r.begin(), r.end());
    bytes.insert(bytes.end(), 8, 0x5A);
    return bytes;
}

}  // namespace peak_encoder
