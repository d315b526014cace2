// One simulated sensor: its identity, link, register file, memory and file system. Every operation
// takes the device's lock, so the calls for one camera are serialized while different cameras run
// concurrently.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Environment.h"
#include "FileTransfer.h"
#include "Registers.h"
#include "Stream.h"
#include "WorldConfig.h"

namespace yoxasim {

class Device {
public:
    Device(SensorConfig config, int32_t handle, Environment& env);
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    int32_t handle() const { return handle_; }
    const Mac& mac() const { return config_.mac; }

    // Link. A discovery that sees the device ends the "lost" state of a dropped link.
    bool Rediscover();
    bool IsOpen();
    int32_t GetInfo(uint8_t* info);
    int32_t SetIp(uint32_t address, uint32_t mask);
    int32_t Open(YoxaConnectionLostCallback onLost);
    int32_t Close();
    // Ends the link without a callback: the transport itself was released.
    void Release();
    void DropLink();

    // Registers, as the transport functions call them; values are bit patterns.
    int32_t ReadRegister(int32_t reg, RegType type, uint32_t* bits);
    int32_t WriteRegister(int32_t reg, RegType type, uint32_t bits);
    int32_t ReadMemory(uint32_t address, uint32_t* length, uint32_t* buffer);
    int32_t WriteMemory(uint32_t address, uint32_t* length, const uint32_t* buffer);

    int32_t StartAcquisition();
    int32_t StopAcquisition();
    void SetBufferSize(int32_t count);
    int32_t PendingImages(bool wait);
    Image* NextImage(bool wait);
    bool BufferEmpty(bool wait);
    void PopImage(Image* image);

    int32_t FirmwareProgram(const char* path);
    int32_t FirmwareProgress(int32_t* progress);

    // Control interface: not through the link.
    bool Peek(int32_t reg, uint32_t* bits);
    std::vector<std::pair<int32_t, uint32_t>> RegisterLog();
    void SetFault(int32_t reg, int32_t status);
    int Inject(const char* fault, int value);
    void StreamCounts(uint64_t* delivered, uint64_t* dropped);
    // The true calibration as calibration text files (millimetres, calibrated pixel coordinates).
    bool WriteCalibration(const char* xPath, const char* zPath) const;

private:
    struct DynPoint {
        uint32_t location = 0, height = 0, offset = 0, pulseWidth = 0, threshold = 0;
    };

    bool Present(Clock::time_point now) const { return now >= rebootUntil_; }
    bool Reachable(Clock::time_point now) const { return open_ && !lost_ && Present(now); }
    const RegisterEntry* Entry(int32_t reg) const;
    void PowerOn(Clock::time_point at);
    void Settle(Clock::time_point now);
    void DropLinkLocked();
    void RebootLocked(Clock::time_point now);
    int32_t WriteValue(const RegisterEntry& entry, int32_t reg, uint32_t bits, Clock::time_point now);
    uint32_t ReadValue(const RegisterEntry& entry, int32_t reg, Clock::time_point now);
    float Temperature(double offset, Clock::time_point now) const;
    double FramePeriodUs() const;
    uint32_t Value(int32_t reg) const;
    float FloatValue(int32_t reg, float absent) const;
    // The stream with the settings of the register file, due frames made.
    Stream& Frames();
    // Waits, without the lock, until a frame is due or the deadline passes; false at the deadline.
    bool WaitForFrame(std::unique_lock<std::mutex>& lock, Clock::time_point deadline);

    const SensorConfig config_;
    const int32_t handle_;
    const Family family_;
    const int32_t firmware_;
    const std::set<int32_t> absent_;
    Environment& env_;

    std::mutex mutex_;
    // Link.
    uint32_t ip_;
    uint32_t mask_;
    bool open_ = false;
    bool lost_ = false;  // the link dropped: everything answers -4 until discovered and opened again
    YoxaConnectionLostCallback onLost_ = nullptr;
    Clock::time_point rebootUntil_{};
    Clock::time_point bootTime_{};
    // Registers.
    std::unordered_map<int32_t, uint32_t> values_;
    std::unordered_map<int32_t, int32_t> faults_;
    std::vector<std::pair<int32_t, uint32_t>> log_;
    std::array<uint16_t, 512> imager_{};
    std::array<DynPoint, 32> points_{};
    Clock::time_point restartDone_{};
    bool restarting_ = false;
    // Memory: identity texts, the user flash, and the QvTarn file transfer with its file system.
    std::array<uint32_t, 128> identity_{};
    std::vector<uint32_t> userFlash_;
    FileTransfer transfer_;
    // Acquisition.
    Stream stream_;
    bool settingsChanged_ = true;
    bool programming_ = false;
    Clock::time_point programStart_{};
};

}  // namespace yoxasim
