// yoxa params [--json]: the parameter table as a client sees it, through the exported data symbol.
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "yoxa/yoxa.h"

namespace {

const char* const kFamilies[3] = {"QVSkarvel", "QVCAM_V2", "QvTarn"};

const char* TypeName(int32_t type) {
    switch (type) {
        case YOXA_PARAMETER_INT:
            return "int";
        case YOXA_PARAMETER_FLOAT:
            return "float";
        case YOXA_PARAMETER_STRING:
            return "string";
        default:
            return "?";
    }
}

// "all" (every firmware), "-" (not supported) or the lowest firmware version, e.g. "4.7.4".
std::string SupportText(int32_t word) {
    if (word == 0) return "all";
    if (word == -1) return "-";
    return std::to_string(word / 1000000) + "." + std::to_string(word / 1000 % 1000) + "." +
           std::to_string(word % 1000);
}

std::string NameOf(const YOXA_PARAMETER& entry) {
    return std::string(entry.name, strnlen(entry.name, sizeof(entry.name)));
}

void PrintJson() {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (int i = 0; i < YOXA_PARAMETER_COUNT; ++i) {
        const YOXA_PARAMETER& entry = _yoxaParametersList[i];
        nlohmann::ordered_json support;
        for (int family = 0; family < 3; ++family)
            support[kFamilies[family]] = SupportText(entry.minVersion[family]);
        list.push_back({{"index", i},
                        {"name", NameOf(entry)},
                        {"type", TypeName(entry.type)},
                        {"register", entry.reg},
                        {"custom", entry.custom != 0},
                        {"support", support}});
    }
    std::printf("%s\n", list.dump(2).c_str());
}

void PrintTable() {
    std::printf("%-4s %-38s %-7s %8s %-6s %-9s %-9s %s\n", "#", "name", "type", "register", "custom",
                kFamilies[0], kFamilies[1], kFamilies[2]);
    for (int i = 0; i < YOXA_PARAMETER_COUNT; ++i) {
        const YOXA_PARAMETER& entry = _yoxaParametersList[i];
        std::printf("%-4d %-38s %-7s %8d %-6s %-9s %-9s %s\n", i, NameOf(entry).c_str(), TypeName(entry.type),
                    entry.reg, entry.custom ? "yes" : "no", SupportText(entry.minVersion[0]).c_str(),
                    SupportText(entry.minVersion[1]).c_str(), SupportText(entry.minVersion[2]).c_str());
    }
}

}  // namespace

int CmdParams(int argc, char** argv) {
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else {
            std::fprintf(stderr, "usage: yoxa params [--json]\n");
            return 2;
        }
    }
    if (json) {
        PrintJson();
    } else {
        PrintTable();
    }
    return 0;
}
