#include "logging/Logging.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "logging/Log.h"
#include "yoxa/yoxabase.h"

INITIALIZE_EASYLOGGINGPP

extern "C" {
YOXA_EXPORT int keep_logfiles_days = 0;
YOXA_EXPORT int log_file_idx = 0;
}

namespace yoxa::logging {
// Matches the built-in configuration, so the gate is right before any initializer has run.
std::atomic<unsigned> LevelGate::mask_{kWARNING | kERROR};
}  // namespace yoxa::logging

namespace {

using yoxa::logging::LevelGate;

constexpr const char* kFallbackCallbackId = "yoxa-standard-error";
constexpr std::string_view kKeepLogfilesDaysKey = "KEEP_LOGFILES_DAYS";
constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;

// The sink of the built-in configuration. The logging library itself can only write to standard output.
class StandardErrorFallback : public el::LogDispatchCallback {
public:
    void SetActive(bool active) { active_.store(active, std::memory_order_relaxed); }

protected:
    void handle(const el::LogDispatchData* data) override {
        if (!active_.load(std::memory_order_relaxed) ||
            data->dispatchAction() != el::base::DispatchAction::NormalLog) {
            return;
        }
        const el::LogMessage* message = data->logMessage();
        std::string line = message->logger()->logBuilder()->build(message, true);
        // One write, so that lines of different threads of the client do not interleave.
        std::fwrite(line.data(), 1, line.size(), stderr);
    }

private:
    std::atomic<bool> active_{false};
};

void SetFallbackActive(bool active) {
    if (auto* fallback = el::Helpers::logDispatchCallback<StandardErrorFallback>(kFallbackCallbackId)) {
        fallback->SetActive(active);
    }
}

void Apply(const el::Configurations& configuration, bool fallbackActive) {
    if (!fallbackActive) SetFallbackActive(false);
    // Also the configuration of loggers registered later.
    el::Loggers::setDefaultConfigurations(configuration, true);
    if (fallbackActive) SetFallbackActive(true);
    SyncLevelGate();
}

struct BuiltInConfiguration {
    BuiltInConfiguration() {
        el::Helpers::installLogDispatchCallback<StandardErrorFallback>(kFallbackCallbackId);
        UseBuiltInLoggingConfiguration();
    }
};
// After the logging library's storage, which INITIALIZE_EASYLOGGINGPP defines above in this file.
const BuiltInConfiguration kBuiltInConfiguration;

std::string Trim(std::string_view text) {
    auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return std::string(text);
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Read like the logging library's numeric keys: optional quotes; anything unreadable counts as 0.
int ParseDays(std::string value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = Trim(value.substr(1, value.size() - 2));
    }
    long long days = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), days);
    if (error == std::errc::result_out_of_range) {
        return value.starts_with('-') ? INT_MIN : kMaxKeepLogfilesDays;
    }
    if (error != std::errc() || end != value.data() + value.size()) return 0;
    return static_cast<int>(std::clamp<long long>(days, INT_MIN, kMaxKeepLogfilesDays));
}

// fileName without the extension of its last path component; a leading dot starts no extension.
std::string RotationBase(const std::string& fileName) {
    std::size_t slash = fileName.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) return fileName;
    return fileName.substr(0, dot);
}

// <prefix><N>.log with N as NextRotatedLogName writes it: decimal, positive, no leading zero.
bool IsRotatedName(std::string_view name, std::string_view prefix) {
    constexpr std::string_view kSuffix = ".log";
    if (!name.starts_with(prefix) || !name.ends_with(kSuffix)) return false;
    std::string_view number = name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    if (number.empty() || number.front() == '0') return false;
    if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
    int value = 0;
    return std::from_chars(number.data(), number.data() + number.size(), value).ec == std::errc();
}

std::set<std::string> DefaultLoggerFiles() {
    std::set<std::string> files;
    el::Logger* logger = el::Loggers::getLogger(el::base::consts::kDefaultLoggerId, false);
    if (logger == nullptr) return files;
    el::base::TypedConfigurations* typed = logger->typedConfigurations();
    for (el::Level level : {el::Level::Trace, el::Level::Debug, el::Level::Info, el::Level::Warning,
                            el::Level::Error, el::Level::Fatal}) {
        if (typed->toFile(level)) files.insert(typed->filename(level));
    }
    return files;
}

}  // namespace

void SyncLevelGate() {
    using namespace yoxa::logging;
    unsigned mask = 0;
    if (el::Logger* logger = el::Loggers::getLogger(el::base::consts::kDefaultLoggerId, false)) {
        const std::pair<el::Level, unsigned> levels[] = {{el::Level::Trace, kTRACE},
                                                         {el::Level::Debug, kDEBUG},
                                                         {el::Level::Info, kINFO},
                                                         {el::Level::Warning, kWARNING},
                                                         {el::Level::Error, kERROR}};
        for (auto [level, bit] : levels) {
            if (logger->enabled(level)) mask |= bit;
        }
    }
    LevelGate::Set(mask);
}

