// CImageReception: the real-sensor reception object. One instance serves up to ten cameras.
//
// The class is declared here once; its operations are defined in the folder of the subsystem that owns
// them (connection here, parameters in parameters/, and so on).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "reception/CamProperties.h"
#include "yoxa/ImageReception.h"

// The id list handed to the client by discovery; the library owns the strings.
class CameraList {
public:
    void Clear();
    // Replaces the list with count empty entries.
    void Reset(int count);
    void Set(int position, const char* id);
    char** Data() { return pointers_.empty() ? nullptr : pointers_.data(); }
    int Count() const { return static_cast<int>(ids_.size()); }
    const char* At(int position) const { return pointers_[position]; }

private:
    std::vector<std::array<char, 18>> ids_;
    std::vector<char*> pointers_;
};

// Ticks per second of a camera's frame timestamps.
double TimestampTickRate(const CamProperties& cam);

using RegisterList = std::vector<std::pair<int, uint32_t>>;
using FloatRegisterList = std::vector<std::pair<int, float>>;

class CImageReception : public IImageReception {
public:
    CImageReception();
    ~CImageReception() override;
    CImageReception(const CImageReception&) = delete;
    CImageReception& operator=(const CImageReception&) = delete;

    // --- IImageReception ---
    CameraStatus SetLineCallback(const char* camera, int layer, LineCallback cb) override;
    CameraStatus SetBatchCallback(const char* camera, int layer, BatchCallback cb) override;
    CameraStatus InitializeByRecipe(char* recipe, int* count) override;
    CameraStatus Initialize(char* ipAddress, int* count) override;
    CameraStatus Discover(int* count, char*** ids, int timeoutMs) override;
    CameraStatus Initialize(char* camera, char* newIp) override;
    CameraStatus IsConnected(char* camera, bool* connected) override;
    CameraStatus IsGrabbing(char* camera, bool* grabbing) override;
    CameraStatus SetFrameGrabbedCallback(char* camera, FrameGrabbedCallback cb) override;
    CameraStatus SetRawImageCallback(char* camera, RawImageCallback cb) override;
    CameraStatus SetPeaksGrabbedCallback(const char* camera, PeaksGrabbedCallback cb) override;
    CameraStatus SetPointCloudCallback(const char* camera, PointCloudCallback cb) override;
    CameraStatus SetProfileCallback(const char* camera, ProfileCallback cb) override;
    CameraStatus StartGrabbing(char* camera) override;
    CameraStatus StopGrabbing(char* camera) override;
    CameraStatus SetParameter(char* camera, const char* name, char* value) override;
    CameraStatus SetParameter(char* camera, const char* name, int value) override;
    CameraStatus SetLayerParameter(char* camera, int layer, const char* name, int value) override;
    CameraStatus SetLayerParameter(char* camera, int layer, const char* name, float value) override;
    CameraStatus SetParameter(char* camera, const char* name, float value) override;
    CameraStatus SetParameter(char* camera, const char* name, double value) override;
    CameraStatus GetParameter(char* camera, const char* name, char* value) override;
    CameraStatus GetParameter(char* camera, const char* name, int* value) override;
    CameraStatus GetParameter(char* camera, const char* name, float* value) override;
    CameraStatus GetParameter(char* camera, const char* name, double* value) override;
    CameraStatus GetCameraId(int index, char* id) override;
    CameraStatus GetSerialNumber(char* camera, char* serial) override;
    CameraStatus GetDeviceVersion(char* camera, char* version) override;
    CameraStatus CheckFirmwareCompatibility(char* camera, const char* path) override;
    CameraStatus UpdateFirmware(char* camera, char* path) override;
    CameraStatus GetFirmwareUpdateProgress(char* camera, int* percent) override;
    CameraStatus Reboot(char* camera) override;
    CameraStatus WriteSensorData(char* camera, char* path) override;
    CameraStatus WriteSensorData(char* camera, unsigned char* data, int length) override;
    CameraStatus ReadSensorData(char* camera, unsigned char** data, int* length) override;
    CameraStatus ReadSensorData(char* camera, char* path) override;
    CameraStatus SetLineSortingOrder(char* camera, SurfaceSorting order) override;
    CameraStatus GetParameterSupport(char* camera, const char* name, bool* supported) override;
    CameraStatus GetLayerParameter(char* camera, int layer, const char* name, int* value) override;
    CameraStatus GetLayerParameter(char* camera, int layer, const char* name, float* value) override;
    CameraStatus SetPeakDetectionParameters(char* camera, MaterialType material,
                                            DetectionSensitivity sensitivity) override;
    CameraStatus SetYoxaApiLoggingEnabled(int enabled) override;
    CameraStatus ClearBatchBuffers(char* camera) override;

