// Camera initialization: settings templates, product families, firmware version, the register set and
// the grabbing self test.
#include <cctype>
#include <chrono>
#include <cstring>
#include <span>
#include <string>
#include <thread>

#include "api/Globals.h"
#include "logging/Log.h"
#include "parameters/ParameterTable.h"
#include "reception/ImageReception.h"
#include "reception/QvTarnHandler.h"
#include "transport/YoxaDll.h"

namespace {

constexpr uint32_t kModelNameAddress = 154;
constexpr uint32_t kDeviceVersionAddress = 162;
constexpr uint32_t kSerialNumberAddress = 182;

// Reads 8 words of text from sensor memory: four characters per word, lowest byte first.
std::string ReadMemoryText(int32_t handle, uint32_t address) {
    uint32_t words[8] = {};
    uint32_t length = 8;
    if (yoxaReadMemory(handle, address, &length, words) != YOXA_STATUS_SUCCESS) return {};
    char text[33] = {};
    for (int w = 0; w < 8; ++w) {
        for (int b = 0; b < 4; ++b) text[w * 4 + b] = static_cast<char>((words[w] >> (8 * b)) & 0xFF);
    }
    return std::string(text);
}

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The profile callback of the self test counts frames for the camera it names.
void SelfTestProfileCallback(char* camera, STRUCT_POINT*, int*, HEADER*) {
    CImageReception* reception = gYoxaImageReception;
    if (reception == nullptr || camera == nullptr) return;
    for (int i = 0; i < kMaxCameras; ++i) {
        CamProperties* slot = reception->GetCameraProperties(i);
        if (strcasecmp(slot->cameraId, camera) == 0) {
            ++slot->selfTestCount;
            return;
        }
    }
    YLOG(ERROR) << "Camera not found";
}

}  // namespace

// ---------------------------------------------------------------- settings templates

void CImageReception::SetDefaultParams() {
    if (!legacyRecipePaths.empty()) return;
    CamProperties& d = defaults;
    d.imageWidth = 2048;
    d.imageHeight = 1088;
    d.imageOffsetY = 0;
    d.imageOffsetX = 0;
    d.lastOffsetY = 0;
    d.gainValue = 1.0;
    d.exposure = 7.0;
    d.pulseWidth = 2.0f;
    d.pulseFrequency = 50;
    d.mtu = 1500;
    d.ifg = 200;
    d.peakThreshold = 20;
    d.peak_filter_coeff = 0x11111111u;
    d.peakMode = true;
    d.pulseFrequencyRegister = 50;
    d.pulseWidthRegister = 2;
    d.pulseDivider = 1;
    d.pulseDelay = 5;
    d.internalPulsing = 0;
    d.hdrEnable = 0;
    d.hdrVlow2 = 68;
    d.hdrVlow3 = 105;
    d.hdrKp1Pos = 1;
    d.hdrKp2Pos = 98;
    d.heartbeat = 5000;
    d.interleave = 1.0f;
    d.overcurrentDrive = 0;
    d.firLength = 16;
    d.detect_missing_first_layer = 0.0f;
    d.detect_missing_first_layer_x = 0.0f;
    d.detect_missing_first_layer_min_length = 0.0;
    d.clustering_distance_x = 0.0f;
    d.clustering_distance_z = 0.0f;
    d.cluster_minimum_length = 0.0f;
    d.fill_gap_x_max = 0.0f;
    d.resample_line_x_resolution = 0.0f;
    d.average_z_filter_size = 0.0f;
    d.average_intensity_filter_size = 0.0f;
    d.median_z_filter_size = 0;
    d.median_intensity_filter_size = 0;
    d.image_height_zero_position = 0;
    d.batch_length = 0;
    d.batch_timeout = 0;
}

