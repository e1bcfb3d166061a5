#include "Library.h"

#include <cstdlib>
#include <optional>
#include <string>

#include "mpusbapi.h"

namespace mpusb {

namespace {

// Names the virtual panel's socket; unset or empty means real USB.
constexpr char kVirtualVariable[] = "MPUSBAPI_VIRTUAL";

std::optional<std::string> virtualSocket() {
    const char* path = std::getenv(kVirtualVariable);
    if (path == nullptr || *path == '\0') {
        return std::nullopt;
    }
    return std::string(path);
}

}  // namespace

Library& Library::instance() {
    static Library library;
    return library;
}

std::uint32_t Library::deviceCount(const char* deviceId) {
    if (deviceId == nullptr) {
        return 0;
    }
    const auto id = parseDeviceId(deviceId);
    if (!id) {
        return 0;
    }
    if (const auto socket = virtualSocket()) {
        return virtual_.count(*socket, *id);
    }
    return usb_.count(*id);
}

std::uint32_t Library::open(std::uint32_t instance, const char* deviceId, const char* endpoint,
                            std::uint32_t direction) {
    if (deviceId == nullptr || endpoint == nullptr) {
        return MPUSB_INVALID_HANDLE;
    }
    const auto id = parseDeviceId(deviceId);
    const auto address = endpointAddress(endpoint, direction);
    if (!id || !address) {
        return MPUSB_INVALID_HANDLE;
    }
    const auto socket = virtualSocket();
    std::shared_ptr<Device> device = socket ? virtual_.open(*socket, instance, *id, *address)
                                            : usb_.open(instance, *id, *address);
    if (!device) {
        return MPUSB_INVALID_HANDLE;
    }
    const std::lock_guard lock(mutex_);
    // Handles count up, skipping the invalid value and any still in use.
    do {
        ++lastHandle_;
    } while (lastHandle_ == MPUSB_INVALID_HANDLE || lastHandle_ == 0 ||
             pipes_.contains(lastHandle_));
    pipes_.emplace(lastHandle_, Pipe{std::move(device), *address});
    return lastHandle_;
}

std::optional<Library::Pipe> Library::find(std::uint32_t handle) {
    const std::lock_guard lock(mutex_);
    const auto it = pipes_.find(handle);
    if (it == pipes_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::uint32_t Library::read(std::uint32_t handle, void* data, std::uint32_t length,
                            std::uint32_t* transferred, std::uint32_t timeoutMs) {
    if (data == nullptr || transferred == nullptr) {
        return 0;
    }
    *transferred = 0;
    // The transfer runs outside the table's lock with its own hold on the device.
    const auto pipe = find(handle);
    if (!pipe || !(pipe->endpoint & kEndpointIn)) {
        return 0;
    }
    return pipe->device->read(pipe->endpoint, static_cast<std::uint8_t*>(data), length,
                              *transferred, timeoutMs)
               ? 1
               : 0;
}

std::uint32_t Library::write(std::uint32_t handle, const void* data, std::uint32_t length,
                             std::uint32_t* transferred, std::uint32_t timeoutMs) {
    if (data == nullptr || transferred == nullptr) {
        return 0;
    }
    *transferred = 0;
    const auto pipe = find(handle);
    if (!pipe || (pipe->endpoint & kEndpointIn)) {
        return 0;
    }
    return pipe->device->write(pipe->endpoint, static_cast<const std::uint8_t*>(data), length,
                               *transferred, timeoutMs)
               ? 1
               : 0;
}

std::uint32_t Library::close(std::uint32_t handle) {
    std::shared_ptr<Device> last;
    {
        const std::lock_guard lock(mutex_);
        const auto it = pipes_.find(handle);
        if (it == pipes_.end()) {
            return 0;
        }
        // Released after the lock: closing the device may take a moment.
        last = std::move(it->second.device);
        pipes_.erase(it);
    }
    return 1;
}

}  // namespace mpusb
