// The C++ reception interface: one object serves every exported call. CImageReception drives real
// sensors, VirtualCamera plays recordings back. The order of the operations is part of the interface.
#pragma once

#include <cstddef>

#include "yoxa/yoxa.h"

class IImageReception {
public:
    virtual ~IImageReception() = default;

    virtual CameraStatus SetLineCallback(const char* camera, int layer, LineCallback cb) = 0;
    virtual CameraStatus SetBatchCallback(const char* camera, int layer, BatchCallback cb) = 0;
    virtual CameraStatus InitializeByRecipe(char* recipe, int* count) = 0;
    virtual CameraStatus Initialize(char* ipAddress, int* count) = 0;
    virtual CameraStatus Discover(int* count, char*** ids, int timeoutMs) = 0;
    virtual CameraStatus Initialize(char* camera, char* newIp) = 0;
    virtual CameraStatus IsConnected(char* camera, bool* connected) = 0;
    virtual CameraStatus IsGrabbing(char* camera, bool* grabbing) = 0;
    virtual CameraStatus SetFrameGrabbedCallback(char* camera, FrameGrabbedCallback cb) = 0;
    virtual CameraStatus SetRawImageCallback(char* camera, RawImageCallback cb) = 0;
    virtual CameraStatus SetPeaksGrabbedCallback(const char* camera, PeaksGrabbedCallback cb) = 0;
    virtual CameraStatus SetPointCloudCallback(const char* camera, PointCloudCallback cb) = 0;
    virtual CameraStatus SetProfileCallback(const char* camera, ProfileCallback cb) = 0;
    virtual CameraStatus StartGrabbing(char* camera) = 0;
    virtual CameraStatus StopGrabbing(char* camera) = 0;
    virtual CameraStatus SetParameter(char* camera, const char* name, char* value) = 0;
    virtual CameraStatus SetParameter(char* camera, const char* name, int value) = 0;
    virtual CameraStatus SetLayerParameter(char* camera, int layer, const char* name, int value) = 0;
    virtual CameraStatus SetLayerParameter(char* camera, int layer, const char* name, float value) = 0;
    virtual CameraStatus SetParameter(char* camera, const char* name, float value) = 0;
    virtual CameraStatus SetParameter(char* camera, const char* name, double value) = 0;
    virtual CameraStatus GetParameter(char* camera, const char* name, char* value) = 0;
    virtual CameraStatus GetParameter(char* camera, const char* name, int* value) = 0;
    virtual CameraStatus GetParameter(char* camera, const char* name, float* value) = 0;
    virtual CameraStatus GetParameter(char* camera, const char* name, double* value) = 0;
    virtual CameraStatus GetCameraId(int index, char* id) = 0;
    virtual CameraStatus GetSerialNumber(char* camera, char* serial) = 0;
    virtual CameraStatus GetDeviceVersion(char* camera, char* version) = 0;
    virtual CameraStatus CheckFirmwareCompatibility(char* camera, const char* path) = 0;
    virtual CameraStatus UpdateFirmware(char* camera, char* path) = 0;
    virtual CameraStatus GetFirmwareUpdateProgress(char* camera, int* percent) = 0;
    virtual CameraStatus Reboot(char* camera) = 0;
    virtual CameraStatus WriteSensorData(char* camera, char* path) = 0;
    virtual CameraStatus WriteSensorData(char* camera, unsigned char* data, int length) = 0;
    virtual CameraStatus ReadSensorData(char* camera, unsigned char** data, int* length) = 0;
    virtual CameraStatus ReadSensorData(char* camera, char* path) = 0;
    virtual CameraStatus SetLineSortingOrder(char* camera, SurfaceSorting order) = 0;
    virtual CameraStatus FieldCalibrationStart(char*, char*, char*, double*, int, FieldCalibrationResults*) {
        return CS_FAILED;
    }
    virtual CameraStatus IntensityCalibrationStart(char*, char*, char*, char*, bool, double) {
        return CS_FAILED;
    }
    virtual CameraStatus FieldCalibrationSave(char*, char*) { return CS_FAILED; }
    virtual CameraStatus DynamicSensorCtrlParameters(char*, int, DynSensorControl*) {
        return CS_NOT_CONNECTED;
    }
    virtual CameraStatus GetDynamicSensorControl(char*, int&, DynSensorControl*) { return CS_NOT_CONNECTED; }
    virtual CameraStatus PostProcessBufferZCompensationY(char*, float*, const float*, const HEADER*, double,
                                                         size_t, size_t, size_t, size_t) {
        return CS_NOT_CONNECTED;
    }
    virtual CameraStatus CalibrationFlashWriter(char*, char*, char*, int, char*) { return CS_FAILED; }
    virtual CameraStatus CalibrationFlashReader(char*, char*, char*) { return CS_FAILED; }
    virtual CameraStatus ConvertPixelsToMicrometers(char*, float*, float*) { return CS_NOT_AVAILABLE; }
    virtual CameraStatus ConvertMicrometersToPixels(char*, float*, float*) { return CS_NOT_AVAILABLE; }
    virtual CameraStatus ConvertZToPixels(char*, int, float*) { return CS_NOT_AVAILABLE; }
    virtual CameraStatus GetParameterSupport(char*, const char*, bool*) { return CS_UNKNOWN_PARAMETER; }
    virtual CameraStatus AdjustRoiAndFps(char*, int, int, int*) { return CS_NOT_AVAILABLE; }
    virtual CameraStatus GetLayerParameter(char* camera, int layer, const char* name, int* value) = 0;
    virtual CameraStatus GetLayerParameter(char* camera, int layer, const char* name, float* value) = 0;
    virtual CameraStatus SetPeakDetectionParameters(char* camera, MaterialType material,
                                                    DetectionSensitivity sensitivity) = 0;
    virtual CameraStatus SetYoxaApiLoggingEnabled(int enabled) = 0;
    virtual double IntensityCalibrationProgress(char*, char*) { return 0.0; }
    virtual void IntensityCalibrationStop(char*, char*) {}
    virtual int IntensityCalibrationSave(char*, char*) { return 0; }
    virtual CameraStatus ZCompensationCalibrationStart(char*, int) { return CS_FAILED; }
    virtual void ZCompensationCalibrationStartNewLevel(char*, int) {}
    virtual int ZCompensationCalibrationRemoveLatest(char*, int) { return 0; }
    virtual int ZCompensationCalibrationVisualizeResult(char*, int, char*, char*) { return 0; }
    virtual int ZCompensationCalibrationVisualizeCurrent(char*, int, char*, char*) { return 0; }
    virtual void ZCompensationCalibrationProgress(char*, char*, double*, int, int*, double*, int, int*) {}
    virtual int ZCompensationCalibrationSave(char*, char*) { return 0; }
    virtual ZCompensationCalibrationStatus ZCompensationCalibrationGetStatus(char*) { return ZCOMP_IDLE; }
    virtual CameraStatus ClearBatchBuffers(char*) { return CS_FAILED; }
};
