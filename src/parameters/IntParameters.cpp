// Integer parameters: the name dispatch of the integer set and get, and the register operations with
// validation that initialization and the presets call directly.
//
// Names handled before the table lookup ignore letter case; every later name has already matched the
// table exactly, so its handler is found by exact name.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "logging/Log.h"
#include "parameters/ParameterTable.h"
#include "reception/ImageReception.h"
#include "transport/YoxaDll.h"

namespace {

using namespace std::chrono_literals;

constexpr int kRegImageOffsetY = 5;
constexpr int kRegPeakFilterCoeff = 30007;
constexpr int kRegPeakFirLength = 30008;
constexpr int kRegAverageFirLength = 30011;
constexpr int kRegAverageIntensityFirLength = 30015;
constexpr int kRegMaxPeaksPerFrame = 30016;
constexpr int kRegDynSensorCtrlRestart = 20499;

constexpr uint32_t kMaxPulseFrequency = 50000;
constexpr int kLedPulseDelay = 5;
constexpr double kLedExposureMargin = 5.0;
// The threshold register of QVSkarvel sensors counts in units of the FIR length over 16 taps.
constexpr float kThresholdTaps = 16.0f;

// Any value starts the restart command; the register holds no setting.
constexpr uint32_t kDynSensorCtrlRestartCommand = 1;

int FamilyIndex(const CamProperties& cam) {
    return cam.familyIndex;
}
bool IsQvTarn(const CamProperties& cam) {
    return cam.family == FAMILY_QVTARN;
}

int WriteIntRegisterRaw(const CamProperties& cam, int reg, uint32_t value) {
    return yoxaSetRegisterInt(cam.cameraHandle, reg, &value);
}

CameraStatus WriteIntRegister(const CamProperties& cam, int reg, uint32_t value) {
    return ConvertReadWriteStatus(WriteIntRegisterRaw(cam, reg, value));
}

CameraStatus ReadIntRegister(const CamProperties& cam, int reg, uint32_t* value) {
    return ConvertReadWriteStatus(yoxaGetRegisterInt(cam.cameraHandle, reg, value));
}

// A stored float or double read as an integer: truncated toward zero, saturated instead of overflowing.
template <typename T>
int TruncateToInt(T value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<T>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (value <= static_cast<T>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// Rounds half away from zero into the register's range.
uint32_t RoundToRegister(double value) {
    if (!(value > 0.0)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<uint32_t>::max()))
        return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(std::round(value));
}

std::string Hex(int value) {
    char text[16];
    std::snprintf(text, sizeof(text), "%x", static_cast<unsigned>(value));
    return text;
}

// The caller's name folded to lower case for the names that ignore letter case. A name longer than the
// buffer matches none of them.
class FoldedName {
public:
    explicit FoldedName(const char* name) {
        if (name == nullptr) return;
        std::size_t n = 0;
        for (; name[n] != '\0'; ++n) {
            if (n == text_.size()) {
                length_ = 0;
                return;
            }
            unsigned char c = static_cast<unsigned char>(name[n]);
            text_[n] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
        }
        length_ = n;
    }
    std::string_view View() const { return {text_.data(), length_}; }

private:
    std::array<char, 64> text_{};
    std::size_t length_ = 0;
};

// A name-to-handler table, sorted at compile time and searched by bisection.
template <typename Handler>
using Row = std::pair<std::string_view, Handler>;
template <typename Handler, std::size_t N>
using HandlerTable = std::array<Row<Handler>, N>;

template <typename Handler, std::size_t N>
constexpr HandlerTable<Handler, N> Sorted(HandlerTable<Handler, N> rows) {
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return rows;
}

template <typename Handler, std::size_t N>
constexpr bool Unique(const HandlerTable<Handler, N>& rows) {
    return std::adjacent_find(rows.begin(), rows.end(),
                              [](const auto& a, const auto& b) { return a.first == b.first; }) == rows.end();
}

template <typename Handler, std::size_t N>
Handler Lookup(const HandlerTable<Handler, N>& rows, std::string_view name) {
    auto it = std::lower_bound(rows.begin(), rows.end(), name,
                               [](const auto& row, std::string_view wanted) { return row.first < wanted; });
    return it != rows.end() && it->first == name ? it->second : nullptr;
}

template <std::size_t N>
constexpr std::array<std::string_view, N> SortedNames(std::array<std::string_view, N> names) {
    std::sort(names.begin(), names.end());
    return names;
}

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::binary_search(names.begin(), names.end(), name);
}

// ---------------------------------------------------------------- set

struct IntSet {
    CImageReception& reception;
    CamProperties& cam;
    int index;
    char* camera;
    const char* name;
    int value;
    int reg;  // the table entry's register; 0 before the table lookup

