// The image stream: payload formats per family and firmware, the scene through the true calibration,
// window, raw images, timing, the transport's buffer and injected faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "SimTest.h"
#include "StreamDecoder.h"

namespace {

std::string Mac(int i) {
    return "02:00:00:00:00:0" + std::to_string(i);
}

std::string Sensor(int i, const std::string& model, const std::string& firmware, const std::string& extra) {
    return R"({"mac": ")" + Mac(i) + R"(", "model": ")" + model + R"(", "firmware": ")" + firmware + "\"" +
           extra + "}";
}

std::string WorldOf(const std::vector<std::string>& sensors) {
    std::string json = R"({"sensors": [)";
    for (size_t i = 0; i < sensors.size(); ++i) json += (i ? "," : "") + sensors[i];
    return json + "]}";
}

void SetInt(int32_t handle, int32_t reg, uint32_t value) {
    ASSERT_EQ(yoxaSetRegisterInt(handle, reg, &value), 0) << "register " << reg;
}

void SetFloat(int32_t handle, int32_t reg, float value) {
    ASSERT_EQ(yoxaSetRegisterFloat(handle, reg, &value), 0) << "register " << reg;
}

// Starts acquisition and drains what an earlier acquisition left, as a frame grabber does.
void Start(int32_t handle) {
    ASSERT_EQ(yoxaStartImageAcquisition(handle), 0);
    while (yoxaGetPendingImageCount(handle, false) == -1)
        yoxaPopImage(handle, false, yoxaGetNextImage(handle, false));
}

// Opens every camera of a fresh world.
void OpenAll(size_t count) {
    ASSERT_EQ(Discover().size(), count);
    for (size_t h = 1; h <= count; ++h) ASSERT_EQ(yoxaOpenCamera(static_cast<int32_t>(h), nullptr), 0);
}

struct Calibration {
    CalibrationTable x, z;
    int marginX = 0, marginY = 0;
    // Micrometres of a decoded point: column relative to the window, row as the sensor reports it.
    bool ToMicrometres(const Point& p, double offsetX, double rowOffset, double* xUm, double* zUm) const {
        double column = p.x + offsetX - marginX;
        double row = p.z + rowOffset - marginY;
        if (column < 0 || column >= 2048 || row < 0 || row >= static_cast<double>(x.lines())) return false;
        *xUm = x.At(static_cast<int>(row), column);
        *zUm = z.At(static_cast<int>(column), row);
        return true;
    }
};

Calibration LoadCalibration(int i, int maxWidth, int maxHeight, int rows) {
    Calibration cal;
    std::string base = std::filesystem::temp_directory_path() / ("yoxasim-cal-" + std::to_string(getpid()));
    EXPECT_EQ(yoxasimWriteCalibration(Mac(i).c_str(), (base + ".x").c_str(), (base + ".z").c_str()), 0);
    EXPECT_TRUE(cal.x.Load(base + ".x"));
    EXPECT_TRUE(cal.z.Load(base + ".z"));
    std::filesystem::remove(base + ".x");
    std::filesystem::remove(base + ".z");
    cal.marginX = (maxWidth - 2048) / 2;
    cal.marginY = (maxHeight - rows) / 2;
    return cal;
}

}  // namespace

