/*
 * libyoxa: host-side SDK of the line-confocal 3-D profile sensors.
 *
 * The C interface: records, status codes, callback types and every exported
 * function. Usable from C99 and C++11. All functions return a CameraStatus
 * value as int unless stated otherwise.
 *
 * A camera is named by its id text: the MAC address printed "%x:%x:%x:%x:%x:%x"
 * (lower-case hexadecimal, no leading zeros). A null or empty id selects the
 * first camera.
 *
 * Pointers handed to callbacks are valid only during the call. Every data
 * callback of a camera runs on that camera's peak-poller thread, in frame
 * order.
 */
#ifndef YOXA_YOXA_H
#define YOXA_YOXA_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(YOXA_BUILDING_LIBRARY)
#define YOXA_EXPORT __attribute__((visibility("default")))
#else
#define YOXA_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status of every operation. 0 is success. */
typedef enum CameraStatus {
    CS_SUCCESS = 0,
    CS_FAILED = 1,                    /* general failure, or not implemented by this reception object */
    CS_NOT_CONNECTED = 2,             /* camera not connected or not answering */
    CS_CALIBRATION_NO_GRAB = 7,       /* a calibration run could not start grabbing */
    CS_NOT_ALLOWED = 9,               /* not allowed in the current state (for example while grabbing) */
    CS_UNKNOWN_CAMERA = 11,           /* camera id not found */
    CS_UNKNOWN_PARAMETER = 12,        /* unknown parameter, or a prerequisite missing */
    CS_WRONG_TYPE = 14,               /* parameter has a different type */
    CS_FILE_OPEN_FAILED = 16,         /* file could not be opened */
    CS_OUT_OF_RANGE = 17,             /* value out of range or invalid */
    CS_NOT_AVAILABLE = 18,            /* calibration needed, or conversion not supported */
    CS_NO_FILTER_CODE = 19,           /* FIR length has no filter code */
    CS_NOT_SUPPORTED = 20,            /* parameter not supported by this product family */
    CS_RUNTIME_ERROR = 21,            /* unexpected runtime error while creating the reception object */
    CS_DRIVER_MISSING = 22,           /* transport library or camera driver missing */
    CS_CALIBRATION_INVALID = 23,      /* calibration file invalid or failed to load */
    CS_DATA_TOO_LARGE = 24,           /* data larger than the sensor's user flash */
    CS_FLASH_WRITE_FAILED = 25,       /* sensor data write failed, or refused while grabbing */
    CS_FLASH_READ_FAILED = 27,        /* sensor data read failed, or refused while grabbing */
    CS_FLASH_FILE_FAILED = 28,        /* file open/close failed during a flash transfer */
    CS_NO_SENSOR_DATA = 29,           /* no calibration data in the sensor */
    CS_READ_ONLY = 30,                /* read-only parameter */
    CS_SELF_TEST_FAILED = 31,         /* grabbing self test failed */
    CS_CALIBRATION_UNIDENTIFIED = 33, /* calibration accepted without the sensor's identification */
    CS_CALIBRATION_OTHER_SENSOR = 34, /* calibration file identifies another sensor */
    CS_INCOMPATIBLE = 35,             /* firmware file not compatible; transport API too old */
    CS_FIRMWARE_TOO_OLD = 36,         /* sensor firmware too old */
    CS_UNKNOWN_ERROR = 100
} CameraStatus;