    uint32_t Unsigned() const { return static_cast<uint32_t>(value); }
    bool Supported(CameraStatus* status) const {
        bool supported = false;
        *status = reception.GetParameterSupport(index, name, &supported);
        return supported;
    }
};

// Stage 1 handlers answer nullopt when the set goes on to the table lookup.
using EarlySetHandler = std::optional<CameraStatus> (*)(IntSet&);
using SetHandler = CameraStatus (*)(IntSet&);

// max_point_count also limits the sensor's own peak output. The register takes the value only when the
// library will accept it too, so that a refused value does not leave the sensor sending more peaks than
// the library keeps.
std::optional<CameraStatus> EarlyMaxPointCount(IntSet& s) {
    bool supported = false;
    s.reception.GetParameterSupport(s.index, "max_peaks_per_frame", &supported);
    if (supported && s.value >= 0 && !s.cam.grabbing) {
        if (WriteIntRegisterRaw(s.cam, kRegMaxPeaksPerFrame, s.Unsigned()) == YOXA_STATUS_SUCCESS) {
            YLOG(TRACE) << "Camera#" << s.index << " Set REG_PEAK_MAX_PEAKS_PER_FRAME: " << s.value;
        } else {
            YLOG(TRACE) << "Camera#" << s.index << " Set REG_PEAK_MAX_PEAKS_PER_FRAME: failed";
        }
    }
    return std::nullopt;
}

std::optional<CameraStatus> EarlyHdrEnable(IntSet& s) {
    bool supported = false;
    s.reception.GetParameterSupport(s.index, "hdr_enable", &supported);
    if (!supported) s.value = 0;
    return std::nullopt;
}

constexpr auto kEarlySetHandlers = Sorted(std::to_array<Row<EarlySetHandler>>({
    {"max_point_count", EarlyMaxPointCount},
    {"detect_missing_first_layer",
     [](IntSet& s) -> std::optional<CameraStatus> {
         s.cam.detect_missing_first_layer = static_cast<float>(s.value);
         return CS_SUCCESS;
     }},
    {"detect_missing_first_layer_min_length",
     [](IntSet& s) -> std::optional<CameraStatus> {
         s.cam.detect_missing_first_layer_min_length = static_cast<double>(s.value);
         return CS_SUCCESS;
     }},
    {"detect_missing_first_layer_x",
     [](IntSet& s) -> std::optional<CameraStatus> {
         s.cam.detect_missing_first_layer_x = static_cast<float>(s.value);
         return CS_SUCCESS;
     }},
    {"hdr_enable", EarlyHdrEnable},
    {"thickness_mode",
     [](IntSet& s) -> std::optional<CameraStatus> {
         s.cam.thickness_mode = s.value;
         return CS_SUCCESS;
     }},
}));
static_assert(Unique(kEarlySetHandlers));

CameraStatus SetPulseFrequency(IntSet& s) {
    if (s.Unsigned() > kMaxPulseFrequency) {
        YLOG(ERROR) << "Pulse Frequency: " << s.value << ", too high.";
        return CS_OUT_OF_RANGE;
    }
    int status = WriteIntRegisterRaw(s.cam, s.reg, s.Unsigned());
    s.reception.RegisterSleep(s.index);
    s.cam.pulseFrequency = s.value;
    return ConvertReadWriteStatus(status);
}

// QvTarn sensors negotiate their packet size and gap themselves.
CameraStatus SetNetworkRegister(IntSet& s) {
    if (IsQvTarn(s.cam)) {
        char id[18] = {};
        s.reception.GetCameraId(s.index, id);
        YLOG(TRACE) << "Parameter " << s.name << " managed by camera: " << id;
        return CS_SUCCESS;
    }
    return WriteIntRegister(s.cam, s.reg, s.Unsigned());
}

CameraStatus SetImageOffsetX(IntSet& s) {
    YLOG(DEBUG) << "X offset " << s.value << " handled by QVAPI.";
    s.cam.imageOffsetX = s.value;
    int written = s.value;
    if (int adjust = s.cam.offsetAdjustX; adjust != 0) {
        written += adjust;
        YLOG(TRACE) << "X offset " << adjust << " added.";
    }
    return WriteIntRegister(s.cam, s.reg, static_cast<uint32_t>(written));
}

CameraStatus SetImageOffsetY(IntSet& s) {
    CamProperties& cam = s.cam;
    int offset = s.value;
    if (offset < 0) {
        // Centre the window on the calibration's zero height.
        offset = std::max(cam.image_height_zero_position - cam.imageHeight / 2, 0);
        YLOG(TRACE) << "Height zero position used. Calculated offset " << offset;
        cam.heightZeroUsed = true;
    } else {
        cam.heightZeroUsed = false;
    }
    bool supported = false;
    s.reception.GetParameterSupport(s.index, "image_offsety", &supported);
    if (!supported) {
        // The library shifts the rows itself on firmware without the offset.
        YLOG(TRACE) << "Y offset " << offset << " handled by QVAPI.";
        cam.imageOffsetY = offset;
    }
    cam.lastOffsetY = offset;
    int written = offset;
    if (int adjust = cam.offsetAdjustY; adjust != 0) {
        written += adjust;
        YLOG(TRACE) << "Y offset " << adjust << " added.";
    }
    int status = WriteIntRegisterRaw(cam, s.reg, static_cast<uint32_t>(written));
    if (status != YOXA_STATUS_SUCCESS) {
        YLOG(ERROR) << "Could not change sensor offset to " << written << ", error " << status;
    }
    return ConvertReadWriteStatus(status);
}

// Switching between peak data and raw images while grabbing: the queues still hold frames of the old
// kind, so they are drained or dropped before the sensor switches, and the first frames after the switch
// are discarded while the sensor settles.
CameraStatus SetPeakMode(IntSet& s) {
    CamProperties& cam = s.cam;
    if (!cam.grabbing) {
        CameraStatus status = WriteIntRegister(cam, s.reg, s.Unsigned());
        if (status != CS_SUCCESS) return status;
        s.reception.RegisterSleep(s.index);
        cam.peakMode = s.value == 1;
        return CS_SUCCESS;
    }
    cam.grabbing = false;
    cam.holdPeakQueue = true;
    YLOG(TRACE) << "Stop grabbing for peak mode change";
    for (int round = 0; round < 200 && !s.reception.QueuesEmpty(s.index); ++round) {
        std::this_thread::sleep_for(10ms);
    }
    s.reception.ClearQueues(s.index);
    cam.holdPeakQueue = false;
    CameraStatus status = WriteIntRegister(cam, s.reg, s.Unsigned());
    if (status != CS_SUCCESS) {
        cam.grabbing = true;
        return status;
    }
    s.reception.RegisterSleep(s.index);
    cam.peakMode = s.value == 1;
    cam.discardFrames = true;
    cam.grabbing = true;
    std::this_thread::sleep_for(1000ms);
    YLOG(TRACE) << "Restart grabbing";
    cam.discardFrames = false;
    return CS_SUCCESS;
}

CameraStatus SetLedDurationParameter(IntSet& s) {
    if (IsQvTarn(s.cam)) {
        return s.reception.SetParameter(s.camera, "reg_pulse_width_float", static_cast<float>(s.value));
    }
    return s.reception.SetLedDuration(s.camera, s.value);
}

CameraStatus SetImageHeightParameter(IntSet& s) {
    // -1 passes as a large unsigned value; the sensor rejects it.
    if (s.Unsigned() <= 7) {
        YLOG(ERROR) << "Parameter " << s.name << " value too low: " << s.value;
        return CS_OUT_OF_RANGE;
    }
    uint32_t height = s.Unsigned();
    return s.reception.SetImageHeight(s.index, s.reg, &height);
}

CameraStatus SetAverageFirLength(IntSet& s) {
    CameraStatus status;
    if (!s.Supported(&status)) {
        YLOG(TRACE) << "Parameter " << s.name << " is not supported by current firmware";
        return status;
    }
    bool separateIntensityFilter = false;
    s.reception.GetParameterSupport(s.index, "signal_detection_filter_length", &separateIntensityFilter);
    status = WriteIntRegister(s.cam, kRegAverageFirLength, s.Unsigned());
    if (status != CS_SUCCESS || !separateIntensityFilter) return status;
    return WriteIntRegister(s.cam, kRegAverageIntensityFirLength, s.Unsigned());
}

uint32_t PeakXFilterCode(int value) {
    switch (value) {
        case 0:
            return 0xF000;
        case 3:
            return 0x5500;
        case 5:
            return 0x3330;
        case 7:
            return 0x2222;
        default:
            return static_cast<uint32_t>(value);
    }
}

int PeakXFilterValue(uint32_t code) {
    switch (code) {
        case 0xF000:
            return 0;
        case 0x2222:
            return 7;
        case 0x3330:
            return 5;
        case 0x5500:
            return 3;
        default:
            return static_cast<int>(code);
    }
}

CameraStatus SetPeakXFilter(IntSet& s) {
    CameraStatus status;
    if (!s.Supported(&status)) {
        YLOG(TRACE) << "Parameter " << s.name << " is not supported by current firmware";
        return CS_SUCCESS;
    }
    if (s.value < 0 || s.value > 65535) {
        YLOG(ERROR) << "Parameter " << s.name << " invalid value: " << Hex(s.value);
        return CS_OUT_OF_RANGE;
    }
    return WriteIntRegister(s.cam, s.reg, PeakXFilterCode(s.value));
}

CameraStatus SetDynSensorControl(IntSet& s) {
    CameraStatus status;
    if (!s.Supported(&status)) return status;
    if (IsQvTarn(s.cam) && s.value == 1) {
        // The point table is read again from the start; a failure shows in the enable write below.
        WriteIntRegisterRaw(s.cam, kRegDynSensorCtrlRestart, kDynSensorCtrlRestartCommand);
    }
    status = WriteIntRegister(s.cam, s.reg, s.Unsigned());
    s.cam.dyn_sensor_control_enable = s.value;
    return status;
}

CameraStatus SetMaxPointCount(IntSet& s) {
    if (s.value < 0) {
        YLOG(WARNING) << "Cannot set negative max. point (peak) count.";
        return CS_OUT_OF_RANGE;
    }
    // The peak buffers are sized by this count while grabbing.
    if (s.cam.grabbing) {
        YLOG(WARNING) << "Cannot change max. point (peak) count during live reception.";
        return CS_NOT_ALLOWED;
    }
    s.cam.maxPointCount = s.value;
    YLOG(TRACE) << "Changed max. point (peak) count to " << s.value;
    return CS_SUCCESS;
}

// Stores value in field when lo <= value <= hi, else 17.
template <auto Field, int Lo, int Hi>
CameraStatus StoreInRange(IntSet& s) {
    if (s.value < Lo || s.value > Hi) return CS_OUT_OF_RANGE;
    s.cam.*Field = s.value;
    return CS_SUCCESS;
}

template <auto Field>
CameraStatus StoreNonNegative(IntSet& s) {
    return StoreInRange<Field, 0, std::numeric_limits<int>::max()>(s);
}

// A median needs a window of at least three; 0 switches the filter off.
template <auto Field>
CameraStatus StoreMedianSize(IntSet& s) {
    if (s.value != 0 && (s.value < 3 || s.value > 2047)) return CS_OUT_OF_RANGE;
    s.cam.*Field = s.value;
    return CS_SUCCESS;
}

CameraStatus SetSensorType(IntSet& s) {
    // 24520 and 31520 use the calibration constants of 2470 and 3170.
    int type = s.value == 24520 ? 2470 : s.value == 31520 ? 3170 : s.value;
    if (type < 730 || type > 3170) return CS_OUT_OF_RANGE;
    s.cam.sensor_type = type;
    return CS_SUCCESS;
}

constexpr auto kSetHandlers = Sorted(std::to_array<Row<SetHandler>>({
    {"reg_pulse_freq", SetPulseFrequency},
    {"ifg", SetNetworkRegister},
    {"mtu",
     [](IntSet& s) { return s.value < 0 ? CS_OUT_OF_RANGE : SetNetworkRegister(s); }},
    {"ifg_10ge",
     [](IntSet& s) {
         return s.value < 0 || s.value > 65000 ? CS_OUT_OF_RANGE : WriteIntRegister(s.cam, s.reg, s.Unsigned());
     }},
    {"surface_mode",
     [](IntSet& s) {
         CameraStatus status;
         return s.Supported(&status) ? WriteIntRegister(s.cam, s.reg, s.Unsigned()) : status;
     }},
    {"image_offsetx", SetImageOffsetX},
    {"image_offsety", SetImageOffsetY},
    {"peak_enable", SetPeakMode},
    {"led_duration", SetLedDurationParameter},
    {"peak_y_unit", [](IntSet& s) { return s.reception.SetYUnit(s.index, s.value); }},
    {"peak_x_unit", [](IntSet& s) { return s.reception.SetXUnit(s.index, s.value); }},
    {"intensity_correction_enable",
     [](IntSet& s) { return s.reception.SetIntensityCalibration(s.index, s.value != 0); }},
    {"z_compensation_y_direction",
     [](IntSet& s) { return s.reception.SetZCompensation(s.index, false, s.value != 0); }},
    {"z_compensation_x_direction",
     [](IntSet& s) { return s.reception.SetZCompensation(s.index, true, s.value != 0); }},
    {"z_compensation_offset",
     [](IntSet& s) { return s.reception.SetZCompensationOffset(s.index, s.value != 0); }},
    {"z_compensation_interpolate",
     [](IntSet& s) {
         s.cam.z_compensation_interpolate = s.value == 1;
         return CS_SUCCESS;
     }},
    {"image_height", SetImageHeightParameter},
    {"peak_fir_length",
     [](IntSet& s) {
         uint32_t length = s.Unsigned();
         return s.reception.SetFirLength(s.index, &length);
     }},
    {"peak_aver_fir_length", SetAverageFirLength},
    {"peak_x_filter", SetPeakXFilter},
    {"dyn_sensor_control_enable", SetDynSensorControl},
    {"peak_treshold", [](IntSet& s) { return s.reception.SetPeakCoreThreshold(s.index, s.reg, s.Unsigned()); }},
    {"flip_x_enabled",
     [](IntSet& s) {
         s.cam.flip_x_enabled = s.value == 1;
         return CS_SUCCESS;
     }},
    {"flip_z_enabled",
     [](IntSet& s) {
         s.cam.flip_z_enabled = s.value == 1;
         return CS_SUCCESS;
     }},
    {"interleavefilter", StoreInRange<&CamProperties::interleavefilter, 0, 2>},
    {"max_point_count", SetMaxPointCount},
    {"reordering",
     [](IntSet& s) {
         s.cam.reordering = s.value != 0;
         return CS_SUCCESS;
     }},
    {"reordering_span", StoreInRange<&CamProperties::reordering_span, 1, 5000>},
    {"reordering_deviation", StoreInRange<&CamProperties::reordering_deviation, 1, 10000>},
    {"frequency_calculation",
     [](IntSet& s) {
         s.cam.frequency_calculation = s.value != 0;
         return CS_SUCCESS;
     }},
    {"sensor_type", SetSensorType},
    {"batch_length", StoreNonNegative<&CamProperties::batch_length>},
    {"batch_timeout", StoreNonNegative<&CamProperties::batch_timeout>},
    {"median_z_filter_size", StoreMedianSize<&CamProperties::median_z_filter_size>},
    {"median_intensity_filter_size", StoreMedianSize<&CamProperties::median_intensity_filter_size>},
    {"noise_removal",
     [](IntSet& s) {
         s.cam.noise_removal = (s.value & 1) != 0;
         s.cam.noise_removal_sequential = (s.value & 2) != 0;
         return CS_SUCCESS;
     }},
    {"moving_direction",
     [](IntSet& s) {
         s.cam.moving_direction = s.value & 1;
         return CS_SUCCESS;
     }},
    {"trim_edges",
     [](IntSet& s) {
         s.cam.trim_edges = s.value == 1;
         return CS_SUCCESS;
     }},
}));
static_assert(Unique(kSetHandlers));

// Custom names that are nothing but a register, but that the first sensor family lacks.
constexpr auto kRegisterOnlySetNames = SortedNames(std::to_array<std::string_view>({
    "trigger_source",
    "trigger_disable_source",
    "trigger_zero_source",
    "trigger_minus_source",
    "agc_enabled",
    "agc_pulse_width_limit",
    "agc_minimum_pulse_width_limit",
    "output_pin_state",
    "input_pin_state",
    "duty_cycle_monitor_period",
    "y_tolerance_min",
    "y_tolerance_max",
    "x_limit_min",
    "x_limit_max",
    "peak_count_limit",
    "trigger_mask_start",
    "trigger_mask_end",
    "motor_target_position_reached",
    "motor_parameter_address",
    "motor_parameter_value_write",
    "motor_last_accomplished_command",
}));

// ---------------------------------------------------------------- get

struct IntGet {
    CImageReception& reception;
    CamProperties& cam;
    int index;
    const char* name;
    int reg;  // the table entry's register; 0 before the table lookup
    int* value;

