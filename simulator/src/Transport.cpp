// The transport functions: the only way the SDK reaches the simulated sensors.
#include <cstring>

#include "World.h"
#include "yoxasim_transport.h"

using yoxasim::Device;
using yoxasim::Image;
using yoxasim::RegType;
using yoxasim::World;

namespace {

constexpr YOXA_API_STATUS kError = -1;

std::shared_ptr<Device> Camera(int32_t handle) {
    return World::Get().Find(handle);
}

template <typename T>
uint32_t Bits(T value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

}  // namespace

extern "C" {

YOXA_API_STATUS yoxaLogging(uint8_t enabled) {
    World::Get().env().SetLogging(enabled != 0);
    return 0;
}

uint32_t yoxaGetVersion(void) {
    return World::Get().ApiVersion();
}

YOXA_API_STATUS yoxaInit(void) {
    return World::Get().Init();
}

YOXA_API_STATUS yoxaRelease(void) {
    return World::Get().Release();
}

int32_t yoxaDiscover(int32_t* handles, int32_t maxCount, int32_t timeoutMs) {
    return World::Get().Discover(handles, maxCount, timeoutMs);
}

YOXA_API_STATUS yoxaOpenCamera(int32_t handle, YoxaConnectionLostCallback onLost) {
    auto camera = Camera(handle);
    return camera ? camera->Open(onLost) : kError;
}

YOXA_API_STATUS yoxaCloseCamera(int32_t handle) {
    auto camera = Camera(handle);
    return camera ? camera->Close() : kError;
}

YOXA_API_STATUS yoxaGetCameraInfo(int32_t handle, uint8_t* info) {
    auto camera = Camera(handle);
    return camera && info ? camera->GetInfo(info) : kError;
}

YOXA_API_STATUS yoxaSetCameraIP(int32_t handle, uint32_t address, uint32_t mask) {
    auto camera = Camera(handle);
    return camera ? camera->SetIp(address, mask) : kError;
}

YOXA_API_STATUS yoxaGetRegisterInt(int32_t handle, int32_t reg, uint32_t* value) {
    auto camera = Camera(handle);
    return camera && value ? camera->ReadRegister(reg, RegType::kInt, value) : kError;
}

YOXA_API_STATUS yoxaSetRegisterInt(int32_t handle, int32_t reg, uint32_t* value) {
    auto camera = Camera(handle);
    return camera && value ? camera->WriteRegister(reg, RegType::kInt, *value) : kError;
}

YOXA_API_STATUS yoxaGetRegisterFloat(int32_t handle, int32_t reg, float* value) {
    auto camera = Camera(handle);
    if (!camera || !value) return kError;
    uint32_t bits = 0;
    YOXA_API_STATUS status = camera->ReadRegister(reg, RegType::kFloat, &bits);
    if (status == 0) std::memcpy(value, &bits, 4);
    return status;
}

YOXA_API_STATUS yoxaSetRegisterFloat(int32_t handle, int32_t reg, float* value) {
    auto camera = Camera(handle);
    return camera && value ? camera->WriteRegister(reg, RegType::kFloat, Bits(*value)) : kError;
}

YOXA_API_STATUS yoxaReadMemory(int32_t handle, uint32_t wordAddress, uint32_t* lengthWords,
                               uint32_t* buffer) {
    auto camera = Camera(handle);
    return camera && lengthWords && buffer ? camera->ReadMemory(wordAddress, lengthWords, buffer) : kError;
}

YOXA_API_STATUS yoxaWriteMemory(int32_t handle, uint32_t wordAddress, uint32_t* lengthWords,
                                uint32_t* buffer) {
    auto camera = Camera(handle);
    return camera && lengthWords && buffer ? camera->WriteMemory(wordAddress, lengthWords, buffer) : kError;
}

YOXA_API_STATUS yoxaStartImageAcquisition(int32_t handle) {
    auto camera = Camera(handle);
    return camera ? camera->StartAcquisition() : kError;
}

YOXA_API_STATUS yoxaStopImageAcquisition(int32_t handle) {
    auto camera = Camera(handle);
    return camera ? camera->StopAcquisition() : kError;
}

int32_t yoxaGetPendingImageCount(int32_t handle, bool wait) {
    auto camera = Camera(handle);
    return camera ? camera->PendingImages(wait) : 0;
}

void* yoxaGetNextImage(int32_t handle, bool wait) {
    auto camera = Camera(handle);
    return camera ? camera->NextImage(wait) : nullptr;
}

bool yoxaIsBufferEmpty(int32_t handle, bool wait) {
    auto camera = Camera(handle);
    return camera ? camera->BufferEmpty(wait) : true;
}

// An image belongs to the caller until it is popped; reading it needs no lock.
uint8_t* yoxaGetImageData(void* image) {
    return image ? static_cast<Image*>(image)->bytes.data() : nullptr;
}

int32_t yoxaGetImageSize(void* image) {
    return image ? static_cast<int32_t>(static_cast<Image*>(image)->bytes.size()) : 0;
}

int32_t yoxaGetImageBytesLost(void* image) {
    return image ? static_cast<Image*>(image)->lost : 0;
}

uint32_t yoxaGetImageNumber(void* image) {
    return image ? static_cast<Image*>(image)->number : 0;
}

YOXA_API_STATUS yoxaFirmwareProgram(int32_t handle, const char* path) {
    auto camera = Camera(handle);
    return camera ? camera->FirmwareProgram(path) : kError;
}

YOXA_API_STATUS yoxaFirmwareGetProgress(int32_t handle, int32_t* progress) {
    auto camera = Camera(handle);
    return camera && progress ? camera->FirmwareProgress(progress) : kError;
}

void yoxaPopImage(int32_t handle, bool wait, void* image) {
    (void)wait;
    auto camera = Camera(handle);
    if (camera && image) camera->PopImage(static_cast<Image*>(image));
}

void yoxaSetBufferSize(int32_t handle, int32_t count) {
    auto camera = Camera(handle);
    if (camera) camera->SetBufferSize(count);
}

uint32_t yoxaGetHeaderSize(void* image) {
    return image ? yoxasim::kTransportHeader : 0;
}

}  // extern "C"