TEST(Stream, EveryFormatCarriesTheSceneThroughTheTrueCalibration) {
    struct Case {
        const char* model;
        const char* firmware;
        Format format;
        bool sensorHeader;
        double tickRate;
        int maxWidth, maxHeight, rows;
        uint32_t durationTicks;  // the 10 us exposure in ticks of 10 or 10.5 ns
    } cases[] = {
        {"QVSkarvel", "2.5 (1)", Format::kA, false, 10e6, 2048, 1088, 1088, 0},
        {"QVSkarvel", "2.7 (3)", Format::kB, false, 10e6, 2048, 1088, 1088, 0},
        {"QVCAM_V2", "1.5 (0)", Format::kB, false, 10e6, 2048, 1088, 1088, 0},
        {"QVCAM_V2", "2.9 (4)", Format::kB, true, 10e6, 2048, 1088, 1088, 952},
        {"QVCAM_V2", "4.7 (1)", Format::kW, true, 10e6, 2048, 1088, 1088, 952},
        {"QVCAM_V2", "4.9 (2)", Format::kDual, true, 10e6, 2048, 1088, 1088, 952},
        {"QvTarn", "1.1.9 ", Format::kTarn, true, 9.9e6, 2112, 1440, 1400, 1000},
        {"QvTarn", "1.4.0 ", Format::kDual, true, 10e6, 2112, 1440, 1400, 1000},
    };
    std::vector<std::string> sensors;
    for (size_t i = 0; i < std::size(cases); ++i) {
        sensors.push_back(Sensor(static_cast<int>(i + 1), cases[i].model, cases[i].firmware,
                                 R"(, "scene": "mirror", "frame_rate": 2000)"));
    }
    ScopedWorld world(WorldOf(sensors));
    ASSERT_EQ(world.status(), 0);
    OpenAll(std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const int32_t handle = static_cast<int32_t>(i + 1);
        SCOPED_TRACE(std::string(c.model) + " " + c.firmware);
        Calibration cal = LoadCalibration(handle, c.maxWidth, c.maxHeight, c.rows);
        EXPECT_EQ(cal.x.lines(), static_cast<size_t>(c.rows));
        EXPECT_EQ(cal.z.lines(), 2048u);

        ASSERT_EQ(yoxaStartImageAcquisition(handle), 0);
        std::vector<Frame> frames = TakeFrames(handle, 4);
        ASSERT_EQ(yoxaStopImageAcquisition(handle), 0);
        ASSERT_EQ(frames.size(), 4u);
        for (size_t k = 0; k < frames.size(); ++k) {
            const Frame& f = frames[k];
            EXPECT_EQ(f.headerSize, 16u);
            EXPECT_EQ(f.number, k);
            EXPECT_EQ(f.lost, 0);
            if (k > 0) {
                EXPECT_NEAR(static_cast<double>(f.timestamp - frames[k - 1].timestamp), c.tickRate / 2000,
                            1.0);
            }
            Decoded d = Decode(f, c.format, c.sensorHeader);
            if (c.sensorHeader) {
                EXPECT_EQ(d.durationTicks, c.durationTicks);
                if (k > 0) {
                    EXPECT_EQ(d.encoder, Decode(frames[k - 1], c.format, true).encoder + 1);
                }
            }
            // The mirror is seen by every column of the window, once; 11-bit column fields end at 2048.
            bool wideColumns = c.format == Format::kW || c.format == Format::kTarn;
            ASSERT_EQ(d.points.size(), static_cast<size_t>(wideColumns ? c.maxWidth : 2048));
            size_t checked = 0;
            for (const Point& p : d.points) {
                EXPECT_GT(p.intensity, 20.0);
                EXPECT_LT(p.intensity, 256.0);
                double xUm, zUm;
                if (!cal.ToMicrometres(p, 0, 0, &xUm, &zUm)) continue;
                ++checked;
                ASSERT_NEAR(zUm, 0.04 * xUm + 300.0, 1.0) << "column " << p.x << " row " << p.z;
            }
            EXPECT_GE(checked, 2040u - 2 * cal.marginX);
        }
    }
}

