/* The six entry points of the panel's general-purpose USB library.
 * Exported under the vendor's names (_MPUSBOpen, ...), C calling convention,
 * 32-bit arguments and results, so programs written for the vendor's DLL load
 * this library unchanged. The function pointer types below are what callers
 * resolve by name at run time. */
#ifndef MPUSBAPI_H
#define MPUSBAPI_H

#include <stdint.h>

#if defined(_WIN32)
#define MPUSB_CALL __cdecl
#else
#define MPUSB_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Handle value of a pipe that could not be opened. */
#define MPUSB_INVALID_HANDLE 0xFFFFFFFFu

/* What _MPUSBGetDLLVersion returns: major version in the high 16 bits,
 * minor in the low 16 bits (1.0). */
#define MPUSB_DLL_VERSION 0x00010000u

/* Directions of _MPUSBOpen. */
#define MPUSB_DIR_WRITE 0u /* host to panel */
#define MPUSB_DIR_READ 1u  /* panel to host */

typedef uint32_t(MPUSB_CALL* MPUSBGetDLLVersionFn)(void);
typedef uint32_t(MPUSB_CALL* MPUSBGetDeviceCountFn)(const char* vidPid);
typedef uint32_t(MPUSB_CALL* MPUSBOpenFn)(uint32_t instance, const char* vidPid,
                                          const char* endpoint, uint32_t direction,
                                          uint32_t reserved);
typedef uint32_t(MPUSB_CALL* MPUSBReadFn)(uint32_t handle, void* data, uint32_t length,
                                          uint32_t* transferred, uint32_t timeoutMs);
typedef uint32_t(MPUSB_CALL* MPUSBWriteFn)(uint32_t handle, void* data, uint32_t length,
                                           uint32_t* transferred, uint32_t timeoutMs);
typedef uint32_t(MPUSB_CALL* MPUSBCloseFn)(uint32_t handle);

#ifdef __cplusplus
}
#endif

#endif
