#include "WorldConfig.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <set>

namespace yoxasim {
namespace {

using nlohmann::json;

const char* const kScenes[] = {"mirror", "steps", "glass-on-steps", "grooves", "empty"};

struct Largest {
    int width;
    int height;
};

Largest LargestWindow(Family family) {
    return family == Family::kTarn ? Largest{2112, 1440} : Largest{2048, 1088};
}

std::string DefaultFirmware(const std::string& model) {
    if (model == "QVSkarvel") return "2.7 (3)";
    if (model == "QvTarn") return "1.4.0 ";
    return "4.9 (2)";
}

// Reads one optional key of a sensor or the world, with a message naming it when its type is wrong.
class Reader {
public:
    Reader(const json& object, std::string where, std::string* error)
        : object_(object), where_(std::move(where)), error_(error) {}

    bool Text(const char* key, std::string* out) {
        if (!object_.contains(key)) return true;
        const json& v = object_[key];
        if (!v.is_string()) return Fail(key, "must be a text");
        *out = v.get<std::string>();
        return true;
    }
    template <typename T>
    bool Number(const char* key, T* out, double min, double max) {
        if (!object_.contains(key)) return true;
        const json& v = object_[key];
        if (!v.is_number()) return Fail(key, "must be a number");
        double d = v.get<double>();
        if (d < min || d > max) return Fail(key, "is out of range");
        *out = static_cast<T>(d);
        return true;
    }
    bool Fail(const char* key, const char* what) {
        *error_ = where_ + ": \"" + key + "\" " + what;
        return false;
    }

private:
    const json& object_;
    std::string where_;
    std::string* error_;
};

// A number, or a text holding a decimal or 0x-prefixed hexadecimal number.
bool ParseVersion(const json& v, uint32_t* out) {
    if (v.is_number_unsigned() || (v.is_number_integer() && v.get<int64_t>() >= 0)) {
        uint64_t n = v.get<uint64_t>();
        if (n > 0xFFFFFFFFull) return false;
        *out = static_cast<uint32_t>(n);
        return true;
    }
    if (!v.is_string()) return false;
    std::string text = v.get<std::string>();
    if (text.empty()) return false;
    char* end = nullptr;
    unsigned long long n = std::strtoull(text.c_str(), &end, 0);
    if (*end != '\0' || n > 0xFFFFFFFFull) return false;
    *out = static_cast<uint32_t>(n);
    return true;
}

bool ParseSensor(const json& s, int index, SensorConfig* out, std::string* error) {
    std::string where = "sensor " + std::to_string(index);
    if (!s.is_object()) {
        *error = where + ": must be an object";
        return false;
    }
    Reader r(s, where, error);
    SensorConfig c;
    c.model = "QVCAM_V2";
    if (!r.Text("model", &c.model)) return false;
    Family family = FamilyOf(c.model);

    std::string text;
    if (!s.contains("mac")) return r.Fail("mac", "is missing");
    if (!r.Text("mac", &text)) return false;
    if (!ParseMac(text.c_str(), &c.mac))
        return r.Fail("mac", "is not a MAC address such as 00:1f:0a:12:34:05");

    text = "192.168.1." + std::to_string(10 + index % 240);
    if (!r.Text("ip", &text)) return false;
    if (!ParseIpv4(text, &c.ip)) return r.Fail("ip", "is not an IPv4 address");
    text.clear();
    if (!r.Text("mask", &text)) return false;
    if (!text.empty() && !ParseIpv4(text, &c.mask)) return r.Fail("mask", "is not an IPv4 mask");

    c.firmware = DefaultFirmware(c.model);
    if (!r.Text("firmware", &c.firmware)) return false;
    if (c.firmware.size() > 12) return r.Fail("firmware", "is longer than 12 characters");
    char serial[32];
    std::snprintf(serial, sizeof(serial), "SIM%02X%02X%02X", c.mac[3], c.mac[4], c.mac[5]);
    c.serial = serial;
    c.deviceVersion = "A";
    if (!r.Text("serial", &c.serial) || !r.Text("device_version", &c.deviceVersion)) return false;
    if (c.serial.size() > 32 || c.deviceVersion.size() > 32 || c.model.size() > 32) {
        *error = where + ": model, serial and device_version hold at most 32 characters";
        return false;
    }

    Largest largest = LargestWindow(family);
    c.maxWidth = largest.width;
    c.maxHeight = largest.height;
    if (!r.Number("max_width", &c.maxWidth, 16, 4096) || !r.Number("max_height", &c.maxHeight, 8, 4096)) {
        return false;
    }
    if (s.contains("absent_registers")) {
        const json& list = s["absent_registers"];
        if (!list.is_array()) return r.Fail("absent_registers", "must be a list of register numbers");
        for (const json& n : list) {
            if (!n.is_number_integer())
                return r.Fail("absent_registers", "must be a list of register numbers");
            c.absentRegisters.push_back(n.get<int32_t>());
        }
    }
    if (!r.Number("temperature", &c.temperature, -40, 120) ||
        !r.Number("self_test_result", &c.selfTestResult, 0, 4294967295.0) ||
        !r.Number("ram_type", &c.ramType, 0, 4294967295.0) || !r.Number("reboot_ms", &c.rebootMs, 0, 60000) ||
        !r.Number("seed", &c.seed, 0, 4294967295.0) || !r.Text("user_flash", &c.userFlash)) {
        return false;
    }

    c.scene = "steps";
    if (!r.Text("scene", &c.scene)) return false;
    bool known = false;
    for (const char* scene : kScenes) known = known || c.scene == scene;
    if (!known)
        return r.Fail("scene", "names no built-in scene (mirror, steps, glass-on-steps, grooves, empty)");

    if (s.contains("frame_rate")) {
        const json& v = s["frame_rate"];
        if (v.is_string() && v.get<std::string>() == "max") {
            c.maxRate = true;
        } else if (!r.Number("frame_rate", &c.frameRate, 0.001, 1.0e6)) {
            return r.Fail("frame_rate", "must be a rate in Hz or \"max\"");
        }
    }
    *out = std::move(c);
    return true;
}

}  // namespace

std::optional<WorldConfig> ParseWorld(const std::string& text, std::string* error) {
    json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded()) {
        *error = "not valid JSON";
        return std::nullopt;
    }
    if (!doc.is_object()) {
        *error = "the world must be a JSON object";
        return std::nullopt;
    }
    WorldConfig world;
    if (doc.contains("api_version") && !ParseVersion(doc["api_version"], &world.apiVersion)) {
        *error = "\"api_version\" must be a 32-bit number or a text such as \"0x02010000\"";
        return std::nullopt;
    }
    Reader r(doc, "world", error);
    if (!r.Number("init_status", &world.initStatus, -2147483648.0, 2147483647.0)) return std::nullopt;
    if (!doc.contains("sensors")) return world;
    const json& sensors = doc["sensors"];
    if (!sensors.is_array()) {
        *error = "\"sensors\" must be a list";
        return std::nullopt;
    }
    std::set<Mac> macs;
    for (size_t i = 0; i < sensors.size(); ++i) {
        SensorConfig c;
        if (!ParseSensor(sensors[i], static_cast<int>(i), &c, error)) return std::nullopt;
        if (!macs.insert(c.mac).second) {
            *error = "sensor " + std::to_string(i) + ": MAC " + MacText(c.mac) + " is used twice";
            return std::nullopt;
        }
        world.sensors.push_back(std::move(c));
    }
    return world;
}

