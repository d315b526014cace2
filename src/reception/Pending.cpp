// Operations whose subsystems are not built yet: they answer as for a camera that is not connected.
#include "logging/Log.h"
#include "logging/Logging.h"
#include "reception/ImageReception.h"
#include "transport/YoxaDll.h"

namespace {
template <typename R>
CameraStatus NotYet(const R& reception, const char* camera) {
    int index;
    return reception.GetCameraIndex(camera, &index) == CS_SUCCESS ? CS_NOT_CONNECTED : CS_UNKNOWN_CAMERA;
}
}  // namespace

CameraStatus CImageReception::SetLineCallback(const char* c, int, LineCallback) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::SetBatchCallback(const char* c, int, BatchCallback) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::InitializeByRecipe(char*, int* count) {
    if (count != nullptr) *count = 0;
    return CS_FAILED;
}
CameraStatus CImageReception::SetParameter(char* c, const char*, char*) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::SetLayerParameter(char* c, int, const char*, int) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::SetLayerParameter(char* c, int, const char*, float) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::GetParameter(char* c, const char*, char*) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::CheckFirmwareCompatibility(char* c, const char*) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::UpdateFirmware(char* c, char*) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::GetFirmwareUpdateProgress(char* c, int*) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::Reboot(char* c) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::WriteSensorData(char* c, char*) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::WriteSensorData(char* c, unsigned char*, int) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::ReadSensorData(char* c, unsigned char**, int*) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::ReadSensorData(char* c, char*) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::GetLayerParameter(char* c, int, const char*, int*) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::GetLayerParameter(char* c, int, const char*, float*) {
    return NotYet(*this, c);
}
CameraStatus CImageReception::SetPeakDetectionParameters(char* c, MaterialType, DetectionSensitivity) {
    return NotYet(*this, c);
}

CameraStatus CImageReception::GetParameterSupport(char* camera, const char* name, bool* supported) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    return GetParameterSupport(index, name, supported);
}

CameraStatus CImageReception::SetYoxaApiLoggingEnabled(int enabled) {
    return SetYoxaApiLoggingEnabledImpl(enabled);
}

// Line processors arrive with the line output.
void CImageReception::ReleaseLineProcessors(int) {}
// Sensor detection needs an X calibration, which arrives with the calibration models.
void CImageReception::DetectSensor(int) {}
// Line processors arrive with the line output.
void CImageReception::InitProfileHandler(int) {}