    CameraStatus Answer(int result) const {
        *value = result;
        return CS_SUCCESS;
    }
    // Reads a register and answers it through `translate` when the read succeeded.
    template <typename Translate>
    CameraStatus AnswerRegister(int reg, Translate translate) const {
        uint32_t raw = 0;
        CameraStatus status = ReadIntRegister(cam, reg, &raw);
        if (status == CS_SUCCESS) *value = translate(raw);
        return status;
    }
    CameraStatus AnswerRegister() const {
        return AnswerRegister(reg, [](uint32_t raw) { return static_cast<int>(raw); });
    }
};

using GetHandler = CameraStatus (*)(IntGet&);

constexpr auto kEarlyGetHandlers = Sorted(std::to_array<Row<GetHandler>>({
    {"detect_missing_first_layer",
     [](IntGet& g) { return g.Answer(TruncateToInt(g.cam.detect_missing_first_layer.load())); }},
    {"detect_missing_first_layer_x",
     [](IntGet& g) { return g.Answer(TruncateToInt(g.cam.detect_missing_first_layer_x.load())); }},
    {"detect_missing_first_layer_min_length",
     [](IntGet& g) { return g.Answer(TruncateToInt(g.cam.detect_missing_first_layer_min_length.load())); }},
    {"thickness_mode", [](IntGet& g) { return g.Answer(g.cam.thickness_mode); }},
    {"intensity_correction_enable",
     [](IntGet& g) { return g.Answer(g.cam.intensity_correction_enable ? 1 : 0); }},
}));
static_assert(Unique(kEarlyGetHandlers));

// Registers of the second and third family that the first family lacks.
CameraStatus GetRegisterOnly(IntGet& g) {
    if (FamilyIndex(g.cam) == FAMILY_QVSKARVEL) return CS_NOT_SUPPORTED;
    return g.AnswerRegister();
}

// Points per line of a line callback, from the first layer's line processor. Line processors come with
// the line callbacks; until then no camera has one.
CameraStatus GetLineCallbackMaxLength(IntGet& g) {
    *g.value = 0;
    return CS_NOT_CONNECTED;
}

template <auto Field>
CameraStatus AnswerField(IntGet& g) {
    return g.Answer(static_cast<int>((g.cam.*Field).load()));
}

constexpr auto kGetHandlers = Sorted(std::to_array<Row<GetHandler>>({
    {"peak_enable", [](IntGet& g) { return g.AnswerRegister(); }},
    {"reg_pulse_freq",
     [](IntGet& g) {
         CameraStatus status = g.AnswerRegister();
         if (status == CS_SUCCESS) g.cam.pulseFrequency = *g.value;
         return status;
     }},
    {"ifg", [](IntGet& g) { return g.AnswerRegister(); }},
    {"ifg_10ge", [](IntGet& g) { return g.AnswerRegister(); }},
    {"mtu", [](IntGet& g) { return g.AnswerRegister(); }},
    {"peak_fir_length",
     [](IntGet& g) {
         uint32_t length = 0;
         CameraStatus status = g.reception.GetFirLength(g.index, &length);
         if (status == CS_SUCCESS) *g.value = static_cast<int>(length);
         return status;
     }},
    {"peak_treshold",
     [](IntGet& g) {
         uint32_t threshold = 0;
         CameraStatus status = g.reception.GetPeakCoreThreshold(g.index, g.reg, &threshold);
         if (status == CS_SUCCESS) *g.value = static_cast<int>(threshold);
         return status;
     }},
    {"flip_x_enabled", AnswerField<&CamProperties::flip_x_enabled>},
    // Readable like its X counterpart, so a recipe can save and restore it.
    {"flip_z_enabled", AnswerField<&CamProperties::flip_z_enabled>},
    {"interleavefilter", AnswerField<&CamProperties::interleavefilter>},
    {"max_point_count", AnswerField<&CamProperties::maxPointCount>},
    {"reordering", AnswerField<&CamProperties::reordering>},
    {"frequency_calculation", AnswerField<&CamProperties::frequency_calculation>},
    {"reordering_span", AnswerField<&CamProperties::reordering_span>},
    {"reordering_deviation", AnswerField<&CamProperties::reordering_deviation>},
    {"line_callback_max_length", GetLineCallbackMaxLength},
    {"trigger_source", GetRegisterOnly},
    {"trigger_disable_source", GetRegisterOnly},
    {"trigger_zero_source", GetRegisterOnly},
    {"trigger_minus_source", GetRegisterOnly},
    {"agc_enabled", GetRegisterOnly},
    {"agc_pulse_width_limit", GetRegisterOnly},
    {"agc_minimum_pulse_width_limit", GetRegisterOnly},
    {"output_pin_state", GetRegisterOnly},
    {"input_pin_state", GetRegisterOnly},
    {"duty_cycle_monitor_period", GetRegisterOnly},
    {"y_tolerance_min", GetRegisterOnly},
    {"y_tolerance_max", GetRegisterOnly},
    {"x_limit_min", GetRegisterOnly},
    {"x_limit_max", GetRegisterOnly},
    {"peak_count_limit", GetRegisterOnly},
    {"trigger_mask_start", GetRegisterOnly},
    {"trigger_mask_end", GetRegisterOnly},
    {"motor_target_position_reached", GetRegisterOnly},
    {"motor_parameter_address", GetRegisterOnly},
    {"motor_last_accomplished_command", GetRegisterOnly},
    {"saturation_count", GetRegisterOnly},
    {"average_frame_intensity", GetRegisterOnly},
    {"motor_parameter_value_read", GetRegisterOnly},
    {"firmware_update_status", GetRegisterOnly},
    {"dyn_sensor_control_enable", GetRegisterOnly},
    {"sensor_type", AnswerField<&CamProperties::sensor_type>},
    {"image_height_zero_position", AnswerField<&CamProperties::image_height_zero_position>},
    {"batch_length", AnswerField<&CamProperties::batch_length>},
    {"batch_timeout", AnswerField<&CamProperties::batch_timeout>},
    {"median_z_filter_size", AnswerField<&CamProperties::median_z_filter_size>},
    {"median_intensity_filter_size", AnswerField<&CamProperties::median_intensity_filter_size>},
    {"camera_ram_type", [](IntGet& g) { return g.Answer(g.cam.cameraRamType); }},
    {"sensor_data_in_flash", [](IntGet& g) { return g.Answer(g.cam.sensorDataInFlash ? 1 : 0); }},
    {"grabbing", [](IntGet& g) { return g.Answer(g.cam.grabbing ? 1 : 0); }},
    {"noise_removal",
     [](IntGet& g) { return g.Answer((g.cam.noise_removal ? 1 : 0) + (g.cam.noise_removal_sequential ? 2 : 0)); }},
    {"z_compensation_x_direction", AnswerField<&CamProperties::z_compensation_x_direction>},
    {"z_compensation_offset", AnswerField<&CamProperties::z_compensation_offset>},
    {"z_compensation_y_direction", AnswerField<&CamProperties::z_compensation_y_direction>},
    {"z_compensation_interpolate", AnswerField<&CamProperties::z_compensation_interpolate>},
    {"moving_direction", [](IntGet& g) { return g.Answer(g.cam.moving_direction != 0 ? 1 : 0); }},
    {"trim_edges", AnswerField<&CamProperties::trim_edges>},
    {"peak_x_filter", [](IntGet& g) { return g.AnswerRegister(g.reg, PeakXFilterValue); }},
    {"surface_mode",
     [](IntGet& g) {
         bool supported = false;
         CameraStatus status = g.reception.GetParameterSupport(g.index, g.name, &supported);
         return supported ? g.AnswerRegister() : status;
     }},
    {"peak_y_unit", AnswerField<&CamProperties::peak_y_unit>},
    {"peak_x_unit", AnswerField<&CamProperties::peak_x_unit>},
}));
static_assert(Unique(kGetHandlers));

}  // namespace

