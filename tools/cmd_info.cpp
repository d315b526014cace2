// yoxa info / get / set: what a sensor is, and its integer parameters.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/Commands.h"
#include "tools/Session.h"
#include "yoxa/yoxa.h"

namespace {

char* Id(const std::string& id) {
    return const_cast<char*>(id.c_str());
}

bool Supported(const std::string& id, const char* name) {
    bool supported = false;
    return _GetParameterSupport(Id(id), name, &supported) == CS_SUCCESS && supported;
}

// The family shows in the parameters only it supports.
const char* Family(const std::string& id) {
    if (Supported(id, "temperature")) return "QVSkarvel";
    if (Supported(id, "chip_temperature")) return "QvTarn";
    return "QVCAM_V2";
}

}  // namespace

void PrintInfo(const std::string& id) {
    char version[64] = "?";
    char mac[256] = "?";
    int ramType = -1;
    _GetDeviceVersion(Id(id), version);
    _GetSerialNumber(Id(id), mac);
    _GetIntParameter(Id(id), "camera_ram_type", &ramType);
    int supported = 0;
    for (int i = 0; i < YOXA_PARAMETER_COUNT; ++i)
        supported += Supported(id, _yoxaParametersList[i].name) ? 1 : 0;
    int width = 0, height = 0;
    _GetIntParameter(Id(id), "image_width", &width);
    _GetIntParameter(Id(id), "image_height", &height);
    std::printf("sensor %s\n", id.c_str());
    std::printf("  family          %s\n", Family(id));
    std::printf("  firmware        %s\n", version);
    std::printf("  MAC             %s\n", mac);
    std::printf("  RAM type        %d\n", ramType);
    std::printf("  image window    %d x %d\n", width, height);
    std::printf("  parameters      %d of %d supported\n", supported, YOXA_PARAMETER_COUNT);
}

int CmdInfo(int argc, char** argv) {
    Session session;
    if (!session.Ok()) return 1;
    int result = 0;
    for (size_t i = 0; i < session.Ids().size(); ++i) {
        const std::string& id = session.Ids()[i];
        if (argc > 1 && session.Resolve(argv[1]) != id) continue;
        if (!session.Connect(id)) {
            result = 1;
            continue;
        }
        PrintInfo(id);
    }
    if (argc > 1 && session.Resolve(argv[1]).empty()) return 1;
    return result;
}

int CmdGet(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: yoxa get <id> <name>\n");
        return 2;
    }
    Session session;
    std::string id = session.Ok() ? session.Resolve(argv[1]) : "";
    if (id.empty() || !session.Connect(id)) return 1;
    int value = 0;
    int status = _GetIntParameter(Id(id), argv[2], &value);
    if (status != CS_SUCCESS) {
        std::printf("%s: %s (%d)\n", argv[2], YoxaCameraStatusName(status), status);
        return 1;
    }
    std::printf("%s = %d\n", argv[2], value);
    return 0;
}

int CmdSet(int argc, char** argv) {
    char* end = nullptr;
    long value = argc == 4 ? std::strtol(argv[3], &end, 0) : 0;
    if (argc != 4 || *end != '\0') {
        std::fprintf(stderr, "usage: yoxa set <id> <name> <integer value>\n");
        return 2;
    }
    Session session;
    std::string id = session.Ok() ? session.Resolve(argv[1]) : "";
    if (id.empty() || !session.Connect(id)) return 1;
    int status = _SetIntParameter(Id(id), argv[2], static_cast<int>(value));
    std::printf("%s = %ld: %s (%d)\n", argv[2], value, YoxaCameraStatusName(status), status);
    return status == CS_SUCCESS ? 0 : 1;
}
