// yoxa: discover, inspect, configure and grab from line-confocal profile sensors.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/Commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;
};

const Command kCommands[] = {
    {"discover", CmdDiscover, "discover [--timeout MS]      list the sensors on the network"},
    {"params", CmdParams, "params [--json]              list the parameter table"},
    {"info", CmdInfo, "info [id]                    connect and describe the sensors (or one)"},
    {"get", CmdGet, "get <id> <name>              read an integer parameter"},
    {"set", CmdSet, "set <id> <name> <value>      write an integer parameter"},
    {"grab", CmdGrab,
     "grab <id> [--frames N] [--seconds S] [--out file.csv|file.ply]\n"
     "                               grab peaks, with a live status line"},
    {"bench", CmdBench,
     "bench [--seconds S]          the whole chain at the fastest mode on a simulated sensor"},
    {"demo", CmdDemo,
     "demo                         the main job: every sensor connected, described, grabbed"},
};

void PrintHelp(FILE* out) {
    std::fprintf(out, "usage: yoxa <command> [options]\n\ncommands:\n");
    for (const Command& c : kCommands) std::fprintf(out, "  %s\n", c.usage);
    std::fprintf(out,
                 "\nThe sensors come from the transport library beside libyoxa.so. With the simulator, set\n"
                 "YOXA_SIM_WORLD to a world file to choose the simulated sensors (default: two sensors).\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        PrintHelp(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 1, argv + 1);
    }
    std::fprintf(stderr, "yoxa: unknown command '%s'\n\n", argv[1]);
    PrintHelp(stderr);
    return 2;
}