// ---------------------------------------------------------------- the integer set and get

CameraStatus CImageReception::SetParameter(char* camera, const char* name, int value) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    CamProperties& cam = cameras[index];
    YLOG(TRACE) << "Camera#" << index << " Set int parameter " << (name != nullptr ? name : "") << ": "
                << value;

    IntSet set{*this, cam, index, camera, name, value, 0};
    if (EarlySetHandler early = Lookup(kEarlySetHandlers, FoldedName(name).View())) {
        if (std::optional<CameraStatus> result = early(set)) return *result;
    }

    int type = 0;
    bool custom = false;
    CameraStatus status;
    if (!MapParameter(name, &type, &set.reg, &custom, &status)) return status;
    const std::string_view exact(name);
    if (exact == "sensor_board_temperature") {
        YLOG(ERROR) << "Read only parameter";
        return CS_READ_ONLY;
    }
    if ((type & YOXA_PARAMETER_INT) == 0) {
        YLOG(ERROR) << "Invalid param type, parameter: " << name << " is not integer";
        return CS_WRONG_TYPE;
    }
    if (exact == "image_width") cam.imageWidth = set.value;
    if (!custom) {
        int result = WriteIntRegisterRaw(cam, set.reg, set.Unsigned());
        RegisterSleep(index);
        return ConvertReadWriteStatus(result);
    }
    if (SetHandler handler = Lookup(kSetHandlers, exact)) return handler(set);

    bool supported = false;
    status = GetParameterSupport(index, name, &supported);
    if (!supported) return status;
    if (exact == "flush_queue") return FlushQueue(camera, set.value);
    if (Contains(kRegisterOnlySetNames, exact)) {
        if (FamilyIndex(cam) == FAMILY_QVSKARVEL) return CS_NOT_SUPPORTED;
        return WriteIntRegister(cam, set.reg, set.Unsigned());
    }
    YLOG(ERROR) << "Not supported parameter";
    return CS_NOT_ALLOWED;
}

