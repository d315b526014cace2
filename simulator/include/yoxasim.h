/*
 * Control interface of the sensor simulator (libyoxabase.so): tests and tools use it to choose the
 * simulated sensors and to provoke what real sensors do now and then. None of it goes through a
 * sensor's link.
 *
 * A camera is named by its MAC address in either text form, "00:1f:0a:12:34:05" or "0:1f:a:12:34:5".
 * Every function returns 0 on success and -1 for an unknown camera or a bad argument, unless said
 * otherwise. See simulator/README.md for the world file format.
 */
#ifndef YOXASIM_H
#define YOXASIM_H

#if defined(__GNUC__)
#define YOXASIM_API __attribute__((visibility("default")))
#else
#define YOXASIM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Replaces the world with the one in the JSON file at path (null: the built-in world). Takes effect at
   once when no camera is open, otherwise at the next yoxaInit. A file that cannot be read or parsed
   gives an empty world, a message on standard error and -1. */
YOXASIM_API int yoxasimLoadWorld(const char* path);

/* Drops the camera's link: its connection-lost callback runs once on a simulator thread, and every
   call for the camera answers -4 until it has been discovered and opened again. */
YOXASIM_API int yoxasimDropLink(const char* camera);

/* The register's current value as the sensor holds it (a float register as its bit pattern). -1 also
   when the camera's firmware has no such register. */
YOXASIM_API int yoxasimPeekRegister(const char* camera, int reg, unsigned int* value);

/* The register writes the camera received since it was last opened, accepted or refused, oldest first
   (a float as its bit pattern). Fills at most capacity entries and returns the total count. */
YOXASIM_API int yoxasimRegisterLog(const char* camera, int* regs, unsigned int* values, int capacity);

/* From now on reads and writes of the register answer status (-1, -3 or -4); 0 ends the fault. */
YOXASIM_API int yoxasimSetRegisterFault(const char* camera, int reg, int status);

/* Makes the camera's stream misbehave once, as real transports and sensors sometimes do:
     "lose_bytes"    the next value frames arrive incomplete (bytes lost reported, the gap reads as zeros)
     "swap"          the next two frames arrive in swapped order (value ignored)
     "skip"          the next value frame numbers are never sent
     "frame_number"  the next frame carries the number value and the count goes on from there
     "stale"         value images from an earlier acquisition wait in the buffer at once
   -1 for an unknown fault or a negative value. */
YOXASIM_API int yoxasimInject(const char* camera, const char* fault, int value);

/* Frames the camera's transport buffered (delivered) and frames it dropped because its buffer was
   full, since the world was loaded. Either pointer may be null. */
YOXASIM_API int yoxasimStreamCounts(const char* camera, unsigned long long* delivered,
                                    unsigned long long* dropped);

/* Writes the camera's true calibration as two calibration text files: xPath one polynomial per sensor
   row (1088 or 1400 lines), zPath one per sensor column (2048 lines); three coefficients each, in
   millimetres, over calibrated pixel coordinates. */
YOXASIM_API int yoxasimWriteCalibration(const char* camera, const char* xPath, const char* zPath);

#ifdef __cplusplus
}
#endif

#endif /* YOXASIM_H */
