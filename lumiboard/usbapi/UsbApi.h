#pragma once

#include <cstdint>

#include "UsbEntryPoints.h"

// The panel's identity and endpoint, the same for every call.
inline constexpr char kDeviceId[] = "vid_04d8&pid_000c";
inline constexpr char kEndpoint[] = "\\MCHP_EP1";

// The seam between the program and the panel's USB library: the six entry
// points, each handed back the context it was given, so an in-process fake
// keeps its state in an object and several fakes live side by side.
struct UsbApi {
    void* context = nullptr;
    std::uint32_t (*open)(void* context, std::uint32_t instance, const char* vidPid,
                          const char* endpoint, std::uint32_t direction,
                          std::uint32_t reserved) = nullptr;
    std::uint32_t (*close)(void* context, std::uint32_t handle) = nullptr;
    std::uint32_t (*getDllVersion)(void* context) = nullptr;
    std::uint32_t (*getDeviceCount)(void* context, const char* vidPid) = nullptr;
    std::uint32_t (*read)(void* context, std::uint32_t handle, void* data, std::uint32_t length,
                          std::uint32_t* transferred, std::uint32_t timeoutMs) = nullptr;
    std::uint32_t (*write)(void* context, std::uint32_t handle, void* data, std::uint32_t length,
                           std::uint32_t* transferred, std::uint32_t timeoutMs) = nullptr;
};

namespace usbapi_detail {
inline const UsbEntryPoints& of(void* context) {
    return *static_cast<const UsbEntryPoints*>(context);
}
}  // namespace usbapi_detail

// The library's own entry points behind the seam: the context is the table
// itself, which must outlive every copy of the result.
inline UsbApi usbApiOf(const UsbEntryPoints& entries) {
    using usbapi_detail::of;
    UsbApi api;
    api.context = const_cast<UsbEntryPoints*>(&entries);
    api.open = [](void* c, std::uint32_t instance, const char* vidPid, const char* endpoint,
                  std::uint32_t direction, std::uint32_t reserved) {
        return of(c).open(instance, vidPid, endpoint, direction, reserved);
    };
    api.close = [](void* c, std::uint32_t handle) { return of(c).close(handle); };
    api.getDllVersion = [](void* c) { return of(c).getDllVersion(); };
    api.getDeviceCount = [](void* c, const char* vidPid) { return of(c).getDeviceCount(vidPid); };
    api.read = [](void* c, std::uint32_t handle, void* data, std::uint32_t length,
                  std::uint32_t* transferred, std::uint32_t timeoutMs) {
        return of(c).read(handle, data, length, transferred, timeoutMs);
    };
    api.write = [](void* c, std::uint32_t handle, void* data, std::uint32_t length,
                   std::uint32_t* transferred, std::uint32_t timeoutMs) {
        return of(c).write(handle, data, length, transferred, timeoutMs);
    };
    return api;
}
