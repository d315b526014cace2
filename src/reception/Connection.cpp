// Discovery, connection and disconnection of camera slots.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "api/Globals.h"
#include "logging/Log.h"
#include "reception/ImageReception.h"
#include "transport/YoxaDll.h"

namespace {

constexpr int kMaxDiscoveryTimeoutMs = 2000;
constexpr int kWantedDiscoveryBudgetMs = 20000;

struct CameraInfo {
    int32_t handle = 0;
    uint32_t address = 0;
    uint8_t mac[6] = {};
};

int FetchCameraInfo(int discoveryHandle, CameraInfo* info) {
    uint8_t record[YOXA_CAMERA_INFO_SIZE] = {};
    int status = yoxaGetCameraInfo(discoveryHandle, record);
    if (status == 0) {
        std::memcpy(&info->handle, record + YOXA_CAMERA_INFO_HANDLE, 4);
        std::memcpy(&info->address, record + YOXA_CAMERA_INFO_IPV4, 4);
        std::memcpy(info->mac, record + YOXA_CAMERA_INFO_MAC, 6);
    }
    return status;
}

}  // namespace

CameraStatus CImageReception::Discover(int* count, char*** ids, int timeoutMs) {
    cameraList.Clear();
    int timeout = std::min(timeoutMs, kMaxDiscoveryTimeoutMs);
    int wanted = 0;
    int attempts = 1;
    if (count != nullptr && *count >= 0 && *count <= kMaxCameras) {
        wanted = *count;
        // A non-positive timeout makes one attempt.
        attempts = timeout > 0 ? std::max(kWantedDiscoveryBudgetMs / timeout, 1) : 1;
    }
    YLOG(TRACE) << "Discovering connected cameras using timeout " << timeout << " ms";
    for (int attempt = 0; attempt < attempts; ++attempt) {
        int found = yoxaDiscover(discoveryHandles.data(), kMaxCameras, timeout);
        cameraCount = std::clamp(found, 0, kMaxCameras);
        YLOG(TRACE) << "Found " << cameraCount << " cameras";
        if (cameraCount >= wanted) break;
    }
    cameraList.Reset(cameraCount);
    for (int p = 0; p < cameraCount; ++p) {
        CamProperties& cam = cameras[p];
        Reset(&cam);
        YLOG(TRACE) << "Fetching camera info for camera " << discoveryHandles[p];
        CameraInfo info;
        int status = FetchCameraInfo(discoveryHandles[p], &info);
        LogYoxaApiStatus(status, "yoxaGetCameraInfo()", p);
        if (status != 0) {
            YLOG(ERROR) << "Could not fetch camera info for camera index " << discoveryHandles[p];
            continue;
        }
        cam.ipAddress = info.address;
        char id[18];
        std::snprintf(id, sizeof(id), "%x:%x:%x:%x:%x:%x", info.mac[0], info.mac[1], info.mac[2], info.mac[3],
                      info.mac[4], info.mac[5]);
        cameraList.Set(p, id);
        std::snprintf(cam.ipString, sizeof(cam.ipString), "%d.%d.%d.%d", (info.address >> 24) & 0xFF,
                      (info.address >> 16) & 0xFF, (info.address >> 8) & 0xFF, info.address & 0xFF);
    }
    YLOG(TRACE) << "Operating system: "
                << "Linux";
    if (count != nullptr) *count = cameraCount;
    if (ids != nullptr) *ids = cameraList.Data();
    return CS_SUCCESS;
}

void CImageReception::Reset(CamProperties* slot) {
    slot->frameGrabbedCallback = nullptr;
    slot->rawImageCallback = nullptr;
    slot->peaksGrabbedCallback = nullptr;
    slot->pointCloudCallback = nullptr;
    slot->profileCallback = nullptr;
    slot->grabbing = false;
    slot->discardFrames = false;
    slot->maxPointCount = 10000;
    slot->connected = false;
}

int CImageReception::ConnectionClosedHandler(uint32_t handle) {
    int index;
    if (!TryGetCameraIndex(handle, &index)) {
        YLOG(ERROR) << "Camera handle " << handle << " is not mapped to any camera.";
        return YOXA_STATUS_OUT_OF_RANGE;
    }
    cameras[index].connected = false;
    char id[18];
    GetCameraId(index, id);
    YLOG(ERROR) << "Lost connection to camera " << id << ".";
    return YOXA_STATUS_SUCCESS;
}

// ---------------------------------------------------------------- connect all

namespace {
// Connect-all gives up after this many discovery rounds without an answer and reports 0 cameras.
constexpr int kListCamerasAttempts = 5;
constexpr int kListCamerasTimeoutMs = 1000;
}  // namespace

int CImageReception::ListCameras() {
    for (int attempt = 0; attempt < kListCamerasAttempts; ++attempt) {
        int found = std::clamp(yoxaDiscover(discoveryHandles.data(), kMaxCameras, kListCamerasTimeoutMs), 0,
                               kMaxCameras);
        if (found > 0) return found;
        if (attempt + 1 < kListCamerasAttempts) std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }
    return 0;
}

namespace {
void LogMapping(int index, const uint8_t* mac, const char* ip) {
    char text[128];
    std::snprintf(text, sizeof(text), "Mapped index %d into %x:%x:%x:%x:%x:%x (%s)", index, mac[0], mac[1],
                  mac[2], mac[3], mac[4], mac[5], ip);
    YLOG(TRACE) << text;
}
}  // namespace