CameraStatus CImageReception::GetParameter(char* camera, const char* name, int* value) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    CamProperties& cam = cameras[index];

    IntGet get{*this, cam, index, name, 0, value};
    if (GetHandler early = Lookup(kEarlyGetHandlers, FoldedName(name).View())) return early(get);

    int type = 0;
    bool custom = false;
    CameraStatus status;
    if (!MapParameter(name, &type, &get.reg, &custom, &status)) return status;
    if (type != YOXA_PARAMETER_INT) {
        YLOG(ERROR) << "Invalid param type, parameter: " << name << " is not integer";
        return CS_WRONG_TYPE;
    }
    const std::string_view exact(name);
    if (!custom || exact == "image_height") return get.AnswerRegister();
    // Offsets are reported in the client's window, without the sensor's own correction.
    if (exact == "image_offsety") {
        return get.AnswerRegister(get.reg,
                                  [&cam](uint32_t raw) { return static_cast<int>(raw) - cam.offsetAdjustY; });
    }
    if (exact == "image_offsetx") {
        return get.AnswerRegister(get.reg,
                                  [&cam](uint32_t raw) { return static_cast<int>(raw) - cam.offsetAdjustX; });
    }
    if (GetHandler handler = Lookup(kGetHandlers, exact)) return handler(get);
    return CS_UNKNOWN_PARAMETER;
}

