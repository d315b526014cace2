// The exported parameter table and the lookups on it.
//
// The table is the one registry of parameter names: one row per name, in the order clients index it.
#include "parameters/ParameterTable.h"

#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>

#include "logging/Log.h"
#include "reception/ImageReception.h"

static_assert(sizeof(YOXA_PARAMETER) == 280, "clients index the table by this record size");
static_assert(offsetof(YOXA_PARAMETER, custom) == 256 && offsetof(YOXA_PARAMETER, reg) == 260 &&
                  offsetof(YOXA_PARAMETER, type) == 264 && offsetof(YOXA_PARAMETER, minVersion) == 268,
              "the record layout is part of the exported interface");

namespace {

constexpr YOXA_PARAMETER_TYPE kInt = YOXA_PARAMETER_INT;
constexpr YOXA_PARAMETER_TYPE kFloat = YOXA_PARAMETER_FLOAT;
constexpr YOXA_PARAMETER_TYPE kString = YOXA_PARAMETER_STRING;
constexpr bool kCustom = true;
constexpr bool kPlain = false;
constexpr int kAll = SUPPORTED;
constexpr int kNo = NOT_SUPPORTED;

consteval YOXA_PARAMETER Row(std::string_view name, int32_t reg, YOXA_PARAMETER_TYPE type, bool custom,
                             int32_t qvSkarvel, int32_t qvCamV2, int32_t qvTarn) {
    // Leaves the NUL terminator and the padding zero, as clients expect.
    if (name.empty() || name.size() >= YOXA_PARAMETER_NAME_LENGTH) throw "parameter name length";
    YOXA_PARAMETER entry{};
    for (std::size_t i = 0; i < name.size(); ++i) entry.name[i] = name[i];
    entry.custom = custom ? 1 : 0;
    entry.reg = reg;
    entry.type = type;
    entry.minVersion[0] = qvSkarvel;
    entry.minVersion[1] = qvCamV2;
    entry.minVersion[2] = qvTarn;
    return entry;
}

std::string_view NameOf(const YOXA_PARAMETER& entry) {
    // Clients may write the table; never read past the name field.
    std::size_t length = 0;
    while (length < sizeof(entry.name) && entry.name[length] != '\0') ++length;
    return {entry.name, length};
}

}  // namespace

