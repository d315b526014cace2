#include "Device.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

namespace yoxasim {
namespace {

constexpr uint32_t kIdentityAddress = 128;
constexpr uint32_t kIdentityWords = 128;
constexpr uint32_t kModelAddress = 154;
constexpr uint32_t kDeviceVersionAddress = 162;
constexpr uint32_t kSerialAddress = 182;
constexpr uint32_t kFlashAddress = 200000;
constexpr uint32_t kFlashWords = 204800 / 4;
constexpr uint32_t kMaxWordsPerCall = 128;

constexpr int32_t kRegWidth = 2, kRegHeight = 3, kRegOffsetX = 4, kRegOffsetY = 5;
constexpr int32_t kRegImagerAddress = 54;
constexpr int32_t kRegSelfTest = 386;
constexpr int32_t kRegRamType = 416;
constexpr int32_t kRegRestart = 20113;
constexpr int32_t kRegPulseWidthFloat = 20092;
constexpr int32_t kRegReferenceRows = 20036;
constexpr int32_t kRegPointIndex = 20480;
constexpr int32_t kRegPointLocation = 20481, kRegPointHeight = 20484, kRegPointOffset = 20485;
constexpr int32_t kRegPointPulseWidth = 20486, kRegPointThreshold = 20487;
constexpr uint16_t kImagerModeRegister = 114;
constexpr uint16_t kImagerModeNormal = 3968;
constexpr uint16_t kImagerTestPattern = 0x2000;  // 3968 | 0x2000 = 12160
constexpr int32_t kRegPeakEnable = 30005;
constexpr auto kWaitLimit = std::chrono::seconds(1);

constexpr auto kRestartTime = std::chrono::milliseconds(150);
constexpr auto kProgramTime = std::chrono::seconds(2);

uint32_t FloatBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

float BitsFloat(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// Four characters per word, lowest byte first, zero-filled.
void PackText(const std::string& text, uint32_t* words, size_t count) {
    for (size_t i = 0; i < count * 4; ++i) {
        uint8_t c = i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
        words[i / 4] |= static_cast<uint32_t>(c) << (8 * (i % 4));
    }
}

bool IsTransferRead(Behaviour b) {
    return b == Behaviour::kFwuFileCrc || b == Behaviour::kFwuProgress || b == Behaviour::kFwuState ||
           b == Behaviour::kFwuReadStart || b == Behaviour::kFwuReadLength;
}

// Host addresses only: no network, broadcast, loopback, multicast or reserved address.
bool IsHostAddress(uint32_t address, uint32_t mask) {
    uint32_t host = ~mask;
    bool contiguous = (host & (host + 1)) == 0;
    if (!contiguous || mask == 0 || host < 3) return false;
    uint32_t first = address >> 24;
    if (first == 0 || first == 127 || first >= 224) return false;
    return (address & host) != 0 && (address & host) != host;
}

}  // namespace

Device::Device(SensorConfig config, int32_t handle, Environment& env)
    : config_(std::move(config)),
      handle_(handle),
      family_(FamilyOf(config_.model)),
      firmware_(FirmwareCode(config_.firmware)),
      absent_(config_.absentRegisters.begin(), config_.absentRegisters.end()),
      env_(env),
      ip_(config_.ip),
      mask_(config_.mask),
      stream_(config_) {
    PackText(config_.model, &identity_[kModelAddress - kIdentityAddress], 8);
    PackText(config_.deviceVersion, &identity_[kDeviceVersionAddress - kIdentityAddress], 8);
    PackText(config_.serial, &identity_[kSerialAddress - kIdentityAddress], 8);
    // Flash keeps its content over reboots; erased flash reads as all ones.
    if (family_ == Family::kTarn) {
        if (!config_.userFlashData.empty())
            transfer_.files()["/mnt/flashfs/sensor_data"] = config_.userFlashData;
    } else {
        userFlash_.assign(kFlashWords, 0xFFFFFFFFu);
        size_t n = std::min(config_.userFlashData.size(), size_t{kFlashWords} * 4);
        if (n > 0) std::memcpy(userFlash_.data(), config_.userFlashData.data(), n);
    }
    PowerOn(Clock::now());
}

void Device::PowerOn(Clock::time_point at) {
    values_.clear();
    int rows = 0;
    const RegisterEntry* table = RegisterTable(&rows);
    for (int r = 0; r < rows; ++r) {
        const RegisterEntry& entry = table[r];
        for (int k = 0; k < entry.count; ++k) {
            int32_t reg = entry.number + k * entry.stride;
            if (Entry(reg) != &entry) continue;
            values_[reg] = entry.type == RegType::kFloat ? FloatBits(static_cast<float>(entry.initial))
                                                         : static_cast<uint32_t>(entry.initial);
        }
    }
    values_[kRegWidth] = static_cast<uint32_t>(config_.maxWidth);
    values_[kRegHeight] = static_cast<uint32_t>(config_.maxHeight);
    if (values_.count(kRegRamType)) values_[kRegRamType] = config_.ramType;
    imager_.fill(0);
    imager_[kImagerModeRegister] = kImagerModeNormal;
    points_ = {};
    restarting_ = false;
    transfer_.Reset();
    stream_.Discard();
    settingsChanged_ = true;
    programming_ = false;
    bootTime_ = at;
}

const RegisterEntry* Device::Entry(int32_t reg) const {
    if (absent_.count(reg)) return nullptr;
    return FindRegister(reg, family_, firmware_);
}

uint32_t Device::Value(int32_t reg) const {
    auto it = values_.find(reg);
    return it == values_.end() ? 0 : it->second;
}

float Device::FloatValue(int32_t reg, float absent) const {
    auto it = values_.find(reg);
    return it == values_.end() ? absent : BitsFloat(it->second);
}

void Device::Settle(Clock::time_point now) {
    if (restarting_ && now >= restartDone_) {
        restarting_ = false;
        values_[kRegRestart] = 0;
        values_[kRegSelfTest] = config_.selfTestResult;
    }
}

// ---- link ----

bool Device::Rediscover() {
    std::lock_guard lock(mutex_);
    if (!Present(Clock::now())) return false;
    lost_ = false;
    return true;
}

bool Device::IsOpen() {
    std::lock_guard lock(mutex_);
    return open_ && !lost_;
}

int32_t Device::GetInfo(uint8_t* info) {
    std::lock_guard lock(mutex_);
    if (lost_ || !Present(Clock::now())) return -4;
    std::memset(info, 0, 128);
    auto put = [&](size_t at, const std::string& text, size_t size) {
        std::memcpy(info + at, text.data(), std::min(text.size(), size - 1));
    };
    put(0, config_.model, 32);
    put(32, config_.serial, 32);
    put(64, config_.firmware, 16);
    put(80, config_.deviceVersion, 16);
    std::memcpy(info + 100, &handle_, 4);
    std::memcpy(info + 104, &ip_, 4);
    std::memcpy(info + 108, &mask_, 4);
    std::memcpy(info + 112, config_.mac.data(), 6);
    return 0;
}

int32_t Device::SetIp(uint32_t address, uint32_t mask) {
    std::lock_guard lock(mutex_);
    if (lost_ || !Present(Clock::now())) return -4;
    if (!IsHostAddress(address, mask)) return -3;
    ip_ = address;
    mask_ = mask;
    env_.Log("camera %d: address %u.%u.%u.%u", handle_, address >> 24, address >> 16 & 0xFF,
             address >> 8 & 0xFF, address & 0xFF);
    return 0;
}

int32_t Device::Open(YoxaConnectionLostCallback onLost) {
    std::lock_guard lock(mutex_);
    if (lost_ || !Present(Clock::now())) return -4;
    // Opening again from the same host just takes the new callback.
    open_ = true;
    onLost_ = onLost;
    log_.clear();
    env_.Log("camera %d: open", handle_);
    return 0;
}

int32_t Device::Close() {
    std::lock_guard lock(mutex_);
    if (lost_ || !Present(Clock::now())) return -4;
    if (!open_) return -1;
    open_ = false;
    onLost_ = nullptr;
    stream_.Discard();
    env_.Log("camera %d: closed", handle_);
    return 0;
}

void Device::Release() {
    std::lock_guard lock(mutex_);
    open_ = false;
    onLost_ = nullptr;
    stream_.Discard();
}

void Device::DropLink() {
    std::lock_guard lock(mutex_);
    DropLinkLocked();
}

void Device::DropLinkLocked() {
    if (open_ && !lost_) env_.notifier().Post(onLost_, handle_);
    env_.Log("camera %d: link lost", handle_);
    lost_ = true;
    open_ = false;
    onLost_ = nullptr;
    stream_.Discard();
}

void Device::RebootLocked(Clock::time_point now) {
    DropLinkLocked();
    rebootUntil_ = now + std::chrono::milliseconds(config_.rebootMs);
    PowerOn(rebootUntil_);
}

// ---- registers ----

int32_t Device::ReadRegister(int32_t reg, RegType type, uint32_t* bits) {
    std::lock_guard lock(mutex_);
    Clock::time_point now = Clock::now();
    Settle(now);
    if (!Reachable(now)) return -4;
    if (auto fault = faults_.find(reg); fault != faults_.end()) return fault->second;
    const RegisterEntry* entry = Entry(reg);
    if (entry == nullptr) return -3;
    if (entry->type != type) return -1;
    if (IsTransferRead(entry->behaviour)) return transfer_.ReadRegister(entry->behaviour, now, bits);
    *bits = ReadValue(*entry, reg, now);
    return 0;
}

int32_t Device::WriteRegister(int32_t reg, RegType type, uint32_t bits) {
    std::lock_guard lock(mutex_);
    Clock::time_point now = Clock::now();
    Settle(now);
    if (!Reachable(now)) return -4;
    log_.emplace_back(reg, bits);
    if (auto fault = faults_.find(reg); fault != faults_.end()) return fault->second;
    const RegisterEntry* entry = Entry(reg);
    if (entry == nullptr) return -3;
    if (entry->type != type) return -1;
    if (entry->access == Access::kReadOnly) return -3;
    // Frames that became due before this write were taken with the settings before it.
    if (stream_.acquiring()) Frames().Pending(now);
    int32_t status = WriteValue(*entry, reg, bits, now);
    if (status == 0) settingsChanged_ = true;
    env_.Log("camera %d: register %d <- 0x%08x: %d", handle_, reg, bits, status);
    return status;
}

int32_t Device::WriteValue(const RegisterEntry& entry, int32_t reg, uint32_t bits, Clock::time_point now) {
    uint32_t v = bits;
    switch (entry.behaviour) {
        case Behaviour::kWidth:
        case Behaviour::kHeight:
        case Behaviour::kOffsetX:
        case Behaviour::kOffsetY: {
            // The window stays inside the largest one: sizes and offsets that do not fit are clamped.
            bool x = entry.behaviour == Behaviour::kWidth || entry.behaviour == Behaviour::kOffsetX;
            uint32_t largest = static_cast<uint32_t>(x ? config_.maxWidth : config_.maxHeight);
            bool size = entry.behaviour == Behaviour::kWidth || entry.behaviour == Behaviour::kHeight;
            if (size && v < entry.min) return -3;
            uint32_t other = Value(size ? (x ? kRegOffsetX : kRegOffsetY) : (x ? kRegWidth : kRegHeight));
            values_[reg] = std::min(v, largest - other);
            return 0;
        }
        default:
            break;
    }
    if (entry.type == RegType::kFloat) {
        float f = BitsFloat(bits);
        if (!std::isfinite(f) || f < entry.min || f > entry.max) return -3;
    } else if (v < entry.min || v > entry.max) {
        return -3;
    }
    switch (entry.behaviour) {
        case Behaviour::kImagerValue:
            imager_[Value(kRegImagerAddress) % imager_.size()] = static_cast<uint16_t>(v);
            break;
        case Behaviour::kRestart:
            if (v != 0) {
                restarting_ = true;
                restartDone_ = now + kRestartTime;
            }
            break;
        case Behaviour::kReboot:
            if (v != 0) RebootLocked(now);
            return 0;
        case Behaviour::kFwuReboot:
            if (v == 0) return 0;
            // The sensor goes down before it can answer.
            RebootLocked(now);
            return -4;
        case Behaviour::kReferenceFrequency: {
            // Rows that fit into one period of the reference frequency.
            int32_t columns = std::max(static_cast<int32_t>(Value(kRegWidth)) / 32 + 1, 45);
            double f = BitsFloat(bits);
            double rows = (std::trunc(74250000.0 / f) - 1029.0) / columns;
            values_[kRegReferenceRows] =
                static_cast<uint32_t>(std::clamp(rows, 0.0, double(config_.maxHeight)));
            break;
        }
        case Behaviour::kPointSet:
            if (v != 0) {
                points_[Value(kRegPointIndex) % points_.size()] = {
                    Value(kRegPointLocation), Value(kRegPointHeight), Value(kRegPointOffset),
                    Value(kRegPointPulseWidth), Value(kRegPointThreshold)};
            }
            return 0;
        case Behaviour::kPointGet:
            if (v != 0) {
                const DynPoint& p = points_[Value(kRegPointIndex) % points_.size()];
                values_[kRegPointLocation] = p.location;
                values_[kRegPointHeight] = p.height;
                values_[kRegPointOffset] = p.offset;
                values_[kRegPointPulseWidth] = p.pulseWidth;
                values_[kRegPointThreshold] = p.threshold;
            }
            return 0;
        case Behaviour::kPointsClear:
            points_ = {};
            return 0;
        case Behaviour::kFwuStartWrite:
        case Behaviour::kFwuFileCount:
        case Behaviour::kFwuCurrentFile:
        case Behaviour::kFwuCalculateCrc:
        case Behaviour::kFwuReadStart:
            return transfer_.WriteRegister(entry.behaviour, v, now);
        default:
            break;
    }
    if (entry.access == Access::kReadWrite || entry.behaviour == Behaviour::kFlashCommit) values_[reg] = v;
    return 0;
}

uint32_t Device::ReadValue(const RegisterEntry& entry, int32_t reg, Clock::time_point now) {
    switch (entry.behaviour) {
        case Behaviour::kFirmwareText: {
            uint32_t word = 0;
            PackText(
                config_.firmware.substr(std::min<size_t>(config_.firmware.size(), 4 * (reg - entry.number))),
                &word, 1);
            return word;
        }
        case Behaviour::kImagerValue:
            return imager_[Value(kRegImagerAddress) % imager_.size()];
        case Behaviour::kTemperature:
        case Behaviour::kTemperatureLow:
        case Behaviour::kTemperatureHigh: {
            float t = Temperature(entry.initial, now);
            // The history spans the cold start and the warmest moment so far.
            if (entry.behaviour == Behaviour::kTemperatureLow)
                t = static_cast<float>(config_.temperature + entry.initial - 3.2);
            if (entry.behaviour == Behaviour::kTemperatureHigh)
                t = static_cast<float>(config_.temperature + entry.initial + 0.8);
            return entry.type == RegType::kFloat ? FloatBits(t) : static_cast<uint32_t>(std::lround(t));
        }
        case Behaviour::kSaturationCount:
            return stream_.saturated();
        case Behaviour::kAverageIntensity:
            return stream_.meanIntensity();
        case Behaviour::kRejectTime: {
            // A trigger is accepted no sooner than the sensor can take the next frame.
            float stored = BitsFloat(Value(reg));
            return FloatBits(std::max(stored, static_cast<float>(FramePeriodUs())));
        }
        default:
            break;
    }
    if (entry.access == Access::kCommand && entry.behaviour != Behaviour::kFlashCommit) return 0;
    return Value(reg);
}

float Device::Temperature(double offset, Clock::time_point now) const {
    // Warms up by a few degrees over the first minutes after power-on, then wanders slightly.
    double t = std::chrono::duration<double>(now - bootTime_).count();
    double warm = 3.0 * (1.0 - std::exp(-t / 600.0));
    double wander = 0.2 * std::sin(t * 2.0 * M_PI / 97.0) + 0.03 * std::sin(t * 7.3);
    return static_cast<float>(config_.temperature - 3.0 + offset + warm + wander);
}

double Device::FramePeriodUs() const {
    double rows = std::max<uint32_t>(Value(kRegHeight), 1);
    if (family_ == Family::kTarn) {
        double columns = std::max(static_cast<int32_t>(Value(kRegWidth)) / 32 + 1, 45);
        double pulse = BitsFloat(Value(kRegPulseWidthFloat));
        return std::max((rows * columns + 1029.0) / 74.25, pulse + 22.10101);
    }
    double f = 47500000.0 / (rows * 129.0 + 1548.0) - 653000.0 * std::pow(rows, -1.812);
    return 1.0e6 / std::max(f, 1.0);
}

// ---- memory ----

int32_t Device::ReadMemory(uint32_t address, uint32_t* length, uint32_t* buffer) {
    std::lock_guard lock(mutex_);
    Clock::time_point now = Clock::now();
    if (!Reachable(now)) return -4;
    uint32_t n = *length;
    if (n == 0) return 0;
    if (n > kMaxWordsPerCall) return -3;
    if (address >= kIdentityAddress && address - kIdentityAddress + n <= kIdentityWords) {
        std::copy_n(identity_.begin() + (address - kIdentityAddress), n, buffer);
        return 0;
    }
    if (!userFlash_.empty() && address >= kFlashAddress && address - kFlashAddress + n <= kFlashWords) {
        std::copy_n(userFlash_.begin() + (address - kFlashAddress), n, buffer);
        return 0;
    }
    if (family_ == Family::kTarn && FileTransfer::Covers(address, n)) {
        return transfer_.ReadMemory(address, buffer, n, now);
    }
    return -3;
}

int32_t Device::WriteMemory(uint32_t address, uint32_t* length, const uint32_t* buffer) {
    std::lock_guard lock(mutex_);
    if (!Reachable(Clock::now())) return -4;
    uint32_t n = *length;
    if (n == 0) return 0;
    if (n > kMaxWordsPerCall) return -3;
    if (!userFlash_.empty() && address >= kFlashAddress && address - kFlashAddress + n <= kFlashWords) {
        std::copy_n(buffer, n, userFlash_.begin() + (address - kFlashAddress));
        return 0;
    }
    if (family_ == Family::kTarn && FileTransfer::Covers(address, n)) {
        return transfer_.WriteMemory(address, buffer, n);
    }
    return -3;  // the identity block is read-only, everything else unmapped
}

// ---- acquisition and firmware ----

int32_t Device::StartAcquisition() {
    std::lock_guard lock(mutex_);
    Clock::time_point now = Clock::now();
    if (!Reachable(now)) return -4;
    Frames().Start(now, bootTime_);
    return 0;
}

int32_t Device::StopAcquisition() {
    std::lock_guard lock(mutex_);
    Clock::time_point now = Clock::now();
    if (!Reachable(now)) return -4;
    Frames().Pending(now);  // what became due until now still arrives
    stream_.Stop();
    return 0;
}

void Device::SetBufferSize(int32_t count) {
    std::lock_guard lock(mutex_);
    if (count >= 1) stream_.SetCapacity(std::min(count, 100000));
}

Stream& Device::Frames() {
    if (settingsChanged_) {
        FrameSettings s;
        s.width = Value(kRegWidth);
        s.height = Value(kRegHeight);
        s.offsetX = Value(kRegOffsetX);
        s.offsetY = Value(kRegOffsetY);
        s.peakMode = Value(kRegPeakEnable) == 1;
        s.testPattern = (imager_[kImagerModeRegister] & kImagerTestPattern) != 0;
        s.gain = FloatValue(32, 1.0f);
        s.exposure = FloatValue(25, 10.0f);
        s.pulseWidth =
            family_ == Family::kSkarvel ? static_cast<float>(Value(20008)) : FloatValue(20092, 2.0f);
        s.currentMiddle = FloatValue(20060, 1.0f);
        s.currentEdges = FloatValue(20064, 1.0f);
        s.interleave = FloatValue(128, 1.0f);
        s.threshold = Value(30006);
        if (family_ == Family::kSkarvel) {
            // The filter code has one nibble of 1 per pair of taps, from the top.
            uint32_t code = Value(30007);
            uint32_t taps = 0;
            while (taps < 8 && ((code >> (28 - 4 * taps)) & 0xF) == 1) ++taps;
            s.firLength = taps == 0 ? 16 : 2 * taps;
        } else {
            s.firLength = std::max<uint32_t>(Value(30008), 1);
        }
        s.xMin = Entry(30009) ? Value(30009) : 0;
        s.xMax = Entry(30010) ? Value(30010) : 4095;
        s.columnLimit = Value(20136);
        s.maxPeaks = Entry(30016) ? Value(30016) : 65535;
        s.rateLimit = FloatValue(21, 0.0f);
        s.minPeriodUs = FloatValue(20034, 0.0f);
        stream_.Configure(s);
        settingsChanged_ = false;
    }
    return stream_;
}

bool Device::WaitForFrame(std::unique_lock<std::mutex>& lock, Clock::time_point deadline) {
    Clock::time_point now = Clock::now();
    std::optional<Clock::time_point> due = stream_.NextDue();
    if (now >= deadline || !due) return false;
    lock.unlock();
    std::this_thread::sleep_until(std::min(std::max(*due, now + std::chrono::microseconds(100)), deadline));
    lock.lock();
    return true;
}

int32_t Device::PendingImages(bool wait) {
    std::unique_lock lock(mutex_);
    Clock::time_point deadline = Clock::now() + kWaitLimit;
    for (;;) {
        Clock::time_point now = Clock::now();
        if (!Reachable(now)) return 0;
        int32_t n = Frames().Pending(now);
        if (n != 0 || !wait || !WaitForFrame(lock, deadline)) return n;
    }
}

Image* Device::NextImage(bool wait) {
    std::unique_lock lock(mutex_);
    Clock::time_point deadline = Clock::now() + kWaitLimit;
    for (;;) {
        Clock::time_point now = Clock::now();
        if (!Reachable(now)) return nullptr;
        Image* image = Frames().Next(now);
        if (image != nullptr || !wait || !WaitForFrame(lock, deadline)) return image;
    }
}

bool Device::BufferEmpty(bool wait) {
    std::unique_lock lock(mutex_);
    Clock::time_point deadline = Clock::now() + kWaitLimit;
    for (;;) {
        Clock::time_point now = Clock::now();
        if (!Reachable(now)) return true;
        bool empty = Frames().Empty(now);
        if (!empty || !wait || !WaitForFrame(lock, deadline)) return empty;
    }
}

void Device::PopImage(Image* image) {
    std::lock_guard lock(mutex_);
    stream_.Pop(image);
}

int32_t Device::FirmwareProgram(const char* path) {
    std::lock_guard lock(mutex_);
    Clock::time_point now = Clock::now();
    if (!Reachable(now)) return -4;
    // QvTarn sensors are updated through their file transfer registers instead.
    if (family_ == Family::kTarn || path == nullptr || !std::ifstream(path, std::ios::binary)) return -1;
    programming_ = true;
    programStart_ = now;
    return 0;
}

int32_t Device::FirmwareProgress(int32_t* progress) {
    std::lock_guard lock(mutex_);
    Clock::time_point now = Clock::now();
    if (!Reachable(now)) return -4;
    double done = programming_ ? std::chrono::duration<double>(now - programStart_) / kProgramTime : 0.0;
    *progress = static_cast<int32_t>(std::min(done, 1.0) * 100.0);
    return 0;
}

// ---- control ----

bool Device::Peek(int32_t reg, uint32_t* bits) {
    std::lock_guard lock(mutex_);
    Clock::time_point now = Clock::now();
    Settle(now);
    const RegisterEntry* entry = Entry(reg);
    if (entry == nullptr) return false;
    if (IsTransferRead(entry->behaviour)) {
        transfer_.ReadRegister(entry->behaviour, now, bits);
    } else {
        *bits = ReadValue(*entry, reg, now);
    }
    return true;
}

std::vector<std::pair<int32_t, uint32_t>> Device::RegisterLog() {
    std::lock_guard lock(mutex_);
    return log_;
}

int Device::Inject(const char* fault, int value) {
    std::lock_guard lock(mutex_);
    return Frames().Inject(fault, value, Clock::now());
}

void Device::StreamCounts(uint64_t* delivered, uint64_t* dropped) {
    std::lock_guard lock(mutex_);
    *delivered = stream_.delivered();
    *dropped = stream_.dropped();
}

bool Device::WriteCalibration(const char* xPath, const char* zPath) const {
    const TrueCalibration& cal = stream_.model().calibration;
    std::ofstream x(xPath);
    std::ofstream z(zPath);
    if (!x || !z) return false;
    char line[160];
    double c[3];
    for (int row = 0; row < cal.rows; ++row) {
        cal.XPolynomial(row, c);
        std::snprintf(line, sizeof(line), "%d;%.18f;%.18f;%.18f\n", row, c[0], c[1], c[2]);
        x << line;
    }
    for (int column = 0; column < 2048; ++column) {
        cal.ZPolynomial(column, c);
        std::snprintf(line, sizeof(line), "%d;%.18f;%.18f;%.18f\n", column, c[0], c[1], c[2]);
        z << line;
    }
    return static_cast<bool>(x.flush()) && static_cast<bool>(z.flush());
}

void Device::SetFault(int32_t reg, int32_t status) {
    std::lock_guard lock(mutex_);
    if (status == 0) {
        faults_.erase(reg);
    } else {
        faults_[reg] = status;
    }
}

}  // namespace yoxasim
