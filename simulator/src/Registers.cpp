// The one register map of the simulated sensors. Availability follows the firmware history of each
// family; registers that camera initialization writes unconditionally exist on every firmware of the
// families that write them.
#include "Registers.h"

#include <iterator>

namespace yoxasim {
namespace {

constexpr int32_t ALL = 0;
constexpr int32_t NO = kAbsent;
constexpr double kAny = 4294967295.0;  // any 32-bit value
constexpr double kBig = 1.0e6;

constexpr RegType I = RegType::kInt;
constexpr RegType F = RegType::kFloat;
constexpr Access RW = Access::kReadWrite;
constexpr Access RO = Access::kReadOnly;
constexpr Access CMD = Access::kCommand;
using B = Behaviour;

// clang-format off
constexpr RegisterEntry kRegisters[] = {
    // number, count, stride, type, access, behaviour, {QVSkarvel, QVCAM_V2, QvTarn}, min, max, initial, name
    // Imager and network interface.
    {2, 1, 1, I, RW, B::kWidth, {ALL, ALL, ALL}, 16, kAny, 0, "image_width"},
    {3, 1, 1, I, RW, B::kHeight, {ALL, ALL, ALL}, 8, kAny, 0, "image_height"},
    {4, 1, 1, I, RW, B::kOffsetX, {ALL, ALL, ALL}, 0, kAny, 0, "image_offsetx"},
    {5, 1, 1, I, RW, B::kOffsetY, {ALL, ALL, ALL}, 0, kAny, 0, "image_offsety"},
    {7, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 1, 0, "sensor_flip_y"},
    {21, 1, 1, F, RW, B::kPlain, {ALL, ALL, ALL}, 0, 100000, 0, "frame_rate_limit"},
    {22, 1, 1, I, RW, B::kPlain, {ALL, NO, NO}, 0, 1, 0, "internal_pulsing"},
    {25, 1, 1, F, RW, B::kPlain, {ALL, ALL, ALL}, 1, kBig, 10, "exposure"},
    {26, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 1, 0, "hdr_enable"},
    {28, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 255, 68, "hdr_vlow2"},
    {29, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 255, 105, "hdr_vlow3"},
    {30, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 100, 1, "hdr_kp1_pos"},
    {31, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 100, 98, "hdr_kp2_pos"},
    {32, 1, 1, F, RW, B::kPlain, {ALL, ALL, ALL}, 1, 16, 1, "gain"},
    {33, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 255, 0, "sensor_vramp"},
    {36, 1, 1, F, RW, B::kPlain, {NO, NO, ALL}, 0, 255, 0, "black_level"},
    {40, 3, 1, I, RO, B::kFirmwareText, {ALL, ALL, ALL}, 0, 0, 0, "firmware_version"},
    {54, 1, 1, I, RW, B::kImagerAddress, {ALL, ALL, ALL}, 0, 511, 0, "sensor_register_number"},
    {55, 1, 1, I, RW, B::kImagerValue, {ALL, ALL, ALL}, 0, 65535, 0, "sensor_register_value"},
    {64, 1, 1, F, RO, B::kTemperature, {NO, ALL, NO}, 0, 0, 9.0, "sensor_temperature"},
    {80, 3, 1, I, RW, B::kPlain, {ALL, NO, NO}, 0, 15, 0, "pulse_mode"},
    {128, 1, 1, F, RW, B::kPlain, {ALL, ALL, NO}, 1, 2, 1, "interleavefactor"},
    {206, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 100, 600000, 3000, "heartbeat"},
    {208, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 1, 0, "status_reporting"},
    {220, 1, 1, I, RO, B::kPlain, {NO, ALL, NO}, 0, 0, 1000, "reg_link_speed"},
    {220, 1, 1, I, RO, B::kPlain, {NO, NO, ALL}, 0, 0, 10000, "reg_link_speed"},
    {268, 1, 1, I, RW, B::kPlain, {NO, NO, ALL}, 0, 1, 0, "reg_stream_protocol"},
    {320, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 65000, 0, "ifg"},
    {321, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 576, 9000, 1500, "mtu"},
    {322, 1, 1, I, CMD, B::kReboot, {ALL, ALL, ALL}, 0, 1, 0, "reboot_device"},
    {324, 1, 1, I, RO, B::kTemperature, {NO, ALL, NO}, 0, 0, 0.0, "sensor_board_temperature"},
    {324, 1, 1, F, RO, B::kTemperature, {NO, NO, ALL}, 0, 0, 0.0, "sensor_board_temperature_float"},
    {326, 1, 1, F, RO, B::kTemperature, {NO, NO, ALL}, 0, 0, 11.5, "chip_temperature"},
    {386, 1, 1, I, RO, B::kPlain, {ALL, ALL, ALL}, 0, 0, 0, "self_test_result"},
    {416, 1, 1, I, RO, B::kPlain, {NO, NO, Fw(1, 4, 0)}, 0, 0, 1, "ram_type"},
    {10022, 1, 1, I, CMD, B::kReboot, {ALL, ALL, ALL}, 0, 1, 0, "reboot"},
    // Light source, triggers, motor, automatic gain control, I/O and monitors.
    {20001, 1, 1, I, RW, B::kPlain, {NO, NO, ALL}, 0, 3, 0, "reg_binning_framerate"},
    {20004, 1, 1, I, CMD, B::kFlashCommit, {ALL, ALL, NO}, 0, 204800, 0, "user_flash_commit"},
    {20008, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 1, 1000, 2, "reg_pulse_width"},
    {20012, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 1, 50000, 50, "reg_pulse_freq"},
    {20014, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 10000, 5, "reg_pulse_delay"},
    {20018, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 1, 1000, 1, "reg_pulse_divider"},
    {20019, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 3, 0, "pulse_filter_mode"},
    {20020, 3, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, kAny, 0, "pulse_filter_ranges"},
    {20023, 1, 1, F, RO, B::kTemperature, {ALL, NO, NO}, 0, 0, 2.0, "temperature"},
    {20026, 1, 1, F, RW, B::kPlain, {NO, NO, Fw(1, 2, 4)}, 0, 255, 68, "hdr_vlow2_float"},
    {20027, 1, 1, F, RW, B::kPlain, {NO, NO, Fw(1, 2, 4)}, 0, 255, 105, "hdr_vlow3_float"},
    {20028, 1, 1, F, RW, B::kPlain, {NO, NO, Fw(1, 2, 4)}, 0, 100, 1, "hdr_kp1_pos_float"},
    {20029, 1, 1, F, RW, B::kPlain, {NO, NO, Fw(1, 2, 4)}, 0, 100, 98, "hdr_kp2_pos_float"},
    {20030, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, kBig, 0, "monitor_period"},
    {20031, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 1, 0, "overcurrentdrive"},
    {20033, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, kAny, 0, "location"},
    {20034, 1, 1, F, RW, B::kRejectTime, {NO, NO, Fw(1, 1, 9)}, 0, kBig, 0, "trigger_reject_time"},
    {20035, 1, 1, F, RW, B::kReferenceFrequency, {NO, NO, Fw(1, 2, 0)}, 1, 100000, 0, "reference_frequency"},
    {20036, 1, 1, I, RO, B::kReferenceRows, {NO, NO, Fw(1, 2, 0)}, 0, 0, 0, "reference_rows"},
    {20038, 22, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, kAny, 0, "motor"},
    {20060, 1, 1, F, RW, B::kPlain, {NO, ALL, ALL}, 0, 1, 1, "pulse_current_middle"},
    {20064, 1, 1, F, RW, B::kPlain, {NO, ALL, ALL}, 0, 1, 1, "pulse_current_edges"},
    {20068, 4, 4, I, RW, B::kPlain, {NO, ALL, ALL}, 0, 15, 0, "trigger_sources"},
    {20084, 1, 1, F, RW, B::kPlain, {NO, ALL, ALL}, 0, kBig, 0, "trigger_debounce"},
    {20092, 1, 1, F, RW, B::kPlain, {NO, ALL, ALL}, 0.1, 100000, 2, "reg_pulse_width_float"},
    {20100, 1, 1, I, RW, B::kPlain, {NO, ALL, ALL}, 0, 15, 0, "output_pin_state"},
    {20104, 1, 1, I, RO, B::kPlain, {NO, ALL, ALL}, 0, 0, 0, "input_pin_state"},
    {20113, 1, 1, I, RW, B::kRestart, {ALL, ALL, ALL}, 0, 15, 0, "restart"},
    {20124, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, kBig, 0, "duty_cycle_monitor_period"},
    {20128, 1, 1, I, RW, B::kPlain, {NO, ALL, ALL}, 0, 4095, 4095, "y_tolerance_max"},
    {20132, 1, 1, I, RW, B::kPlain, {NO, ALL, ALL}, 0, 4095, 0, "y_tolerance_min"},
    {20136, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 255, 0, "peak_count_limit"},
    {20144, 1, 1, I, RW, B::kPlain, {NO, ALL, ALL}, 0, 1, 0, "agc_enabled"},
    {20148, 1, 1, F, RW, B::kPlain, {NO, Fw(4, 7, 4), Fw(1, 1, 6)}, 0, 100, 1, "agc_gain"},
    {20152, 1, 1, F, RW, B::kPlain, {NO, Fw(4, 7, 4), Fw(1, 1, 6)}, 0, 255, 128, "agc_target"},
    {20156, 1, 1, I, RW, B::kPlain, {NO, Fw(4, 7, 4), Fw(1, 1, 6)}, 1, 100000, 100, "agc_pulse_width_limit"},
    {20160, 1, 1, I, RO, B::kSaturationCount, {NO, ALL, ALL}, 0, 0, 0, "saturation_count"},
    {20164, 1, 1, I, RO, B::kAverageIntensity, {NO, ALL, ALL}, 0, 0, 0, "average_frame_intensity"},
    {20178, 1, 1, I, RW, B::kPlain, {NO, Fw(3, 0, 0), ALL}, 0, 3, 0, "surface_mode"},
    {20182, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, kAny, 0, "trigger_mask_start"},
    {20186, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, kAny, 0, "trigger_mask_end"},
    {20187, 1, 1, I, RO, B::kPlain, {NO, ALL, ALL}, 0, 0, 0, "firmware_update_status"},
    {20188, 1, 1, I, RW, B::kPlain, {NO, Fw(4, 7, 4), Fw(1, 1, 6)}, 1, 100000, 1, "agc_minimum_pulse_width_limit"},
    {20189, 1, 1, I, RW, B::kPlain, {ALL, Fw(4, 6, 1), Fw(1, 0, 14)}, 0, 1, 0, "dyn_sensor_control_enable"},
    // Dynamic sensor control points 0..9 of the older families: location, height, offset, pulse width.
    {20190, 10, 4, I, RW, B::kPlain, {ALL, Fw(4, 6, 1), NO}, 0, kAny, 0, "dyn_point_location"},
    {20191, 10, 4, I, RW, B::kPlain, {ALL, Fw(4, 6, 1), NO}, 0, 4095, 0, "dyn_point_height"},
    {20192, 10, 4, I, RW, B::kPlain, {ALL, Fw(4, 6, 1), NO}, 0, 4095, 0, "dyn_point_offset"},
    {20193, 10, 4, F, RW, B::kPlain, {ALL, Fw(4, 6, 1), NO}, 0, 100000, 0, "dyn_point_pulse_width"},
    {20230, 1, 1, F, RO, B::kTemperature, {NO, Fw(5, 0, 0), ALL}, 0, 0, 6.0, "illuminator_temperature"},
    {20231, 1, 1, F, RO, B::kTemperature, {NO, Fw(5, 0, 0), ALL}, 0, 0, -8.0, "front_panel_temperature"},
    {20232, 1, 1, I, RW, B::kPlain, {NO, Fw(5, 0, 0), ALL}, 0, 65535, 0, "sensor_gp_io"},
    {20233, 1, 1, F, RO, B::kTemperature, {NO, Fw(5, 0, 0), Fw(1, 1, 10)}, 0, 0, 4.0, "adc1_temperature"},
    {20234, 1, 1, F, RO, B::kTemperatureLow, {NO, Fw(5, 0, 0), Fw(1, 1, 10)}, 0, 0, 4.0, "adc1_temp_history_lowest"},
    {20235, 1, 1, F, RO, B::kTemperatureHigh, {NO, Fw(5, 0, 0), Fw(1, 1, 10)}, 0, 0, 4.0, "adc1_temp_history_highest"},
    {20236, 1, 1, F, RO, B::kTemperature, {NO, Fw(5, 0, 0), Fw(1, 1, 10)}, 0, 0, 5.0, "adc2_temperature"},
    {20237, 1, 1, F, RO, B::kTemperatureLow, {NO, Fw(5, 0, 0), Fw(1, 1, 10)}, 0, 0, 5.0, "adc2_temp_history_lowest"},
    {20238, 1, 1, F, RO, B::kTemperatureHigh, {NO, Fw(5, 0, 0), Fw(1, 1, 10)}, 0, 0, 5.0, "adc2_temp_history_highest"},
    // Dynamic sensor control point table of the QvTarn family: select a point, then store or load it.
    {20480, 1, 1, I, RW, B::kPlain, {NO, NO, Fw(1, 0, 14)}, 0, 31, 0, "dyn_sensor_ctrl_index"},
    {20481, 1, 1, I, RW, B::kPlain, {NO, NO, Fw(1, 0, 14)}, 0, kAny, 0, "dyn_sensor_ctrl_location"},
    {20484, 1, 1, I, RW, B::kPlain, {NO, NO, Fw(1, 0, 14)}, 0, 4095, 0, "dyn_sensor_ctrl_roi_height"},
    {20485, 1, 1, I, RW, B::kPlain, {NO, NO, Fw(1, 0, 14)}, 0, 4095, 0, "dyn_sensor_ctrl_roi_y_offset"},
    {20486, 1, 1, F, RW, B::kPlain, {NO, NO, Fw(1, 0, 14)}, 0, 100000, 0, "dyn_sensor_ctrl_pulse_width"},
    {20487, 1, 1, I, RW, B::kPlain, {NO, NO, Fw(1, 0, 14)}, 0, 255, 0, "dyn_sensor_ctrl_intensity_threshold"},
    {20496, 1, 1, I, CMD, B::kPointSet, {NO, NO, Fw(1, 0, 14)}, 0, 1, 0, "dyn_sensor_ctrl_point_set"},
    {20497, 1, 1, I, CMD, B::kPointGet, {NO, NO, Fw(1, 0, 14)}, 0, 1, 0, "dyn_sensor_ctrl_point_get"},
    {20498, 1, 1, I, RO, B::kPlain, {NO, NO, Fw(1, 0, 14)}, 0, 0, 0, "dyn_sensor_ctrl_current_index"},
    {20499, 1, 1, I, CMD, B::kPlain, {NO, NO, Fw(1, 0, 14)}, 0, kAny, 0, "dyn_sensor_ctrl_restart"},
    {20500, 1, 1, I, RO, B::kPlain, {NO, NO, Fw(1, 0, 14)}, 0, 0, 32, "dyn_sensor_ctrl_max_points"},
    {20501, 1, 1, I, CMD, B::kPointsClear, {NO, NO, Fw(1, 0, 14)}, 0, kAny, 0, "dyn_sensor_ctrl_clear_all"},
    // Peak detection.
    {30005, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 1, 1, "peak_enable"},
    {30006, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, 255, 20, "peak_treshold"},
    {30007, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 0, kAny, 0x11111111, "peak_filter_coeff"},
    {30008, 1, 1, I, RW, B::kPlain, {ALL, ALL, ALL}, 1, 32, 16, "peak_fir_length"},
    {30009, 1, 1, I, RW, B::kPlain, {NO, ALL, ALL}, 0, 4095, 0, "x_limit_min"},
    {30010, 1, 1, I, RW, B::kPlain, {NO, ALL, ALL}, 0, 4095, 4095, "x_limit_max"},
    {30011, 1, 1, I, RW, B::kPlain, {NO, Fw(4, 6, 1), ALL}, 0, 64, 0, "signal_detection_filter_length"},
    {30013, 1, 1, I, RW, B::kPlain, {NO, Fw(4, 7, 1), Fw(1, 0, 13)}, 0, 65535, 0xF000, "peak_x_filter"},
    {30015, 1, 1, I, RW, B::kPlain, {NO, Fw(4, 8, 0), Fw(1, 2, 0)}, 0, 64, 0, "peak_average_intensity_filter_length"},
    {30016, 1, 1, I, RW, B::kPlain, {ALL, Fw(4, 9, 0), Fw(1, 3, 2)}, 1, 65535, 65535, "max_peaks_per_frame"},
    {30017, 1, 1, I, RW, B::kPlain, {NO, ALL, ALL}, 0, 1, 0, "peak_mode_extension"},
    {30018, 1, 1, I, RW, B::kPlain, {NO, NO, Fw(1, 3, 0)}, 0, 65535, 0, "peak_detection_window"},
    // File transfer protocol (firmware update and the sensor data file).
    {fwu::kStartWrite, 1, 1, I, CMD, B::kFwuStartWrite, {NO, NO, ALL}, 0, 1, 0, "FWU_START_WRITE"},
    {fwu::kFileCount, 1, 1, I, CMD, B::kFwuFileCount, {NO, NO, ALL}, 0, 64, 0, "NUMBER_OF_FILES"},
    {fwu::kCurrentFile, 1, 1, I, CMD, B::kFwuCurrentFile, {NO, NO, ALL}, 0, 63, 0, "CURRENT_FILE_NUMBER"},
    {fwu::kFileCrc, 1, 1, I, RO, B::kFwuFileCrc, {NO, NO, ALL}, 0, 0, 0, "FWU_FILE_CRC"},
    {fwu::kCalculateCrc, 1, 1, I, CMD, B::kFwuCalculateCrc, {NO, NO, ALL}, 0, 1, 0, "FWU_CALCULATE_CRC"},
    {fwu::kProgress, 1, 1, F, RO, B::kFwuProgress, {NO, NO, ALL}, 0, 0, 0, "FWU_PROGRESS"},
    {fwu::kState, 1, 1, I, RO, B::kFwuState, {NO, NO, ALL}, 0, 0, 0, "FWU_STATE"},
    {fwu::kReboot, 1, 1, I, CMD, B::kFwuReboot, {NO, NO, ALL}, 0, 1, 0, "FWU_REBOOT"},
    {fwu::kReadStart, 1, 1, I, RW, B::kFwuReadStart, {NO, NO, ALL}, 0, 1, 0, "FWU_FILEREAD_START"},
    {fwu::kReadLength, 1, 1, I, RO, B::kFwuReadLength, {NO, NO, ALL}, 0, 0, 0, "FWU_FILEREAD_FILE_LENGTH"},
};
// clang-format on

bool Covers(const RegisterEntry& entry, int32_t number) {
    if (number < entry.number) return false;
    int32_t delta = number - entry.number;
    return delta % entry.stride == 0 && delta / entry.stride < entry.count;
}

}  // namespace

const RegisterEntry* FindRegister(int32_t number, Family family, int32_t firmware) {
    for (const RegisterEntry& entry : kRegisters) {
        if (!Covers(entry, number)) continue;
        int32_t since = entry.since[static_cast<int>(family)];
        if (since == kAbsent || firmware < since) continue;  // another row may serve this family
        return &entry;
    }
    return nullptr;
}

const RegisterEntry* RegisterTable(int* count) {
    *count = static_cast<int>(std::size(kRegisters));
    return kRegisters;
}

}  // namespace yoxasim