TEST(Stream, ScenesShowTheirSurfaces) {
    ScopedWorld world(
        WorldOf({Sensor(1, "QVCAM_V2", "4.9 (2)", R"(, "scene": "glass-on-steps", "frame_rate": 5000)"),
                 Sensor(2, "QVCAM_V2", "4.9 (2)", R"(, "scene": "grooves", "frame_rate": 5000)"),
                 Sensor(3, "QVCAM_V2", "4.9 (2)", R"(, "scene": "steps", "frame_rate": 20000)"),
                 Sensor(4, "QVCAM_V2", "4.9 (2)", R"(, "scene": "empty", "frame_rate": 5000)")}));
    ASSERT_EQ(world.status(), 0);
    OpenAll(4);
    auto grab = [](int32_t handle, int count) {
        Start(handle);
        std::vector<Frame> frames = TakeFrames(handle, count);
        EXPECT_EQ(yoxaStopImageAcquisition(handle), 0);
        EXPECT_EQ(frames.size(), static_cast<size_t>(count));
        return frames;
    };

    // A coated glass plate over steps: four peaks per column where the coating is (x > 0), three elsewhere.
    Decoded glass = Decode(grab(1, 1).at(0), Format::kDual, true);
    std::map<int, int> perColumn;
    for (const Point& p : glass.points) ++perColumn[static_cast<int>(p.x)];
    for (int column = 0; column < 2048; ++column) {
        int expected = column < 1000 ? 3 : column > 1048 ? 4 : perColumn[column];
        EXPECT_EQ(perColumn[column], expected) << column;
    }

    // Grooves of 30, 200, 500 and 1000 um depth and 500, 1410, 1410 and 3000 um width in a plate at 500 um.
    Calibration cal = LoadCalibration(2, 2048, 1088, 1088);
    Decoded grooves = Decode(grab(2, 1).at(0), Format::kDual, true);
    struct Groove {
        double depth, width;
        double left = 1e9, right = -1e9;
    } expected[] = {{30, 500}, {200, 1410}, {500, 1410}, {1000, 3000}};
    size_t plate = 0;
    for (const Point& p : grooves.points) {
        double xUm, zUm;
        ASSERT_TRUE(cal.ToMicrometres(p, 0, 0, &xUm, &zUm));
        if (std::fabs(zUm - 500.0) < 2.0) {
            ++plate;
            continue;
        }
        bool matched = false;
        for (Groove& g : expected) {
            if (std::fabs(zUm - (500.0 - g.depth)) < 2.0) {
                g.left = std::min(g.left, xUm);
                g.right = std::max(g.right, xUm);
                matched = true;
            }
        }
        EXPECT_TRUE(matched) << "height " << zUm << " at " << xUm;
    }
    EXPECT_GT(plate, 500u);
    // A column next to a wall sees the top at one row and the bottom at another (the lateral scale changes
    // a little with the row), so the bottom looks a column or two narrower than the groove.
    for (const Groove& g : expected)
        EXPECT_NEAR(g.right - g.left, g.width - 8.0, 12.0) << "groove " << g.depth;

    // The part moves along y with the encoder: bars 150 um high, 1 mm long, every 2 mm (10 um per count).
    for (const Frame& f : grab(3, 240)) {
        Decoded d = Decode(f, Format::kDual, true);
        auto middle =
            std::find_if(d.points.begin(), d.points.end(), [](const Point& p) { return p.x == 1024; });
        ASSERT_NE(middle, d.points.end());
        double xUm, zUm;
        ASSERT_TRUE(cal.ToMicrometres(*middle, 0, 0, &xUm, &zUm));
        double bar = (d.encoder * 10) % 2000 < 1000 ? 150.0 : 0.0;
        EXPECT_NEAR(zUm, bar, 2.0) << "encoder " << d.encoder;
    }

    for (const Frame& f : grab(4, 3)) EXPECT_EQ(Decode(f, Format::kDual, true).records, 0u);
}

TEST(Stream, OnlyPeaksInsideTheWindowAreSent) {
    struct Case {
        const char* firmware;
        Format format;
        bool absoluteRows;  // from firmware 3.6.0 on; before, rows count from the window
    } cases[] = {{"4.9 (2)", Format::kDual, true}, {"2.9 (4)", Format::kB, false}};
    for (const Case& c : cases) {
        ScopedWorld world(
            WorldOf({Sensor(1, "QVCAM_V2", c.firmware, R"(, "scene": "steps", "frame_rate": 2000)")}));
        ASSERT_EQ(world.status(), 0);
        OpenAll(1);
        SetInt(1, 2, 1024);
        SetInt(1, 4, 512);
        SetInt(1, 3, 300);
        SetInt(1, 5, 400);
        ASSERT_EQ(yoxaStartImageAcquisition(1), 0);
        std::vector<Frame> frames = TakeFrames(1, 3);
        ASSERT_EQ(frames.size(), 3u);
        Decoded d = Decode(frames[0], c.format, true);
        // Steps at -300, 0 and 300 um (plus bars) fall into rows 400..699; the higher and lower ones do not.
        EXPECT_GT(d.points.size(), 300u) << c.firmware;
        EXPECT_LT(d.points.size(), 1024u) << c.firmware;
        double firstRow = c.absoluteRows ? 400 : 0;
        for (const Point& p : d.points) {
            EXPECT_GE(p.x, 0);
            EXPECT_LT(p.x, 1024);
            EXPECT_GE(p.z, firstRow) << c.firmware;
            EXPECT_LT(p.z, firstRow + 300) << c.firmware;
        }
    }
}

