// Temporary folders and configuration files for the logging tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "logging/Logging.h"

namespace yoxa::test {

// A fresh folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("yoxa-logging-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Sets a file's modification time to the given age.
inline void SetAge(const std::filesystem::path& path, std::chrono::hours age) {
    auto when = std::filesystem::file_time_type::clock::now() - age;
    std::filesystem::last_write_time(path, when);
}

// Every test leaves the loggers as the library starts: built-in configuration, no rotation callback.
class LoggingTest : public ::testing::Test {
protected:
    void TearDown() override {
        DeInitLogging();
        UseBuiltInLoggingConfiguration();
    }

    // Writes yoxalog.conf into the folder and applies it.
    void Configure(const std::string& text) {
        std::filesystem::path conf = folder_ / "yoxalog.conf";
        WriteFile(conf, text);
        ASSERT_TRUE(InitLogging(conf.c_str()));
    }

    TempFolder folder_;
};

}  // namespace yoxa::test