// ---------------------------------------------------------------- register operations with validation

CameraStatus CImageReception::SetImageHeight(int index, int reg, uint32_t* value) {
    char id[18] = {};
    bool wasGrabbing = false;
    if (index < 0 || index >= cameraCount || GetCameraId(index, id) != CS_SUCCESS ||
        IsGrabbing(id, &wasGrabbing) != CS_SUCCESS) {
        return CS_UNKNOWN_CAMERA;
    }
    CamProperties& cam = cameras[index];
    if (wasGrabbing) {
        StopGrabbing(id);
        std::this_thread::sleep_for(500ms);
    }
    // QvTarn sensors apply a new window at once; the others need time to reconfigure.
    auto writeHeight = [&] {
        int result = WriteIntRegisterRaw(cam, reg, *value);
        if (!IsQvTarn(cam)) std::this_thread::sleep_for(100ms);
        return result;
    };
    int status = writeHeight();
    if (status != YOXA_STATUS_SUCCESS) {
        // The sensor refuses a window that would reach past its last row: retry from offset 0, then put
        // the offset back so that the register ends as it was.
        uint32_t offset = 0;
        if (yoxaGetRegisterInt(cam.cameraHandle, kRegImageOffsetY, &offset) == YOXA_STATUS_SUCCESS) {
            SetParameter(id, "image_offsety", 0);
            YLOG(TRACE) << "Write height " << *value;
            status = writeHeight();
            SetParameter(id, "image_offsety", static_cast<int>(offset) - cam.offsetAdjustY);
        }
    }
    if (status != YOXA_STATUS_SUCCESS) {
        YLOG(ERROR) << "Could not change sensor height to " << *value << ", error "
                    << YoxaApiStatusString(status) << " (" << status << ")";
    } else {
        cam.imageHeight = static_cast<int32_t>(*value);
    }
    if (wasGrabbing) StartGrabbing(id);
    return ConvertReadWriteStatus(status);
}

