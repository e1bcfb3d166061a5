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

/* Reasons for failure (this library's extension; the vendor's DLL gives none).
 * Every entry point that fails - a count of 0, an open that returns
 * MPUSB_INVALID_HANDLE, a read, write or close that returns 0 - leaves the
 * cause in errno (success leaves errno as it was):
 *   EACCES     the panel is there but this user may not open it (no udev rule
 *              for the device node; a virtual panel served by another user)
 *   ENODEV     no such panel or pipe: unplugged, never there, instance or
 *              endpoint it does not have, or a virtual panel that went away
 *   ETIMEDOUT  the transfer's time-out passed
 *   EBUSY      another program (or a kernel driver) holds the panel's interface
 *   EINVAL     bad arguments: NULL or malformed strings, length 0, an unknown
 *              handle, a read on a write pipe or the reverse
 * Other errno values (EIO, EPIPE, EOVERFLOW...) say what the transfer met.
 * With MPUSBAPI_DEBUG=1 in the environment each failing libusb call is also
 * named on stderr with its libusb error name; otherwise the library prints
 * nothing. */

/* The environment variable that points the library at a virtual panel
 * (panelsim's socket path); unset or empty means the real USB panel. Read on
 * every call. */
#define MPUSBAPI_VIRTUAL_VARIABLE "MPUSBAPI_VIRTUAL"

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