void UseBuiltInLoggingConfiguration() {
    el::Configurations configuration;
    configuration.setToDefault();
    configuration.set(el::Level::Global, el::ConfigurationType::ToFile, "false");
    configuration.set(el::Level::Global, el::ConfigurationType::ToStandardOutput, "false");
    configuration.set(el::Level::Global, el::ConfigurationType::Format, "%datetime %level [yoxa] %msg");
    configuration.set(el::Level::Global, el::ConfigurationType::Enabled, "false");
    for (el::Level level : {el::Level::Warning, el::Level::Error, el::Level::Fatal}) {
        configuration.set(level, el::ConfigurationType::Enabled, "true");
    }
    Apply(configuration, true);
}

LogConfigText SplitLogConfig(std::istream& in) {
    LogConfigText result;
    std::string level;
    std::string line;
    while (std::getline(in, line)) {
        // Classified as the logging library's reader does; every line but the one key passes unchanged.
        std::string content = Trim(line);
        if (std::size_t comment = content.find("##"); comment != std::string::npos) {
            content = Trim(content.substr(0, comment));
        }
        if (content.starts_with('*')) {
            if (content.size() > 2) level = Upper(Trim(content.substr(1, content.size() - 2)));
        } else if (std::size_t assignment = content.find('=');
                   !content.empty() && std::isalpha(static_cast<unsigned char>(content.front())) &&
                   assignment != std::string::npos &&
                   Upper(Trim(content.substr(0, assignment))) == kKeepLogfilesDaysKey) {
            if (level == "GLOBAL") result.keepLogfilesDays = ParseDays(Trim(content.substr(assignment + 1)));
            continue;
        }
        result.forLogger += line;
        result.forLogger += '\n';
    }
    return result;
}

bool InitLogging(const char* configPath) {
    std::ifstream in(configPath);
    if (!in) return false;
    LogConfigText text = SplitLogConfig(in);

    el::Configurations configuration;
    configuration.setToDefault();
    configuration.parseFromText(text.forLogger);
    el::Loggers::addFlag(el::LoggingFlag::StrictLogFileSizeCheck);
    Apply(configuration, false);

    std::atomic_ref<int>(keep_logfiles_days).store(text.keepLogfilesDays, std::memory_order_relaxed);
    for (const std::string& file : DefaultLoggerFiles()) DeleteOldFiles(file, text.keepLogfilesDays);
    el::Helpers::installPreRollOutCallback(RolloutHandler);
    return true;
}

bool DeInitLogging() {
    // Flushing through each logger, while the callback is still installed, also rotates a file that a flush
    // threshold left over its size limit; the next write after shut-down would otherwise empty it.
    std::vector<std::string> ids;
    el::Loggers::populateAllLoggerIds(&ids);
    for (const std::string& id : ids) {
        if (el::Logger* logger = el::Loggers::getLogger(id, false)) logger->flush();
    }
    el::Helpers::uninstallPreRollOutCallback();
    return true;
}

void ConfigureLogging(const char* configPath) {
    if (std::ifstream(configPath)) {
        InitLogging(configPath);
    } else {
        YLOG(WARNING) << "Could not find " << configPath << ". Logging disabled.";
    }
}

std::string NextRotatedLogName(const char* fileName) {
    std::string base = RotationBase(fileName);
    std::atomic_ref<int> index(log_file_idx);
    for (;;) {
        int number = index.fetch_add(1, std::memory_order_relaxed) + 1;
        if (number <= 0) return {};
        std::string candidate = base + "_#" + std::to_string(number) + ".log";
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error))) return candidate;
    }
}

void DeleteOldFiles(const std::string& logFile, int days) {
    namespace fs = std::filesystem;
    if (days <= 0 || logFile.empty()) return;
    fs::path base(RotationBase(logFile));
    std::string prefix = base.filename().string() + "_#";
    fs::path directory = base.parent_path().empty() ? fs::path(".") : base.parent_path();
    const std::int64_t now = std::time(nullptr);
    const std::int64_t maxAge = static_cast<std::int64_t>(days) * kSecondsPerDay;

    std::vector<fs::path> expired;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        if (!IsRotatedName(path.filename().string(), prefix)) continue;
        struct stat info {};
        // A link or directory of that name is not a log file of ours.
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (now - static_cast<std::int64_t>(info.st_mtime) > maxAge) expired.push_back(path);
    }
    for (const fs::path& path : expired) fs::remove(path, error);
}

void RolloutHandler(const char* fileName, std::size_t) {
    if (fileName == nullptr || fileName[0] == '\0') return;
    // Called from inside a log statement: nothing may escape into the caller.
    try {
        DeleteOldFiles(fileName, std::atomic_ref<int>(keep_logfiles_days).load(std::memory_order_relaxed));
        std::string target = NextRotatedLogName(fileName);
        // A failing rename leaves the file in place; the logging library then starts it anew.
        if (!target.empty()) std::rename(fileName, target.c_str());
    } catch (...) {
    }
}

CameraStatus SetYoxaApiLoggingEnabledImpl(int enabled) {
    yoxaLogging(static_cast<uint8_t>(enabled & 0xFF));
    YLOG(DEBUG) << (enabled != 0 ? "YoxaAPI logging enabled" : "YoxaAPI logging disabled");
    return CS_SUCCESS;
}
