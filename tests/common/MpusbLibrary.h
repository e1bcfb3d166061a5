// The six entry points of the built library, resolved by their exported names.
#pragma once

#include <QLibrary>
#include <QString>

#include "mpusbapi.h"

struct MpusbLibrary {
    QLibrary library{qEnvironmentVariable("LUMI_BIN_DIR") + "/libmpusbapi.so"};
    MPUSBGetDLLVersionFn version = nullptr;
    MPUSBGetDeviceCountFn count = nullptr;
    MPUSBOpenFn open = nullptr;
    MPUSBReadFn read = nullptr;
    MPUSBWriteFn write = nullptr;
    MPUSBCloseFn close = nullptr;

    bool load() {
        if (!library.load()) {
            return false;
        }
        version = reinterpret_cast<MPUSBGetDLLVersionFn>(library.resolve("_MPUSBGetDLLVersion"));
        count = reinterpret_cast<MPUSBGetDeviceCountFn>(library.resolve("_MPUSBGetDeviceCount"));
        open = reinterpret_cast<MPUSBOpenFn>(library.resolve("_MPUSBOpen"));
        read = reinterpret_cast<MPUSBReadFn>(library.resolve("_MPUSBRead"));
        write = reinterpret_cast<MPUSBWriteFn>(library.resolve("_MPUSBWrite"));
        close = reinterpret_cast<MPUSBCloseFn>(library.resolve("_MPUSBClose"));
        return version && count && open && read && write && close;
    }
};
