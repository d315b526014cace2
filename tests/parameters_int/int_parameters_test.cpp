// The integer set and get on simulated sensors of every product family: validation, the registers each
// name writes, what reads back, the letter-case rules and the log lines.
#include <gtest/gtest.h>

#include <bit>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "LogCapture.h"
#include "TestWorld.h"
#include "Worlds.h"
#include "api/Globals.h"
#include "parameters/ParameterTable.h"
#include "reception/ImageReception.h"
#include "yoxa/yoxa.h"
#include "yoxa/yoxabase.h"
#include "yoxasim.h"

namespace {

using Writes = std::vector<std::pair<int, unsigned>>;

enum Sensor { kSkarvel, kCam, kCamOld, kTarn, kSensorCount, kUnknownCamera = kSensorCount };

struct Camera {
    SensorDescription sensor;
    const char* id;
    int family;
};

// A QVCAM_V2 with current firmware and one too old for the peak filters. The QvTarn's largest window is
// 2112 x 1440, so connecting corrects its offsets by 32 and 20; its firmware predates the self test.
SensorDescription Describe(const char* model, int n, const char* firmware, const char* serial,
                           int maxWidth = 0, int maxHeight = 0) {
    SensorDescription sensor;
    sensor.model = model;
    sensor.mac = "00:1f:0a:00:00:0" + std::to_string(n);
    sensor.ip = "192.168.1.1" + std::to_string(n);
    sensor.firmware = firmware;
    sensor.serial = serial;
    sensor.maxWidth = maxWidth;
    sensor.maxHeight = maxHeight;
    return sensor;
}

const Camera kCameras[kSensorCount] = {
    {Describe("QVSkarvel", 1, "2.7 (3)", "QS21000001"), "0:1f:a:0:0:1", 0},
    {Describe("QVCAM_V2", 2, "4.9 (2)", "QC21000002"), "0:1f:a:0:0:2", 1},
    {Describe("QVCAM_V2", 3, "4.5 (0)", "QC21000003"), "0:1f:a:0:0:3", 1},
    {Describe("QvTarn", 4, "1.1.2 ", "QX25000004", 2112, 1440), "0:1f:a:0:0:4", 2},
};
constexpr int kTarnAdjustX = 32;
constexpr int kTarnAdjustY = 20;

std::string World() {
    std::vector<SensorDescription> sensors;
    for (const Camera& camera : kCameras) sensors.push_back(camera.sensor);
    return WorldJson(sensors);
}

char* Id(Sensor s) {
    return const_cast<char*>(s == kUnknownCamera ? "1:2:3:4:5:6" : kCameras[s].id);
}
const char* Mac(Sensor s) {
    return kCameras[s].sensor.mac.c_str();
}

int LogLength(Sensor s) {
    return yoxasimRegisterLog(Mac(s), nullptr, nullptr, 0);
}

// The register writes the sensor received since the log had `from` entries.
Writes WritesSince(Sensor s, int from) {
    int total = LogLength(s);
    std::vector<int> regs(total);
    std::vector<unsigned> values(total);
    yoxasimRegisterLog(Mac(s), regs.data(), values.data(), total);
    Writes writes;
    for (int i = from; i < total; ++i) writes.emplace_back(regs[i], values[i]);
    return writes;
}

unsigned FloatBits(float value) {
    return std::bit_cast<unsigned>(value);
}

class IntParameters : public testing::Test {
protected:
    static void SetUpTestSuite() {
        world_ = std::make_unique<TestWorld>(World());
        ASSERT_TRUE(world_->ok());
        int count = 0;
        char** ids = nullptr;
        ASSERT_EQ(_Open(&count, &ids, 500), CS_SUCCESS);
        ASSERT_EQ(count, kSensorCount);
        reception_ = dynamic_cast<CImageReception*>(g_ImageReception);
        ASSERT_NE(reception_, nullptr);
        for (int p = 0; p < count; ++p) ASSERT_EQ(_Connect(ids[p], nullptr), CS_SUCCESS) << ids[p];

        log_ = std::make_unique<LogCapture>();
    }

