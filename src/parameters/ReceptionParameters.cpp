// The reception object's support queries and register routines: the camera's record picks the product
// family, firmware version and transport handle; the work is done on the shared table and the batch walkers.
#include <thread>

#include "parameters/ParameterTable.h"
#include "parameters/RegisterAccess.h"
#include "reception/ImageReception.h"

CameraStatus CImageReception::GetParameterSupport(int index, const char* name, bool* supported) const {
    if (supported != nullptr) *supported = false;
    const CamProperties* camera = GetCameraProperties(index);
    if (camera == nullptr) return CS_UNKNOWN_CAMERA;
    return DecideParameterSupport(camera->familyIndex,
                                  FW(camera->fwMajor, camera->fwMinor, camera->fwFeature), name, supported);
}

CameraStatus CImageReception::SetParameterSupport(int index, const char* name, int support) const {
    const CamProperties* camera = GetCameraProperties(index);
    if (camera == nullptr) return CS_UNKNOWN_CAMERA;
    return SetParameterSupportWord(camera->familyIndex, name, support);
}

CameraStatus CImageReception::SetRegisters(int index, const RegisterList& registers) const {
    const CamProperties* camera = GetCameraProperties(index);
    return camera == nullptr ? CS_UNKNOWN_CAMERA : SetRegisterBatch(camera->cameraHandle, registers);
}

CameraStatus CImageReception::ReadRegisters(int index, RegisterList& registers) const {
    const CamProperties* camera = GetCameraProperties(index);
    return camera == nullptr ? CS_UNKNOWN_CAMERA : ReadRegisterBatch(camera->cameraHandle, registers);
}

CameraStatus CImageReception::SetFloatRegisters(int index, const FloatRegisterList& registers) const {
    const CamProperties* camera = GetCameraProperties(index);
    return camera == nullptr ? CS_UNKNOWN_CAMERA : SetFloatRegisterBatch(camera->cameraHandle, registers);
}

CameraStatus CImageReception::ReadFloatRegisters(int index, FloatRegisterList& registers) const {
    const CamProperties* camera = GetCameraProperties(index);
    return camera == nullptr ? CS_UNKNOWN_CAMERA : ReadFloatRegisterBatch(camera->cameraHandle, registers);
}

void CImageReception::RegisterSleep(int) const {
    std::this_thread::sleep_for(kRegisterSettleTime);
}
