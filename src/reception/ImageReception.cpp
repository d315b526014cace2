#include "reception/ImageReception.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "api/Exceptions.h"
#include "api/Globals.h"
#include "logging/Log.h"
#include "logging/Logging.h"
#include "reception/QvTarnHandler.h"
#include "transport/YoxaDll.h"

// ---------------------------------------------------------------- CameraList

void CameraList::Clear() {
    ids_.clear();
    pointers_.clear();
}

void CameraList::Reset(int count) {
    ids_.assign(static_cast<size_t>(std::max(count, 0)), {});
    pointers_.clear();
    for (auto& id : ids_) pointers_.push_back(id.data());
}

void CameraList::Set(int position, const char* id) {
    std::snprintf(ids_[position].data(), ids_[position].size(), "%s", id);
}

// ---------------------------------------------------------------- construction

namespace {

void FormatCameraId(const uint8_t* mac, char* id, size_t size) {
    std::snprintf(id, size, "%x:%x:%x:%x:%x:%x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

}  // namespace

CImageReception::CImageReception() {
    ConfigureLogging();
    cameraList.Clear();
    firMap = {{0x10000000u, 2},  {0x11000000u, 4},  {0x11100000u, 6},  {0x11110000u, 8},
              {0x11111000u, 10}, {0x11111100u, 12}, {0x11111110u, 14}, {0x11111111u, 16}};
    gYoxaImageReception = this;
    try {
        LoadTransport();
    } catch (...) {
        // The transport's link-lost thread must never reach a half-built object.
        gYoxaImageReception = nullptr;
        throw;
    }
    if (gQvTarnCamera == nullptr) gQvTarnCamera = std::make_unique<QvTarnHandler>().release();
}

void CImageReception::LoadTransport() {
    if (gYoxaApiDll == nullptr) {
        // Process lifetime: a later reception object reuses the loaded transport.
        gYoxaApiDll = std::make_unique<YoxaDll>("libyoxabase.so").release();
    } else if (yoxaLoadDll("libyoxabase.so") != 0) {
        throw filenotfound("Failed to load libyoxabase.so");
    }
    std::printf("YOXA API Version: 0x%08X\r\n", yoxaGetVersion());
    std::fflush(stdout);
    yoxaLogging(false);

    int status = yoxaInit();
    LogYoxaApiStatus(status, "yoxaInit()");
    if (status != 0) {
        std::string text = "yoxaInit() returned: " + std::to_string(status);
        YLOG(ERROR) << text;
        throw kalimastro_yoxa_error(text);
    }
    uint32_t version = yoxaGetVersion();
    yoxaLogging(false);
    if ((version >> 24) <= 1) {
        std::string text =
            "Camera API major version 2 or later is required. Current version: " + std::to_string(version);
        YLOG(ERROR) << text;
        throw invalid_version(text);
    }
    YLOG(DEBUG) << "Camera API major version: " << version;
}

CImageReception::~CImageReception() {
    cameraList.Clear();
    DisconnectCameras();
    LogYoxaApiStatus(yoxaRelease(), "yoxaRelease");
    DeInitLogging();
    // Static callbacks must not reach a destroyed object.
    if (gYoxaImageReception == this) gYoxaImageReception = nullptr;
}

// ---------------------------------------------------------------- camera slots

CameraStatus CImageReception::GetCameraIndex(const char* camera, int* index) const {
    if (camera == nullptr || camera[0] == '\0') {
        *index = 0;
        return CS_SUCCESS;
    }
    for (int i = 0; i < cameraCount; ++i) {
        char id[18];
        FormatCameraId(cameras[i].mac, id, sizeof(id));
        if (std::strcmp(id, camera) == 0) {
            *index = i;
            return CS_SUCCESS;
        }
    }
    return CS_FAILED;
}

bool CImageReception::TryGetCameraIndex(uint32_t handle, int* index) const {
    for (int i = 0; i < cameraCount; ++i) {
        if (static_cast<uint32_t>(cameras[i].cameraHandle) == handle) {
            *index = i;
            return true;
        }
    }
    return false;
}

CamProperties* CImageReception::GetCameraProperties(int index) {
    if (index < 0 || index > kMaxCameras) return nullptr;
    return index == kMaxCameras ? &defaults : &cameras[index];
}

CameraStatus CImageReception::GetCameraId(int index, char* id) {
    if (index < 0 || index >= cameraCount) return CS_UNKNOWN_CAMERA;
    FormatCameraId(cameras[index].mac, id, 18);
    return CS_SUCCESS;
}

CameraStatus CImageReception::IsConnected(char* camera, bool* connected) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    *connected = cameras[index].connected;
    return CS_SUCCESS;
}

CameraStatus CImageReception::IsGrabbing(char* camera, bool* grabbing) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    *grabbing = cameras[index].grabbing;
    return CS_SUCCESS;
}

CameraStatus CImageReception::GetSerialNumber(char* camera, char* serial) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    const uint8_t* mac = cameras[index].mac;
    std::snprintf(serial, 256, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return CS_SUCCESS;
}

CameraStatus CImageReception::GetDeviceVersion(char* camera, char* version) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    const CamProperties& cam = cameras[index];
    std::sprintf(version, "%d.%d.%d", cam.fwMajor, cam.fwMinor, cam.fwFeature);
    return CS_SUCCESS;
}

CameraStatus CImageReception::SetLineSortingOrder(char* camera, SurfaceSorting order) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    cameras[index].lineSortingOrder = static_cast<int32_t>(order);
    return CS_SUCCESS;
}
