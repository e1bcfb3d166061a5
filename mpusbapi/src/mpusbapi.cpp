// The six exported entry points. They carry the vendor's names (a leading
// underscore and a capital, reserved in C++) through assembler labels, so the
// C++ names stay ordinary; exports.map hides everything else.
#include <type_traits>

#include "Library.h"
#include "mpusbapi.h"

#define MPUSB_EXPORT __attribute__((visibility("default")))

extern "C" {
MPUSB_EXPORT uint32_t mpusbGetDllVersion(void) __asm__("_MPUSBGetDLLVersion");
MPUSB_EXPORT uint32_t mpusbGetDeviceCount(const char* vidPid) __asm__("_MPUSBGetDeviceCount");
MPUSB_EXPORT uint32_t mpusbOpen(uint32_t instance, const char* vidPid, const char* endpoint,
                                uint32_t direction, uint32_t reserved) __asm__("_MPUSBOpen");
MPUSB_EXPORT uint32_t mpusbRead(uint32_t handle, void* data, uint32_t length, uint32_t* transferred,
                                uint32_t timeoutMs) __asm__("_MPUSBRead");
MPUSB_EXPORT uint32_t mpusbWrite(uint32_t handle, void* data, uint32_t length,
                                 uint32_t* transferred, uint32_t timeoutMs) __asm__("_MPUSBWrite");
MPUSB_EXPORT uint32_t mpusbClose(uint32_t handle) __asm__("_MPUSBClose");
}

static_assert(std::is_same_v<decltype(&mpusbGetDllVersion), MPUSBGetDLLVersionFn>);
static_assert(std::is_same_v<decltype(&mpusbGetDeviceCount), MPUSBGetDeviceCountFn>);
static_assert(std::is_same_v<decltype(&mpusbOpen), MPUSBOpenFn>);
static_assert(std::is_same_v<decltype(&mpusbRead), MPUSBReadFn>);
static_assert(std::is_same_v<decltype(&mpusbWrite), MPUSBWriteFn>);
static_assert(std::is_same_v<decltype(&mpusbClose), MPUSBCloseFn>);

extern "C" {

uint32_t mpusbGetDllVersion(void) {
    return MPUSB_DLL_VERSION;
}

uint32_t mpusbGetDeviceCount(const char* vidPid) {
    return mpusb::Library::instance().deviceCount(vidPid);
}

uint32_t mpusbOpen(uint32_t instance, const char* vidPid, const char* endpoint, uint32_t direction,
                   uint32_t /*reserved*/) {
    return mpusb::Library::instance().open(instance, vidPid, endpoint, direction);
}

uint32_t mpusbRead(uint32_t handle, void* data, uint32_t length, uint32_t* transferred,
                   uint32_t timeoutMs) {
    return mpusb::Library::instance().read(handle, data, length, transferred, timeoutMs);
}

uint32_t mpusbWrite(uint32_t handle, void* data, uint32_t length, uint32_t* transferred,
                    uint32_t timeoutMs) {
    return mpusb::Library::instance().write(handle, data, length, transferred, timeoutMs);
}

uint32_t mpusbClose(uint32_t handle) {
    return mpusb::Library::instance().close(handle);
}
}
