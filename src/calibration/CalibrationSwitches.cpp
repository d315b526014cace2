// The unit and calibration switches of the integer parameters.
//
// No camera has a calibration table, intensity evaluator or Z-compensation model yet, and none has a
// stored file path to load one from, so every switch that needs one answers 18 (not available). Loading
// from the stored path belongs here once the calibration models exist.
#include "reception/ImageReception.h"

namespace {

// 0 pixels, 1 micrometres; anything else is refused.
CameraStatus SetUnit(CamProperties* cam, Setting<int32_t> CamProperties::*unit, int value) {
    if (cam == nullptr) return CS_UNKNOWN_CAMERA;
    if (value == 0) {
        cam->*unit = 0;
        return CS_SUCCESS;
    }
    if (value != 1) return CS_OUT_OF_RANGE;
    // Micrometres need the calibration table; the unit stays as it was.
    return CS_NOT_AVAILABLE;
}

// The switch keeps the requested state even when no model can be loaded: it takes effect once one is.
CameraStatus SetCalibrationFlag(CamProperties* cam, Setting<bool> CamProperties::*flag, bool enable) {
    if (cam == nullptr) return CS_UNKNOWN_CAMERA;
    cam->*flag = enable;
    return enable ? CS_NOT_AVAILABLE : CS_SUCCESS;
}

}  // namespace

CameraStatus CImageReception::SetYUnit(int index, int value) {
    return SetUnit(index < kMaxCameras ? GetCameraProperties(index) : nullptr, &CamProperties::peak_y_unit,
                   value);
}

CameraStatus CImageReception::SetXUnit(int index, int value) {
    return SetUnit(index < kMaxCameras ? GetCameraProperties(index) : nullptr, &CamProperties::peak_x_unit,
                   value);
}

CameraStatus CImageReception::SetIntensityCalibration(int index, bool enable) {
    return SetCalibrationFlag(index < kMaxCameras ? GetCameraProperties(index) : nullptr,
                              &CamProperties::intensity_correction_enable, enable);
}

CameraStatus CImageReception::SetZCompensation(int index, bool xDirection, bool enable) {
    return SetCalibrationFlag(
        index < kMaxCameras ? GetCameraProperties(index) : nullptr,
        xDirection ? &CamProperties::z_compensation_x_direction : &CamProperties::z_compensation_y_direction,
        enable);
}

CameraStatus CImageReception::SetZCompensationOffset(int index, bool enable) {
    return SetCalibrationFlag(index < kMaxCameras ? GetCameraProperties(index) : nullptr,
                              &CamProperties::z_compensation_offset, enable);
}