namespace {

// The settings both templates copy into a slot; the QvTarn template leaves out the HDR values after the
// enable value, the batch time-out and the clustering values.
void CopySettings(const CamProperties& from, CamProperties& to, bool tarn) {
    to.imageWidth = from.imageWidth;
    to.imageHeight = from.imageHeight;
    to.imageOffsetY = from.imageOffsetY;
    to.lastOffsetY = from.lastOffsetY;
    to.imageOffsetX = from.imageOffsetX;
    to.exposure = from.exposure;
    to.pulseWidth = from.pulseWidth;
    to.pulseFrequency = from.pulseFrequency;
    to.mtu = from.mtu;
    to.ifg = from.ifg;
    to.peakThreshold = from.peakThreshold;
    to.peak_filter_coeff = from.peak_filter_coeff;
    to.peakMode = from.peakMode;
    to.pulseFrequencyRegister = from.pulseFrequencyRegister;
    to.pulseWidthRegister = from.pulseWidthRegister;
    to.pulseDivider = from.pulseDivider;
    to.pulseDelay = from.pulseDelay;
    to.internalPulsing = from.internalPulsing;
    to.hdrEnable = from.hdrEnable;
    to.interleave = from.interleave;
    to.overcurrentDrive = from.overcurrentDrive;
    to.heartbeat = from.heartbeat;
    to.gainValue = from.gainValue;
    to.detect_missing_first_layer = from.detect_missing_first_layer;
    to.detect_missing_first_layer_x = from.detect_missing_first_layer_x;
    to.detect_missing_first_layer_min_length = from.detect_missing_first_layer_min_length;
    to.fill_gap_x_max = from.fill_gap_x_max;
    to.resample_line_x_resolution = from.resample_line_x_resolution;
    to.average_z_filter_size = from.average_z_filter_size;
    to.average_intensity_filter_size = from.average_intensity_filter_size;
    to.median_z_filter_size = from.median_z_filter_size;
    to.median_intensity_filter_size = from.median_intensity_filter_size;
    to.image_height_zero_position = from.image_height_zero_position;
    to.batch_length = from.batch_length;
    if (tarn) {
        to.register30018 = from.register30018;
    } else {
        to.hdrVlow2 = from.hdrVlow2;
        to.hdrVlow3 = from.hdrVlow3;
        to.hdrKp1Pos = from.hdrKp1Pos;
        to.hdrKp2Pos = from.hdrKp2Pos;
        to.batch_timeout = from.batch_timeout;
        to.clustering_distance_x = from.clustering_distance_x;
        to.clustering_distance_z = from.clustering_distance_z;
        to.cluster_minimum_length = from.cluster_minimum_length;
    }
    for (auto& cb : to.lineCallbacks) cb = nullptr;
    for (auto& cb : to.batchCallbacks) cb = nullptr;
}

}  // namespace

void CImageReception::WriteSettings(int index) {
    CopySettings(defaults, cameras[index], false);
    ReleaseLineProcessors(index);
}

QvTarnHandler::QvTarnHandler() {
    SetTwCamDefaultParams();
}

void QvTarnHandler::SetTwCamDefaultParams() {
    CamProperties& t = template_;
    t.imageWidth = 2048;
    t.imageHeight = 1400;
    t.imageOffsetY = 0;
    t.imageOffsetX = 0;
    t.lastOffsetY = 0;
    t.gainValue = 2.0;
    t.exposure = 10.0;
    t.pulseWidth = 2.0f;
    t.pulseFrequency = 50;
    t.mtu = 9000;
    t.ifg = 0;
    t.peakThreshold = 20;
    t.peak_filter_coeff = 0x11111111u;
    t.peakMode = true;
    t.pulseFrequencyRegister = 50;
    t.pulseWidthRegister = 2;
    t.pulseDivider = 1;
    t.pulseDelay = 5;
    t.internalPulsing = 0;
    t.hdrEnable = 0;
    t.heartbeat = 5000;
    t.interleave = 1.0f;
    t.overcurrentDrive = 0;
    t.firLength = 16;
    t.register30018 = 240;
    t.cameraRamType = 0;
}

void QvTarnHandler::WriteTwCamSettings(CamProperties* record) const {
    CopySettings(template_, *record, true);
}

// ---------------------------------------------------------------- initialization

namespace {

void ConnectionLost(int32_t handle) {
    CImageReception* reception = gYoxaImageReception;
    if (reception == nullptr) return;
    reception->ConnectionClosedHandler(static_cast<uint32_t>(handle));
}

}  // namespace

CameraStatus CImageReception::WriteRegister(int index, int reg, uint32_t value) {
    int status = yoxaSetRegisterInt(cameras[index].cameraHandle, reg, &value);
    RegisterSleep(index);
    return ConvertReadWriteStatus(status);
}

