// The exported functions: thin dispatchers to the process-wide reception object.
//
// No exception ever crosses this boundary: every export runs its body through one guard. The creating
// calls map construction failures to their documented codes; the rest answer 100 (unknown error).
#include <memory>
#include <stdexcept>

#include "api/Exceptions.h"
#include "api/Globals.h"
#include "reception/ImageReception.h"
#include "reception/QvTarnHandler.h"
#include "transport/YoxaDll.h"

extern "C" {
YOXA_EXPORT IImageReception* g_ImageReception = nullptr;
YOXA_EXPORT CImageReception* gYoxaImageReception = nullptr;
YOXA_EXPORT YoxaDll* gYoxaApiDll = nullptr;
YOXA_EXPORT QvTarnHandler* gQvTarnCamera = nullptr;
}

namespace {

template <typename R, typename F>
R Guarded(R onException, F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return onException;
    }
}

template <typename F>
void GuardedVoid(F&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

bool CheckConnection(char* camera, int* status) {
    if (g_ImageReception == nullptr) {
        *status = CS_NOT_CONNECTED;
        return false;
    }
    bool connected = false;
    int result = g_ImageReception->IsConnected(camera, &connected);
    if (result != CS_SUCCESS) {
        *status = result;
        return false;
    }
    *status = connected ? CS_SUCCESS : CS_NOT_CONNECTED;
    return connected;
}

// Runs an operation on a connected camera, or returns the pre-check's status.
template <typename F>
int Connected(char* camera, F&& operation) noexcept {
    return Guarded<int>(CS_UNKNOWN_ERROR, [&]() -> int {
        int status;
        if (!CheckConnection(camera, &status)) return status;
        return operation(*g_ImageReception);
    });
}

// Runs an operation on the reception object without the connection pre-check.
template <typename R, typename F>
R Direct(R withoutObject, R onException, F&& operation) noexcept {
    return Guarded<R>(onException, [&]() -> R {
        if (g_ImageReception == nullptr) return withoutObject;
        return static_cast<R>(operation(*g_ImageReception));
    });
}

// Creates the real-sensor reception object if none exists; construction failures become status codes.
int EnsureReception(int* count) {
    if (g_ImageReception != nullptr) return CS_SUCCESS;
    try {
        g_ImageReception = std::make_unique<CImageReception>().release();
        return CS_SUCCESS;
    } catch (const filenotfound&) {
        return CS_DRIVER_MISSING;
    } catch (const kalimastro_yoxa_error&) {
        return CS_NOT_CONNECTED;
    } catch (const invalid_version&) {
        return CS_INCOMPATIBLE;
    } catch (const std::runtime_error&) {
        if (count != nullptr) *count = 0;
        return CS_RUNTIME_ERROR;
    } catch (...) {
        return CS_FAILED;
    }
}

}  // namespace

