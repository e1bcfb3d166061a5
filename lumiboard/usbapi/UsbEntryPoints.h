#pragma once

#include <type_traits>

#include "mpusbapi.h"

// The six entry points as the panel's USB library exports them: no context,
// the vendor's own signatures. Filled from the shared library by name.
struct UsbEntryPoints {
    MPUSBOpenFn open = nullptr;
    MPUSBCloseFn close = nullptr;
    MPUSBGetDLLVersionFn getDllVersion = nullptr;
    MPUSBGetDeviceCountFn getDeviceCount = nullptr;
    MPUSBReadFn read = nullptr;
    MPUSBWriteFn write = nullptr;
};

// Fills entries with the six entry points lookup finds by their exported
// names (lookup: name -> address, null when missing, as QLibrary::resolve or
// dlsym); true when it found all six. All six are looked up before the one
// test, as the vendor's loader does.
template <typename Lookup>
bool resolveEntryPoints(UsbEntryPoints& entries, Lookup&& lookup) {
    const auto get = [&lookup](auto& target, const char* name) {
        target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(lookup(name));
        return target != nullptr;
    };
    bool ok = get(entries.open, "_MPUSBOpen");
    ok &= get(entries.close, "_MPUSBClose");
    ok &= get(entries.getDllVersion, "_MPUSBGetDLLVersion");
    ok &= get(entries.getDeviceCount, "_MPUSBGetDeviceCount");
    ok &= get(entries.read, "_MPUSBRead");
    ok &= get(entries.write, "_MPUSBWrite");
    return ok;
}
