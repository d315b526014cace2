// The sensor's register map: which registers a sensor of a family and firmware has, their types,
// access, ranges and power-on values.
#pragma once

#include <cstdint>

namespace yoxasim {

// Product families as the model name selects them. Models we do not know behave like kCam.
enum class Family : uint8_t { kSkarvel = 0, kCam = 1, kTarn = 2 };

// Firmware version code: major * 1000000 + minor * 1000 + feature.
constexpr int32_t Fw(int major, int minor, int feature) {
    return major * 1000000 + minor * 1000 + feature;
}

enum class RegType : uint8_t { kInt, kFloat };

enum class Access : uint8_t {
    kReadWrite,
    kReadOnly,
    kCommand,  // written to trigger something; reads back 0 unless the behaviour says otherwise
};

// What a register does beyond holding its value.
enum class Behaviour : uint8_t {
    kPlain,
    kWidth,
    kHeight,
    kOffsetX,
    kOffsetY,
    kFirmwareText,
    kImagerAddress,
    kImagerValue,
    kTemperature,
    kTemperatureLow,
    kTemperatureHigh,
    kRestart,
    kReboot,
    kFlashCommit,
    kRejectTime,
    kReferenceFrequency,
    kReferenceRows,
    kPointSet,
    kPointGet,
    kPointsClear,
    kSaturationCount,
    kAverageIntensity,
    kFwuStartWrite,
    kFwuFileCount,
    kFwuCurrentFile,
    kFwuFileCrc,
    kFwuCalculateCrc,
    kFwuProgress,
    kFwuState,
    kFwuReboot,
    kFwuReadStart,
    kFwuReadLength,
};

constexpr int32_t kAbsent = -1;  // in RegisterEntry::since: the family has no such register

struct RegisterEntry {
    int32_t number;
    int32_t count;  // registers number, number + stride, ... (count of them) share this row
    int32_t stride;
    RegType type;
    Access access;
    Behaviour behaviour;
    int32_t since[3];  // per family: lowest firmware code that has it, 0 for every firmware, or kAbsent
    double min;        // accepted values (window registers clamp large values instead of refusing them)
    double max;
    double initial;  // power-on value; for temperatures the offset above the sensor's base temperature
    const char* name;
};

// The file transfer protocol of the QvTarn family.
namespace fwu {
constexpr int32_t kStartWrite = 0x8000040;
constexpr int32_t kFileCount = 0x8000041;
constexpr int32_t kCurrentFile = 0x8000042;
constexpr int32_t kFileCrc = 0x8000043;
constexpr int32_t kCalculateCrc = 0x8000044;
constexpr int32_t kProgress = 0x8000045;
constexpr int32_t kState = 0x8000046;
constexpr int32_t kReboot = 0x8000047;
constexpr int32_t kReadStart = 0x8000048;
constexpr int32_t kReadLength = 0x8000049;
constexpr uint32_t kDescriptionAddress = 0x8000080;
constexpr uint32_t kReadNameAddress = 0x8000100;
constexpr uint32_t kDataAddress = 0x8004000;
}  // namespace fwu

// The row for the register on a sensor of this family and firmware, or null when it has none.
const RegisterEntry* FindRegister(int32_t number, Family family, int32_t firmware);

// Every row, for building a sensor's register file.
const RegisterEntry* RegisterTable(int* count);

}  // namespace yoxasim
