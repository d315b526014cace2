// Binding to the sensor transport library libyoxabase.so, loaded at run time.
#pragma once

#include <string>

#include "yoxa/yoxabase.h"

// The resolved transport functions, one table for the process. Written only while loading.
struct YoxaApiFunctions {
    int loaded = 0;
    void* library = nullptr;
#define YOXA_TRANSPORT_FUNCTION(RET, NAME, PARAMS, ARGS, FALLBACK) RET(*NAME) PARAMS = nullptr;
#include "transport/TransportFunctions.def"
#undef YOXA_TRANSPORT_FUNCTION
};

extern YoxaApiFunctions yoxaApiFunctions;

// 0 when every required function was resolved (repeat calls are free), else -1.
int yoxaLoadDll(const char* path);
int yoxaUnloadDll();

// Loads the transport on construction (throws filenotfound), unloads it on destruction.
class YoxaDll {
public:
    explicit YoxaDll(const char* path);
    ~YoxaDll();
    YoxaDll(const YoxaDll&) = delete;
    YoxaDll& operator=(const YoxaDll&) = delete;
};

const char* YoxaApiStatusString(int status);
// Transport status to CameraStatus: 0 -> 0, -4 -> 2, -3 -> 17, else 100; logs failures.
CameraStatus ConvertReadWriteStatus(int status);
// Logs a transport call's result: trace when it succeeded, error otherwise. cameraIndex < 0: no prefix.
void LogYoxaApiStatus(int status, const std::string& what, int cameraIndex = -1);