CameraStatus CImageReception::SetFirLength(int index, uint32_t* value) {
    if (index < 0 || index >= kMaxCameras) return CS_UNKNOWN_CAMERA;
    CamProperties& cam = cameras[index];
    // firLength scales the threshold of QVSkarvel sensors, so it follows only a length the sensor took.
    if (FamilyIndex(cam) != FAMILY_QVSKARVEL) {
        CameraStatus status = WriteIntRegister(cam, kRegPeakFirLength, *value);
        if (status == CS_SUCCESS) cam.firLength = static_cast<int32_t>(*value);
        // Firmware with separate intensity and detection filters starts them at the peak filter's length
        // unless they were set before.
        char id[18] = {};
        bool separate = false;
        if (GetCameraId(index, id) == CS_SUCCESS &&
            GetParameterSupport(id, "peak_average_intensity_filter_length", &separate) == CS_SUCCESS &&
            separate) {
            for (const char* name :
                 {"signal_detection_filter_length", "peak_average_intensity_filter_length"}) {
                int current = -1;
                if (GetParameter(id, name, &current) == CS_SUCCESS && current == 0) {
                    SetParameter(id, name, static_cast<int>(*value));
                }
            }
        }
        return status;
    }
    auto code = std::find_if(firMap.begin(), firMap.end(), [length = *value](const auto& entry) {
        return entry.second == static_cast<int>(length);
    });
    if (code == firMap.end()) return CS_NO_FILTER_CODE;
    CameraStatus status = WriteIntRegister(cam, kRegPeakFilterCoeff, code->first);
    if (status == CS_SUCCESS) cam.firLength = static_cast<int32_t>(*value);
    return status;
}