/* The symbolic name of a status value ("CS_NOT_CONNECTED"), or "CS_?" for others. */
static inline const char* YoxaCameraStatusName(int status) {
    switch (status) {
        case CS_SUCCESS:
            return "CS_SUCCESS";
        case CS_FAILED:
            return "CS_FAILED";
        case CS_NOT_CONNECTED:
            return "CS_NOT_CONNECTED";
        case CS_CALIBRATION_NO_GRAB:
            return "CS_CALIBRATION_NO_GRAB";
        case CS_NOT_ALLOWED:
            return "CS_NOT_ALLOWED";
        case CS_UNKNOWN_CAMERA:
            return "CS_UNKNOWN_CAMERA";
        case CS_UNKNOWN_PARAMETER:
            return "CS_UNKNOWN_PARAMETER";
        case CS_WRONG_TYPE:
            return "CS_WRONG_TYPE";
        case CS_FILE_OPEN_FAILED:
            return "CS_FILE_OPEN_FAILED";
        case CS_OUT_OF_RANGE:
            return "CS_OUT_OF_RANGE";
        case CS_NOT_AVAILABLE:
            return "CS_NOT_AVAILABLE";
        case CS_NO_FILTER_CODE:
            return "CS_NO_FILTER_CODE";
        case CS_NOT_SUPPORTED:
            return "CS_NOT_SUPPORTED";
        case CS_RUNTIME_ERROR:
            return "CS_RUNTIME_ERROR";
        case CS_DRIVER_MISSING:
            return "CS_DRIVER_MISSING";
        case CS_CALIBRATION_INVALID:
            return "CS_CALIBRATION_INVALID";
        case CS_DATA_TOO_LARGE:
            return "CS_DATA_TOO_LARGE";
        case CS_FLASH_WRITE_FAILED:
            return "CS_FLASH_WRITE_FAILED";
        case CS_FLASH_READ_FAILED:
            return "CS_FLASH_READ_FAILED";
        case CS_FLASH_FILE_FAILED:
            return "CS_FLASH_FILE_FAILED";
        case CS_NO_SENSOR_DATA:
            return "CS_NO_SENSOR_DATA";
        case CS_READ_ONLY:
            return "CS_READ_ONLY";
        case CS_SELF_TEST_FAILED:
            return "CS_SELF_TEST_FAILED";
        case CS_CALIBRATION_UNIDENTIFIED:
            return "CS_CALIBRATION_UNIDENTIFIED";
        case CS_CALIBRATION_OTHER_SENSOR:
            return "CS_CALIBRATION_OTHER_SENSOR";
        case CS_INCOMPATIBLE:
            return "CS_INCOMPATIBLE";
        case CS_FIRMWARE_TOO_OLD:
            return "CS_FIRMWARE_TOO_OLD";
        case CS_UNKNOWN_ERROR:
            return "CS_UNKNOWN_ERROR";
        default:
            return "CS_?";
    }
}

/* One measured point: pixels as decoded, micrometres after unit conversion. */
typedef struct STRUCT_POINT {
    float x;         /* column (0..2047), or micrometres */
    float z;         /* peak position along the column, or micrometres */
    float intensity; /* 0..255 */
    uint32_t extra;  /* second intensity (float bits) or odd-row flag, by payload format */
} STRUCT_POINT;

/* One raw peak for the peaks callback; occupies exactly the place of a STRUCT_POINT. */
typedef struct STRUCT_PEAK_DATA {
    int32_t x;
    float z;
    float intensity;
    uint32_t extra;
} STRUCT_PEAK_DATA;

/* Validity bits of HEADER.flags. */
#define YOXA_HEADER_BITS_VALID 0x1u
#define YOXA_HEADER_DURATION_VALID 0x2u
#define YOXA_HEADER_ENCODER_VALID 0x4u

/* The per-frame header handed to callbacks. */
typedef struct HEADER {
    uint64_t flags;
    int32_t queueBacklog; /* peak frames still waiting in the camera's peak queue */
    union {
        double frequency;   /* frame rate in Hz */
        uint64_t timestamp; /* raw sensor timestamp when frequency_calculation is off */
    } frequency;
    uint32_t frameNumber;
    uint8_t headerBits;
    float durationUs;
    int32_t encoder;
} HEADER;

typedef enum SurfaceSorting {
    SORT_HEIGHT_DESCENDING = 0,
    SORT_HEIGHT_ASCENDING = 1,
    SORT_INTENSITY_DESCENDING = 2,
    SORT_MOST_INTENSE_BY_HEIGHT = 3
} SurfaceSorting;

typedef enum MaterialType { MATERIAL_0 = 0, MATERIAL_1 = 1, MATERIAL_2 = 2 } MaterialType;

typedef enum DetectionSensitivity {
    SENSITIVITY_DEFAULT = 0,
    SENSITIVITY_ALTERNATIVE = 1
} DetectionSensitivity;

