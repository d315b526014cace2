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
    YLOG(TRACE) << "Operating system: " << "Linux";
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

int CImageReception::DisconnectCameras() {
    int n = cameraCount;
    cameraCount = 0;
    for (int i = 0; i < n; ++i) {
        CamProperties& cam = cameras[i];
        cam.grabberRun = false;
        if (cam.connected) {
            LogYoxaApiStatus(yoxaCloseCamera(cam.cameraHandle), "yoxaCloseCamera", i);
        }
        cam.connected = false;
        for (auto& cb : cam.lineCallbacks) cb = nullptr;
        for (auto& cb : cam.batchCallbacks) cb = nullptr;
    }
    return 0;
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
