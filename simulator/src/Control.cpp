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

extern "C" {

int yoxasimInject(const char* camera, const char* fault, int value) {
    auto device = World::Get().Find(camera);
    if (!device || fault == nullptr) return -1;
    return device->Inject(fault, value);
}

int yoxasimStreamCounts(const char* camera, unsigned long long* delivered, unsigned long long* dropped) {
    auto device = World::Get().Find(camera);
    if (!device) return -1;
    uint64_t d = 0, x = 0;
    device->StreamCounts(&d, &x);
    if (delivered) *delivered = d;
    if (dropped) *dropped = x;
    return 0;
}

int yoxasimWriteCalibration(const char* camera, const char* xPath, const char* zPath) {
    auto device = World::Get().Find(camera);
    if (!device || xPath == nullptr || zPath == nullptr) return -1;
    return device->WriteCalibration(xPath, zPath) ? 0 : -1;
}

}  // extern "C"
