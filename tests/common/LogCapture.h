// Captures what the library logs, at every level, for tests that check log lines.
#pragma once

#include <easylogging++.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "logging/Logging.h"

class LogCaptureCallback : public el::LogDispatchCallback {
public:
    std::vector<std::string> Lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

protected:
    void handle(const el::LogDispatchData* data) override {
        std::lock_guard lock(mutex_);
        lines_.push_back(data->logMessage()->message());
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

// While alive, every level is enabled (to no output) and every message is recorded.
class LogCapture {
public:
    LogCapture() {
        el::Helpers::installLogDispatchCallback<LogCaptureCallback>("test-capture");
        callback_ = el::Helpers::logDispatchCallback<LogCaptureCallback>("test-capture");
        el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Enabled, "true");
        el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
        el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToFile, "false");
        SyncLevelGate();
    }
    ~LogCapture() {
        el::Helpers::uninstallLogDispatchCallback<LogCaptureCallback>("test-capture");
        UseBuiltInLoggingConfiguration();
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> Lines() { return callback_->Lines(); }
    void Clear() { callback_->Clear(); }
    int Count(const std::string& text) {
        auto lines = Lines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), text));
    }
    bool Contains(const std::string& fragment) {
        for (const std::string& line : Lines()) {
            if (line.find(fragment) != std::string::npos) return true;
        }
        return false;
    }

private:
    LogCaptureCallback* callback_ = nullptr;
};
