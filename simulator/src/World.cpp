#include "World.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace yoxasim {
namespace {

// Network discovery takes a moment; short, so that tests stay fast.
constexpr int kDiscoveryMs = 20;

bool ReadFile(const std::filesystem::path& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    *text = content.str();
    return true;
}

// The world of a file; an empty one, with the reason on standard error, when it cannot be used.
std::optional<WorldConfig> ReadWorld(const char* path) {
    std::string text;
    std::string error;
    std::optional<WorldConfig> world;
    if (!ReadFile(path, &text)) {
        error = "cannot read the file";
    } else {
        world = ParseWorld(text, &error);
    }
    // Initial flash contents are named relative to the world file.
    for (size_t i = 0; world && i < world->sensors.size(); ++i) {
        SensorConfig& s = world->sensors[i];
        if (s.userFlash.empty()) continue;
        std::filesystem::path flash = std::filesystem::path(path).parent_path() / s.userFlash;
        std::string content;
        if (!ReadFile(flash, &content) || content.size() > 204800) {
            error = "sensor " + std::to_string(i) + ": \"user_flash\" " + flash.string() +
                    " cannot be read or is larger than 204800 bytes";
            world.reset();
        } else {
            s.userFlashData.assign(content.begin(), content.end());
        }
    }
    if (!world)
        std::fprintf(stderr, "yoxabase: world file %s: %s; the world is empty\n", path, error.c_str());
    return world;
}

}  // namespace

World& World::Get() {
    static World world;
    return world;
}

World::World() {
    const char* path = std::getenv("YOXA_SIM_WORLD");
    std::lock_guard lock(mutex_);
    if (path == nullptr || *path == '\0') {
        Apply(DefaultWorld());
    } else {
        Apply(ReadWorld(path).value_or(WorldConfig{}));
    }
}

void World::Apply(WorldConfig config) {
    apiVersion_ = config.apiVersion;
    initStatus_ = config.initStatus;
    devices_.clear();
    // Handles are small, stable and never 0.
    for (SensorConfig& s : config.sensors) {
        int32_t handle = static_cast<int32_t>(devices_.size()) + 1;
        devices_.push_back(std::make_shared<Device>(std::move(s), handle, env_));
    }
    pending_.reset();
}

int World::Load(const char* path) {
    std::optional<WorldConfig> config = path == nullptr ? DefaultWorld() : ReadWorld(path);
    bool ok = config.has_value();
    std::lock_guard lock(mutex_);
    bool anyOpen = false;
    for (const auto& d : devices_) anyOpen = anyOpen || d->IsOpen();
    if (anyOpen) {
        pending_ = config.value_or(WorldConfig{});
    } else {
        Apply(config.value_or(WorldConfig{}));
    }
    return ok ? 0 : -1;
}

uint32_t World::ApiVersion() {
    std::lock_guard lock(mutex_);
    return apiVersion_;
}

int32_t World::Init() {
    std::lock_guard lock(mutex_);
    if (pending_) Apply(std::move(*pending_));
    return initStatus_;
}

int32_t World::Release() {
    std::lock_guard lock(mutex_);
    for (const auto& d : devices_) d->Release();
    return 0;
}

int32_t World::Discover(int32_t* handles, int32_t maxCount, int32_t timeoutMs) {
    if (handles == nullptr || maxCount < 0) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp(timeoutMs, 0, kDiscoveryMs)));
    std::vector<std::shared_ptr<Device>> devices;
    {
        std::lock_guard lock(mutex_);
        devices = devices_;
    }
    int32_t found = 0;
    for (const auto& d : devices) {
        if (found < maxCount && d->Rediscover()) handles[found++] = d->handle();
    }
    return found;
}

std::shared_ptr<Device> World::Find(int32_t handle) {
    std::lock_guard lock(mutex_);
    if (handle < 1 || handle > static_cast<int32_t>(devices_.size())) return nullptr;
    return devices_[handle - 1];
}

std::shared_ptr<Device> World::Find(const char* mac) {
    Mac wanted;
    if (!ParseMac(mac, &wanted)) return nullptr;
    std::lock_guard lock(mutex_);
    for (const auto& d : devices_) {
        if (d->mac() == wanted) return d;
    }
    return nullptr;
}

}  // namespace yoxasim
