// The parameter table (_yoxaParametersList), firmware version codes and the support decision shared by
// every parameter operation.
#pragma once

#include <cstdint>

#include "yoxa/yoxa.h"

// Version code: major * MAJOR_FACTOR + minor * MINOR_FACTOR + feature * FEATURE_FACTOR.
constexpr int MAJOR_FACTOR = 1000000;
constexpr int MINOR_FACTOR = 1000;
constexpr int FEATURE_FACTOR = 1;

// Support words of YOXA_PARAMETER::minVersion; any other value is the lowest supporting version code.
constexpr int SUPPORTED = 0;
constexpr int NOT_SUPPORTED = -1;

constexpr int SENSOR_WIDTH = 2048;
// QvTarn firmware 1.2.0 fixed the timestamp frequency.
constexpr int QV_TARN_TS_FREQ_FIXED_FW_VERSION = 1002000;

constexpr int kParameterCount = YOXA_PARAMETER_COUNT;
constexpr int kProductFamilyCount = 3;

constexpr int FW(int major, int minor, int feature) {
    return major * MAJOR_FACTOR + minor * MINOR_FACTOR + feature * FEATURE_FACTOR;
}

// The entry with exactly this name (case-sensitive), or null.
YOXA_PARAMETER* FindParameter(const char* name);

// The support decision for one camera: 12 unknown name, 20 not supported by the family, 36 firmware older
// than required, 0 supported. *supported is true only for 0. A family index outside 0..2 belongs to a
// camera that was never initialized: 2 (not connected).
CameraStatus DecideParameterSupport(int familyIndex, int firmwareCode, const char* name, bool* supported);

// Overwrites the support word of one family in the shared table: 12 unknown name, 2 bad family, else 0.
CameraStatus SetParameterSupportWord(int familyIndex, const char* name, int word);
