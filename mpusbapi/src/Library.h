#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "Device.h"
#include "LibusbBackend.h"
#include "VirtualBackend.h"

namespace mpusb {

// Everything the library keeps between calls: the backends and the pipe
// handles. The exported entry points reach the one instance of the process.
class Library {
public:
    static Library& instance();

    std::uint32_t deviceCount(const char* deviceId);
    std::uint32_t open(std::uint32_t instance, const char* deviceId, const char* endpoint,
                       std::uint32_t direction);
    std::uint32_t read(std::uint32_t handle, void* data, std::uint32_t length,
                       std::uint32_t* transferred, std::uint32_t timeoutMs);
    std::uint32_t write(std::uint32_t handle, const void* data, std::uint32_t length,
                        std::uint32_t* transferred, std::uint32_t timeoutMs);
    std::uint32_t close(std::uint32_t handle);

private:
    struct Pipe {
        std::shared_ptr<Device> device;
        std::uint8_t endpoint = 0;
    };
    std::optional<Pipe> find(std::uint32_t handle);

    // Declared before the pipes: the pipes' devices go first at unload.
    LibusbBackend usb_;
    VirtualBackend virtual_;
    std::mutex mutex_;
    std::map<std::uint32_t, Pipe> pipes_;
    std::uint32_t lastHandle_ = 0;
};

}  // namespace mpusb