TEST(Stream, RawImagesAndTheTestPattern) {
    ScopedWorld world(WorldOf({Sensor(1, "QvTarn", "1.4.0 ", R"(, "scene": "mirror", "frame_rate": 1000)")}));
    ASSERT_EQ(world.status(), 0);
    OpenAll(1);
    SetInt(1, 2, 1000);
    SetInt(1, 3, 100);
    SetInt(1, 5, 700);
    SetInt(1, 30005, 0);
    const size_t stride = 1024;
    auto isPattern = [&](const Frame& f) {
        for (size_t r = 0; r < 100; ++r) {
            for (size_t c = 0; c < stride; ++c) {
                uint8_t expected = c < 1000 ? static_cast<uint8_t>((c + 2) / 16 + r) : 0;
                if (f.bytes[16 + r * stride + c] != expected) return false;
            }
        }
        return true;
    };
    struct Case {
        uint32_t mode;  // imager register 114
        bool pattern;
    } cases[] = {{12160, true}, {3968, false}};
    for (const Case& c : cases) {
        SetInt(1, 54, 114);
        SetInt(1, 55, c.mode);
        Start(1);
        std::vector<Frame> frames = TakeFrames(1, 2);
        ASSERT_EQ(yoxaStopImageAcquisition(1), 0);
        ASSERT_EQ(frames.size(), 2u);
        for (const Frame& f : frames) {
            ASSERT_EQ(f.bytes.size(), 16 + 100 * stride);
            EXPECT_EQ(isPattern(f), c.pattern) << c.mode;
        }
        if (!c.pattern) {
            // The line crosses the window: each column is brightest at the same row in both frames.
            uint8_t peak = 0;
            for (size_t r = 0; r < 100; ++r) peak = std::max(peak, frames[0].bytes[16 + r * stride + 500]);
            EXPECT_GT(peak, 60);
        }
    }
    // With peaks on, the test pattern leaves nothing to detect.
    SetInt(1, 55, 12160);
    SetInt(1, 30005, 1);
    Start(1);
    std::vector<Frame> frames = TakeFrames(1, 1);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Decode(frames[0], Format::kDual, true).records, 0u);
}

TEST(Stream, IntensityFollowsTheLightAndTheThreshold) {
    ScopedWorld world(
        WorldOf({Sensor(1, "QVCAM_V2", "4.9 (2)", R"(, "scene": "mirror", "frame_rate": 2000)")}));
    ASSERT_EQ(world.status(), 0);
    OpenAll(1);
    struct Case {
        float gain, pulseWidth;
        uint32_t threshold;
        double mean;  // 0.9 reflectance x 60 x pulse width x gain, at most 4095 / 16
        bool saturated;
    } cases[] = {
        {1, 2, 20, 108, false},     {2, 2, 20, 216, false}, {1, 1, 20, 54, false},
        {4, 2, 20, 255.9375, true}, {1, 2, 200, 0, false},
    };
    for (const Case& c : cases) {
        SetFloat(1, 32, c.gain);
        SetFloat(1, 20092, c.pulseWidth);
        SetInt(1, 30006, c.threshold);
        Start(1);
        std::vector<Frame> frames = TakeFrames(1, 1);
        ASSERT_EQ(yoxaStopImageAcquisition(1), 0);
        ASSERT_EQ(frames.size(), 1u);
        Decoded d = Decode(frames[0], Format::kDual, true);
        double sum = 0;
        for (const Point& p : d.points) sum += p.intensity;
        double mean = d.points.empty() ? 0 : sum / d.points.size();
        EXPECT_NEAR(mean, c.mean, c.mean * 0.02 + 0.01) << "gain " << c.gain << " pulse " << c.pulseWidth;
        uint32_t saturated = 0;
        ASSERT_EQ(yoxaGetRegisterInt(1, 20160, &saturated), 0);
        EXPECT_EQ(saturated > 0, c.saturated) << "gain " << c.gain;
    }
}

