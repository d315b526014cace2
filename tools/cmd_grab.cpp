// yoxa grab: peaks from one or more sensors to CSV or PLY files, with a live status line.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tools/Commands.h"
#include "tools/Grab.h"
#include "tools/Session.h"
#include "yoxa/yoxa.h"

namespace {

// Callbacks carry only the camera id: the recorders are found by it. Filled before grabbing starts and
// not changed while callbacks may run.
std::map<std::string, GrabRecorder*>& Recorders() {
    static std::map<std::string, GrabRecorder*> recorders;
    return recorders;
}

void OnPeaks(char* camera, STRUCT_PEAK_DATA* peaks, int* count, int* backlog, double* frequency,
             unsigned int* frameNumber) {
    auto it = Recorders().find(camera);
    if (it != Recorders().end()) it->second->Frame(peaks, *count, *backlog, *frequency, *frameNumber);
}

}  // namespace

GrabRecorder::GrabRecorder(std::string id, const std::string& path) : id_(std::move(id)) {
    if (path.empty()) return;
    ply_ = path.size() > 4 && path.compare(path.size() - 4, 4, ".ply") == 0;
    file_.reset(std::fopen(path.c_str(), "w"));
    if (!file_) {
        std::fprintf(stderr, "yoxa: cannot write %s\n", path.c_str());
        return;
    }
    if (ply_) {
        // The vertex count is patched in when the file is closed; reserve room for it.
        std::fprintf(file_.get(), "ply\nformat ascii 1.0\nelement vertex %-12s\n", "0");
        std::fprintf(
            file_.get(),
            "property float x\nproperty float y\nproperty float z\nproperty float intensity\nend_header\n");
    } else {
        std::fprintf(file_.get(), "frame,x,z,intensity\n");
    }
}

GrabRecorder::~GrabRecorder() {
    if (!file_) return;
    if (ply_) {
        std::fflush(file_.get());
        std::fseek(file_.get(), static_cast<long>(std::strlen("ply\nformat ascii 1.0\nelement vertex ")),
                   SEEK_SET);
        std::fprintf(file_.get(), "%-12llu", static_cast<unsigned long long>(points_.load()));
    }
}

void GrabRecorder::Frame(const STRUCT_PEAK_DATA* peaks, int count, int backlog, double frequency,
                         unsigned frameNumber) {
    if (frames_ > 0 && frameNumber != lastFrame_ + 1) {
        // Numbers that never arrived at the callback.
        if (frameNumber > lastFrame_) lost_ += frameNumber - lastFrame_ - 1;
    }
    lastFrame_ = frameNumber;
    backlog_ = backlog;
    frequency_ = frequency;
    points_ += static_cast<uint64_t>(count);
    if (file_ && (maxFrames_ == 0 || frames_ < maxFrames_)) {
        FILE* f = file_.get();
        for (int i = 0; i < count; ++i) {
            if (ply_) {
                std::fprintf(f, "%d %u %.4f %.2f\n", peaks[i].x, frameNumber, peaks[i].z, peaks[i].intensity);
            } else {
                std::fprintf(f, "%u,%d,%.4f,%.2f\n", frameNumber, peaks[i].x, peaks[i].z, peaks[i].intensity);
            }
        }
    }
    ++frames_;
}

int RunGrab(const std::vector<std::string>& ids, const GrabOptions& options,
            std::vector<GrabSummary>* summaries) {
    std::vector<std::unique_ptr<GrabRecorder>> recorders;
    for (const std::string& id : ids) {
        std::string path;
        if (!options.out.empty()) {
            path = options.out;
            if (ids.size() > 1) {
                std::string safe = id;
                for (char& c : safe) c = c == ':' ? '-' : c;
                size_t dot = path.rfind('.');
                path = dot == std::string::npos ? path + "-" + safe
                                                : path.substr(0, dot) + "-" + safe + path.substr(dot);
            }
        }
        recorders.push_back(std::make_unique<GrabRecorder>(id, path));
        recorders.back()->SetMaxFrames(options.frames);
        Recorders()[id] = recorders.back().get();
        char* cid = const_cast<char*>(id.c_str());
        if (ReportStatus("peaks callback", _SetPeaksGrabbedCallback(cid, OnPeaks)) != CS_SUCCESS) return 1;
    }
    for (const std::string& id : ids) {
        if (ReportStatus("start grabbing", _StartGrabbing(const_cast<char*>(id.c_str()))) != CS_SUCCESS)
            return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    auto done = [&] {
        if (options.frames > 0) {
            for (auto& r : recorders) {
                if (r->Frames() < options.frames) return false;
            }
            return true;
        }
        return seconds() >= options.seconds;
    };
    while (!done() && seconds() < options.seconds + (options.frames > 0 ? 60.0 : 0.0)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (options.status) {
            std::string line;
            for (auto& r : recorders) {
                char text[200];
                std::snprintf(text, sizeof text, "%s: %llu frames, %.0f fps, backlog %d, lost %llu   ",
                              r->Id().c_str(), static_cast<unsigned long long>(r->Frames()), r->Frequency(),
                              r->Backlog(), static_cast<unsigned long long>(r->Lost()));
                line += text;
            }
            std::fprintf(stderr, "\r%s", line.c_str());
        }
    }
    const double elapsed = seconds();
    for (const std::string& id : ids) {
        _StopGrabbing(const_cast<char*>(id.c_str()));
        _SetPeaksGrabbedCallback(const_cast<char*>(id.c_str()), nullptr);
    }
    if (options.status) std::fprintf(stderr, "\n");
    for (auto& r : recorders) {
        if (summaries != nullptr) {
            summaries->push_back({r->Id(), r->Frames(), r->Points(), r->Lost(), elapsed});
        }
        Recorders().erase(r->Id());
    }
    return 0;
}

int CmdGrab(int argc, char** argv) {
    GrabOptions options;
    std::string which;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) {
            options.frames = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--seconds" && i + 1 < argc) {
            options.seconds = std::atof(argv[++i]);
        } else if (arg == "--out" && i + 1 < argc) {
            options.out = argv[++i];
        } else if (which.empty() && arg[0] != '-') {
            which = arg;
        } else {
            std::fprintf(stderr,
                         "usage: yoxa grab <id> [--frames N] [--seconds S] [--out file.csv|file.ply]\n");
            return 2;
        }
    }
    if (which.empty()) {
        std::fprintf(stderr, "usage: yoxa grab <id> [--frames N] [--seconds S] [--out file.csv|file.ply]\n");
        return 2;
    }
    Session session;
    std::string id = session.Ok() ? session.Resolve(which) : "";
    if (id.empty() || !session.Connect(id)) return 1;
    std::vector<GrabSummary> summaries;
    if (RunGrab({id}, options, &summaries) != 0) return 1;
    for (const GrabSummary& s : summaries) {
        std::printf("%s: %llu frames, %llu points, %llu lost in %.1f s%s%s\n", s.id.c_str(),
                    static_cast<unsigned long long>(s.frames), static_cast<unsigned long long>(s.points),
                    static_cast<unsigned long long>(s.lost), s.seconds, options.out.empty() ? "" : " -> ",
                    options.out.c_str());
    }
    return 0;
}