typedef enum ZCompensationCalibrationStatus {
    ZCOMP_IDLE = 0,
    ZCOMP_COLLECTING = 2,
    ZCOMP_LEVEL_ADDED = 3,
    ZCOMP_LINES_MISSING = 4,
    ZCOMP_TOO_MANY_UNMEASURED = 5,
    ZCOMP_TOO_LITTLE_TEXTURE = 6,
    ZCOMP_LEVEL_EXISTS = 7
} ZCompensationCalibrationStatus;

/* One dynamic sensor control point. */
typedef struct DynSensorControl {
    uint32_t location;
    uint32_t height;
    uint32_t offset;
    float pulse_width;
    uint32_t threshold;
} DynSensorControl;

/* Result of a field calibration run. */
typedef struct FieldCalibrationResults {
    double stdDevMean;
    double stdDevMax;
    double stdDevMin;
    double averageIntensity;
    double pulseWidth;
    int64_t method; /* 0 none, 1 mirror, 2 height */
    double offsetMean;
    double offsetMax;
    double values[5];
    int64_t valueCount;
    double gainCorrection;
    double meanZ[2048];
    double stdDevZ[2048];
} FieldCalibrationResults;

/* One record of the exported parameter table _yoxaParametersList. */
#define YOXA_PARAMETER_NAME_LENGTH 256
#define YOXA_PARAMETER_COUNT 194
typedef enum YOXA_PARAMETER_TYPE {
    YOXA_PARAMETER_INT = 1,
    YOXA_PARAMETER_FLOAT = 2,
    YOXA_PARAMETER_STRING = 8
} YOXA_PARAMETER_TYPE;

/* 280 bytes, little-endian. minVersion per product family (0 QVSkarvel, 1 QVCAM_V2, 2 QvTarn):
 * 0 every firmware, -1 not supported, else the lowest firmware version code
 * (major * 1000000 + minor * 1000 + feature). */
typedef struct YOXA_PARAMETER {
    char name[YOXA_PARAMETER_NAME_LENGTH];
    uint8_t custom; /* 1: handled by dedicated library code; 0: plain register */
    uint8_t reserved[3];
    int32_t reg;  /* sensor register, 0 when the value lives in the library */
    int32_t type; /* YOXA_PARAMETER_TYPE */
    int32_t minVersion[3];
} YOXA_PARAMETER;

typedef void (*RawImageCallback)(char* camera, unsigned char* data, int* size, HEADER* header);
typedef void (*FrameGrabbedCallback)(char* camera, unsigned char* data, int* size, double* frequency);
typedef void (*PeaksGrabbedCallback)(char* camera, STRUCT_PEAK_DATA* peaks, int* count, int* backlog,
                                     double* frequency, unsigned int* frameNumber);
typedef void (*PointCloudCallback)(char* camera, STRUCT_POINT* points, int* count, int* backlog,
                                   double* frequency, unsigned int* frameNumber);
typedef void (*ProfileCallback)(char* camera, STRUCT_POINT* points, int* count, HEADER* header);
typedef void (*LineCallback)(char* camera, int layer, float* z, float* intensity, int length, double step,
                             HEADER* header);
typedef void (*BatchCallback)(char* camera, int layer, float* z, float* intensity, int width, int height,
                              double step, HEADER* header);

/* ---- Lifetime and connection ---- */

/* Creates the library's reception object if needed, then discovers sensors. The id list belongs to the
 * library and stays valid until the next discovery or _Close. */
YOXA_EXPORT int _Open(int* count, char*** ids, int timeoutMs);
YOXA_EXPORT int _Discover(int* count, char*** ids, int timeoutMs);
YOXA_EXPORT int _Connect(char* camera, char* newIp);
YOXA_EXPORT int _Initialize(char* ipAddress, int* count);
YOXA_EXPORT int _InitializeByRecipe(char* recipe, int* count);
YOXA_EXPORT int _UseVirtualCamera(char* folder, char mode);
/* Disconnects every camera and destroys the reception object. Returns only after every thread of the
 * library has ended and no callback is running. Harmless when nothing is open. Must not run concurrently
 * with any other call of this library. */
