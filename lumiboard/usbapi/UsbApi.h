#pragma once

#include "UsbEntryPoints.h"

// The panel's identity and endpoint, the same for every call.
inline constexpr char kDeviceId[] = "vid_04d8&pid_000c";
inline constexpr char kEndpoint[] = "\\MCHP_EP1";
