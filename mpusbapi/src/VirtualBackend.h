#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "Device.h"

namespace mpusb {

// The virtual panel (panelsim) behind a Unix socket; see VirtualWire.h for
// what travels on it. It stands for one panel 04d8:000c with endpoint 1.
// Only a panel served by our own user counts: another user's socket at the
// same path is refused (EACCES).
class VirtualBackend {
public:
    std::uint32_t count(const std::string& socketPath, const DeviceId& id, int& error);
    std::shared_ptr<Device> open(const std::string& socketPath, std::uint32_t instance,
                                 const DeviceId& id, std::uint8_t endpoint, int& error);

private:
    std::mutex mutex_;
    // One connection per socket path, shared by both pipes.
    std::map<std::string, std::weak_ptr<Device>> open_;
};

}  // namespace mpusb