YOXA_EXPORT void _Close(void);
YOXA_EXPORT void _Destructor(void);
YOXA_EXPORT int _IsConnected(char* camera);

/* ---- Acquisition and callbacks ----
 *
 * Threads. Each camera has an image poller, which calls the raw-image and frame-grabbed callbacks, and a
 * peak poller, which calls every other data callback (peaks, point cloud, profile, line, batch) in frame
 * order. Callbacks of one camera are never called concurrently with each other on the same poller.
 *
 * Replacing or clearing a callback (any _Set...Callback, null included) returns only when no call of the
 * previous pointer is still running, so that a client may free what the old callback uses right after
 * the call returns. Done from inside a callback running on the poller that calls the replaced callback,
 * it returns at once instead (it cannot wait for itself); the old pointer is then not called again
 * after the running call returns.
 *
 * _StopGrabbing stops the sensor's acquisition and returns. Frames that were already taken from the
 * sensor and queued before it returned may still be delivered afterwards, to the callbacks registered at
 * that time; to be sure nothing more arrives, clear the callbacks. _Close returns only after every thread
 * of the library has ended and no callback is running.
 */

YOXA_EXPORT int _StartGrabbing(char* camera);
YOXA_EXPORT int _StopGrabbing(char* camera);
YOXA_EXPORT int _ClearBatchBuffers(char* camera);
YOXA_EXPORT int _SetRawImageCallback(char* camera, RawImageCallback cb);
YOXA_EXPORT int _SetFrameGrabbedCallback(char* camera, FrameGrabbedCallback cb);
YOXA_EXPORT int _SetPeaksGrabbedCallback(char* camera, PeaksGrabbedCallback cb);
YOXA_EXPORT int _SetPointCloudCallback(char* camera, PointCloudCallback cb);
YOXA_EXPORT int _SetProfileCallback(char* camera, ProfileCallback cb);
YOXA_EXPORT int _SetLineCallback(char* camera, int layer, LineCallback cb);
YOXA_EXPORT int _SetBatchCallback(char* camera, int layer, BatchCallback cb);
YOXA_EXPORT int _SetLineSortingOrder(char* camera, SurfaceSorting order);

/* ---- Parameters ---- */

YOXA_EXPORT int _SetStringParameter(char* camera, const char* name, char* value);
YOXA_EXPORT int _SetIntParameter(char* camera, const char* name, int value);
YOXA_EXPORT int _SetFloatParameter(char* camera, const char* name, float value);
YOXA_EXPORT int _SetDoubleParameter(char* camera, const char* name, double value);
YOXA_EXPORT int _GetStringParameter(char* camera, const char* name, char* value);
YOXA_EXPORT int _GetIntParameter(char* camera, const char* name, int* value);
YOXA_EXPORT int _GetFloatParameter(char* camera, const char* name, float* value);
YOXA_EXPORT int _GetDoubleParameter(char* camera, const char* name, double* value);
YOXA_EXPORT int _SetLayerIntParameter(char* camera, int layer, const char* name, int value);
YOXA_EXPORT int _SetLayerFloatParameter(char* camera, int layer, const char* name, float value);
YOXA_EXPORT int _GetLayerIntParameter(char* camera, int layer, const char* name, int* value);
YOXA_EXPORT int _GetLayerFloatParameter(char* camera, int layer, const char* name, float* value);
YOXA_EXPORT int _SetPeakDetectionParameters(char* camera, MaterialType material,
                                            DetectionSensitivity sensitivity);
YOXA_EXPORT int _GetParameterSupport(char* camera, const char* name, bool* supported);
YOXA_EXPORT int _AdjustRoiAndFps(char* camera, int mode, int value, int* result);
YOXA_EXPORT int _DynamicSensorCtrlParameters(char* camera, int count, DynSensorControl* points);
YOXA_EXPORT int _GetDynamicSensorCtrlParameters(char* camera, int* count, DynSensorControl* points);

/* ---- Unit conversion and Z-compensation ---- */

