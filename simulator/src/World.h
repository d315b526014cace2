// The simulated world: the sensors on the network. One per process, created at the first call.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "Device.h"
#include "Environment.h"
#include "WorldConfig.h"

namespace yoxasim {

class World {
public:
    static World& Get();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    Environment& env() { return env_; }
    uint32_t ApiVersion();
    int32_t Init();
    int32_t Release();
    int32_t Discover(int32_t* handles, int32_t maxCount, int32_t timeoutMs);
    std::shared_ptr<Device> Find(int32_t handle);
    std::shared_ptr<Device> Find(const char* mac);
    // 0, or -1 when the file could not be used (the world is then empty).
    int Load(const char* path);

private:
    World();
    void Apply(WorldConfig config);  // with mutex_ held

    Environment env_;  // first: outlives the devices that post to it
    std::mutex mutex_;
    std::vector<std::shared_ptr<Device>> devices_;
    std::optional<WorldConfig> pending_;
    uint32_t apiVersion_ = 0;
    int32_t initStatus_ = 0;
};

}  // namespace yoxasim
