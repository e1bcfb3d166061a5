#pragma once

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

// The panel's identity and endpoint, the same for every call.
inline constexpr char kDeviceId[] = "vid_04d8&pid_000c";
inline constexpr char kEndpoint[] = "\\MCHP_EP1";