    static void TearDownTestSuite() {
        log_.reset();
        _Close();
        world_.reset();
        TestWorld builtIn;
    }

    static CamProperties& Record(Sensor s) {
        int index = -1;
        EXPECT_EQ(reception_->GetCameraIndex(kCameras[s].id, &index), CS_SUCCESS);
        return *reception_->GetCameraProperties(index);
    }

    static inline std::unique_ptr<TestWorld> world_;
    static inline std::unique_ptr<LogCapture> log_;
    static inline CImageReception* reception_ = nullptr;
};

enum class Op { kSet, kGet };

struct Case {
    Sensor sensor;
    const char* name;
    int value = 0;
    Op op = Op::kSet;
    int status = CS_SUCCESS;
    // The register writes the operation makes, in order; unchecked when absent.
    std::optional<Writes> writes = std::nullopt;
    // The integer get of the name in lower case afterwards (for kGet: the value the get answers).
    std::optional<int> readBack = std::nullopt;
    // A message the operation logs.
    const char* log = nullptr;
    // Integer sets made before the operation, and the zero-height row a Z calibration would give.
    std::vector<std::pair<const char*, int>> given = {};
    int zeroPosition = -1;
    // A support word withdrawn from the camera's family, or a register that fails, for this case only.
    const char* withdrawn = nullptr;
    std::pair<int, int> fault = {0, 0};
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const std::vector<Case>& Cases() {
    // clang-format off
    static const std::vector<Case> cases = {
        // Names handled before the table lookup ignore letter case; the table lookup is exact.
        {.sensor = kCam, .name = "Detect_Missing_First_Layer", .value = 7, .writes = Writes{}, .readBack = 7},
        {.sensor = kCam, .name = "THICKNESS_MODE", .value = 2, .readBack = 2},
        {.sensor = kCam, .name = "Image_Width", .value = 640, .status = CS_UNKNOWN_PARAMETER, .writes = Writes{},
         .log = "MapParameter failed"},
        {.sensor = kCam, .name = "Reg_Pulse_Freq", .value = 100, .status = CS_UNKNOWN_PARAMETER, .writes = Writes{}},
        // The sensor's peak limit is written before the name fails the exact lookup.
        {.sensor = kCam, .name = "MAX_POINT_COUNT", .value = 500, .status = CS_UNKNOWN_PARAMETER,
         .writes = Writes{{30016, 500}}, .readBack = 10000},
        {.sensor = kCam, .name = "THICKNESS_MODE", .op = Op::kGet, .readBack = 2},
        {.sensor = kCam, .name = "Intensity_Correction_Enable", .op = Op::kGet, .readBack = 0},
        {.sensor = kCam, .name = "Grabbing", .op = Op::kGet, .status = CS_UNKNOWN_PARAMETER},

        // Unknown camera and name, wrong type, read-only.
        {.sensor = kUnknownCamera, .name = "heartbeat", .value = 1000, .status = CS_UNKNOWN_CAMERA},
        {.sensor = kCam, .name = "no_such_parameter", .status = CS_UNKNOWN_PARAMETER},
        {.sensor = kCam, .name = "exposure", .value = 5, .status = CS_WRONG_TYPE, .writes = Writes{},
         .log = "Invalid param type, parameter: exposure is not integer"},
        {.sensor = kCam, .name = "exposure", .op = Op::kGet, .status = CS_WRONG_TYPE},
        {.sensor = kCam, .name = "sensor_board_temperature", .value = 1, .status = CS_READ_ONLY, .writes = Writes{},
         .log = "Read only parameter"},

        // Plain registers.
        {.sensor = kCam, .name = "heartbeat", .value = 1234, .writes = Writes{{206, 1234}}, .readBack = 1234},
        {.sensor = kCam, .name = "image_width", .value = 1024, .writes = Writes{{2, 1024}}, .readBack = 1024},

        {.sensor = kCam, .name = "reg_pulse_freq", .value = 50000, .writes = Writes{{20012, 50000}}, .readBack = 50000},
        {.sensor = kCam, .name = "reg_pulse_freq", .value = 50001, .status = CS_OUT_OF_RANGE, .writes = Writes{},
         .log = "Pulse Frequency: 50001, too high."},
        {.sensor = kCam, .name = "reg_pulse_freq", .value = -1, .status = CS_OUT_OF_RANGE, .writes = Writes{},
         .log = "Pulse Frequency: -1, too high."},

        {.sensor = kCam, .name = "image_height", .value = 8, .writes = Writes{{3, 8}}, .readBack = 8},
        {.sensor = kCam, .name = "image_height", .value = 7, .status = CS_OUT_OF_RANGE, .writes = Writes{},
         .readBack = 8, .log = "Parameter image_height value too low: 7"},
        // -1 is large as unsigned: the sensor gets it and clamps the window.
        {.sensor = kCam, .name = "image_height", .value = -1, .writes = Writes{{3, 0xFFFFFFFFu}}},
        // A refused height is retried from offset 0, and the offset register is put back.
        {.sensor = kCam, .name = "image_height", .value = 200, .status = CS_OUT_OF_RANGE,
         .writes = Writes{{3, 200}, {5, 0}, {3, 200}, {5, 30}}, .readBack = 100,
         .log = "Could not change sensor height to 200", .given = {{"image_height", 100}, {"image_offsety", 30}},
         .fault = {3, YOXA_STATUS_OUT_OF_RANGE}},

        // A negative Y offset centres the window on the zero height, not above row 0.
        {.sensor = kCam, .name = "image_offsety", .value = -1, .writes = Writes{{5, 450}}, .readBack = 450,
         .log = "Height zero position used. Calculated offset 450", .given = {{"image_height", 100}},
         .zeroPosition = 500},
        {.sensor = kCam, .name = "image_offsety", .value = -1, .writes = Writes{{5, 0}}, .readBack = 0,
         .zeroPosition = 20},
        // Firmware without the offset still gets the register; the library shifts the rows itself.
        {.sensor = kSkarvel, .name = "image_offsety", .value = 7, .writes = Writes{{5, 7}}, .readBack = 7,
         .log = "Y offset 7 handled by QVAPI.", .given = {{"image_height", 100}}},
        {.sensor = kTarn, .name = "image_offsety", .value = 10, .writes = Writes{{5, 10 + kTarnAdjustY}},
         .readBack = 10, .given = {{"image_height", 1000}}},
        {.sensor = kTarn, .name = "image_offsetx", .value = 10, .writes = Writes{{4, 10 + kTarnAdjustX}},
         .readBack = 10, .given = {{"image_width", 1024}}},

        // The QvTarn negotiates its network settings itself.
        {.sensor = kCam, .name = "ifg", .value = 100, .writes = Writes{{320, 100}}, .readBack = 100},
        {.sensor = kTarn, .name = "ifg", .value = 100, .writes = Writes{}, .log = "Parameter ifg managed by camera"},
        {.sensor = kTarn, .name = "mtu", .value = 9000, .writes = Writes{}},
        {.sensor = kCam, .name = "mtu", .value = -1, .status = CS_OUT_OF_RANGE, .writes = Writes{}},
        {.sensor = kTarn, .name = "ifg_10ge", .value = 65001, .status = CS_OUT_OF_RANGE, .writes = Writes{}},
        {.sensor = kTarn, .name = "ifg_10ge", .value = 500, .writes = Writes{{320, 500}}, .readBack = 500},

        {.sensor = kCam, .name = "peak_x_filter", .value = 70000, .status = CS_OUT_OF_RANGE, .writes = Writes{},
         .log = "Parameter peak_x_filter invalid value: 11170"},
        {.sensor = kCam, .name = "peak_x_filter", .value = 3, .writes = Writes{{30013, 0x5500}}, .readBack = 3},
        {.sensor = kCam, .name = "peak_x_filter", .value = 1234, .writes = Writes{{30013, 1234}}, .readBack = 1234},
        {.sensor = kCamOld, .name = "peak_x_filter", .value = 3, .writes = Writes{}},

        // Library-side settings: ranges, and what reads back.
        {.sensor = kCam, .name = "median_z_filter_size", .value = 0, .readBack = 0},
        {.sensor = kCam, .name = "median_z_filter_size", .value = 3, .readBack = 3},
        {.sensor = kCam, .name = "median_z_filter_size", .value = 2047, .readBack = 2047},
        {.sensor = kCam, .name = "median_z_filter_size", .value = 1, .status = CS_OUT_OF_RANGE, .readBack = 2047},
        {.sensor = kCam, .name = "median_z_filter_size", .value = 2, .status = CS_OUT_OF_RANGE, .readBack = 2047},
        {.sensor = kCam, .name = "median_intensity_filter_size", .value = 2048, .status = CS_OUT_OF_RANGE, .readBack = 0},
        {.sensor = kCam, .name = "reordering_span", .value = 5000, .readBack = 5000},
        {.sensor = kCam, .name = "reordering_span", .value = 0, .status = CS_OUT_OF_RANGE, .readBack = 5000},
        {.sensor = kCam, .name = "reordering_span", .value = 5001, .status = CS_OUT_OF_RANGE, .readBack = 5000},
        {.sensor = kCam, .name = "reordering_deviation", .value = 10001, .status = CS_OUT_OF_RANGE, .readBack = 3000},
        {.sensor = kCam, .name = "sensor_type", .value = 24520, .readBack = 2470},
        {.sensor = kCam, .name = "sensor_type", .value = 729, .status = CS_OUT_OF_RANGE, .readBack = 2470},
        {.sensor = kCam, .name = "noise_removal", .value = 3, .readBack = 3},
        {.sensor = kCam, .name = "noise_removal", .value = 4, .readBack = 0},
        {.sensor = kCam, .name = "interleavefilter", .value = 3, .status = CS_OUT_OF_RANGE, .readBack = 0},
        {.sensor = kCam, .name = "interleavefilter", .value = 2, .readBack = 2},
        {.sensor = kCam, .name = "batch_length", .value = -1, .status = CS_OUT_OF_RANGE, .readBack = 0},
        {.sensor = kCam, .name = "reordering", .value = 5, .readBack = 1},
        {.sensor = kCam, .name = "moving_direction", .value = 3, .readBack = 1},
        {.sensor = kCam, .name = "z_compensation_interpolate", .value = 2, .readBack = 0},
        {.sensor = kCam, .name = "flip_z_enabled", .value = 1, .readBack = 1},

        // The sensor's peak limit follows max_point_count only where the firmware has it, and never with a
        // value the library refuses.
        {.sensor = kCam, .name = "max_point_count", .value = 2000, .writes = Writes{{30016, 2000}}, .readBack = 2000},
        {.sensor = kCamOld, .name = "max_point_count", .value = 3000, .writes = Writes{}, .readBack = 3000},
        {.sensor = kCam, .name = "max_point_count", .value = -1, .status = CS_OUT_OF_RANGE, .writes = Writes{},
         .readBack = 2000, .log = "Cannot set negative max. point (peak) count."},

        // QVSkarvel sensors take the FIR length as a filter code and scale the threshold by it.
        {.sensor = kSkarvel, .name = "peak_fir_length", .value = 5, .status = CS_NO_FILTER_CODE, .writes = Writes{}},
        {.sensor = kSkarvel, .name = "peak_fir_length", .value = 6, .writes = Writes{{30007, 0x11100000}}, .readBack = 6},
        {.sensor = kSkarvel, .name = "peak_treshold", .value = 100, .writes = Writes{{30006, 50}}, .readBack = 100,
         .given = {{"peak_fir_length", 8}}},
        {.sensor = kCam, .name = "peak_treshold", .value = 100, .writes = Writes{{30006, 100}}, .readBack = 100},
        // Separate intensity and detection filters start at the peak filter's length when still 0.
        {.sensor = kCam, .name = "peak_fir_length", .value = 12, .writes = Writes{{30008, 12}, {30011, 12}},
         .readBack = 12, .given = {{"signal_detection_filter_length", 0}, {"peak_average_intensity_filter_length", 4}}},
        {.sensor = kCamOld, .name = "peak_fir_length", .value = 12, .writes = Writes{{30008, 12}}, .readBack = 12},
        {.sensor = kCam, .name = "peak_aver_fir_length", .value = 8, .writes = Writes{{30011, 8}, {30015, 8}}},
        {.sensor = kCamOld, .name = "peak_aver_fir_length", .value = 8, .status = CS_FIRMWARE_TOO_OLD, .writes = Writes{}},

        // Support by family and firmware.
        {.sensor = kSkarvel, .name = "trigger_source", .value = 1, .status = CS_NOT_SUPPORTED, .writes = Writes{}},
        {.sensor = kSkarvel, .name = "trigger_source", .op = Op::kGet, .status = CS_NOT_SUPPORTED},
        {.sensor = kCam, .name = "trigger_source", .value = 3, .writes = Writes{{20068, 3}}, .readBack = 3},
        {.sensor = kSkarvel, .name = "surface_mode", .value = 1, .status = CS_NOT_SUPPORTED, .writes = Writes{}},
        {.sensor = kCam, .name = "surface_mode", .value = 2, .writes = Writes{{20178, 2}}, .readBack = 2},
        {.sensor = kTarn, .name = "dyn_sensor_control_enable", .value = 1, .writes = Writes{{20499, 1}, {20189, 1}},
         .readBack = 1},
        {.sensor = kCam, .name = "dyn_sensor_control_enable", .value = 1, .writes = Writes{{20189, 1}}, .readBack = 1},
        {.sensor = kSkarvel, .name = "dyn_sensor_control_enable", .op = Op::kGet, .status = CS_NOT_SUPPORTED},
        // A family whose HDR support was withdrawn gets HDR switched off instead.
        {.sensor = kTarn, .name = "hdr_enable", .value = 1, .writes = Writes{{26, 0}}, .readBack = 0,
         .withdrawn = "hdr_enable"},
        {.sensor = kTarn, .name = "hdr_enable", .value = 1, .writes = Writes{{26, 1}}, .readBack = 1},

        // Names with nothing to set; library state that only reads.
        {.sensor = kCam, .name = "grabbing", .value = 1, .status = CS_NOT_ALLOWED, .writes = Writes{}, .readBack = 0,
         .log = "Not supported parameter"},
        {.sensor = kCam, .name = "line_callback_max_length", .op = Op::kGet, .status = CS_NOT_CONNECTED, .readBack = 0},

        // Units and calibration switches without any calibration loaded.
        {.sensor = kCam, .name = "peak_y_unit", .value = 2, .status = CS_OUT_OF_RANGE, .readBack = 0},
        {.sensor = kCam, .name = "peak_x_unit", .value = 1, .status = CS_NOT_AVAILABLE, .readBack = 0},
        {.sensor = kCam, .name = "peak_y_unit", .value = 0, .readBack = 0},
        {.sensor = kCam, .name = "intensity_correction_enable", .value = 1, .status = CS_NOT_AVAILABLE, .readBack = 1},
        {.sensor = kCam, .name = "z_compensation_y_direction", .value = 0, .readBack = 0},

        // The exposure window covers the LED pulse.
        {.sensor = kSkarvel, .name = "led_duration", .value = 3,
         .writes = Writes{{25, FloatBits(8.0f)}, {20014, 5}, {20008, 3}}},

        {.sensor = kCam, .name = "peak_enable", .value = 0, .writes = Writes{{30005, 0}}, .readBack = 0},
        {.sensor = kCam, .name = "peak_enable", .value = 1, .status = CS_NOT_CONNECTED, .writes = Writes{{30005, 1}},
         .readBack = 0, .fault = {30005, YOXA_STATUS_NO_RESPONSE}},
    };
    // clang-format on
    return cases;
}

TEST_F(IntParameters, SetAndGetByName) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(testing::Message()
                     << kCameras[c.sensor == kUnknownCamera ? kCam : c.sensor].sensor.model << " "
                     << (c.op == Op::kSet ? "set " : "get ") << c.name << " " << c.value);
        char* camera = Id(c.sensor);
        for (const auto& [name, value] : c.given) {
            ASSERT_EQ(_SetIntParameter(camera, name, value), CS_SUCCESS) << name;
        }
        if (c.zeroPosition >= 0) Record(c.sensor).image_height_zero_position = c.zeroPosition;
        YOXA_PARAMETER* withdrawn = c.withdrawn != nullptr ? FindParameter(c.withdrawn) : nullptr;
        const int family = kCameras[c.sensor == kUnknownCamera ? kCam : c.sensor].family;
        const int word = withdrawn != nullptr ? withdrawn->minVersion[family] : 0;
        if (withdrawn != nullptr) withdrawn->minVersion[family] = NOT_SUPPORTED;
        const char* mac = c.sensor == kUnknownCamera ? nullptr : Mac(c.sensor);
        if (c.fault.first != 0) {
            ASSERT_EQ(yoxasimSetRegisterFault(mac, c.fault.first, c.fault.second), 0);
        }
        const int logBefore = mac != nullptr ? LogLength(c.sensor) : 0;
        log_->Clear();

