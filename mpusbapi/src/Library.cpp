#include "Library.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

#include "mpusbapi.h"

namespace mpusb {

namespace {

std::optional<std::string> virtualSocket() {
    const char* path = std::getenv(MPUSBAPI_VIRTUAL_VARIABLE);
    if (path == nullptr || *path == '\0') {
        return std::nullopt;
    }
    return std::string(path);
}

// The result of a failed call, with its reason in errno.
std::uint32_t fail(int error, std::uint32_t result = 0) {
    errno = error;
    return result;
}

}  // namespace

Library& Library::instance() {
    static Library library;
    return library;
}

std::uint32_t Library::deviceCount(const char* deviceId) {
    const auto id = deviceId != nullptr ? parseDeviceId(deviceId) : std::nullopt;
    if (!id) {
        return fail(EINVAL);
    }
    int error = ENODEV;
    const auto socket = virtualSocket();
    const std::uint32_t n = socket ? virtual_.count(*socket, *id, error) : usb_.count(*id, error);
    return n > 0 ? n : fail(error);
}

std::uint32_t Library::open(std::uint32_t instance, const char* deviceId, const char* endpoint,
                            std::uint32_t direction) {
    if (deviceId == nullptr || endpoint == nullptr) {
        return fail(EINVAL, MPUSB_INVALID_HANDLE);
    }
    const auto id = parseDeviceId(deviceId);
    const auto address = endpointAddress(endpoint, direction);
    if (!id || !address) {
        return fail(EINVAL, MPUSB_INVALID_HANDLE);
    }
    int error = ENODEV;
    const auto socket = virtualSocket();
    std::shared_ptr<Device> device = socket ? virtual_.open(*socket, instance, *id, *address, error)
                                            : usb_.open(instance, *id, *address, error);
    if (!device) {
        return fail(error, MPUSB_INVALID_HANDLE);
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
    if (transferred != nullptr) {
        *transferred = 0;
    }
    // A zero-length read would take the waiting reply and give back nothing.
    if (data == nullptr || transferred == nullptr || length == 0) {
        return fail(EINVAL);
    }
    // The transfer runs outside the table's lock with its own hold on the device.
    const auto pipe = find(handle);
    if (!pipe || !(pipe->endpoint & kEndpointIn)) {
        return fail(EINVAL);
    }
    const int error = pipe->device->read(pipe->endpoint, static_cast<std::uint8_t*>(data), length,
                                         *transferred, timeoutMs);
    return error == 0 ? 1 : fail(error);
}

std::uint32_t Library::write(std::uint32_t handle, const void* data, std::uint32_t length,
                             std::uint32_t* transferred, std::uint32_t timeoutMs) {
    if (transferred != nullptr) {
        *transferred = 0;
    }
    if (data == nullptr || transferred == nullptr || length == 0) {
        return fail(EINVAL);
    }
    const auto pipe = find(handle);
    if (!pipe || (pipe->endpoint & kEndpointIn)) {
        return fail(EINVAL);
    }
    const int error = pipe->device->write(pipe->endpoint, static_cast<const std::uint8_t*>(data),
                                          length, *transferred, timeoutMs);
    return error == 0 ? 1 : fail(error);
}

std::uint32_t Library::close(std::uint32_t handle) {
    std::shared_ptr<Device> last;
    {
        const std::lock_guard lock(mutex_);
        const auto it = pipes_.find(handle);
        if (it == pipes_.end()) {
            return fail(EINVAL);
        }
        // Released after the lock: closing the device may take a moment.
        last = std::move(it->second.device);
        pipes_.erase(it);
    }
    return 1;
}

}  // namespace mpusb