// clang-format off
extern "C" {
YOXA_EXPORT constinit YOXA_PARAMETER _yoxaParametersList[YOXA_PARAMETER_COUNT] = {
    //  name                                     reg    type     custom   QVSkarvel, QVCAM_V2, QvTarn
    Row("led_duration",                          0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("exposure",                              25,    kFloat,  kPlain,  kAll, kAll,        kAll),
    Row("gain",                                  32,    kFloat,  kCustom, kAll, kAll,        kAll),
    Row("hdr_enable",                            26,    kInt,    kPlain,  kAll, kAll,        kAll),
    Row("hdr_kp1_pos",                           30,    kInt,    kPlain,  kAll, kAll,        kAll),
    Row("hdr_kp2_pos",                           31,    kInt,    kPlain,  kAll, kAll,        kAll),
    Row("hdr_vlow2",                             28,    kInt,    kPlain,  kAll, kAll,        kAll),
    Row("hdr_vlow3",                             29,    kInt,    kPlain,  kAll, kAll,        kAll),
    Row("hdr_kp1_pos_float",                     20028, kFloat,  kPlain,  kNo,  kNo,         FW(1, 2, 4)),
    Row("hdr_kp2_pos_float",                     20029, kFloat,  kPlain,  kNo,  kNo,         FW(1, 2, 4)),
    // 10
    Row("hdr_vlow2_float",                       20026, kFloat,  kPlain,  kNo,  kNo,         FW(1, 2, 4)),
    Row("hdr_vlow3_float",                       20027, kFloat,  kPlain,  kNo,  kNo,         FW(1, 2, 4)),
    Row("heartbeat",                             206,   kInt,    kPlain,  kAll, kAll,        kAll),
    Row("image_height",                          3,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("image_width",                           2,     kInt,    kPlain,  kAll, kAll,        kAll),
    Row("image_offsetx",                         4,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("image_offsety",                         5,     kInt,    kCustom, kNo,  FW(3, 6, 0), kAll),
    Row("peak_enable",                           30005, kInt,    kCustom, kAll, kAll,        kAll),
    Row("peak_y_unit",                           0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("peak_x_unit",                           0,     kInt,    kCustom, kAll, kAll,        kAll),
    // 20
    Row("sensor_calibration_file",               0,     kString, kCustom, kAll, kAll,        kAll),
    Row("sensor_x_calibration_file",             0,     kString, kCustom, kAll, kAll,        kAll),
    Row("pulse_filter_add_range",                20020, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("pulse_filter_mode",                     20019, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("pulse_filter_remove_all_ranges",        20022, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("pulse_filter_remove_range",             20021, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("reg_pulse_delay",                       20014, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("reg_pulse_divider",                     20018, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("reg_frame_rate",                        21,    kFloat,  kPlain,  kAll, kAll,        kAll),
    Row("reg_pulse_freq",                        20012, kInt,    kCustom, kAll, kAll,        kAll),
    // 30
    Row("reg_pulse_width",                       20008, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("reg_pulse_width_float",                 20092, kFloat,  kCustom, kNo,  kAll,        kAll),
    Row("sensor_vramp",                          33,    kInt,    kPlain,  kAll, kAll,        kAll),
    Row("peak_treshold",                         30006, kInt,    kCustom, kAll, kAll,        kAll),
    Row("peak_filter_coeff",                     30007, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("peak_fir_length",                       30008, kInt,    kCustom, kAll, kAll,        kAll),
    Row("peak_aver_fir_length",                  30011, kInt,    kCustom, kNo,  FW(4, 6, 1), kAll),
    Row("signal_detection_filter_length",        30011, kInt,    kPlain,  kNo,  FW(4, 8, 0), FW(1, 2, 0)),
    Row("peak_average_intensity_filter_length",  30015, kInt,    kPlain,  kNo,  FW(4, 8, 0), FW(1, 2, 0)),
    Row("layer_intensity_type",                  0,     kInt,    kCustom, kNo,  FW(4, 8, 0), FW(1, 2, 0)),
    // 40
    Row("layer_max_thickness",                   0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("layer_min_thickness",                   0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("layer_refractive_index",                0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("thickness_mode",                        0,     kInt,    kCustom, kNo,  kAll,        kAll),
    Row("peak_count_limit",                      20136, kInt,    kCustom, kAll, kAll,        kAll),
    Row("peak_x_filter",                         30013, kInt,    kCustom, kNo,  FW(4, 7, 1), FW(1, 0, 13)),
    Row("location",                              20033, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("monitor_period",                        20030, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("temperature",                           20023, kFloat,  kPlain,  kAll, kNo,         kNo),
    Row("sensor_temperature",                    64,    kFloat,  kPlain,  kNo,  kAll,        kNo),
    // 50
    Row("sensor_board_temperature",              324,   kInt,    kPlain,  kNo,  kAll,        kNo),
    Row("sensor_board_temperature_float",        324,   kFloat,  kPlain,  kNo,  kNo,         kAll),
    Row("chip_temperature",                      326,   kFloat,  kPlain,  kNo,  kNo,         kAll),
    Row("illuminator_temperature",               20230, kFloat,  kPlain,  kNo,  FW(5, 0, 0), kAll),
    Row("front_panel_temperature",               20231, kFloat,  kPlain,  kNo,  FW(5, 0, 0), kAll),
    Row("motor_last_accomplished_command",       20038, kInt,    kCustom, kAll, kAll,        kAll),
    Row("motor_target_position_reached",         20039, kInt,    kCustom, kAll, kAll,        kAll),
    Row("motor_position",                        20041, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_left_endstop",                    20042, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_right_endstop",                   20043, kInt,    kPlain,  kAll, kAll,        kAll),
    // 60
    Row("motor_home_status",                     20044, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_max_velocity",                    20045, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_max_acceleration",                20046, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_max_current",                     20047, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_current_acceleration",            20048, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_read_position",                   20040, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_encoder_position",                20049, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_stop",                            20050, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_rotate",                          20051, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_rotate_speed",                    20052, kInt,    kPlain,  kAll, kAll,        kAll),
    // 70
    Row("motor_active",                          20053, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_reference_search",                20054, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_parameter_value_write",           20055, kInt,    kCustom, kAll, kAll,        kAll),
    Row("motor_parameter_value_read",            20056, kInt,    kCustom, kAll, kAll,        kAll),
    Row("motor_parameter_address",               20057, kInt,    kCustom, kAll, kAll,        kAll),
    Row("motor_enable_left_endstop",             20058, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("motor_enable_right_endstop",            20059, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("interleavefactor",                      128,   kFloat,  kCustom, kAll, kAll,        kNo),
    Row("interleavefilter",                      0,     kInt,    kCustom, kAll, kAll,        kNo),
    Row("interleavetargetintensity",             0,     kFloat,  kCustom, kAll, kAll,        kNo),
    // 80
    Row("interleaveythreshold",                  0,     kFloat,  kCustom, kAll, kAll,        kNo),
    Row("overcurrentdrive",                      20031, kInt,    kPlain,  kNo,  kAll,        kAll),
    Row("pulse_current_middle",                  20060, kFloat,  kCustom, kNo,  kAll,        kAll),
    Row("pulse_current_edges",                   20064, kFloat,  kCustom, kNo,  kAll,        kAll),
    Row("pulse_over_current_middle",             20060, kFloat,  kCustom, kNo,  kAll,        kAll),
    Row("pulse_over_current_edges",              20064, kFloat,  kCustom, kNo,  kAll,        kAll),
    Row("trigger_source",                        20068, kInt,    kCustom, kNo,  kAll,        kAll),
    Row("trigger_disable_source",                20072, kInt,    kCustom, kNo,  kAll,        kAll),
    Row("trigger_zero_source",                   20076, kInt,    kCustom, kNo,  kAll,        kAll),
    Row("trigger_minus_source",                  20080, kInt,    kCustom, kNo,  kAll,        kAll),
    // 90
    Row("agc_enabled",                           20144, kInt,    kCustom, kNo,  FW(4, 7, 4), FW(1, 1, 6)),
    Row("agc_gain",                              20148, kFloat,  kCustom, kNo,  FW(4, 7, 4), FW(1, 1, 6)),
    Row("agc_target",                            20152, kFloat,  kCustom, kNo,  FW(4, 7, 4), FW(1, 1, 6)),
    Row("agc_pulse_width_limit",                 20156, kInt,    kCustom, kNo,  FW(4, 7, 4), FW(1, 1, 6)),
    Row("agc_minimum_pulse_width_limit",         20188, kInt,    kCustom, kNo,  FW(4, 7, 4), FW(1, 1, 6)),
    Row("output_pin_state",                      20100, kInt,    kCustom, kNo,  kAll,        kAll),
    Row("input_pin_state",                       20104, kInt,    kCustom, kNo,  kAll,        kAll),
    Row("duty_cycle_monitor_period",             20124, kInt,    kCustom, kAll, kAll,        kAll),
    Row("y_tolerance_min",                       20132, kInt,    kCustom, kNo,  kAll,        kAll),
    Row("y_tolerance_max",                       20128, kInt,    kCustom, kNo,  kAll,        kAll),
    // 100
    Row("x_limit_min",                           30009, kInt,    kCustom, kNo,  kAll,        kAll),
    Row("x_limit_max",                           30010, kInt,    kCustom, kNo,  kAll,        kAll),
    Row("saturation_count",                      20160, kInt,    kCustom, kNo,  kAll,        kAll),
    Row("average_frame_intensity",               20164, kInt,    kCustom, kNo,  kAll,        kAll),
    Row("trigger_debounce",                      20084, kFloat,  kCustom, kNo,  kAll,        kAll),
    Row("dyn_sensor_control_enable",             20189, kInt,    kCustom, kAll, FW(4, 6, 1), FW(1, 0, 14)),
    Row("dyn_sensor_ctrl_index",                 20480, kInt,    kPlain,  kNo,  kNo,         FW(1, 0, 14)),
    Row("dyn_sensor_ctrl_location",              20481, kInt,    kPlain,  kNo,  kNo,         FW(1, 0, 14)),
    Row("dyn_sensor_ctrl_roi_height",            20484, kInt,    kPlain,  kNo,  kNo,         FW(1, 0, 14)),
    Row("dyn_sensor_ctrl_roi_y_offset",          20485, kInt,    kPlain,  kNo,  kNo,         FW(1, 0, 14)),
    // 110
    Row("dyn_sensor_ctrl_pulse_width",           20486, kFloat,  kPlain,  kNo,  kNo,         FW(1, 0, 14)),
    Row("dyn_sensor_ctrl_intensity_threshold",   20487, kInt,    kPlain,  kNo,  kNo,         FW(1, 0, 14)),
    Row("dyn_sensor_ctrl_point_set",             20496, kInt,    kPlain,  kNo,  kNo,         FW(1, 0, 14)),
    Row("dyn_sensor_ctrl_point_get",             20497, kInt,    kPlain,  kNo,  kNo,         FW(1, 0, 14)),
    Row("dyn_sensor_ctrl_current_index",         20498, kInt,    kPlain,  kNo,  kNo,         FW(1, 0, 14)),
    Row("dyn_sensor_ctrl_restart",               20499, kInt,    kPlain,  kNo,  kNo,         FW(1, 0, 14)),
    Row("dyn_sensor_ctrl_max_points",            20500, kInt,    kPlain,  kNo,  kNo,         FW(1, 0, 14)),
    Row("dyn_sensor_ctrl_clear_all",             20501, kInt,    kPlain,  kNo,  kNo,         FW(1, 0, 14)),
    Row("flip_x_x0",                             0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("flip_x_enabled",                        0,     kInt,    kCustom, kAll, kAll,        kAll),
    // 120
    Row("flip_z_z0",                             0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("flip_z_enabled",                        0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("max_point_count",                       0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("reboot",                                10022, kInt,    kPlain,  kAll, kAll,        kAll),
    Row("trigger_mask_start",                    20182, kInt,    kCustom, kAll, kAll,        kAll),
    Row("trigger_mask_end",                      20186, kInt,    kCustom, kAll, kAll,        kAll),
    Row("firmware_update_status",                20187, kInt,    kCustom, kNo,  kAll,        kAll),
    Row("mtu",                                   321,   kInt,    kCustom, kAll, kAll,        kAll),
    Row("ifg",                                   320,   kInt,    kCustom, kAll, kAll,        kAll),
    Row("ifg_10ge",                              320,   kInt,    kCustom, kNo,  kNo,         kAll),
    // 130
    Row("surface_mode",                          20178, kInt,    kCustom, kNo,  FW(3, 0, 0), kAll),
    Row("reordering",                            0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("reordering_span",                       0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("reordering_deviation",                  0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("frequency_calculation",                 0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("detect_missing_first_layer",            0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("sensor_type",                           0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("fill_gap_x_max",                        0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("image_height_zero_position",            0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("resample_line_x_resolution",            0,     kFloat,  kCustom, kAll, kAll,        kAll),
    // 140
    Row("average_z_filter_size",                 0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("average_intensity_filter_size",         0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("batch_length",                          0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("batch_timeout",                         0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("median_z_filter_size",                  0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("median_intensity_filter_size",          0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("detect_missing_first_layer_x",          0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("detect_missing_first_layer_min_length", 0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("sensor_data_in_flash",                  0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("device_serial_number",                  0,     kString, kCustom, kAll, kAll,        kAll),
    // 150
    Row("user_flash_write_time",                 0,     kString, kCustom, kAll, kAll,        kAll),
    Row("camera_ram_type",                       0,     kInt,    kCustom, kNo,  kNo,         FW(1, 4, 0)),
    Row("line_callback_max_length",              0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("line_callback_xres",                    0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("reg_binning_framerate",                 20001, kInt,    kPlain,  kNo,  kNo,         kAll),
    Row("reg_stream_protocol",                   268,   kInt,    kPlain,  kNo,  kNo,         kAll),
    Row("reg_link_speed",                        220,   kInt,    kPlain,  kNo,  kAll,        kAll),
    Row("black_level",                           36,    kFloat,  kPlain,  kNo,  kNo,         kAll),
    Row("grabbing",                              0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("noise_removal",                         0,     kInt,    kCustom, kAll, kAll,        kAll),
    // 160
    Row("trim_edges",                            0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("flush_queue",                           0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("adc1_temperature",                      20233, kFloat,  kPlain,  kNo,  FW(5, 0, 0), FW(1, 1, 10)),
    Row("adc1_temp_history_lowest",              20234, kFloat,  kPlain,  kNo,  FW(5, 0, 0), FW(1, 1, 10)),
    Row("adc1_temp_history_highest",             20235, kFloat,  kPlain,  kNo,  FW(5, 0, 0), FW(1, 1, 10)),
    Row("adc2_temperature",                      20236, kFloat,  kPlain,  kNo,  FW(5, 0, 0), FW(1, 1, 10)),
    Row("adc2_temp_history_lowest",              20237, kFloat,  kPlain,  kNo,  FW(5, 0, 0), FW(1, 1, 10)),
    Row("adc2_temp_history_highest",             20238, kFloat,  kPlain,  kNo,  FW(5, 0, 0), FW(1, 1, 10)),
    Row("sensor_register_number",                54,    kInt,    kPlain,  kAll, kAll,        kAll),
    Row("sensor_register_value",                 55,    kInt,    kPlain,  kAll, kAll,        kAll),
    // 170
    Row("sensor_gp_io",                          20232, kInt,    kPlain,  kNo,  FW(5, 0, 0), kAll),
    Row("load_recipe",                           0,     kString, kCustom, kAll, kAll,        kAll),
    Row("save_recipe",                           0,     kString, kCustom, kAll, kAll,        kAll),
    Row("max_peaks_per_frame",                   30016, kInt,    kPlain,  kAll, FW(4, 9, 0), FW(1, 3, 2)),
    Row("trigger_reject_time",                   20034, kFloat,  kPlain,  kNo,  kNo,         FW(1, 1, 9)),
    Row("clustering_distance_x",                 0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("clustering_distance_z",                 0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("cluster_minimum_length",                0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("sensor_intensity_calibration_file",     0,     kString, kCustom, kAll, kAll,        kAll),
    Row("intensity_correction_enable",           0,     kInt,    kCustom, kAll, kAll,        kAll),
    // 180
    Row("sensor_z_compensation_file",            0,     kString, kCustom, kAll, kAll,        kAll),
    Row("z_compensation_y_direction",            0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("z_compensation_x_direction",            0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("z_compensation_offset",                 0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("z_compensation_threshold",              0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("encoder_pulse_width",                   0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("moving_direction",                      0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("z_compensation_x_bright_to_dark_mul",   0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("z_compensation_y_bright_to_dark_mul",   0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("z_compensation_x_dark_to_bright_mul",   0,     kFloat,  kCustom, kAll, kAll,        kAll),
    // 190
    Row("z_compensation_y_dark_to_bright_mul",   0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("z_compensation_interpolate",            0,     kInt,    kCustom, kAll, kAll,        kAll),
    Row("average_x_pixel_size",                  0,     kFloat,  kCustom, kAll, kAll,        kAll),
    Row("average_z_pixel_size",                  0,     kFloat,  kCustom, kAll, kAll,        kAll),
};
}
// clang-format on

YOXA_PARAMETER* FindParameter(const char* name) {
    if (name == nullptr) return nullptr;
    std::string_view wanted(name);
    for (YOXA_PARAMETER& entry : _yoxaParametersList) {
        if (NameOf(entry) == wanted) return &entry;
    }
    return nullptr;
}

CameraStatus DecideParameterSupport(int familyIndex, int firmwareCode, const char* name, bool* supported) {
    if (supported != nullptr) *supported = false;
    const YOXA_PARAMETER* entry = FindParameter(name);
    if (entry == nullptr) return CS_UNKNOWN_PARAMETER;
    if (familyIndex < 0 || familyIndex >= kProductFamilyCount) return CS_NOT_CONNECTED;
    int word = entry->minVersion[familyIndex];
    if (word == NOT_SUPPORTED) return CS_NOT_SUPPORTED;
    if (firmwareCode < word) return CS_FIRMWARE_TOO_OLD;
    if (supported != nullptr) *supported = true;
    return CS_SUCCESS;
}

CameraStatus SetParameterSupportWord(int familyIndex, const char* name, int word) {
    YOXA_PARAMETER* entry = FindParameter(name);
    if (entry == nullptr) return CS_UNKNOWN_PARAMETER;
    if (familyIndex < 0 || familyIndex >= kProductFamilyCount) return CS_NOT_CONNECTED;
    entry->minVersion[familyIndex] = word;
    return CS_SUCCESS;
}

bool CImageReception::MapParameter(const char* name, int* type, int* reg, bool* custom,
                                   CameraStatus* status) {
    const YOXA_PARAMETER* entry = FindParameter(name);
    if (entry == nullptr) {
        *status = CS_UNKNOWN_PARAMETER;
        YLOG(ERROR) << "MapParameter failed";
        return false;
    }
    *type = entry->type;
    *reg = entry->reg;
    *custom = entry->custom != 0;
    *status = CS_SUCCESS;
    return true;
}

int CImageReception::stringCompare(std::string a, std::string b) {
    auto upper = [](std::string& text) {
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    };
    upper(a);
    upper(b);
    return a.compare(b);
}