CameraStatus CImageReception::WriteFloatRegister(int index, int reg, float value) {
    int status = yoxaSetRegisterFloat(cameras[index].cameraHandle, reg, &value);
    RegisterSleep(index);
    return ConvertReadWriteStatus(status);
}

void CImageReception::ParseFwVersion(int index) {
    CamProperties& cam = cameras[index];
    char text[12] = {};
    for (int r = 0; r < 3; ++r) {
        uint32_t value = 0;
        yoxaGetRegisterInt(cam.cameraHandle, 40 + r, &value);
        for (int b = 0; b < 4; ++b) text[r * 4 + b] = static_cast<char>((value >> (8 * b)) & 0xFF);
    }
    const bool tarn = cam.family == FAMILY_QVTARN;
    cam.fwMajor = cam.fwMinor = cam.fwFeature = cam.fwBuild = -1;
    std::string token;
    auto number = [&token] { return static_cast<int32_t>(std::strtod(token.c_str(), nullptr)); };
    for (char c : text) {
        if (c == '.') {
            if (!tarn) {
                cam.fwMajor = number();
            } else if (cam.fwMajor == -1) {
                cam.fwMajor = number();
            } else if (cam.fwMinor == -1) {
                cam.fwMinor = number();
            } else {
                cam.fwFeature = number();
            }
            token.clear();
        } else if (c == ' ') {
            if (tarn) {
                if (cam.fwFeature == -1) {
                    cam.fwFeature = number();
                } else {
                    cam.fwBuild = number();
                }
                break;
            }
            cam.fwMinor = number();
            token.clear();
        } else if (c == '(') {
        } else if (c == ')') {
            cam.fwFeature = number();
            break;
        } else {
            token += c;
        }
    }
    std::string version =
        std::to_string(cam.fwMajor) + "." + std::to_string(cam.fwMinor) + "." + std::to_string(cam.fwFeature);
    if (cam.fwBuild != -1) version += "." + std::to_string(cam.fwBuild);
    YLOG(TRACE) << "Camera " << cam.cameraId << " Firmware version " << version;
}

CameraStatus CImageReception::SetInternalPulsing(int index, int selector) {
    const std::pair<int, uint32_t> external[] = {{22, 0}};
    const std::pair<int, uint32_t> internal[] = {{80, 3}, {82, 0}, {22, 1}, {81, 3}};
    std::span<const std::pair<int, uint32_t>> writes =
        selector != 0 ? std::span<const std::pair<int, uint32_t>>(external)
                      : std::span<const std::pair<int, uint32_t>>(internal);
    for (const auto& [reg, value] : writes) {
        CameraStatus status = WriteRegister(index, reg, value);
        if (status != CS_SUCCESS) return status;
    }
    return CS_SUCCESS;
}

