#include "parameters/RegisterAccess.h"

#include "transport/YoxaDll.h"

namespace {

// The transport takes the value by pointer even for writes; a copy keeps the caller's list untouched.
template <typename Value, typename Call>
CameraStatus Walk(std::span<std::pair<int, Value>> registers, Call call) {
    for (auto& [reg, value] : registers) {
        int status = call(reg, &value);
        if (status != YOXA_STATUS_SUCCESS) return ConvertReadWriteStatus(status);
    }
    return CS_SUCCESS;
}

template <typename Value, typename Call>
CameraStatus WalkWrites(std::span<const std::pair<int, Value>> registers, Call call) {
    for (const auto& [reg, value] : registers) {
        Value copy = value;
        int status = call(reg, &copy);
        if (status != YOXA_STATUS_SUCCESS) return ConvertReadWriteStatus(status);
    }
    return CS_SUCCESS;
}

}  // namespace

CameraStatus SetRegisterBatch(int32_t handle, std::span<const std::pair<int, uint32_t>> registers) {
    return WalkWrites(registers,
                      [handle](int reg, uint32_t* value) { return yoxaSetRegisterInt(handle, reg, value); });
}

CameraStatus ReadRegisterBatch(int32_t handle, std::span<std::pair<int, uint32_t>> registers) {
    return Walk(registers,
                [handle](int reg, uint32_t* value) { return yoxaGetRegisterInt(handle, reg, value); });
}

CameraStatus SetFloatRegisterBatch(int32_t handle, std::span<const std::pair<int, float>> registers) {
    return WalkWrites(registers,
                      [handle](int reg, float* value) { return yoxaSetRegisterFloat(handle, reg, value); });
}

CameraStatus ReadFloatRegisterBatch(int32_t handle, std::span<std::pair<int, float>> registers) {
    return Walk(registers,
                [handle](int reg, float* value) { return yoxaGetRegisterFloat(handle, reg, value); });
}
