#include "transport/YoxaDll.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "api/Exceptions.h"
#include "logging/Log.h"

YoxaApiFunctions yoxaApiFunctions;

namespace {

constexpr const char* kTransportName = "libyoxabase.so";

void* OpenLibrary(const char* path) {
    return dlopen(path, RTLD_LAZY);
}

template <typename F>
bool Resolve(void* library, const char* name, F& slot) {
    slot = reinterpret_cast<F>(dlsym(library, name));
    return slot != nullptr;
}

// The transport ships beside this library. The run path says so too, but a dlopen interposed by a
// sanitizer or a preloaded library resolves the run path of the interposer, not ours.
void* OpenBesideThisLibrary() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OpenBesideThisLibrary), &info) == 0 || info.dli_fname == nullptr)
        return nullptr;
    std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return nullptr;
    return OpenLibrary((path.substr(0, slash + 1) + kTransportName).c_str());
}

void ReportUnresolved(const char* name) {
    std::fprintf(stderr,
                 "%s library: Function pointer for \"%s\" not initialized, did `yoxaLoadDll(...)' succeed?\n",
                 "yoxabase", name);
}

}  // namespace

int yoxaLoadDll(const char* path) {
    YoxaApiFunctions& api = yoxaApiFunctions;
    if (api.loaded > 0) return 0;
    void* library = api.library;
    if (library == nullptr && path != nullptr) {
        library = OpenLibrary(path);
        if (library == nullptr) {
            char joined[4096];
            std::snprintf(joined, sizeof(joined), "%s/%s", path, kTransportName);
            library = OpenLibrary(joined);
        }
    }
    if (library == nullptr) library = OpenLibrary("./libyoxabase.so");
    if (library == nullptr) library = OpenLibrary(kTransportName);
    if (library == nullptr) library = OpenBesideThisLibrary();
    if (library == nullptr) return -1;
    api.library = library;

    bool complete = true;
#define YOXA_TRANSPORT_FUNCTION(RET, NAME, PARAMS, ARGS, FALLBACK) \
    if (!Resolve(library, #NAME, api.NAME) && std::string_view(#NAME) != "yoxaLogging") complete = false;
#include "transport/TransportFunctions.def"
#undef YOXA_TRANSPORT_FUNCTION
    api.loaded = complete ? 1 : 0;
    return complete ? 0 : -1;
}

int yoxaUnloadDll() {
    YoxaApiFunctions& api = yoxaApiFunctions;
    api.loaded = 0;
    int result = 0;
    if (api.library != nullptr && dlclose(api.library) != 0) result = -1;
    // Never call into an unloaded library: every forwarder falls back to its fixed value.
    api = YoxaApiFunctions{};
    return result;
}

YoxaDll::YoxaDll(const char* path) {
    if (yoxaLoadDll(path) != 0) {
        std::string text = std::string("Failed to load ") + path;
        YLOG(ERROR) << text;
        throw filenotfound(text);
    }
}

YoxaDll::~YoxaDll() {
    yoxaUnloadDll();
}

const char* YoxaApiStatusString(int status) {
    switch (status) {
        case YOXA_STATUS_SUCCESS:
            return "YOXA_STATUS_SUCCESS";
        case YOXA_STATUS_ERROR:
            return "YOXA_STATUS_ERROR";
        case YOXA_STATUS_OUT_OF_RANGE:
            return "YOXA_STATUS_OUT_OF_RANGE";
        case YOXA_STATUS_NO_RESPONSE:
            return "YOXA_STATUS_NO_RESPONSE";
        default:
            return "unknown";
    }
}

CameraStatus ConvertReadWriteStatus(int status) {
    if (status == YOXA_STATUS_SUCCESS) return CS_SUCCESS;
    YLOG(ERROR) << "Yoxa API status: " << YoxaApiStatusString(status) << " (" << status << ")";
    switch (status) {
        case YOXA_STATUS_NO_RESPONSE:
            return CS_NOT_CONNECTED;
        case YOXA_STATUS_OUT_OF_RANGE:
            return CS_OUT_OF_RANGE;
        default:
            return CS_UNKNOWN_ERROR;
    }
}

void LogYoxaApiStatus(int status, const std::string& what, int cameraIndex) {
    std::string prefix = cameraIndex >= 0 ? "Camera#" + std::to_string(cameraIndex) + " " : std::string();
    if (status == YOXA_STATUS_SUCCESS) {
        YLOG(TRACE) << prefix << what << " OK";
    } else {
        YLOG(ERROR) << prefix << what << " error: " << YoxaApiStatusString(status) << " (" << status << ")";
    }
}

// The forwarding functions, exported under the transport's own names.
extern "C" {
#define YOXA_TRANSPORT_FUNCTION(RET, NAME, PARAMS, ARGS, FALLBACK) \
    YOXA_EXPORT RET NAME PARAMS {                                  \
        if (yoxaApiFunctions.NAME == nullptr) {                    \
            ReportUnresolved(#NAME);                               \
            return FALLBACK;                                       \
        }                                                          \
        return yoxaApiFunctions.NAME ARGS;                         \
    }
#include "transport/TransportFunctions.def"
#undef YOXA_TRANSPORT_FUNCTION
}
