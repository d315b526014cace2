// A C++11 client of the public header.
#include <cstdio>

#include "yoxa/yoxa.h"

int main() {
    static_assert(sizeof(HEADER) >= 40, "HEADER carries every documented field");
    bool supported = false;
    int status = _GetParameterSupport(nullptr, "exposure", &supported);
    std::printf("%s\n", YoxaCameraStatusName(status));
    return status == CS_NOT_CONNECTED ? 0 : 1;
}