CameraStatus CImageReception::GetFirLength(int index, uint32_t* value) {
    if (index < 0 || index >= kMaxCameras) return CS_UNKNOWN_CAMERA;
    const CamProperties& cam = cameras[index];
    if (FamilyIndex(cam) != FAMILY_QVSKARVEL) return ReadIntRegister(cam, kRegPeakFirLength, value);
    uint32_t code = 0;
    CameraStatus status = ReadIntRegister(cam, kRegPeakFilterCoeff, &code);
    if (status == CS_SUCCESS) {
        auto entry = firMap.find(code);
        *value = entry == firMap.end() ? 0u : static_cast<uint32_t>(entry->second);
    }
    return status;
}

CameraStatus CImageReception::SetPeakCoreThreshold(int index, int reg, uint32_t value) {
    if (index < 0 || index >= kMaxCameras) return CS_UNKNOWN_CAMERA;
    const CamProperties& cam = cameras[index];
    uint32_t written = value;
    if (FamilyIndex(cam) == FAMILY_QVSKARVEL) {
        float scaled = static_cast<float>(value) * static_cast<float>(cam.firLength) / kThresholdTaps;
        written = RoundToRegister(scaled);
    }
    return WriteIntRegister(cam, reg, written);
}

CameraStatus CImageReception::GetPeakCoreThreshold(int index, int reg, uint32_t* value) {
    if (index < 0 || index >= kMaxCameras) return CS_UNKNOWN_CAMERA;
    const CamProperties& cam = cameras[index];
    uint32_t raw = 0;
    CameraStatus status = ReadIntRegister(cam, reg, &raw);
    if (status != CS_SUCCESS) return status;
    // Without a known FIR length the scale is unknown: the register is reported as it stands.
    const int firLength = cam.firLength;
    if (FamilyIndex(cam) == FAMILY_QVSKARVEL && firLength > 0) {
        raw = RoundToRegister(static_cast<double>(raw) * kThresholdTaps / firLength);
    }
    *value = raw;
    return CS_SUCCESS;
}

CameraStatus CImageReception::SetLedDuration(char* camera, int duration) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    const CamProperties& cam = cameras[index];
    const bool wasGrabbing = cam.grabbing;
    if (wasGrabbing) {
        if (CameraStatus status = StopGrabbing(camera); status != CS_SUCCESS) return status;
    }
    // The exposure window covers the pulse with a margin on either side.
    CameraStatus status = SetParameter(camera, "exposure", duration + kLedExposureMargin);
    if (status == CS_SUCCESS) status = SetParameter(camera, "reg_pulse_delay", kLedPulseDelay);
    if (status == CS_SUCCESS) {
        status = FamilyIndex(cam) != FAMILY_QVSKARVEL
                     ? SetParameter(camera, "reg_pulse_width_float", static_cast<float>(duration))
                     : SetParameter(camera, "reg_pulse_width", duration);
    }
    // A failed step must not leave the camera stopped.
    if (wasGrabbing) {
        CameraStatus restart = StartGrabbing(camera);
        if (status == CS_SUCCESS) status = restart;
    }
    return status;
}
