// The description of a simulated world: which sensors exist and how they are set up.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Registers.h"

namespace yoxasim {

using Mac = std::array<uint8_t, 6>;

struct SensorConfig {
    std::string model;
    Mac mac{};
    uint32_t ip = 0;
    uint32_t mask = 0xFFFF0000;
    std::string firmware;
    std::string serial;
    std::string deviceVersion;
    int maxWidth = 0;
    int maxHeight = 0;
    std::vector<int32_t> absentRegisters;
    double temperature = 36.0;  // base temperature in degrees Celsius
    uint32_t selfTestResult = 0;
    uint32_t ramType = 1;
    int rebootMs = 250;
    std::string userFlash;  // file with the initial user flash content (QvTarn: the sensor data file)
    std::vector<uint8_t> userFlashData;  // its content, read when the world is loaded
    std::string scene;
    double frameRate = 0.0;  // 0: the timing model of the sensor
    bool maxRate = false;    // as fast as the consumer takes the frames
    uint32_t seed = 1;
};

struct WorldConfig {
    uint32_t apiVersion = 0x02010000;
    int32_t initStatus = 0;
    std::vector<SensorConfig> sensors;
};

// The world of a JSON text; nullopt with a message in error when it is malformed.
std::optional<WorldConfig> ParseWorld(const std::string& text, std::string* error);
WorldConfig DefaultWorld();

Family FamilyOf(const std::string& model);
// The version code of a firmware text such as "4.9 (2)" or "1.3.0 ": its first three numbers.
int32_t FirmwareCode(const std::string& text);

bool ParseMac(const char* text, Mac* mac);
bool ParseIpv4(const std::string& text, uint32_t* address);
std::string MacText(const Mac& mac);

}  // namespace yoxasim
