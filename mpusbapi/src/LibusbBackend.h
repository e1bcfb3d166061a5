#pragma once

#include <atomic>
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

    // Panels of id on the bus; error says why when there is none.
    std::uint32_t count(const DeviceId& id, int& error);
    // The device for instance n (0-based, in the order of Place) of id,
    // already opened by another pipe or opened now with interface 0 claimed;
    // nullptr (error set) if that fails or the device has no such endpoint.
    std::shared_ptr<Device> open(std::uint32_t instance, const DeviceId& id, std::uint8_t endpoint,
                                 int& error);

private:
    libusb_context* context();

    std::mutex mutex_;
    struct ContextDeleter {
        void operator()(libusb_context* c) const;
    };
    std::unique_ptr<libusb_context, ContextDeleter> context_;
    using Key = std::pair<std::uint8_t, std::uint8_t>;  // bus number, address
    // Open devices, so both pipes share one handle.
    std::map<Key, std::weak_ptr<Device>> open_;
    // Per device of this process's life: whether its input may hold a reply
    // that no request of ours will read (set at first sight and after a
    // failed transfer). A new address is a new device.
    std::map<Key, std::shared_ptr<std::atomic<bool>>> unsettled_;
};

}  // namespace mpusb