extern "C" {

// ------------------------------------------------------------------ lifetime and connection

YOXA_EXPORT int _Open(int* count, char*** ids, int timeoutMs) {
    int status = EnsureReception(count);
    if (status != CS_SUCCESS) return status;
    return Guarded<int>(CS_UNKNOWN_ERROR, [&] { return g_ImageReception->Discover(count, ids, timeoutMs); });
}

YOXA_EXPORT int _Discover(int* count, char*** ids, int timeoutMs) {
    return Direct<int>(CS_NOT_CONNECTED, CS_UNKNOWN_ERROR,
                       [&](IImageReception& r) { return r.Discover(count, ids, timeoutMs); });
}

YOXA_EXPORT int _Connect(char* camera, char* newIp) {
    return Direct<int>(CS_NOT_CONNECTED, CS_UNKNOWN_ERROR,
                       [&](IImageReception& r) { return r.Initialize(camera, newIp); });
}

YOXA_EXPORT int _Initialize(char* ipAddress, int* count) {
    return Guarded<int>(CS_FAILED, [&]() -> int {
        if (EnsureReception(nullptr) != CS_SUCCESS) return CS_FAILED;
        return g_ImageReception->Initialize(ipAddress, count);
    });
}

YOXA_EXPORT int _InitializeByRecipe(char* recipe, int* count) {
    return Guarded<int>(CS_FAILED, [&]() -> int {
        if (EnsureReception(nullptr) != CS_SUCCESS) return CS_FAILED;
        return g_ImageReception->InitializeByRecipe(recipe, count);
    });
}

YOXA_EXPORT int _UseVirtualCamera(char* /*folder*/, char /*mode*/) {
    // Playback needs the virtual camera; replacing a live real-sensor object is not allowed.
    return g_ImageReception != nullptr ? CS_NOT_ALLOWED : CS_FAILED;
}

YOXA_EXPORT void _Close(void) {
    GuardedVoid([] {
        std::unique_ptr<IImageReception> reception(g_ImageReception);
        g_ImageReception = nullptr;
    });
}

YOXA_EXPORT void _Destructor(void) {
    _Close();
}

YOXA_EXPORT int _IsConnected(char* camera) {
    return Guarded<int>(CS_UNKNOWN_ERROR, [&] {
        int status;
        CheckConnection(camera, &status);
        return status;
    });
}

// ------------------------------------------------------------------ acquisition and callbacks

YOXA_EXPORT int _StartGrabbing(char* camera) {
    return Connected(camera, [&](IImageReception& r) { return r.StartGrabbing(camera); });
}
YOXA_EXPORT int _StopGrabbing(char* camera) {
    return Connected(camera, [&](IImageReception& r) { return r.StopGrabbing(camera); });
}
YOXA_EXPORT int _ClearBatchBuffers(char* camera) {
    return Connected(camera, [&](IImageReception& r) { return r.ClearBatchBuffers(camera); });
}
YOXA_EXPORT int _SetRawImageCallback(char* camera, RawImageCallback cb) {
    return Connected(camera, [&](IImageReception& r) { return r.SetRawImageCallback(camera, cb); });
}
YOXA_EXPORT int _SetFrameGrabbedCallback(char* camera, FrameGrabbedCallback cb) {
    return Connected(camera, [&](IImageReception& r) { return r.SetFrameGrabbedCallback(camera, cb); });
}
YOXA_EXPORT int _SetPeaksGrabbedCallback(char* camera, PeaksGrabbedCallback cb) {
    return Connected(camera, [&](IImageReception& r) { return r.SetPeaksGrabbedCallback(camera, cb); });
}
YOXA_EXPORT int _SetPointCloudCallback(char* camera, PointCloudCallback cb) {
    return Connected(camera, [&](IImageReception& r) { return r.SetPointCloudCallback(camera, cb); });
}
YOXA_EXPORT int _SetProfileCallback(char* camera, ProfileCallback cb) {
    return Connected(camera, [&](IImageReception& r) { return r.SetProfileCallback(camera, cb); });
}
YOXA_EXPORT int _SetLineCallback(char* camera, int layer, LineCallback cb) {
    return Connected(camera, [&](IImageReception& r) { return r.SetLineCallback(camera, layer, cb); });
}
YOXA_EXPORT int _SetBatchCallback(char* camera, int layer, BatchCallback cb) {
    return Connected(camera, [&](IImageReception& r) { return r.SetBatchCallback(camera, layer, cb); });
}
YOXA_EXPORT int _SetLineSortingOrder(char* camera, SurfaceSorting order) {
    return Connected(camera, [&](IImageReception& r) { return r.SetLineSortingOrder(camera, order); });
}

// ------------------------------------------------------------------ parameters

YOXA_EXPORT int _SetStringParameter(char* camera, const char* name, char* value) {
    return Connected(camera, [&](IImageReception& r) { return r.SetParameter(camera, name, value); });
}
YOXA_EXPORT int _SetIntParameter(char* camera, const char* name, int value) {
    return Connected(camera, [&](IImageReception& r) { return r.SetParameter(camera, name, value); });
}
YOXA_EXPORT int _SetFloatParameter(char* camera, const char* name, float value) {
    return Connected(camera, [&](IImageReception& r) { return r.SetParameter(camera, name, value); });
}
YOXA_EXPORT int _SetDoubleParameter(char* camera, const char* name, double value) {
    return Connected(camera, [&](IImageReception& r) { return r.SetParameter(camera, name, value); });
}
YOXA_EXPORT int _GetStringParameter(char* camera, const char* name, char* value) {
    return Connected(camera, [&](IImageReception& r) { return r.GetParameter(camera, name, value); });
}
YOXA_EXPORT int _GetIntParameter(char* camera, const char* name, int* value) {
    return Connected(camera, [&](IImageReception& r) { return r.GetParameter(camera, name, value); });
}
YOXA_EXPORT int _GetFloatParameter(char* camera, const char* name, float* value) {
    return Connected(camera, [&](IImageReception& r) { return r.GetParameter(camera, name, value); });
}
YOXA_EXPORT int _GetDoubleParameter(char* camera, const char* name, double* value) {
    return Connected(camera, [&](IImageReception& r) { return r.GetParameter(camera, name, value); });
}
YOXA_EXPORT int _SetLayerIntParameter(char* camera, int layer, const char* name, int value) {
    return Connected(camera,
                     [&](IImageReception& r) { return r.SetLayerParameter(camera, layer, name, value); });
}
YOXA_EXPORT int _SetLayerFloatParameter(char* camera, int layer, const char* name, float value) {
    return Connected(camera,
                     [&](IImageReception& r) { return r.SetLayerParameter(camera, layer, name, value); });
}
YOXA_EXPORT int _GetLayerIntParameter(char* camera, int layer, const char* name, int* value) {
    return Connected(camera,
                     [&](IImageReception& r) { return r.GetLayerParameter(camera, layer, name, value); });
}
YOXA_EXPORT int _GetLayerFloatParameter(char* camera, int layer, const char* name, float* value) {
    return Connected(camera,
                     [&](IImageReception& r) { return r.GetLayerParameter(camera, layer, name, value); });
}
YOXA_EXPORT int _SetPeakDetectionParameters(char* camera, MaterialType material,
                                            DetectionSensitivity sensitivity) {
    return Connected(camera, [&](IImageReception& r) {
        return r.SetPeakDetectionParameters(camera, material, sensitivity);
    });
}
YOXA_EXPORT int _GetParameterSupport(char* camera, const char* name, bool* supported) {
    return Connected(camera,
                     [&](IImageReception& r) { return r.GetParameterSupport(camera, name, supported); });
}
YOXA_EXPORT int _AdjustRoiAndFps(char* camera, int mode, int value, int* result) {
    return Connected(camera,
                     [&](IImageReception& r) { return r.AdjustRoiAndFps(camera, mode, value, result); });
}
YOXA_EXPORT int _DynamicSensorCtrlParameters(char* camera, int count, DynSensorControl* points) {
    return Connected(
        camera, [&](IImageReception& r) { return r.DynamicSensorCtrlParameters(camera, count, points); });
}
YOXA_EXPORT int _GetDynamicSensorCtrlParameters(char* camera, int* count, DynSensorControl* points) {
    return Connected(camera, [&](IImageReception& r) -> int {
        if (count == nullptr) return CS_OUT_OF_RANGE;
        return r.GetDynamicSensorControl(camera, *count, points);
    });
}

// ------------------------------------------------------------------ unit conversion and Z-compensation

YOXA_EXPORT int _ConvertPixelsToMicrometers(char* camera, float* x, float* z) {
    return Connected(camera, [&](IImageReception& r) { return r.ConvertPixelsToMicrometers(camera, x, z); });
}
YOXA_EXPORT int _ConvertMicrometersToPixels(char* camera, float* x, float* z) {
    return Connected(camera, [&](IImageReception& r) { return r.ConvertMicrometersToPixels(camera, x, z); });
}
YOXA_EXPORT int _ConvertZToPixels(char* camera, int column, float* z) {
    return Connected(camera, [&](IImageReception& r) { return r.ConvertZToPixels(camera, column, z); });
}
YOXA_EXPORT int _PostProcessBufferZCompensationY(char* camera, float* z, const float* intensity,
                                                 const HEADER* headers, double step, int offset, int width,
                                                 int stride, int height) {
    auto widen = [](int v) { return static_cast<size_t>(static_cast<uint64_t>(static_cast<int64_t>(v))); };
    return Connected(camera, [&](IImageReception& r) {
        return r.PostProcessBufferZCompensationY(camera, z, intensity, headers, step, widen(offset),
                                                 widen(width), widen(stride), widen(height));
    });
}

// ------------------------------------------------------------------ firmware and sensor storage

YOXA_EXPORT int _CheckFirmwareCompatibility(char* camera, const char* path) {
    return Connected(camera, [&](IImageReception& r) { return r.CheckFirmwareCompatibility(camera, path); });
}
YOXA_EXPORT int _UpdateFirmware(char* camera, char* path) {
    return Connected(camera, [&](IImageReception& r) { return r.UpdateFirmware(camera, path); });
}
YOXA_EXPORT int _GetFirmwareUpdateProgress(char* camera, int* percent) {
    return Connected(camera,
                     [&](IImageReception& r) { return r.GetFirmwareUpdateProgress(camera, percent); });
}
YOXA_EXPORT int _Reboot(char* camera) {
    return Connected(camera, [&](IImageReception& r) { return r.Reboot(camera); });
}
YOXA_EXPORT int _WriteSensorDataFromFile(char* camera, char* path) {
    return Connected(camera, [&](IImageReception& r) { return r.WriteSensorData(camera, path); });
}
YOXA_EXPORT int _WriteSensorData(char* camera, unsigned char* data, int length) {
    return Connected(camera, [&](IImageReception& r) { return r.WriteSensorData(camera, data, length); });
}
YOXA_EXPORT int _ReadSensorData(char* camera, unsigned char** data, int* length) {
    return Connected(camera, [&](IImageReception& r) { return r.ReadSensorData(camera, data, length); });
}
YOXA_EXPORT int _ReadSensorDataToFile(char* camera, char* path) {
    return Connected(camera, [&](IImageReception& r) { return r.ReadSensorData(camera, path); });
}
YOXA_EXPORT int _ff1(char* camera, char* xPath, char* zPath, int sensorType, char* deviceSerialNumber) {
    return Connected(camera, [&](IImageReception& r) {
        return r.CalibrationFlashWriter(camera, xPath, zPath, sensorType, deviceSerialNumber);
    });
}
YOXA_EXPORT int _ff2(char* camera, char* xPath, char* zPath) {
    return Connected(camera,
                     [&](IImageReception& r) { return r.CalibrationFlashReader(camera, xPath, zPath); });
}

// ------------------------------------------------------------------ identification

YOXA_EXPORT int _GetCameraID(int index, char* id) {
    return Direct<int>(CS_NOT_CONNECTED, CS_UNKNOWN_ERROR,
                       [&](IImageReception& r) { return r.GetCameraId(index, id); });
}
YOXA_EXPORT int _GetSerialNumber(char* camera, char* serial) {
    return Direct<int>(CS_NOT_CONNECTED, CS_UNKNOWN_ERROR,
                       [&](IImageReception& r) { return r.GetSerialNumber(camera, serial); });
}
YOXA_EXPORT int _GetDeviceVersion(char* camera, char* version) {
    return Direct<int>(CS_NOT_CONNECTED, CS_UNKNOWN_ERROR,
                       [&](IImageReception& r) { return r.GetDeviceVersion(camera, version); });
}

// ------------------------------------------------------------------ calibration procedures

YOXA_EXPORT int _FieldCalibrationStart(char* camera, char* xCalibrationFile, char* zCalibrationFile,
                                       double* gapHeights, int gapHeightCount,
                                       FieldCalibrationResults* results) {
    return Connected(camera, [&](IImageReception& r) {
        return r.FieldCalibrationStart(camera, xCalibrationFile, zCalibrationFile, gapHeights, gapHeightCount,
                                       results);
    });
}
YOXA_EXPORT int _FieldCalibrationSave(char* camera, char* path) {
    return Direct<int>(CS_NOT_CONNECTED, CS_UNKNOWN_ERROR,
                       [&](IImageReception& r) { return r.FieldCalibrationSave(camera, path); });
}
YOXA_EXPORT int _IntensityCalibrationStart(char* camera, char* text1, char* text2, char* text3,
                                           bool smoothing, double targetScale) {
    return Connected(camera, [&](IImageReception& r) {
        return r.IntensityCalibrationStart(camera, text1, text2, text3, smoothing, targetScale);
    });
}
YOXA_EXPORT double _IntensityCalibrationProgress(char* camera, char* bmpPath) {
    return Guarded<double>(static_cast<double>(CS_UNKNOWN_ERROR), [&]() -> double {
        int status;
        if (!CheckConnection(camera, &status)) return static_cast<double>(status);
        return g_ImageReception->IntensityCalibrationProgress(camera, bmpPath);
    });
}
YOXA_EXPORT void _IntensityCalibrationStop(char* camera, char* bmpPath) {
    GuardedVoid([&] {
        if (g_ImageReception != nullptr) g_ImageReception->IntensityCalibrationStop(camera, bmpPath);
    });
}
YOXA_EXPORT int _IntensityCalibrationSave(char* camera, char* path) {
    return Direct<int>(0, 0, [&](IImageReception& r) { return r.IntensityCalibrationSave(camera, path); });
}
YOXA_EXPORT int _ZCompensationCalibrationStart(char* camera, int yDirection) {
    return Connected(camera,
                     [&](IImageReception& r) { return r.ZCompensationCalibrationStart(camera, yDirection); });
}
YOXA_EXPORT void _ZCompensationCalibrationStartNewLevel(char* camera, int yDirection) {
    GuardedVoid([&] {
        if (g_ImageReception != nullptr)
            g_ImageReception->ZCompensationCalibrationStartNewLevel(camera, yDirection);
    });
}
YOXA_EXPORT int _ZCompensationCalibrationRemoveLatest(char* camera, int yDirection) {
    return Direct<int>(
        0, 0, [&](IImageReception& r) { return r.ZCompensationCalibrationRemoveLatest(camera, yDirection); });
}
YOXA_EXPORT int _ZCompensationCalibrationVisualizeResult(char* zCompensationFile, int yDirection,
                                                         char* k1BmpPath, char* k2BmpPath) {
    return Direct<int>(0, 0, [&](IImageReception& r) {
        return r.ZCompensationCalibrationVisualizeResult(zCompensationFile, yDirection, k1BmpPath, k2BmpPath);
    });
}
YOXA_EXPORT int _ZCompensationCalibrationVisualizeCurrent(char* camera, int yDirection, char* k1BmpPath,
                                                          char* k2BmpPath) {
    return Direct<int>(0, 0, [&](IImageReception& r) {
        return r.ZCompensationCalibrationVisualizeCurrent(camera, yDirection, k1BmpPath, k2BmpPath);
    });
}
YOXA_EXPORT void _ZCompensationCalibrationProgress(char* camera, char* bmpPath, double* xLevels,
                                                   int xCapacity, int* xCount, double* yLevels, int yCapacity,
                                                   int* yCount) {
    GuardedVoid([&] {
        if (g_ImageReception != nullptr) {
            g_ImageReception->ZCompensationCalibrationProgress(camera, bmpPath, xLevels, xCapacity, xCount,
                                                               yLevels, yCapacity, yCount);
        }
    });
}
YOXA_EXPORT int _ZCompensationCalibrationSave(char* camera, char* path) {
    return Direct<int>(0, 0,
                       [&](IImageReception& r) { return r.ZCompensationCalibrationSave(camera, path); });
}
YOXA_EXPORT int _ZCompensationCalibrationGetStatus(char* camera) {
    return Direct<int>(ZCOMP_IDLE, ZCOMP_IDLE,
                       [&](IImageReception& r) { return r.ZCompensationCalibrationGetStatus(camera); });
}

// ------------------------------------------------------------------ logging

YOXA_EXPORT int _SetYoxaApiLoggingEnabled(int enabled) {
    return Direct<int>(CS_NOT_CONNECTED, CS_UNKNOWN_ERROR,
                       [&](IImageReception& r) { return r.SetYoxaApiLoggingEnabled(enabled); });
}

}  // extern "C"
