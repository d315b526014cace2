#include "FileTransfer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace yoxasim {
namespace {

constexpr uint32_t kTextWords = 64;
constexpr uint32_t kMaxFileBytes = 64u << 20;
constexpr uint32_t kDataWords = kMaxFileBytes / 4;

// On the wire the bytes b0 b1 b2 b3 of a group travel as the word whose memory bytes are b3 b2 b1 b0.
uint8_t WireByte(uint32_t word, int k) {
    return static_cast<uint8_t>(word >> (24 - 8 * k));
}

std::string WireText(const uint32_t* words, uint32_t count) {
    std::string text;
    for (uint32_t i = 0; i < count; ++i) {
        for (int k = 0; k < 4; ++k) {
            uint8_t b = WireByte(words[i], k);
            if (b == 0) return text;
            text.push_back(static_cast<char>(b));
        }
    }
    return text;
}

std::array<uint32_t, 256> CrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t length) {
    static const std::array<uint32_t, 256> table = CrcTable();
    for (size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

bool FileTransfer::Covers(uint32_t address, uint32_t words) {
    auto inside = [&](uint32_t start, uint32_t size) {
        return address >= start && address - start <= size && words <= size - (address - start);
    };
    return inside(fwu::kDescriptionAddress, kTextWords) || inside(fwu::kReadNameAddress, kTextWords) ||
           inside(fwu::kDataAddress, kDataWords);
}

void FileTransfer::Reset() {
    uploads_.clear();
    currentFile_ = -1;
    fileCrc_ = 0;
    writeState_ = WriteState::kIdle;
    written_ = false;
    readFile_.clear();
    readPending_ = false;
}

FileTransfer::Upload* FileTransfer::Current() {
    if (currentFile_ < 0 || currentFile_ >= static_cast<int>(uploads_.size())) return nullptr;
    return &uploads_[currentFile_];
}

void FileTransfer::Settle(Clock::time_point now) {
    if (writeState_ == WriteState::kWriting && now - writeStart_ >= writeDuration_) {
        for (Upload& u : uploads_) {
            if (u.checked) files_[u.destination] = u.data;
        }
        writeState_ = WriteState::kIdle;
        written_ = true;
    }
    if (readPending_ && now >= readReady_) readPending_ = false;
}

int32_t FileTransfer::WriteRegister(Behaviour behaviour, uint32_t value, Clock::time_point now) {
    Settle(now);
    switch (behaviour) {
        case Behaviour::kFwuFileCount:
            uploads_.assign(value, Upload{});
            currentFile_ = -1;
            written_ = false;
            return 0;
        case Behaviour::kFwuCurrentFile:
            if (value >= uploads_.size()) return -3;
            currentFile_ = static_cast<int>(value);
            uploads_[value] = Upload{};
            return 0;
        case Behaviour::kFwuCalculateCrc: {
            if (value == 0) return 0;
            Upload* u = Current();
            if (u == nullptr || u->destination.empty()) return -3;
            fileCrc_ = Crc32(0, u->data.data(), u->length);
            u->checked = true;
            return 0;
        }
        case Behaviour::kFwuStartWrite: {
            if (value == 0) return 0;
            if (writeState_ == WriteState::kWriting) return -3;
            bool any =
                std::any_of(uploads_.begin(), uploads_.end(), [](const Upload& u) { return u.checked; });
            if (!any) {
                writeState_ = WriteState::kFailed;
                return 0;
            }
            size_t bytes = 0;
            for (const Upload& u : uploads_) bytes += u.length;
            writeState_ = WriteState::kWriting;
            written_ = false;
            writeStart_ = now;
            // Flash writing takes its time: long enough for progress to be seen, short for tests.
            writeDuration_ = std::chrono::milliseconds(300 + bytes / 16384);
            return 0;
        }
        case Behaviour::kFwuReadStart: {
            if (value == 0) return 0;
            std::string name = WireText(readName_.data(), kTextWords);
            auto it = files_.find(name);
            readFile_ = it == files_.end() ? std::vector<uint8_t>{} : it->second;
            readPending_ = true;
            readReady_ = now + std::chrono::milliseconds(20);
            return 0;
        }
        default:
            return -3;
    }
}

int32_t FileTransfer::ReadRegister(Behaviour behaviour, Clock::time_point now, uint32_t* bits) {
    Settle(now);
    switch (behaviour) {
        case Behaviour::kFwuFileCrc:
            *bits = fileCrc_;
            return 0;
        case Behaviour::kFwuProgress: {
            float progress = 0.0f;
            if (written_) progress = 1.0f;
            if (writeState_ == WriteState::kWriting) {
                progress = static_cast<float>(std::chrono::duration<double>(now - writeStart_) /
                                              std::chrono::duration<double>(writeDuration_));
            }
            std::memcpy(bits, &progress, 4);
            return 0;
        }
        case Behaviour::kFwuState:
            // 0 while writing (or idle), 5 when finished, 6 when there was no checked file to write.
            *bits = written_ ? 5 : writeState_ == WriteState::kFailed ? 6 : 0;
            return 0;
        case Behaviour::kFwuReadStart:
            *bits = readPending_ ? 1 : 0;
            return 0;
        case Behaviour::kFwuReadLength:
            *bits = readPending_ ? 0 : static_cast<uint32_t>(readFile_.size());
            return 0;
        default:
            *bits = 0;
            return 0;
    }
}

int32_t FileTransfer::WriteMemory(uint32_t address, const uint32_t* words, uint32_t count) {
    if (address >= fwu::kDataAddress) {
        Upload* u = Current();
        if (u == nullptr || u->destination.empty()) return -3;
        size_t first = static_cast<size_t>(address - fwu::kDataAddress) * 4;
        if (first + count * 4 > (u->length + 3) / 4 * 4) return -3;
        for (uint32_t i = 0; i < count; ++i) {
            for (int k = 0; k < 4; ++k) {
                size_t at = first + i * 4 + k;
                if (at < u->length) u->data[at] = WireByte(words[i], k);
            }
        }
        return 0;
    }
    if (address >= fwu::kReadNameAddress) {
        std::copy(words, words + count, readName_.begin() + (address - fwu::kReadNameAddress));
        return 0;
    }
    // A file description, "destination;length;crc" with both numbers in hexadecimal.
    Upload* u = Current();
    if (u == nullptr || address != fwu::kDescriptionAddress) return -3;
    std::string text = WireText(words, count);
    size_t first = text.find(';');
    size_t second = first == std::string::npos ? first : text.find(';', first + 1);
    unsigned long length = 0;
    if (first == 0 || second == std::string::npos ||
        std::sscanf(text.c_str() + first + 1, "%lx", &length) != 1 || length > kMaxFileBytes) {
        return -3;
    }
    u->destination = text.substr(0, first);
    u->length = static_cast<uint32_t>(length);
    u->data.assign(u->length, 0);
    u->checked = false;
    return 0;
}

int32_t FileTransfer::ReadMemory(uint32_t address, uint32_t* words, uint32_t count, Clock::time_point now) {
    Settle(now);
    if (address < fwu::kDataAddress) {
        const bool description = address < fwu::kReadNameAddress;
        if (description) return -3;  // the staging area keeps descriptions to itself
        std::copy_n(readName_.begin() + (address - fwu::kReadNameAddress), count, words);
        return 0;
    }
    if (readPending_) return -3;
    size_t first = static_cast<size_t>(address - fwu::kDataAddress) * 4;
    // The file is read in whole 512-byte blocks; the last one is padded with zeros.
    if (first + count * 4 > (readFile_.size() + 511) / 512 * 512) return -3;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t word = 0;
        for (int k = 0; k < 4; ++k) {
            size_t at = first + i * 4 + k;
            uint8_t b = at < readFile_.size() ? readFile_[at] : 0;
            word |= static_cast<uint32_t>(b) << (24 - 8 * k);
        }
        words[i] = word;
    }
    return 0;
}

}  // namespace yoxasim
