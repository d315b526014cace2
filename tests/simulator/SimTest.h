// Helpers for the simulator's tests: worlds from JSON text, discovery and waiting.
#pragma once

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "yoxasim.h"
#include "yoxasim_transport.h"

// Loads the world of a JSON text for the life of the object, then the built-in world again.
class ScopedWorld {
public:
    explicit ScopedWorld(const std::string& json) {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("yoxasim-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".json");
        std::ofstream(path_) << json;
        status_ = yoxasimLoadWorld(path_.c_str());
    }
    ~ScopedWorld() {
        yoxaRelease();  // closes every camera, so that the built-in world comes back at once
        yoxasimLoadWorld(nullptr);
        std::filesystem::remove(path_);
    }
    ScopedWorld(const ScopedWorld&) = delete;
    ScopedWorld& operator=(const ScopedWorld&) = delete;

    int status() const { return status_; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    int status_ = -1;
};

inline std::vector<int32_t> Discover() {
    int32_t handles[16];
    int32_t n = yoxaDiscover(handles, 16, 100);
    return n < 0 ? std::vector<int32_t>{} : std::vector<int32_t>(handles, handles + n);
}

inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 2000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Decodes words that carry four characters each, lowest byte first, up to the first zero.
inline std::string WordsToText(const uint32_t* words, size_t count) {
    std::string text;
    for (size_t i = 0; i < count * 4; ++i) {
        char c = static_cast<char>((words[i / 4] >> (8 * (i % 4))) & 0xFF);
        if (c == '\0') break;
        text.push_back(c);
    }
    return text;
}

inline float AsFloat(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

inline uint32_t AsBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

// Register access of either type with one signature, for tables of cases.
inline int32_t ReadReg(int32_t handle, int32_t reg, bool isFloat, uint32_t* bits) {
    if (!isFloat) return yoxaGetRegisterInt(handle, reg, bits);
    float f = 0;
    int32_t status = yoxaGetRegisterFloat(handle, reg, &f);
    *bits = AsBits(f);
    return status;
}

inline int32_t WriteReg(int32_t handle, int32_t reg, bool isFloat, uint32_t bits) {
    if (!isFloat) return yoxaSetRegisterInt(handle, reg, &bits);
    float f = AsFloat(bits);
    return yoxaSetRegisterFloat(handle, reg, &f);
}
