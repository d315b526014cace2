// The control interface: what a test does to the simulated world from outside the sensors' links.
#include <algorithm>

#include "World.h"
#include "yoxasim.h"

using yoxasim::World;

extern "C" {

int yoxasimLoadWorld(const char* path) {
    return World::Get().Load(path);
}

int yoxasimDropLink(const char* camera) {
    auto device = World::Get().Find(camera);
    if (!device) return -1;
    device->DropLink();
    return 0;
}

int yoxasimPeekRegister(const char* camera, int reg, unsigned int* value) {
    auto device = World::Get().Find(camera);
    if (!device || value == nullptr) return -1;
    uint32_t bits = 0;
    if (!device->Peek(reg, &bits)) return -1;
    *value = bits;
    return 0;
}

int yoxasimRegisterLog(const char* camera, int* regs, unsigned int* values, int capacity) {
    auto device = World::Get().Find(camera);
    if (!device || capacity < 0 || (capacity > 0 && (regs == nullptr || values == nullptr))) return -1;
    auto log = device->RegisterLog();
    int n = std::min(capacity, static_cast<int>(log.size()));
    for (int i = 0; i < n; ++i) {
        regs[i] = log[i].first;
        values[i] = log[i].second;
    }
    return static_cast<int>(log.size());
}

int yoxasimSetRegisterFault(const char* camera, int reg, int status) {
    auto device = World::Get().Find(camera);
    if (!device || (status != 0 && status != -1 && status != -3 && status != -4)) return -1;
    device->SetFault(reg, status);
    return 0;
}

}  // extern "C"
