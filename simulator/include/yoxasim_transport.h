/*
 * The transport functions of libyoxabase.so, as the simulator implements them. A program that drives
 * the simulated sensors directly (without libyoxa.so) includes this header and links libyoxabase.so.
 */
#ifndef YOXASIM_TRANSPORT_H
#define YOXASIM_TRANSPORT_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#include "yoxasim.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 0 success, -1 error, -3 out of range, -4 no response. */
typedef int32_t YOXA_API_STATUS;
/* Called on a simulator thread with the camera handle when the camera's link drops. */
typedef void (*YoxaConnectionLostCallback)(int32_t handle);

YOXASIM_API YOXA_API_STATUS yoxaLogging(uint8_t enabled);
YOXASIM_API uint32_t yoxaGetVersion(void);
YOXASIM_API YOXA_API_STATUS yoxaInit(void);
YOXASIM_API YOXA_API_STATUS yoxaRelease(void);
YOXASIM_API int32_t yoxaDiscover(int32_t* handles, int32_t maxCount, int32_t timeoutMs);
YOXASIM_API YOXA_API_STATUS yoxaOpenCamera(int32_t handle, YoxaConnectionLostCallback onLost);
YOXASIM_API YOXA_API_STATUS yoxaCloseCamera(int32_t handle);
/* 128 bytes: handle (int32) at 100, IPv4 at 104, subnet mask at 108, MAC at 112. */
YOXASIM_API YOXA_API_STATUS yoxaGetCameraInfo(int32_t handle, uint8_t* info);
YOXASIM_API YOXA_API_STATUS yoxaSetCameraIP(int32_t handle, uint32_t address, uint32_t mask);
YOXASIM_API YOXA_API_STATUS yoxaGetRegisterInt(int32_t handle, int32_t reg, uint32_t* value);
YOXASIM_API YOXA_API_STATUS yoxaSetRegisterInt(int32_t handle, int32_t reg, uint32_t* value);
YOXASIM_API YOXA_API_STATUS yoxaGetRegisterFloat(int32_t handle, int32_t reg, float* value);
YOXASIM_API YOXA_API_STATUS yoxaSetRegisterFloat(int32_t handle, int32_t reg, float* value);
/* Word addresses and lengths; at most 128 words per call. */
YOXASIM_API YOXA_API_STATUS yoxaReadMemory(int32_t handle, uint32_t wordAddress, uint32_t* lengthWords,
                                           uint32_t* buffer);
YOXASIM_API YOXA_API_STATUS yoxaWriteMemory(int32_t handle, uint32_t wordAddress, uint32_t* lengthWords,
                                            uint32_t* buffer);
YOXASIM_API YOXA_API_STATUS yoxaStartImageAcquisition(int32_t handle);
YOXASIM_API YOXA_API_STATUS yoxaStopImageAcquisition(int32_t handle);
YOXASIM_API int32_t yoxaGetPendingImageCount(int32_t handle, bool wait);
YOXASIM_API void* yoxaGetNextImage(int32_t handle, bool wait);
YOXASIM_API bool yoxaIsBufferEmpty(int32_t handle, bool wait);
YOXASIM_API uint8_t* yoxaGetImageData(void* image);
YOXASIM_API int32_t yoxaGetImageSize(void* image);
YOXASIM_API int32_t yoxaGetImageBytesLost(void* image);
YOXASIM_API uint32_t yoxaGetImageNumber(void* image);
YOXASIM_API YOXA_API_STATUS yoxaFirmwareProgram(int32_t handle, const char* path);
YOXASIM_API YOXA_API_STATUS yoxaFirmwareGetProgress(int32_t handle, int32_t* progress);
YOXASIM_API void yoxaPopImage(int32_t handle, bool wait, void* image);
YOXASIM_API void yoxaSetBufferSize(int32_t handle, int32_t count);
YOXASIM_API uint32_t yoxaGetHeaderSize(void* image);

#ifdef __cplusplus
}
#endif

#endif /* YOXASIM_TRANSPORT_H */
