// yoxa bench: the whole chain at the fastest sensor mode on a simulated sensor that sends frames as fast
// as they are taken: 2,048 peaks per frame (a flat mirror across the full width).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tools/Commands.h"
#include "tools/Grab.h"
#include "tools/Session.h"
#include "yoxa/yoxa.h"

int CmdBench(int argc, char** argv) {
    GrabOptions options;
    options.seconds = 10.0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            options.seconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: yoxa bench [--seconds S]\n");
            return 2;
        }
    }
    // The simulated world of the benchmark; the simulator reads it when the library starts it.
    const std::string world = "/tmp/yoxa-bench-world-" + std::to_string(getpid()) + ".json";
    std::ofstream(world)
        << R"json({"sensors": [{"model": "QVCAM_V2", "mac": "00:1f:0a:12:34:05", "ip": "192.168.1.10",
        "firmware": "4.9 (2)", "serial": "QC21000123", "scene": "mirror", "frame_rate": "max"}]})json";
    setenv("YOXA_SIM_WORLD", world.c_str(), 1);
    int result = 1;
    {
        Session session;
        if (session.Ok() && !session.Ids().empty() && session.Connect(session.Ids()[0])) {
            const std::string& id = session.Ids()[0];
            std::vector<GrabSummary> summaries;
            if (RunGrab({id}, options, &summaries) == 0) {
                for (const GrabSummary& s : summaries) {
                    std::printf("%.0f frames/s, %.3g points/s, %llu frames lost, %llu frames in %.1f s\n",
                                static_cast<double>(s.frames) / s.seconds,
                                static_cast<double>(s.points) / s.seconds,
                                static_cast<unsigned long long>(s.lost),
                                static_cast<unsigned long long>(s.frames), s.seconds);
                }
                result = 0;
            }
        }
    }
    std::remove(world.c_str());
    return result;
}