    // --- camera slots ---
    CameraStatus GetCameraIndex(const char* camera, int* index) const;
    bool TryGetCameraIndex(uint32_t handle, int* index) const;
    // Slots 0..9; position 10 is the settings template; null otherwise.
    CamProperties* GetCameraProperties(int index);
    const CamProperties* GetCameraProperties(int index) const {
        return const_cast<CImageReception*>(this)->GetCameraProperties(index);
    }
    int CameraCount() const { return cameraCount; }

    // --- parameter table and register access (parameters/) ---
    static bool MapParameter(const char* name, int* type, int* reg, bool* custom, CameraStatus* status);
    CameraStatus GetParameterSupport(int index, const char* name, bool* supported) const;
    CameraStatus SetParameterSupport(int index, const char* name, int support) const;
    CameraStatus SetRegisters(int index, const RegisterList& registers) const;
    CameraStatus ReadRegisters(int index, RegisterList& registers) const;
    CameraStatus SetFloatRegisters(int index, const FloatRegisterList& registers) const;
    CameraStatus ReadFloatRegisters(int index, FloatRegisterList& registers) const;
    void RegisterSleep(int index) const;
    static int stringCompare(std::string a, std::string b);

    // The FIR length selected by a peak filter register code.
    const std::map<uint32_t, int>& FirMap() const { return firMap; }

    // --- connection (reception/Connection.cpp) ---
    int DisconnectCameras();
    void Reset(CamProperties* slot);
    int ConnectionClosedHandler(uint32_t handle);
    int ListCameras();
    int ConnectCameras();
    CameraStatus ConnectCamera(int index, char* newIp);
    CameraStatus SetIpAddress(int index, const char* address);
    void SetIpAddress(int index, uint32_t address);

    // --- camera initialization (reception/Initialization.cpp) ---
    void SetDefaultParams();
    void WriteSettings(int index);
    CameraStatus InitializeCamera(int index);
    void ParseFwVersion(int index);
    CameraStatus SetInternalPulsing(int index, int selector);
    CameraStatus SelfTestForGrabbing(int index);
    void DetectSensor(int index);
    // One register write followed by the sensor's settling pause; the converted transport status.
    CameraStatus WriteRegister(int index, int reg, uint32_t value);
    CameraStatus WriteFloatRegister(int index, int reg, float value);
    // Reads what the sensor's flash holds about its calibration (storage/).
    CameraStatus LoadSensorCalibration(int index);
    // Releases the camera's per-layer line processors.
    void ReleaseLineProcessors(int index);

    // --- integer parameters (parameters/IntParameters.cpp) ---
    CameraStatus SetImageHeight(int index, int reg, uint32_t* value);
    CameraStatus SetFirLength(int index, uint32_t* value);
    CameraStatus GetFirLength(int index, uint32_t* value);
    CameraStatus SetPeakCoreThreshold(int index, int reg, uint32_t value);
    CameraStatus GetPeakCoreThreshold(int index, int reg, uint32_t* value);
    CameraStatus SetLedDuration(char* camera, int duration);

    // --- calibration switches (calibration/) ---
    CameraStatus SetYUnit(int index, int value);
    CameraStatus SetXUnit(int index, int value);
    CameraStatus SetIntensityCalibration(int index, bool enable);
    CameraStatus SetZCompensation(int index, bool xDirection, bool enable);
    CameraStatus SetZCompensationOffset(int index, bool enable);

    // --- acquisition (reception/Grabbing.cpp) ---
    // Waits up to timeoutMs for the camera's queues to drain, then discards what is left.
    CameraStatus FlushQueue(char* camera, int timeoutMs);
    // True when the image queue and the peak queue of the camera are both empty.
    bool QueuesEmpty(int index);
    // Pops and frees every raw image and peak array still queued for the camera.
    void ClearQueues(int index);
    void StopGrabbing(int index);
    void PushImage(const unsigned char* data, int size, const HEADER& header, int index);
    // True when the queue was empty.
    bool PopImage(Image* out, int index);
    void PushPeaks(PeakArray& array, int index);
    // 1 when the queue was empty or out is null, 0 when an array was taken.
    int PopPeaks(PeakArray* out, int index);
    // The interleave factor (register 128); other than 1 it halves the FIR length.
    CameraStatus SetInterleaving(int index, float factor);
    // Builds the camera's line processors (line output).
    void InitProfileHandler(int index);

private:
    // Thread bodies, one of each per camera.
    void RunFrameGrabbing(int index);
    void PollImageQueue(int index);
    void PollPeakQueue(int index);

public:
private:
    void LoadTransport();

    std::array<int, kMaxCameras> discoveryHandles{};
    std::array<CamProperties, kMaxCameras> cameras;
    CamProperties defaults;
    int cameraCount = 0;
    CameraList cameraList;
    std::map<uint32_t, int> firMap;
    // The legacy recipe initialization's paths; while set, the settings template is kept.
    std::string legacyRecipePaths;
};