TEST(Stream, InterleavedFramesCarryBothExposures) {
    ScopedWorld world(
        WorldOf({Sensor(1, "QVCAM_V2", "2.9 (4)", R"(, "scene": "mirror", "frame_rate": 2000)")}));
    ASSERT_EQ(world.status(), 0);
    OpenAll(1);
    SetFloat(1, 128, 2.0f);
    ASSERT_EQ(yoxaStartImageAcquisition(1), 0);
    std::vector<Frame> frames = TakeFrames(1, 1);
    ASSERT_EQ(frames.size(), 1u);
    Decoded d = Decode(frames[0], Format::kB, true, 2.0);
    ASSERT_EQ(d.points.size(), 2 * 2048u);
    std::map<int, std::vector<Point>> perColumn;
    for (const Point& p : d.points) perColumn[static_cast<int>(p.x)].push_back(p);
    for (auto& [column, pair] : perColumn) {
        ASSERT_EQ(pair.size(), 2u) << column;
        if (pair[0].extra == 1) std::swap(pair[0], pair[1]);
        EXPECT_EQ(pair[0].extra, 0);
        EXPECT_EQ(pair[1].extra, 1);
        EXPECT_NEAR(pair[0].z, pair[1].z, 0.002) << column;
        EXPECT_NEAR(pair[1].intensity, pair[0].intensity / 2, 0.1) << column;
    }
}

TEST(Stream, TimingModelsGiveTheFrameRate) {
    ScopedWorld world(WorldOf({Sensor(1, "QVCAM_V2", "4.9 (2)", ""), Sensor(2, "QvTarn", "1.4.0 ", ""),
                               Sensor(3, "QvTarn", "1.1.9 ", "")}));
    ASSERT_EQ(world.status(), 0);
    OpenAll(3);
    SetInt(2, 2, 2048);
    SetInt(2, 3, 1400);
    struct Case {
        int32_t handle;
        float limit;  // register 21, 0 for none
        double ticks;
    } cases[] = {
        {1, 0, 1e7 / (47500000.0 / (1088 * 129.0 + 1548) - 653000.0 * std::pow(1088.0, -1.812))},
        {1, 100, 100000},
        {2, 0, 1e7 * (1400 * 65 + 1029) / 74.25e6},
        {3, 100, 99000},  // 9.9 MHz before firmware 1.2.0
    };
    for (const Case& c : cases) {
        SetFloat(c.handle, 21, c.limit);
        Start(c.handle);
        std::vector<Frame> frames = TakeFrames(c.handle, 3);
        ASSERT_EQ(yoxaStopImageAcquisition(c.handle), 0);
        ASSERT_EQ(frames.size(), 3u);
        for (size_t k = 1; k < frames.size(); ++k) {
            EXPECT_NEAR(static_cast<double>(frames[k].timestamp - frames[k - 1].timestamp), c.ticks, 1.0)
                << "camera " << c.handle << " limit " << c.limit;
        }
    }
}

TEST(Stream, InjectedFaultsShowInNumbersOrderAndLoss) {
    struct Case {
        const char* fault;
        int value;
        std::vector<uint32_t> numbers;
        std::vector<int32_t> lost;
        bool staleFirst;
    } cases[] = {
        {"skip", 0, {0, 1, 2, 3, 4}, {0, 0, 0, 0, 0}, false},
        {"skip", 3, {3, 4, 5, 6, 7}, {0, 0, 0, 0, 0}, false},
        {"frame_number", 500, {500, 501, 502, 503, 504}, {0, 0, 0, 0, 0}, false},
        {"swap", 0, {1, 0, 2, 3, 4}, {0, 0, 0, 0, 0}, false},
        {"lose_bytes", 2, {0, 1, 2, 3, 4}, {64, 64, 0, 0, 0}, false},
        {"stale", 2, {100000, 100001, 0, 1, 2}, {0, 0, 0, 0, 0}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + " " + std::to_string(c.value));
        ScopedWorld world(
            WorldOf({Sensor(1, "QVCAM_V2", "4.9 (2)", R"(, "scene": "mirror", "frame_rate": 1000)")}));
        ASSERT_EQ(world.status(), 0);
        OpenAll(1);
        ASSERT_EQ(yoxasimInject(Mac(1).c_str(), c.fault, c.value), 0);
        EXPECT_EQ(yoxaGetPendingImageCount(1, false), c.staleFirst ? -1 : 0);
        ASSERT_EQ(yoxaStartImageAcquisition(1), 0);
        std::vector<Frame> frames = TakeFrames(1, 5);
        ASSERT_EQ(frames.size(), 5u);
        for (size_t k = 0; k < frames.size(); ++k) {
            EXPECT_EQ(frames[k].number, c.numbers[k]) << k;
            EXPECT_EQ(frames[k].lost, c.lost[k]) << k;
        }
    }
    EXPECT_EQ(yoxasimInject(Mac(1).c_str(), "melt", 1), -1);
    EXPECT_EQ(yoxasimInject("00:1f:0a:12:34:05", "skip", -1), -1);
    EXPECT_EQ(yoxasimInject("00:1f:0a:12:34:05", nullptr, 1), -1);
}