        int got = -12345;
        int status = c.op == Op::kSet ? _SetIntParameter(camera, c.name, c.value)
                                      : _GetIntParameter(camera, c.name, &got);

        if (c.fault.first != 0) yoxasimSetRegisterFault(mac, c.fault.first, 0);
        if (withdrawn != nullptr) withdrawn->minVersion[family] = word;
        EXPECT_EQ(status, c.status);
        if (c.writes) {
            EXPECT_EQ(WritesSince(c.sensor, logBefore), *c.writes);
        }
        if (c.log != nullptr) {
            EXPECT_TRUE(log_->Contains(c.log)) << "no log line \"" << c.log << "\"";
        }
        if (c.readBack && c.op == Op::kGet) {
            EXPECT_EQ(got, *c.readBack);
        }
        if (c.readBack && c.op == Op::kSet) {
            int value = -12345;
            EXPECT_EQ(_GetIntParameter(camera, Lower(c.name).c_str(), &value), CS_SUCCESS);
            EXPECT_EQ(value, *c.readBack);
        }
    }
}

// A failed transport write still records the frequency the client asked for.
TEST_F(IntParameters, PulseFrequencyIsKeptWhenTheWriteFails) {
    CamProperties& cam = Record(kCam);
    ASSERT_EQ(yoxasimSetRegisterFault(Mac(kCam), 20012, YOXA_STATUS_NO_RESPONSE), 0);
    EXPECT_EQ(_SetIntParameter(Id(kCam), "reg_pulse_freq", 400), CS_NOT_CONNECTED);
    yoxasimSetRegisterFault(Mac(kCam), 20012, 0);
    EXPECT_EQ(cam.pulseFrequency, 400);
}