CameraStatus CImageReception::InitializeCamera(int i) {
    CamProperties& cam = cameras[i];
    yoxaSetBufferSize(cam.cameraHandle, 200);
    CameraStatus status = ConvertReadWriteStatus(yoxaOpenCamera(cam.cameraHandle, ConnectionLost));
    if (status != CS_SUCCESS) return status;

    cam.connected = true;
    std::string model = ReadMemoryText(cam.cameraHandle, kModelNameAddress);
    GetCameraId(i, cam.cameraId);
    cam.sensorHeight = 1088;
    cam.sensorWidth = 2048;
    if (model == "QVCAM_V2") {
        cam.familyIndex = cam.family = FAMILY_QVCAM_V2;
    } else if (model == "QvTarn") {
        cam.familyIndex = cam.family = FAMILY_QVTARN;
        cam.sensorHeight = 1400;
        if (gQvTarnCamera == nullptr) gQvTarnCamera = std::make_unique<QvTarnHandler>().release();
    } else if (model == "QVSkarvel") {
        cam.familyIndex = cam.family = FAMILY_QVSKARVEL;
    } else {
        YLOG(ERROR) << "ERROR: unknown camera";
        return CS_UNKNOWN_ERROR;
    }
    const bool tarn = cam.family == FAMILY_QVTARN;

    ParseFwVersion(i);
    const int fw = FW(cam.fwMajor, cam.fwMinor, cam.fwFeature);
    cam.serialNumberText = ReadMemoryText(cam.cameraHandle, kSerialNumberAddress);
    cam.deviceVersionText = ReadMemoryText(cam.cameraHandle, kDeviceVersionAddress);

    YLOG(DEBUG) << "Applying camera settings based on product family";
    if (tarn) {
        gQvTarnCamera->WriteTwCamSettings(&cam);
        cam.hdrEnable = 0;
        WriteRegister(i, 26, 0);
        gQvTarnCamera->AdjustCameraOffsets(*this, &cam);
        const std::string& serial = cam.serialNumberText;
        if (serial.size() >= 4 && serial.compare(0, 2, "QX") == 0 &&
            std::isdigit(static_cast<unsigned char>(serial[2])) &&
            std::isdigit(static_cast<unsigned char>(serial[3])) && std::stoi(serial.substr(2, 2)) <= 18) {
            status = SetParameterSupport(i, "hdr_enable", NOT_SUPPORTED);
            if (status != CS_SUCCESS) return status;
        }
        if (fw >= FW(1, 3, 0)) WriteRegister(i, 30018, static_cast<uint32_t>(cam.register30018.load()));
    } else {
        const std::pair<int, int32_t> hdr[] = {{26, cam.hdrEnable},
                                               {28, cam.hdrVlow2},
                                               {29, cam.hdrVlow3},
                                               {30, cam.hdrKp1Pos},
                                               {31, cam.hdrKp2Pos}};
        for (const auto& [reg, value] : hdr) {
            if ((status = WriteRegister(i, reg, static_cast<uint32_t>(value))) != CS_SUCCESS) return status;
        }
    }

    if (cam.familyIndex != FAMILY_QVSKARVEL) {
        WriteRegister(i, 30017, 1);
    } else if ((status = SetInternalPulsing(i, cam.internalPulsing)) != CS_SUCCESS) {
        return status;
    }
    WriteRegister(i, 20072, 2);
    if ((status = WriteRegister(i, 320, static_cast<uint32_t>(cam.ifg.load()))) != CS_SUCCESS) return status;
    if (!tarn && (status = WriteRegister(i, 321, static_cast<uint32_t>(cam.mtu.load()))) != CS_SUCCESS)
        return status;
    // Every offset written carries the sensor's adjustment (QvTarn centres its window).
    const std::pair<int, int32_t> window[] = {{2, cam.imageWidth},
                                              {3, cam.imageHeight},
                                              {5, cam.imageOffsetY + cam.offsetAdjustY},
                                              {4, cam.imageOffsetX + cam.offsetAdjustX}};
    for (const auto& [reg, value] : window) {
        if ((status = WriteRegister(i, reg, static_cast<uint32_t>(value))) != CS_SUCCESS) return status;
    }

    if (tarn && cam.gainValue < 2.0) cam.gainValue = 2.0;
    if ((status = WriteFloatRegister(i, 32, static_cast<float>(cam.gainValue.load()))) != CS_SUCCESS)
        return status;
    if ((status = WriteFloatRegister(i, 25, static_cast<float>(cam.exposure.load()))) != CS_SUCCESS)
        return status;

    auto fir = firMap.find(cam.peak_filter_coeff);
    cam.firLength = fir != firMap.end() ? fir->second : 0;
    if ((status = WriteRegister(i, 30005, cam.peakMode ? 1u : 0u)) != CS_SUCCESS) return status;
    status = SetPeakCoreThreshold(i, 30006, static_cast<uint32_t>(cam.peakThreshold.load()));
    if (status != CS_SUCCESS) return ConvertReadWriteStatus(status);
    if (FindParameter("peak_fir_length") != nullptr) {
        uint32_t length = 16;
        if ((status = SetFirLength(i, &length)) != CS_SUCCESS) return status;
    }

    const std::pair<int, int32_t> pulses[] = {{20012, cam.pulseFrequencyRegister},
                                              {20008, cam.pulseWidthRegister},
                                              {20018, cam.pulseDivider},
                                              {20014, cam.pulseDelay}};
    for (const auto& [reg, value] : pulses) {
        if ((status = WriteRegister(i, reg, static_cast<uint32_t>(value))) != CS_SUCCESS) return status;
    }
    if (!tarn) {
        if ((status = WriteFloatRegister(i, 128, cam.interleave)) != CS_SUCCESS) return status;
    } else if ((status = WriteRegister(i, 20001, 0)) != CS_SUCCESS) {
        return status;
    }

    if (cam.familyIndex != FAMILY_QVSKARVEL) {
        if ((status = WriteRegister(i, 20144, 0)) != CS_SUCCESS) return status;
        if (WriteRegister(i, 20178, 0) != CS_SUCCESS) {
            YLOG(TRACE) << "Parameter surface_mode not supported by current firmware version";
        }
        if (WriteRegister(i, 20189, 0) != CS_SUCCESS) {
            YLOG(DEBUG) << "Parameter PARAM_DYN_SENSOR_CTRL_ENABLE not supported by current firmware version";
        }
        if (WriteRegister(i, 30013, 61440) != CS_SUCCESS) {
            YLOG(DEBUG) << "Parameter PARAM_PEAK_X_FILTER not supported by current firmware version";
        }
    } else if ((status = WriteRegister(i, 20031, static_cast<uint32_t>(cam.overcurrentDrive.load()))) !=
               CS_SUCCESS) {
        return status;
    }
    if ((status = WriteRegister(i, 208, 1)) != CS_SUCCESS) return status;

    return LoadSensorCalibration(i);
}