TEST(Stream, FullBufferDropsAndCountsFrames) {
    ScopedWorld world(
        WorldOf({Sensor(1, "QVCAM_V2", "4.9 (2)", R"(, "scene": "mirror", "frame_rate": 2000)")}));
    ASSERT_EQ(world.status(), 0);
    yoxaSetBufferSize(1, 5);
    OpenAll(1);
    ASSERT_EQ(yoxaStartImageAcquisition(1), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_EQ(yoxaGetPendingImageCount(1, false), 5);
    unsigned long long delivered = 0, dropped = 0;
    ASSERT_EQ(yoxasimStreamCounts(Mac(1).c_str(), &delivered, &dropped), 0);
    EXPECT_EQ(delivered, 5u);
    EXPECT_GE(dropped, 60u);
    std::vector<Frame> frames = TakeFrames(1, 6);
    ASSERT_EQ(frames.size(), 6u);
    for (uint32_t k = 0; k < 5; ++k) EXPECT_EQ(frames[k].number, k);
    EXPECT_GE(frames[5].number, 65u);  // the dropped frames used their numbers
}

TEST(Stream, ImagesLeftFromTheLastAcquisitionAreStale) {
    ScopedWorld world(
        WorldOf({Sensor(1, "QVCAM_V2", "4.9 (2)", R"(, "scene": "mirror", "frame_rate": 1000)")}));
    ASSERT_EQ(world.status(), 0);
    OpenAll(1);
    ASSERT_EQ(yoxaStartImageAcquisition(1), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(yoxaStopImageAcquisition(1), 0);
    int32_t left = yoxaGetPendingImageCount(1, false);
    EXPECT_GT(left, 0);
    ASSERT_EQ(yoxaStartImageAcquisition(1), 0);
    int drained = 0;
    while (yoxaGetPendingImageCount(1, false) == -1) {
        void* image = yoxaGetNextImage(1, false);
        ASSERT_NE(image, nullptr);
        yoxaPopImage(1, false, image);
        ++drained;
    }
    EXPECT_EQ(drained, left);
    Frame f;
    ASSERT_TRUE(TakeFrame(1, &f));
    EXPECT_EQ(f.number, 0u);
}

TEST(Stream, MaxRateHasAFrameWheneverAsked) {
    ScopedWorld world(
        WorldOf({Sensor(1, "QVCAM_V2", "4.9 (2)", R"(, "scene": "steps", "frame_rate": "max")")}));
    ASSERT_EQ(world.status(), 0);
    OpenAll(1);
    EXPECT_TRUE(yoxaIsBufferEmpty(1, false));  // not acquiring
    ASSERT_EQ(yoxaStartImageAcquisition(1), 0);
    uint64_t previous = 0;
    for (uint32_t k = 0; k < 2000; ++k) {
        ASSERT_FALSE(yoxaIsBufferEmpty(1, false));
        Frame f;
        ASSERT_TRUE(TakeFrame(1, &f, false));
        ASSERT_EQ(f.number, k);
        ASSERT_GT(f.timestamp, previous);
        previous = f.timestamp;
    }
}

TEST(Stream, ImageTakenBeforeTheLinkDropsStaysValidUntilPopped) {
    ScopedWorld world(WorldOf({Sensor(1, "QVCAM_V2", "4.9 (2)", R"(, "frame_rate": 1000)")}));
    ASSERT_EQ(world.status(), 0);
    OpenAll(1);
    ASSERT_EQ(yoxaStartImageAcquisition(1), 0);
    void* image = yoxaGetNextImage(1, true);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(yoxasimDropLink(Mac(1).c_str()), 0);
    EXPECT_EQ(yoxaGetNextImage(1, true), nullptr);
    EXPECT_TRUE(yoxaIsBufferEmpty(1, false));
    EXPECT_EQ(yoxaGetPendingImageCount(1, false), 0);
    const uint8_t* data = yoxaGetImageData(image);
    int32_t size = yoxaGetImageSize(image);
    ASSERT_GT(size, 16);
    EXPECT_EQ(std::accumulate(data, data + size, 0u) > 0, true);
    yoxaPopImage(1, false, image);
    yoxaPopImage(1, false, image);  // a second pop of the same image is ignored
}
