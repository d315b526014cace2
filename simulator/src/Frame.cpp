#include "Frame.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace yoxasim {
namespace {

// Deterministic noise: splitmix64 and a Gaussian from it.
class Noise {
public:
    explicit Noise(uint64_t seed) : state_(seed) {}
    double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    double Gauss() {
        double u = std::max(Uniform(), 1e-12);
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * M_PI * Uniform());
    }

private:
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t state_;
};

struct Peak {
    int column;  // imager column
    double row;  // imager row
    double intensity;
    double intensity2;
    bool shortExposure;
};

constexpr double kMaxIntensity = 4095.0 / 16.0;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

void Put64(std::vector<uint8_t>& out, uint64_t v) {
    for (int k = 0; k < 8; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

uint32_t Clamp(double v, uint32_t max) {
    return static_cast<uint32_t>(std::clamp(std::lround(v), 0l, static_cast<long>(max)));
}

// The sub-pixel part of a row as n / (n + |D|) with n + |D| = total: n and the field d that encodes D.
void Fraction(double row, uint32_t total, uint32_t* whole, uint32_t* n) {
    double floor = std::floor(row);
    uint32_t frac = Clamp((row - floor) * total, total);
    *whole = static_cast<uint32_t>(floor);
    if (frac == total) {
        ++*whole;
        frac = 0;
    }
    *n = frac;
}

uint64_t Record(const SensorModel& model, const FrameSettings& s, const Peak& p, double row,
                uint32_t column) {
    switch (model.format) {
        case PeakFormat::kA: {
            uint32_t r, n;
            Fraction(row, 16384, &r, &n);
            uint64_t i = Clamp(p.intensity * s.firLength, 4095);
            // D = d - 16384 = -(16384 - n): d = n.
            return (uint64_t{n} & 0x7FFF) | (uint64_t{n} & 0x3FFF) << 15 | i << 30 |
                   uint64_t{r & 0x7FF} << 42 | uint64_t{column & 0x7FF} << 53;
        }
        case PeakFormat::kB: {
            uint32_t r, n;
            double z = row;
            if (std::fabs(s.interleave - 1.0f) > 1e-6f) {
                // Double-row mode: z = r + 2 f - 8.5, with the row's parity telling the exposure.
                double target = row + 8.5;
                double base = std::floor(target);
                if ((static_cast<int64_t>(base) & 1) != (p.shortExposure ? 1 : 0)) base -= 1.0;
                z = base + (target - base) / 2.0;
                Fraction(z, 2048, &r, &n);
                if ((r & 1) != (p.shortExposure ? 1u : 0u)) {  // the fraction carried into the next row
                    r -= 1;
                    n = 2047;
                }
            } else {
                Fraction(z, 2048, &r, &n);
            }
            uint64_t i = Clamp(p.intensity * s.firLength, 4095);
            return (uint64_t{n} & 0x7FF) << 8 | (uint64_t{n} & 0x7FF) << 19 | i << 30 |
                   uint64_t{r & 0x7FF} << 42 | uint64_t{column & 0x7FF} << 53;
        }
        case PeakFormat::kW:
        case PeakFormat::kTarn: {
            uint64_t zv = static_cast<uint64_t>(std::lround(row * 512.0)) & 0xFFFFFF;
            uint64_t xv = (uint64_t{column} * 512) & 0xFFFFFF;
            uint64_t iv = Clamp(p.intensity * 16.0, 0xFFFF);
            return zv | xv << 24 | iv << 48;
        }
        case PeakFormat::kDual:
        default: {
            uint64_t pos = Clamp(row * 512.0, 0xFFFFF);
            uint64_t i2 = Clamp(p.intensity2 * 16.0, 4095);
            uint64_t i = Clamp(p.intensity * 16.0, 4095);
            return pos | uint64_t{column & 0x7FF} << 20 | i2 << 31 | i << 43;
        }
    }
}

// Where each surface crosses the line, column by column, as the imager sees it.
std::vector<Peak> FindPeaks(const SensorModel& model, const FrameSettings& s, double y, Noise& noise) {
    std::vector<Peak> peaks;
    const TrueCalibration& cal = model.calibration;
    const bool interleaved = model.format == PeakFormat::kB && std::fabs(s.interleave - 1.0f) > 1e-6f;
    const bool currents = model.family != Family::kSkarvel;
    const double light = std::min(s.pulseWidth, s.exposure) * s.gain * 60.0;
    // The sensor compares in its own units: intensity times FIR length / 16 in the A and B formats.
    const double units =
        model.format == PeakFormat::kA || model.format == PeakFormat::kB ? s.firLength / 16.0 : 1.0;
    std::vector<Peak> column;
    peaks.reserve(size_t{s.width} * model.scene.surfaces.size() * (interleaved ? 2 : 1));
    for (uint32_t c = s.offsetX; c < s.offsetX + s.width; ++c) {
        if (c < s.xMin || c > s.xMax) continue;
        double calColumn = static_cast<double>(c) - model.marginX;
        double current =
            currents ? (std::fabs(calColumn - 1024.0) > 512.0 ? s.currentEdges : s.currentMiddle) : 1.0;
        column.clear();
        double transmitted = 1.0;
        for (size_t k = 0; k < model.scene.surfaces.size(); ++k) {
            // The lateral position depends a little on the row: a few rounds settle it.
            double row = cal.rows / 2.0;
            double apparent = NAN;
            for (int round = 0; round < 3 && !std::isnan(row); ++round) {
                double x = cal.X(calColumn, row);
                apparent = NAN;
                double previous = NAN;
                for (size_t j = 0; j <= k; ++j) {
                    double h = model.scene.surfaces[j].height(x, y);
                    if (std::isnan(h)) continue;
                    apparent = std::isnan(previous)
                                   ? h
                                   : apparent - (previous - h) / model.scene.surfaces[j].indexAbove;
                    previous = h;
                }
                if (std::isnan(model.scene.surfaces[k].height(x, y))) apparent = NAN;
                row = std::isnan(apparent) ? NAN : cal.RowOf(calColumn, apparent);
            }
            if (std::isnan(row)) continue;
            const Surface& surface = model.scene.surfaces[k];
            double intensity =
                surface.reflectance * transmitted * light * current * (1.0 + 0.02 * noise.Gauss());
            transmitted *= 0.9;
            double imagerRow = row + model.marginY + 0.03 * noise.Gauss();
            if (imagerRow < s.offsetY || imagerRow >= s.offsetY + s.height || imagerRow < 0) continue;
            intensity = std::clamp(intensity, 0.0, kMaxIntensity);
            if (intensity * units < s.threshold) continue;
            double second = std::clamp(intensity * 0.85 * (1.0 + 0.02 * noise.Gauss()), 0.0, kMaxIntensity);
            column.push_back({static_cast<int>(c), imagerRow, intensity, second, false});
            if (interleaved) {
                // The short exposure of the pair sees less light.
                double weak = intensity / s.interleave;
                if (weak * units >= s.threshold)
                    column.push_back({static_cast<int>(c), imagerRow, weak, weak, true});
            }
        }
        if (s.columnLimit > 0 && column.size() > s.columnLimit) {
            // The strongest peaks of the column, kept in row order.
            std::vector<Peak> strongest = column;
            std::nth_element(strongest.begin(), strongest.begin() + s.columnLimit - 1, strongest.end(),
                             [](const Peak& a, const Peak& b) { return a.intensity > b.intensity; });
            double cut = strongest[s.columnLimit - 1].intensity;
            std::vector<Peak> kept;
            for (const Peak& p : column) {
                if (p.intensity >= cut && kept.size() < s.columnLimit) kept.push_back(p);
            }
            column = kept;
        }
        std::sort(column.begin(), column.end(), [](const Peak& a, const Peak& b) { return a.row < b.row; });
        peaks.insert(peaks.end(), column.begin(), column.end());
    }
    if (peaks.size() > s.maxPeaks) peaks.resize(s.maxPeaks);
    return peaks;
}

}  // namespace

SensorModel::SensorModel(const SensorConfig& config)
    : family(FamilyOf(config.model)),
      firmware(FirmwareCode(config.firmware)),
      calibration(CalibrationOf(FamilyOf(config.model))),
      scene(MakeScene(config.scene)),
      frameRate(config.frameRate),
      maxRate(config.maxRate),
      seed(config.seed) {
    int major = firmware / 1000000;
    int minor = firmware / 1000 % 1000;
    bool dual = (family == Family::kCam && firmware >= Fw(4, 8, 0)) ||
                (family == Family::kTarn && firmware >= Fw(1, 2, 0));
    if (dual) {
        format = PeakFormat::kDual;
    } else if (family == Family::kTarn) {
        format = PeakFormat::kTarn;
    } else if (family == Family::kSkarvel) {
        format = minor <= 6 ? PeakFormat::kA : PeakFormat::kB;
    } else {
        format = major < 3 ? PeakFormat::kB : PeakFormat::kW;
    }
    sensorHeader = family == Family::kTarn || (family == Family::kCam && major >= 2);
    absoluteRows = family == Family::kTarn || (family == Family::kCam && firmware >= Fw(3, 6, 0));
    tickRate = family == Family::kTarn && firmware < Fw(1, 2, 0) ? 9.9e6 : 10.0e6;
    durationTickNs = family == Family::kTarn ? 10.0 : 10.5;
    maxWidth = config.maxWidth;
    maxHeight = config.maxHeight;
    // The calibrated area sits in the middle of the imager.
    marginX = (maxWidth - 2048) / 2;
    marginY = (maxHeight - calibration.rows) / 2;
}

double FrameRate(const SensorModel& model, const FrameSettings& s) {
    double rate = model.frameRate;
    if (rate <= 0.0) {
        double rows = std::max<uint32_t>(s.height, 1);
        if (model.family == Family::kTarn) {
            double columns = std::max<int>(s.width / 32 + 1, 45);
            double periodUs = std::max((rows * columns + 1029.0) / 74.25, s.pulseWidth + 22.10101);
            rate = 1.0e6 / periodUs;
        } else {
            rate = 47500000.0 / (rows * 129.0 + 1548.0) - 653000.0 * std::pow(rows, -1.812);
        }
        if (s.minPeriodUs > 0.0f) rate = std::min(rate, 1.0e6 / s.minPeriodUs);
    }
    if (s.rateLimit > 0.0f) rate = std::min(rate, static_cast<double>(s.rateLimit));
    return std::max(rate, 0.1);
}

RenderedFrame Render(const SensorModel& model, const FrameSettings& s, double y, uint64_t noiseSeed) {
    Noise noise(noiseSeed);
    RenderedFrame frame;
    std::vector<uint8_t>& out = frame.body;
    if (!s.peakMode) {
        // An 8-bit image of the window, rows padded to 32 bytes.
        uint32_t stride = (s.width + 31) / 32 * 32;
        out.assign(size_t{stride} * s.height, 0);
        if (s.testPattern) {
            for (uint32_t r = 0; r < s.height; ++r) {
                for (uint32_t c = 0; c < s.width; ++c)
                    out[size_t{r} * stride + c] = static_cast<uint8_t>((c + 2) / 16 + r);
            }
            return frame;
        }
        for (uint32_t r = 0; r < s.height; ++r) {
            for (uint32_t c = 0; c < s.width; ++c)
                out[size_t{r} * stride + c] = static_cast<uint8_t>(2.0 + 1.5 * noise.Uniform());
        }
        FrameSettings all = s;
        all.threshold = 0;
        for (const Peak& p : FindPeaks(model, all, y, noise)) {
            double r0 = p.row - s.offsetY;
            uint32_t c = static_cast<uint32_t>(p.column) - s.offsetX;
            for (int r = static_cast<int>(r0) - 4; r <= static_cast<int>(r0) + 5; ++r) {
                if (r < 0 || r >= static_cast<int>(s.height)) continue;
                uint8_t& px = out[size_t(r) * stride + c];
                double v = px + p.intensity * std::exp(-(r - r0) * (r - r0) / (2.0 * 1.2 * 1.2));
                px = static_cast<uint8_t>(std::min(v, 255.0));
            }
        }
        return frame;
    }
    // Peak data: the sensor header (filled in per frame), the records and a final block.
    std::vector<Peak> peaks;
    if (!s.testPattern) peaks = FindPeaks(model, s, y, noise);
    out.reserve((peaks.size() + 2) * 8);
    if (model.sensorHeader) Put64(out, 0);
    double sum = 0.0;
    for (const Peak& p : peaks) {
        double row = model.absoluteRows ? p.row : p.row - s.offsetY;
        uint32_t column = static_cast<uint32_t>(p.column) - s.offsetX;
        // Records with an 11-bit column field cannot carry the columns of a window beyond 2048.
        if (column >= 2048 && model.format != PeakFormat::kW && model.format != PeakFormat::kTarn) continue;
        Put64(out, Record(model, s, p, row, column));
        sum += p.intensity;
        if (p.intensity >= kMaxIntensity) ++frame.saturated;
    }
    Put32(out, static_cast<uint32_t>(peaks.size()));
    Put32(out, 0x21444E45);  // "END!"
    frame.meanIntensity = peaks.empty() ? 0 : static_cast<uint32_t>(sum / peaks.size());
    return frame;
}

}  // namespace yoxasim
