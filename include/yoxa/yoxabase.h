/*
 * The sensor transport functions. libyoxa.so loads libyoxabase.so at run time and exports a forwarding
 * function under each of these names, so a client may call the transport through libyoxa.so as well.
 * A forwarding function whose transport function could not be resolved prints one line to standard error
 * and returns a fixed value (-1 for statuses).
 */
#ifndef YOXA_YOXABASE_H
#define YOXA_YOXABASE_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#include "yoxa/yoxa.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Transport status: 0 success, -1 error, -3 out of range, -4 no response. */
typedef int32_t YOXA_API_STATUS;
#define YOXA_STATUS_SUCCESS 0
#define YOXA_STATUS_ERROR (-1)
#define YOXA_STATUS_OUT_OF_RANGE (-3)
#define YOXA_STATUS_NO_RESPONSE (-4)

/* Size of the camera information record and the offsets of the fields the SDK reads. */
#define YOXA_CAMERA_INFO_SIZE 128
#define YOXA_CAMERA_INFO_HANDLE 100
#define YOXA_CAMERA_INFO_IPV4 104
#define YOXA_CAMERA_INFO_MAC 112

/* Called by the transport, on its own thread, with the camera handle when a camera's link drops. */
typedef void (*YoxaConnectionLostCallback)(int32_t handle);

YOXA_EXPORT YOXA_API_STATUS yoxaLogging(uint8_t enabled);
YOXA_EXPORT uint32_t yoxaGetVersion(void);
YOXA_EXPORT YOXA_API_STATUS yoxaInit(void);
YOXA_EXPORT YOXA_API_STATUS yoxaRelease(void);
/* Fills up to maxCount handles; returns the number of cameras found (negative on failure). */
YOXA_EXPORT int32_t yoxaDiscover(int32_t* handles, int32_t maxCount, int32_t timeoutMs);
YOXA_EXPORT YOXA_API_STATUS yoxaOpenCamera(int32_t handle, YoxaConnectionLostCallback onLost);
YOXA_EXPORT YOXA_API_STATUS yoxaCloseCamera(int32_t handle);
/* info: YOXA_CAMERA_INFO_SIZE bytes. */
YOXA_EXPORT YOXA_API_STATUS yoxaGetCameraInfo(int32_t handle, uint8_t* info);
YOXA_EXPORT YOXA_API_STATUS yoxaSetCameraIP(int32_t handle, uint32_t address, uint32_t mask);
YOXA_EXPORT YOXA_API_STATUS yoxaGetRegisterInt(int32_t handle, int32_t reg, uint32_t* value);
YOXA_EXPORT YOXA_API_STATUS yoxaSetRegisterInt(int32_t handle, int32_t reg, uint32_t* value);
YOXA_EXPORT YOXA_API_STATUS yoxaGetRegisterFloat(int32_t handle, int32_t reg, float* value);
YOXA_EXPORT YOXA_API_STATUS yoxaSetRegisterFloat(int32_t handle, int32_t reg, float* value);
/* address and *length in 32-bit words; each word carries four bytes, lowest byte first. */
YOXA_EXPORT YOXA_API_STATUS yoxaReadMemory(int32_t handle, uint32_t address, uint32_t* length,
                                           uint32_t* buffer);
YOXA_EXPORT YOXA_API_STATUS yoxaWriteMemory(int32_t handle, uint32_t address, uint32_t* length,
                                            uint32_t* buffer);
YOXA_EXPORT YOXA_API_STATUS yoxaStartImageAcquisition(int32_t handle);
YOXA_EXPORT YOXA_API_STATUS yoxaStopImageAcquisition(int32_t handle);
YOXA_EXPORT int32_t yoxaGetPendingImageCount(int32_t handle, bool wait);
/* The oldest waiting image, or null. Every image taken is released with yoxaPopImage exactly once. */
YOXA_EXPORT void* yoxaGetNextImage(int32_t handle, bool wait);
YOXA_EXPORT bool yoxaIsBufferEmpty(int32_t handle, bool wait);
YOXA_EXPORT uint8_t* yoxaGetImageData(void* image);
YOXA_EXPORT int32_t yoxaGetImageSize(void* image);
YOXA_EXPORT int32_t yoxaGetImageBytesLost(void* image);
YOXA_EXPORT uint32_t yoxaGetImageNumber(void* image);
YOXA_EXPORT YOXA_API_STATUS yoxaFirmwareProgram(int32_t handle, const char* path);
YOXA_EXPORT YOXA_API_STATUS yoxaFirmwareGetProgress(int32_t handle, int32_t* progress);
YOXA_EXPORT void yoxaPopImage(int32_t handle, bool wait, void* image);
YOXA_EXPORT void yoxaSetBufferSize(int32_t handle, int32_t count);
YOXA_EXPORT uint32_t yoxaGetHeaderSize(void* image);

#ifdef __cplusplus
}
#endif

#endif /* YOXA_YOXABASE_H */