int CImageReception::ConnectCameras() {
    cameraCount = ListCameras();
    for (int i = 0; i < cameraCount; ++i) {
        CamProperties& cam = cameras[i];
        CameraInfo info;
        FetchCameraInfo(discoveryHandles[i], &info);
        cam.cameraHandle = info.handle;
        std::memcpy(cam.mac, info.mac, sizeof(cam.mac));
        LogMapping(i, cam.mac, cam.ipString);
        Reset(&cam);
        SetIpAddress(i, info.address);
        WriteSettings(i);
        InitializeCamera(i);
        cam.grabberRun = true;
        cam.maxPointCount = 10000;
        cam.connected = true;
        for (auto& cb : cam.lineCallbacks) cb = nullptr;
        ReleaseLineProcessors(i);
        cam.lineSortingOrder = 0;
        cam.reordering = false;
        cam.frequency_calculation = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    return cameraCount;
}

CameraStatus CImageReception::Initialize(char* /*ipAddress*/, int* count) {
    legacyRecipePaths.clear();
    SetDefaultParams();
    YLOG(TRACE) << "Vendor DLL version " << yoxaGetVersion();
    ConnectCameras();
    if (count != nullptr) *count = cameraCount;
    return CS_SUCCESS;
}

// ---------------------------------------------------------------- connect one

CameraStatus CImageReception::Initialize(char* camera, char* newIp) {
    legacyRecipePaths.clear();
    YLOG(INFO) << "Setting default parameters";
    SetDefaultParams();
    int index = -1;
    for (int p = 0; camera != nullptr && p < cameraList.Count(); ++p) {
        if (std::strcmp(cameraList.At(p), camera) == 0) {
            index = p;
            break;
        }
    }
    if (index < 0) return CS_UNKNOWN_CAMERA;
    std::snprintf(cameras[index].cameraId, sizeof(cameras[index].cameraId), "%s", camera);
    if (cameras[index].grabbing) {
        YLOG(ERROR) << "Camera#" << index << " Connect not allowed when grabbing.";
        return CS_NOT_ALLOWED;
    }
    return ConnectCamera(index, newIp);
}

CameraStatus CImageReception::ConnectCamera(int i, char* newIp) {
    CameraInfo info;
    FetchCameraInfo(discoveryHandles[i], &info);
    cameras[i].cameraHandle = info.handle;
    if (newIp != nullptr && newIp[0] != '\0') {
        std::string keptId = cameras[i].cameraId;
        CameraStatus status = SetIpAddress(i, newIp);
        if (status != CS_SUCCESS) {
            YLOG(ERROR) << "Camera #" << i << "Failed to set IP address: " << newIp;
            return status;
        }
        YLOG(TRACE) << "Camera #" << i << "IP address updated: " << newIp;
        int count = -1;
        char** ids = nullptr;
        if ((status = Discover(&count, &ids, kMaxDiscoveryTimeoutMs)) != CS_SUCCESS) return status;
        int found = -1;
        for (int p = 0; p < count; ++p) {
            if (keptId == ids[p]) found = p;
        }
        // The camera did not answer at its new address.
        if (found < 0) return CS_NOT_CONNECTED;
        i = found;
        std::snprintf(cameras[i].cameraId, sizeof(cameras[i].cameraId), "%s", keptId.c_str());
        FetchCameraInfo(discoveryHandles[i], &info);
        cameras[i].cameraHandle = info.handle;
    }
    CamProperties& cam = cameras[i];
    cam.ipAddress = info.address;
    std::memcpy(cam.mac, info.mac, sizeof(cam.mac));
    LogMapping(i, cam.mac, cam.ipString);

    WriteSettings(i);
    YLOG(INFO) << "Initializing camera";
    CameraStatus status = InitializeCamera(i);
    if (status != CS_SUCCESS) {
        YLOG(ERROR) << "Failed to initialize camera";
        return status;
    }
    cam.grabberRun = true;
    cam.connected = true;
    for (auto& cb : cam.lineCallbacks) cb = nullptr;
    for (auto& cb : cam.batchCallbacks) cb = nullptr;
    ReleaseLineProcessors(i);
    cam.lineSortingOrder = 0;
    cam.reordering = false;
    cam.frequency_calculation = true;

    YLOG(INFO) << "Run self test for grabbing";
    status = SelfTestForGrabbing(i);
    bool supported = false;
    GetParameterSupport(i, "signal_detection_filter_length", &supported);
    cam.supportsSignalDetectionFilterLength = supported;
    if (cam.heartbeat != -1) {
        uint32_t heartbeat = static_cast<uint32_t>(cam.heartbeat.load());
        status = ConvertReadWriteStatus(yoxaSetRegisterInt(cam.cameraHandle, 206, &heartbeat));
        if (status != CS_SUCCESS) return status;
        RegisterSleep(i);
    }
    uint32_t ramType = 0;
    cam.cameraRamType =
        yoxaGetRegisterInt(cam.cameraHandle, 416, &ramType) == YOXA_STATUS_SUCCESS ? ramType & 0xF : 0;
    YLOG(DEBUG) << "Camera module memory type: " << ramType;
    return status;
}

CameraStatus CImageReception::SetIpAddress(int index, const char* address) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    char rest = 0;
    if (address == nullptr || std::sscanf(address, "%u.%u.%u.%u%c", &a, &b, &c, &d, &rest) != 4 || a > 255 ||
        b > 255 || c > 255 || d > 255) {
        return CS_OUT_OF_RANGE;
    }
    uint32_t value = a << 24 | b << 16 | c << 8 | d;
    int status = yoxaSetCameraIP(cameras[index].cameraHandle, value, 0xFFFF0000u);
    cameras[index].ipAddress = value;
    return ConvertReadWriteStatus(status);
}

void CImageReception::SetIpAddress(int index, uint32_t address) {
    yoxaSetCameraIP(cameras[index].cameraHandle, address, 0xFFFF0000u);
}
