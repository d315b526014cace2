// Grabbing peaks into files, shared by the grab, demo and bench commands.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "yoxa/yoxa.h"

struct GrabOptions {
    uint64_t frames = 0;   // stop after this many frames per sensor (0: by time)
    double seconds = 2.0;  // stop after this long
    std::string out;       // CSV, or PLY when it ends in ".ply"; several sensors get their id appended
    bool status = true;    // a live status line on standard error
};

struct GrabSummary {
    std::string id;
    uint64_t frames;
    uint64_t points;
    uint64_t lost;
    double seconds;
};

// Receives one sensor's frames on its callback thread; the main thread reads the counters.
class GrabRecorder {
public:
    GrabRecorder(std::string id, const std::string& path);
    ~GrabRecorder();
    GrabRecorder(const GrabRecorder&) = delete;
    GrabRecorder& operator=(const GrabRecorder&) = delete;

    void SetMaxFrames(uint64_t frames) { maxFrames_ = frames; }
    void Frame(const STRUCT_PEAK_DATA* peaks, int count, int backlog, double frequency, unsigned frameNumber);

    const std::string& Id() const { return id_; }
    uint64_t Frames() const { return frames_; }
    uint64_t Points() const { return points_; }
    uint64_t Lost() const { return lost_; }
    int Backlog() const { return backlog_; }
    double Frequency() const { return frequency_; }

private:
    struct Closer {
        void operator()(FILE* f) const { std::fclose(f); }
    };
    std::string id_;
    std::unique_ptr<FILE, Closer> file_;
    bool ply_ = false;
    uint64_t maxFrames_ = 0;
    unsigned lastFrame_ = 0;
    std::atomic<uint64_t> frames_{0};
    std::atomic<uint64_t> points_{0};
    std::atomic<uint64_t> lost_{0};
    std::atomic<int> backlog_{0};
    std::atomic<double> frequency_{0.0};
};

// Grabs from connected sensors until the options say stop; 0 on success.
int RunGrab(const std::vector<std::string>& ids, const GrabOptions& options,
            std::vector<GrabSummary>* summaries);
