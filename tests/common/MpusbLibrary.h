// The built library's six entry points, resolved by their exported names.
#pragma once

#include <QLibrary>
#include <QString>

#include "UsbEntryPoints.h"

struct MpusbLibrary : UsbEntryPoints {
    QLibrary library{qEnvironmentVariable("LUMI_BIN_DIR") + "/libmpusbapi.so"};
    // Short names for the two calls tests make most.
    MPUSBGetDLLVersionFn& version = getDllVersion;
    MPUSBGetDeviceCountFn& count = getDeviceCount;

    MpusbLibrary() = default;
    MpusbLibrary(const MpusbLibrary&) = delete;
    MpusbLibrary& operator=(const MpusbLibrary&) = delete;

    bool load() {
        return library.load() && resolveEntryPoints(*this, [this](const char* name) {
                   return library.resolve(name);
               });
    }
};
