// Simulated worlds for tests: a world file written to a temporary folder and loaded into the simulator.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "yoxasim.h"

class TestWorld {
public:
    // Loads the world given as JSON text; the simulator's built-in world when json is empty.
    explicit TestWorld(const std::string& json = "") {
        static std::atomic<int> counter{0};
        if (json.empty()) {
            ok_ = yoxasimLoadWorld(nullptr) == 0;
            return;
        }
        path_ = std::filesystem::temp_directory_path() /
                ("yoxa-world-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".json");
        std::ofstream(path_) << json;
        ok_ = yoxasimLoadWorld(path_.c_str()) == 0;
    }
    ~TestWorld() {
        if (!path_.empty()) std::filesystem::remove(path_);
    }
    TestWorld(const TestWorld&) = delete;
    TestWorld& operator=(const TestWorld&) = delete;

    bool ok() const { return ok_; }

private:
    std::filesystem::path path_;
    bool ok_ = false;
};