// The calibration files kept in the sensor's flash come with the storage subsystem; until then every
// sensor reports that it holds none, which is not an error.
CameraStatus CImageReception::LoadSensorCalibration(int index) {
    CamProperties& cam = cameras[index];
    YLOG(TRACE) << "Camera " << cam.cameraId << " Sensor calibration not available from sensor";
    cam.sensorDataInFlash = false;
    return CS_SUCCESS;
}

// ---------------------------------------------------------------- QvTarn window offsets

CameraStatus QvTarnHandler::AdjustCameraOffsets(CImageReception& reception, CamProperties* record) {
    // Offsets from an earlier connection must not shift the probing writes.
    record->offsetAdjustX = 0;
    record->offsetAdjustY = 0;
    char* id = record->cameraId;
    const std::pair<const char*, int> probe[] = {
        {"image_offsetx", 0}, {"image_width", 10000}, {"image_offsety", 0}, {"image_height", 10000}};
    for (const auto& [name, value] : probe) {
        CameraStatus status = reception.SetParameter(id, name, value);
        if (status != CS_SUCCESS) return status;
    }
    int width = 0;
    int height = 0;
    CameraStatus status = reception.GetParameter(id, "image_width", &width);
    if (status == CS_SUCCESS) status = reception.GetParameter(id, "image_height", &height);
    if (status != CS_SUCCESS) return status;
    record->offsetAdjustX = (width - 2048) / 2;
    record->offsetAdjustY = (height - 1400) / 2;
    const std::pair<const char*, int> window[] = {
        {"image_width", 2048}, {"image_height", 1400}, {"image_offsetx", 0}, {"image_offsety", 0}};
    for (const auto& [name, value] : window) {
        status = reception.SetParameter(id, name, value);
        if (status != CS_SUCCESS) return status;
    }
    return CS_SUCCESS;
}

// ---------------------------------------------------------------- grabbing self test

CameraStatus CImageReception::SelfTestForGrabbing(int i) {
    CamProperties& cam = cameras[i];
    char* id = cam.cameraId;
    YLOG(TRACE) << "Camera " << id << " image grabbing self test started";
    if (cam.family == FAMILY_QVTARN) return QvTarnHandler::SelfTestForGrabbing(*this, i);

    cam.selfTestCount = 0;
    SetLedDuration(id, 2);
    SetProfileCallback(id, SelfTestProfileCallback);
    if (StartGrabbing(id) == CS_SUCCESS) {
        SleepMs(500);
        StopGrabbing(id);
        SleepMs(100);
    }
    CameraStatus status = SetProfileCallback(id, nullptr);
    const int n = cam.selfTestCount;
    if (n < 11) {
        YLOG(TRACE) << "Camera " << id << " image grabbing self test FAILED. Count " << n;
        return CS_SELF_TEST_FAILED;
    }
    YLOG(TRACE) << "Camera " << id << " image grabbing self test OK. Count " << n;
    return status;
}

