#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/Commands.h"
#include "tools/Grab.h"
#include "tools/Session.h"
#include "yoxa/yoxa.h"

int ReportStatus(const char* what, int status) {
    if (status != CS_SUCCESS)
        std::fprintf(stderr, "yoxa: %s: %s (%d)\n", what, YoxaCameraStatusName(status), status);
    return status;
}

namespace {

int PrintDiscovered(int timeoutMs) {
    int count = -1;  // no wanted count: one discovery attempt
    char** ids = nullptr;
    int status = _Open(&count, &ids, timeoutMs);
    if (ReportStatus("discovery", status) != CS_SUCCESS) return 1;
    std::printf("%-3s  %-20s  %-17s\n", "#", "id", "serial");
    for (int i = 0; i < count; ++i) {
        char serial[256] = "";
        _GetSerialNumber(ids[i], serial);
        std::printf("%-3d  %-20s  %-17s\n", i, ids[i], serial);
    }
    std::printf("%d sensor%s found\n", count, count == 1 ? "" : "s");
    return 0;
}

}  // namespace

int CmdDiscover(int argc, char** argv) {
    int timeoutMs = 1000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            timeoutMs = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: yoxa discover [--timeout MS]\n");
            return 2;
        }
    }
    int result = PrintDiscovered(timeoutMs);
    _Close();
    return result;
}

int CmdDemo(int /*argc*/, char** /*argv*/) {
    Session session;
    if (!session.Ok()) return 1;
    std::printf("%zu sensor%s found\n", session.Ids().size(), session.Ids().size() == 1 ? "" : "s");
    std::vector<std::string> connected;
    for (const std::string& id : session.Ids()) {
        if (!session.Connect(id)) continue;
        PrintInfo(id);
        connected.push_back(id);
    }
    if (connected.empty()) return 1;
    GrabOptions options;
    options.seconds = 2.0;
    options.out = "peaks.csv";
    std::vector<GrabSummary> summaries;
    if (RunGrab(connected, options, &summaries) != 0) return 1;
    for (const GrabSummary& s : summaries) {
        std::printf("%s: %llu frames, %llu points, %llu lost in %.1f s\n", s.id.c_str(),
                    static_cast<unsigned long long>(s.frames), static_cast<unsigned long long>(s.points),
                    static_cast<unsigned long long>(s.lost), s.seconds);
    }
    return 0;
}
