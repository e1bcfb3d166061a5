#pragma once

#include <type_traits>

#include "mpusbapi.h"

// The six entry points of the panel's USB library. Filled from the shared
// library by LoadUsbLibrary; tests fill it with an in-process fake panel.
struct UsbApi {
    MPUSBOpenFn open = nullptr;
    MPUSBCloseFn close = nullptr;
    MPUSBGetDLLVersionFn getDllVersion = nullptr;
    MPUSBGetDeviceCountFn getDeviceCount = nullptr;
    MPUSBReadFn read = nullptr;
    MPUSBWriteFn write = nullptr;
};

// Fills api with the six entry points lookup finds by their exported names
// (lookup: name -> address, null when missing, as QLibrary::resolve or
// dlsym); true when it found all six. All six are looked up before the one
// test, as the vendor's loader does.
template <typename Lookup>
bool resolveUsbApi(UsbApi& api, Lookup&& lookup) {
    const auto get = [&lookup](auto& target, const char* name) {
        target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(lookup(name));
        return target != nullptr;
    };
    bool ok = get(api.open, "_MPUSBOpen");
    ok &= get(api.close, "_MPUSBClose");
    ok &= get(api.getDllVersion, "_MPUSBGetDLLVersion");
    ok &= get(api.getDeviceCount, "_MPUSBGetDeviceCount");
    ok &= get(api.read, "_MPUSBRead");
    ok &= get(api.write, "_MPUSBWrite");
    return ok;
}