WorldConfig DefaultWorld() {
    WorldConfig world;
    SensorConfig cam;
    cam.model = "QVCAM_V2";
    cam.mac = {0x00, 0x1F, 0x0A, 0x12, 0x34, 0x05};
    ParseIpv4("192.168.1.10", &cam.ip);
    cam.firmware = "4.9 (2)";
    cam.serial = "QC21000123";
    cam.deviceVersion = "B";
    cam.maxWidth = 2048;
    cam.maxHeight = 1088;
    cam.scene = "steps";
    cam.seed = 1;
    world.sensors.push_back(cam);

    SensorConfig tarn;
    tarn.model = "QvTarn";
    tarn.mac = {0x00, 0x1F, 0x0A, 0x12, 0x35, 0x17};
    ParseIpv4("192.168.1.11", &tarn.ip);
    tarn.firmware = "1.4.0 ";
    tarn.serial = "QX21004567";
    tarn.deviceVersion = "C";
    tarn.maxWidth = 2112;
    tarn.maxHeight = 1440;
    tarn.temperature = 41.0;
    tarn.scene = "glass-on-steps";
    tarn.seed = 2;
    world.sensors.push_back(tarn);
    return world;
}

Family FamilyOf(const std::string& model) {
    if (model == "QVSkarvel") return Family::kSkarvel;
    if (model == "QvTarn") return Family::kTarn;
    return Family::kCam;
}

int32_t FirmwareCode(const std::string& text) {
    int numbers[3] = {0, 0, 0};
    int found = 0;
    for (size_t i = 0; i < text.size() && found < 3;) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        int n = 0;
        for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
            n = std::min(n * 10 + (text[i] - '0'), 999);
        }
        numbers[found++] = n;
    }
    return Fw(numbers[0], numbers[1], numbers[2]);
}

bool ParseMac(const char* text, Mac* mac) {
    if (text == nullptr) return false;
    const char* p = text;
    for (int i = 0; i < 6; ++i) {
        int digits = 0;
        unsigned value = 0;
        while (std::isxdigit(static_cast<unsigned char>(*p)) && digits < 3) {
            char c = static_cast<char>(std::tolower(static_cast<unsigned char>(*p++)));
            value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
            ++digits;
        }
        if (digits == 0 || digits > 2) return false;
        (*mac)[i] = static_cast<uint8_t>(value);
        if (i < 5 && *p++ != ':') return false;
    }
    return *p == '\0';
}

bool ParseIpv4(const std::string& text, uint32_t* address) {
    unsigned a[4];
    char tail;
    if (std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &a[0], &a[1], &a[2], &a[3], &tail) != 4) return false;
    for (unsigned v : a) {
        if (v > 255) return false;
    }
    *address = a[0] << 24 | a[1] << 16 | a[2] << 8 | a[3];
    return true;
}

std::string MacText(const Mac& mac) {
    char text[18];
    std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

}  // namespace yoxasim