// Without a known FIR length the threshold scale of a QVSkarvel is unknown; the register reads as it is.
TEST_F(IntParameters, ThresholdWithoutFirLengthReadsTheRegister) {
    CamProperties& cam = Record(kSkarvel);
    const int32_t saved = cam.firLength;
    cam.firLength = 0;
    const int before = LogLength(kSkarvel);
    EXPECT_EQ(_SetIntParameter(Id(kSkarvel), "peak_treshold", 40), CS_SUCCESS);
    EXPECT_EQ(WritesSince(kSkarvel, before), (Writes{{30006, 0}}));
    uint32_t raw = 33;
    ASSERT_EQ(yoxaSetRegisterInt(cam.cameraHandle, 30006, &raw), 0);
    int value = -1;
    EXPECT_EQ(_GetIntParameter(Id(kSkarvel), "peak_treshold", &value), CS_SUCCESS);
    EXPECT_EQ(value, 33);
    cam.firLength = saved;
}

// The float path that integer parameters lean on: plain float registers only, so far.
TEST_F(IntParameters, PlainFloatRegisters) {
    char* camera = Id(kCam);
    const int before = LogLength(kCam);
    EXPECT_EQ(_SetDoubleParameter(camera, "exposure", 100.0), CS_SUCCESS);
    EXPECT_EQ(WritesSince(kCam, before), (Writes{{25, FloatBits(100.0f)}}));
    double exposure = 0.0;
    EXPECT_EQ(_GetDoubleParameter(camera, "exposure", &exposure), CS_SUCCESS);
    EXPECT_DOUBLE_EQ(exposure, 100.0);

    EXPECT_EQ(_SetFloatParameter(camera, "Exposure", 1.0f), CS_UNKNOWN_PARAMETER);
    EXPECT_EQ(_SetFloatParameter(camera, "heartbeat", 1.0f), CS_WRONG_TYPE);
    EXPECT_EQ(_SetFloatParameter(camera, "sensor_temperature", 1.0f), CS_READ_ONLY);
    float value = 0.0f;
    EXPECT_EQ(_GetFloatParameter(camera, "heartbeat", &value), CS_WRONG_TYPE);
    EXPECT_EQ(_GetFloatParameter(Id(kUnknownCamera), "exposure", &value), CS_UNKNOWN_CAMERA);
}