YOXA_EXPORT int _ConvertPixelsToMicrometers(char* camera, float* x, float* z);
YOXA_EXPORT int _ConvertMicrometersToPixels(char* camera, float* x, float* z);
YOXA_EXPORT int _ConvertZToPixels(char* camera, int column, float* z);
YOXA_EXPORT int _PostProcessBufferZCompensationY(char* camera, float* z, const float* intensity,
                                                 const HEADER* headers, double step, int offset, int width,
                                                 int stride, int height);

/* ---- Firmware and sensor storage ---- */

YOXA_EXPORT int _CheckFirmwareCompatibility(char* camera, const char* path);
YOXA_EXPORT int _UpdateFirmware(char* camera, char* path);
YOXA_EXPORT int _GetFirmwareUpdateProgress(char* camera, int* percent);
YOXA_EXPORT int _Reboot(char* camera);
YOXA_EXPORT int _WriteSensorDataFromFile(char* camera, char* path);
YOXA_EXPORT int _WriteSensorData(char* camera, unsigned char* data, int length);
YOXA_EXPORT int _ReadSensorData(char* camera, unsigned char** data, int* length);
YOXA_EXPORT int _ReadSensorDataToFile(char* camera, char* path);
YOXA_EXPORT int _ff1(char* camera, char* xPath, char* zPath, int sensorType, char* deviceSerialNumber);
YOXA_EXPORT int _ff2(char* camera, char* xPath, char* zPath);

/* ---- Identification ---- */

YOXA_EXPORT int _GetCameraID(int index, char* id);
YOXA_EXPORT int _GetSerialNumber(char* camera, char* serial);
YOXA_EXPORT int _GetDeviceVersion(char* camera, char* version);

/* ---- Calibration procedures ---- */

YOXA_EXPORT int _FieldCalibrationStart(char* camera, char* xCalibrationFile, char* zCalibrationFile,
                                       double* gapHeights, int gapHeightCount,
                                       FieldCalibrationResults* results);
YOXA_EXPORT int _FieldCalibrationSave(char* camera, char* path);
YOXA_EXPORT int _IntensityCalibrationStart(char* camera, char* text1, char* text2, char* text3,
                                           bool smoothing, double targetScale);
YOXA_EXPORT double _IntensityCalibrationProgress(char* camera, char* bmpPath);
YOXA_EXPORT void _IntensityCalibrationStop(char* camera, char* bmpPath);
YOXA_EXPORT int _IntensityCalibrationSave(char* camera, char* path);
YOXA_EXPORT int _ZCompensationCalibrationStart(char* camera, int yDirection);
YOXA_EXPORT void _ZCompensationCalibrationStartNewLevel(char* camera, int yDirection);
YOXA_EXPORT int _ZCompensationCalibrationRemoveLatest(char* camera, int yDirection);
YOXA_EXPORT int _ZCompensationCalibrationVisualizeResult(char* zCompensationFile, int yDirection,
                                                         char* k1BmpPath, char* k2BmpPath);
YOXA_EXPORT int _ZCompensationCalibrationVisualizeCurrent(char* camera, int yDirection, char* k1BmpPath,
                                                          char* k2BmpPath);
YOXA_EXPORT void _ZCompensationCalibrationProgress(char* camera, char* bmpPath, double* xLevels,
                                                   int xCapacity, int* xCount, double* yLevels, int yCapacity,
                                                   int* yCount);
YOXA_EXPORT int _ZCompensationCalibrationSave(char* camera, char* path);
YOXA_EXPORT int _ZCompensationCalibrationGetStatus(char* camera);

/* ---- Logging ---- */

/* Switches the transport library's own logging; it receives the low 8 bits of the value. */
YOXA_EXPORT int _SetYoxaApiLoggingEnabled(int enabled);

/* ---- Exported data ---- */

/* The parameter table: 194 records, writable. */
YOXA_EXPORT extern YOXA_PARAMETER _yoxaParametersList[YOXA_PARAMETER_COUNT];
/* Days to keep rotated log files, from "yoxalog.conf". */
YOXA_EXPORT extern int keep_logfiles_days;
/* The last number used for a rotated log file. */
YOXA_EXPORT extern int log_file_idx;

#ifdef __cplusplus
}
#endif

#include "yoxa/profile.h"

#endif /* YOXA_YOXA_H */
