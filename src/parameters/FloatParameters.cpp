// Float and double parameters: the plain float registers. Names with dedicated handling answer
// "not supported" until their handlers exist.
#include <string_view>

#include "logging/Log.h"
#include "reception/ImageReception.h"
#include "transport/YoxaDll.h"

CameraStatus CImageReception::SetParameter(char* camera, const char* name, float value) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    YLOG(TRACE) << "Camera#" << index << " Set float parameter " << (name != nullptr ? name : "") << ": "
                << value;

    int type = 0;
    int reg = 0;
    bool custom = false;
    CameraStatus status;
    if (!MapParameter(name, &type, &reg, &custom, &status)) return status;
    if ((type & YOXA_PARAMETER_FLOAT) == 0) {
        YLOG(ERROR) << "Invalid param type, parameter: " << name << " is not float";
        return CS_WRONG_TYPE;
    }
    if (std::string_view(name) == "sensor_temperature") {
        YLOG(ERROR) << "Read only parameter";
        return CS_READ_ONLY;
    }
    if (custom) {
        YLOG(ERROR) << "Not supported parameter";
        return CS_NOT_ALLOWED;
    }
    int result = yoxaSetRegisterFloat(cameras[index].cameraHandle, reg, &value);
    RegisterSleep(index);
    return ConvertReadWriteStatus(result);
}

// There is no double register: doubles pass through the float path.
CameraStatus CImageReception::SetParameter(char* camera, const char* name, double value) {
    return SetParameter(camera, name, static_cast<float>(value));
}

CameraStatus CImageReception::GetParameter(char* camera, const char* name, float* value) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;

    int type = 0;
    int reg = 0;
    bool custom = false;
    CameraStatus status;
    if (!MapParameter(name, &type, &reg, &custom, &status)) return status;
    if (type != YOXA_PARAMETER_FLOAT) {
        YLOG(ERROR) << "Invalid param type, parameter: " << name << " is not float";
        return CS_WRONG_TYPE;
    }
    if (custom) {
        YLOG(ERROR) << "Not supported parameter";
        return CS_NOT_ALLOWED;
    }
    float read = 0.0f;
    status = ConvertReadWriteStatus(yoxaGetRegisterFloat(cameras[index].cameraHandle, reg, &read));
    if (status == CS_SUCCESS) *value = read;
    return status;
}

CameraStatus CImageReception::GetParameter(char* camera, const char* name, double* value) {
    float narrow = 0.0f;
    CameraStatus status = GetParameter(camera, name, &narrow);
    if (status == CS_SUCCESS) *value = narrow;
    return status;
}