// Switching between peaks and raw images while grabbing drops what is queued and keeps grabbing.
TEST_F(IntParameters, PeakModeChangeWhileGrabbing) {
    char* camera = Id(kCam);
    if (_StartGrabbing(camera) != CS_SUCCESS) GTEST_SKIP() << "grabbing is not available yet";
    CamProperties& cam = Record(kCam);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    EXPECT_EQ(_SetIntParameter(camera, "peak_enable", 0), CS_SUCCESS);
    EXPECT_TRUE(cam.grabbing);
    EXPECT_FALSE(cam.peakMode);
    EXPECT_FALSE(cam.holdPeakQueue);
    EXPECT_FALSE(cam.discardFrames);
    unsigned reg = 1;
    EXPECT_EQ(yoxasimPeekRegister(Mac(kCam), 30005, &reg), 0);
    EXPECT_EQ(reg, 0u);

    EXPECT_EQ(_SetIntParameter(camera, "max_point_count", 100), CS_NOT_ALLOWED);
    EXPECT_EQ(_SetIntParameter(camera, "peak_enable", 1), CS_SUCCESS);
    EXPECT_TRUE(cam.peakMode);
    int grabbing = 0;
    EXPECT_EQ(_GetIntParameter(camera, "grabbing", &grabbing), CS_SUCCESS);
    EXPECT_EQ(grabbing, 1);
    EXPECT_EQ(_StopGrabbing(camera), CS_SUCCESS);
}

// The LED pulse is changed with grabbing stopped; a step that fails must not leave the camera stopped.
TEST_F(IntParameters, LedDurationFailureResumesGrabbing) {
    char* camera = Id(kSkarvel);
    if (_StartGrabbing(camera) != CS_SUCCESS) GTEST_SKIP() << "grabbing is not available yet";
    ASSERT_EQ(yoxasimSetRegisterFault(Mac(kSkarvel), 20014, YOXA_STATUS_NO_RESPONSE), 0);
    EXPECT_EQ(_SetIntParameter(camera, "led_duration", 4), CS_NOT_CONNECTED);
    yoxasimSetRegisterFault(Mac(kSkarvel), 20014, 0);
    EXPECT_TRUE(Record(kSkarvel).grabbing);
    EXPECT_EQ(_StopGrabbing(camera), CS_SUCCESS);
}

}  // namespace
