// The tests' own reading of frames and calibration files, written from the payload description and
// not from the simulator's encoder.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "yoxasim_transport.h"

enum class Format { kA, kB, kW, kTarn, kDual };

struct Point {
    double x, z, intensity, second;
    int extra;
};

struct Frame {
    std::vector<uint8_t> bytes;
    uint32_t headerSize = 0;
    uint32_t number = 0;
    int32_t lost = 0;
    uint64_t timestamp = 0;
};

struct Decoded {
    bool sensorHeader = false;
    uint8_t headerBits = 0;
    uint32_t durationTicks = 0;
    uint32_t encoder = 0;
    std::vector<Point> points;
    size_t records = 0;
};

inline uint64_t Little(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int k = bytes - 1; k >= 0; --k) v = v << 8 | p[k];
    return v;
}

// Takes an image from the transport, copies it and gives it back.
inline bool TakeFrame(int32_t handle, Frame* frame, bool wait = true) {
    void* image = yoxaGetNextImage(handle, wait);
    if (image == nullptr) return false;
    const uint8_t* data = yoxaGetImageData(image);
    frame->bytes.assign(data, data + yoxaGetImageSize(image));
    frame->headerSize = yoxaGetHeaderSize(image);
    frame->number = yoxaGetImageNumber(image);
    frame->lost = yoxaGetImageBytesLost(image);
    frame->timestamp = frame->bytes.size() >= 8 ? Little(frame->bytes.data(), 8) : 0;
    yoxaPopImage(handle, false, image);
    return true;
}

inline std::vector<Frame> TakeFrames(int32_t handle, int count) {
    std::vector<Frame> frames;
    Frame f;
    for (int tries = 0; static_cast<int>(frames.size()) < count && tries < count * 20; ++tries) {
        if (TakeFrame(handle, &f)) frames.push_back(f);
    }
    return frames;
}

inline Decoded Decode(const Frame& frame, Format format, bool sensorHeader, double interleave = 1.0,
                      int firLength = 16) {
    Decoded d;
    size_t offset = frame.headerSize;
    if (sensorHeader && frame.bytes.size() >= offset + 8) {
        const uint8_t* h = frame.bytes.data() + offset;
        d.sensorHeader = true;
        d.headerBits = h[0] & 0x0F;
        d.durationTicks = static_cast<uint32_t>(Little(h + 1, 3));
        d.encoder = static_cast<uint32_t>(Little(h + 4, 4));
        offset += 8;
    }
    long payload = static_cast<long>(frame.bytes.size()) - static_cast<long>(offset);
    if (payload < 8) return d;
    d.records = static_cast<size_t>(payload / 8 - 1);
    for (size_t k = 0; k < d.records; ++k) {
        const uint8_t* rec = frame.bytes.data() + offset + 8 * k;
        uint64_t v = Little(rec, 8);
        uint32_t w0 = static_cast<uint32_t>(v), w1 = static_cast<uint32_t>(v >> 32);
        Point p{0, 0, 0, 0, 0};
        switch (format) {
            case Format::kA: {
                double n = w0 & 0x7FFF, den = static_cast<double>((w0 >> 15) & 0x3FFF) - 16384.0;
                double i = static_cast<double>((w0 >> 30) | (w1 & 0x3FF) << 2);
                p.x = w1 >> 21;
                p.z = ((w1 >> 10) & 0x7FF) - n / (den - n);
                p.intensity = i / 16.0 * 16.0 / firLength;
                break;
            }
            case Format::kB: {
                double o = w0 & 0xFF, n = (w0 >> 8) & 0x7FF,
                       den = static_cast<double>((w0 >> 19) & 0x7FF) - 2048.0;
                double i = static_cast<double>((w0 >> 30) | (w1 & 0x3FF) << 2);
                double r = (w1 >> 10) & 0x7FF;
                p.x = w1 >> 21;
                p.intensity = i / 16.0 * 16.0 / firLength;
                if (interleave == 1.0) {
                    p.z = r - o / 2 - n / (den - n);
                } else {
                    p.z = 2 * (r / 2 - o / 2 - n / (den - n)) - 8.5;
                    p.extra = static_cast<int>(r) % 2;
                }
                break;
            }
            case Format::kW:
            case Format::kTarn: {
                auto signed24 = [](uint64_t u) {
                    return static_cast<double>(static_cast<int32_t>(u << 8) >> 8);
                };
                p.z = signed24(v & 0xFFFFFF) / 512.0;
                p.x = signed24((v >> 24) & 0xFFFFFF) / 512.0;
                p.intensity = static_cast<double>(v >> 48) / 16.0;
                break;
            }
            case Format::kDual:
                p.z = static_cast<double>(v & 0xFFFFF) / 512.0;
                p.x = static_cast<double>((v >> 20) & 0x7FF);
                p.second = static_cast<double>((v >> 31) & 0xFFF) / 16.0;
                p.intensity = static_cast<double>((v >> 43) & 0xFFF) / 16.0;
                break;
        }
        d.points.push_back(p);
    }
    return d;
}

// A calibration text file: "index;c0;c1;c2" per line, millimetres.
class CalibrationTable {
public:
    bool Load(const std::string& path) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string field;
            std::vector<double> c;
            std::getline(fields, field, ';');
            if (std::stoi(field) != static_cast<int>(lines_.size())) return false;
            while (std::getline(fields, field, ';')) c.push_back(std::stod(field));
            lines_.push_back(c);
        }
        return !lines_.empty();
    }
    size_t lines() const { return lines_.size(); }
    // Micrometres.
    double At(int line, double p) const {
        const std::vector<double>& c = lines_.at(static_cast<size_t>(line));
        double v = 0;
        for (size_t k = c.size(); k-- > 0;) v = v * p + c[k];
        return 1000.0 * v;
    }

private:
    std::vector<std::vector<double>> lines_;
};
