// The file transfer protocol of the QvTarn family: component files are uploaded into a staging area,
// checked by CRC and written into the sensor's file system; a file of that file system can be read
// back. Firmware updates and the sensor data file both use it.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Registers.h"

namespace yoxasim {

using Clock = std::chrono::steady_clock;

// The reflected CRC-32 of polynomial 0x04C11DB7, continued from crc and without final inversion.
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t length);

class FileTransfer {
public:
    // Status of a transport call: 0, -3.
    int32_t WriteRegister(Behaviour behaviour, uint32_t value, Clock::time_point now);
    int32_t ReadRegister(Behaviour behaviour, Clock::time_point now, uint32_t* bits);
    // Word address inside one of the protocol's memory areas; false when the address is not one.
    static bool Covers(uint32_t address, uint32_t words);
    int32_t WriteMemory(uint32_t address, const uint32_t* words, uint32_t count);
    int32_t ReadMemory(uint32_t address, uint32_t* words, uint32_t count, Clock::time_point now);

    // A reboot ends any transfer; the file system stays.
    void Reset();
    std::map<std::string, std::vector<uint8_t>>& files() { return files_; }

private:
    enum class WriteState { kIdle, kWriting, kFailed };
    struct Upload {
        std::string destination;
        uint32_t length = 0;
        std::vector<uint8_t> data;
        bool checked = false;
    };

    void Settle(Clock::time_point now);
    Upload* Current();

    std::map<std::string, std::vector<uint8_t>> files_;
    std::vector<Upload> uploads_;
    int currentFile_ = -1;
    uint32_t fileCrc_ = 0;
    WriteState writeState_ = WriteState::kIdle;
    bool written_ = false;
    Clock::time_point writeStart_{};
    Clock::duration writeDuration_{};

    std::vector<uint32_t> readName_ = std::vector<uint32_t>(64, 0);
    std::vector<uint8_t> readFile_;
    bool readPending_ = false;
    Clock::time_point readReady_{};
};

}  // namespace yoxasim
