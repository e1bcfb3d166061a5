#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "Device.h"

struct libusb_context;

namespace mpusb {

// Real panels through libusb-1.0. Where libusb cannot start (no USB bus) it
// finds no panel, and tries again at the next call.
class LibusbBackend {
public:
    LibusbBackend();
    ~LibusbBackend();
    LibusbBackend(const LibusbBackend&) = delete;
    LibusbBackend& operator=(const LibusbBackend&) = delete;

    std::uint32_t count(const DeviceId& id);
    // The device for instance n (0-based) of id, already opened by another
    // pipe or opened now with interface 0 claimed; nullptr if that fails or
    // the device has no such endpoint.
    std::shared_ptr<Device> open(std::uint32_t instance, const DeviceId& id, std::uint8_t endpoint);

private:
    libusb_context* context();

    std::mutex mutex_;
    struct ContextDeleter {
        void operator()(libusb_context* c) const;
    };
    std::unique_ptr<libusb_context, ContextDeleter> context_;
    // Open devices by bus number and address, so both pipes share one handle.
    std::map<std::pair<std::uint8_t, std::uint8_t>, std::weak_ptr<Device>> open_;
};

}  // namespace mpusb
