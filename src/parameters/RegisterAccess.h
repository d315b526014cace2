// Batch register access on one camera handle, shared by the reception object's register routines.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <utility>

#include "yoxa/yoxa.h"

// The sensor needs this long after a register write before the next access.
constexpr std::chrono::milliseconds kRegisterSettleTime{50};

// One transport call per pair, in order, without pauses. The first failing call ends the walk and its
// status is returned converted (0 -> 0, -4 -> 2, -3 -> 17, else 100); the pairs before it stay written or
// read. Reads store each value into its pair.
CameraStatus SetRegisterBatch(int32_t handle, std::span<const std::pair<int, uint32_t>> registers);
CameraStatus ReadRegisterBatch(int32_t handle, std::span<std::pair<int, uint32_t>> registers);
CameraStatus SetFloatRegisterBatch(int32_t handle, std::span<const std::pair<int, float>> registers);
CameraStatus ReadFloatRegisterBatch(int32_t handle, std::span<std::pair<int, float>> registers);