namespace {

// The QvTarn test pattern: byte p of a row is ((p + 2) / 16) mod 256.
void SelfTestRawImageCallback(char* camera, unsigned char* data, int* size, HEADER*) {
    CImageReception* reception = gYoxaImageReception;
    if (reception == nullptr || camera == nullptr) return;
    for (int i = 0; i < kMaxCameras; ++i) {
        CamProperties* slot = reception->GetCameraProperties(i);
        if (strcasecmp(slot->cameraId, camera) != 0) continue;
        const int width = slot->imageWidth;
        if (data == nullptr || size == nullptr || *size < width) {
            YLOG(ERROR) << "Check image failed in col " << 0 << " data " << 0;
            return;
        }
        for (int p = 0; p < width; ++p) {
            if (data[p] != static_cast<unsigned char>(((p + 2) / 16) % 256)) {
                YLOG(ERROR) << "Check image failed in col " << p << " data " << static_cast<int>(data[p]);
                return;
            }
        }
        ++slot->selfTestCount;
        return;
    }
    YLOG(ERROR) << "Camera not found";
}

CameraStatus SetTestPattern(CImageReception& reception, int index, bool on) {
    CameraStatus status = reception.WriteRegister(index, 54, 114);
    if (status == CS_SUCCESS) status = reception.WriteRegister(index, 55, on ? 12160u : 3968u);
    return status;
}

}  // namespace

CameraStatus QvTarnHandler::SelfTestForGrabbing(CImageReception& reception, int i) {
    CamProperties* cam = reception.GetCameraProperties(i);
    if (cam == nullptr || i >= kMaxCameras) return CS_UNKNOWN_CAMERA;
    char* id = cam->cameraId;
    if (FW(cam->fwMajor, cam->fwMinor, cam->fwFeature) <= FW(1, 1, 2)) {
        YLOG(INFO) << "Camera " << id << " self test is not supported.";
        return CS_SUCCESS;
    }
    reception.SetRawImageCallback(id, SelfTestRawImageCallback);
    reception.SetParameter(id, "peak_enable", 0);

    bool restarted = false;
    uint32_t selfTestResult = 0;
    for (int pass = 0; pass < 3; ++pass) {
        cam->selfTestCount = 0;
        CameraStatus status = SetTestPattern(reception, i, true);
        if (status != CS_SUCCESS) {
            reception.SetRawImageCallback(id, nullptr);
            YLOG(ERROR) << "Camera " << id << " failed to enable test pattern.";
            SetTestPattern(reception, i, false);
            return status;
        }
        // Without a running acquisition no pattern can arrive: do not wait for it.
        if (reception.StartGrabbing(id) == CS_SUCCESS) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
            while (cam->selfTestCount <= 0 && std::chrono::steady_clock::now() < deadline) SleepMs(100);
            reception.StopGrabbing(id);
        }
        SleepMs(100);
        SetTestPattern(reception, i, false);
        if (cam->selfTestCount > 0) {
            YLOG(TRACE) << "Camera " << id << " image self test OK. Count " << cam->selfTestCount;
            break;
        }
        for (int restart = 0; restart < 3; ++restart) {
            restarted = true;
            YLOG(ERROR) << "Camera " << id << " failed to start correctly. Restarting.";
            uint32_t command = 2;
            if (yoxaSetRegisterInt(cam->cameraHandle, 20113, &command) != YOXA_STATUS_SUCCESS) {
                YLOG(INFO) << "Camera restart failed.";
                continue;
            }
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            uint32_t state = 1;
            while (std::chrono::steady_clock::now() < deadline) {
                if (yoxaGetRegisterInt(cam->cameraHandle, 20113, &state) == YOXA_STATUS_SUCCESS && state == 0)
                    break;
                SleepMs(100);
            }
            yoxaGetRegisterInt(cam->cameraHandle, 386, &selfTestResult);
            YLOG(INFO) << "Camera " << id << " restarted. Self test: " << selfTestResult;
            if (selfTestResult == 0) break;
        }
    }
    if (restarted) reception.InitializeCamera(i);
    reception.SetParameter(id, "peak_enable", 1);

    CameraStatus result = CS_SUCCESS;
    if (cam->selfTestCount <= 0 || selfTestResult != 0) {
        YLOG(ERROR) << "Camera " << id << " image self test failed.";
        YLOG(ERROR) << "Camera " << id << " rebooting.";
        reception.WriteRegister(i, 322, 1);
        result = CS_SELF_TEST_FAILED;
    }
    reception.SetRawImageCallback(id, nullptr);
    return result;
}
