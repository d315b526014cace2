// World files for tests, built from a few sensor descriptions.
#pragma once

#include <string>
#include <vector>

struct SensorDescription {
    std::string model = "QVCAM_V2";
    std::string mac = "00:1f:0a:12:34:05";
    std::string ip = "192.168.1.10";
    std::string firmware = "4.9 (2)";
    std::string serial = "QC21000123";
    int maxWidth = 0;  // 0: the family's own
    int maxHeight = 0;
    std::string extra;  // further JSON members, each followed by a comma
};

inline std::string WorldJson(const std::vector<SensorDescription>& sensors) {
    std::string json = R"({"api_version": "0x02010000", "init_status": 0, "sensors": [)";
    for (size_t i = 0; i < sensors.size(); ++i) {
        const SensorDescription& s = sensors[i];
        json += (i ? ", {" : "{") + s.extra + R"("model": ")" + s.model + R"(", "mac": ")" + s.mac +
                R"(", "ip": ")" + s.ip + R"(", "firmware": ")" + s.firmware + R"(", "serial": ")" + s.serial +
                R"(", "device_version": "B")";
        if (s.maxWidth > 0) json += ", \"max_width\": " + std::to_string(s.maxWidth);
        if (s.maxHeight > 0) json += ", \"max_height\": " + std::to_string(s.maxHeight);
        json += "}";
    }
    return json + "]}";
}
