#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace mpusb {

// "vid_XXXX&pid_YYYY", hexadecimal, any case.
struct DeviceId {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
};
std::optional<DeviceId> parseDeviceId(std::string_view text);

// "\MCHP_EPn" with a direction: the endpoint address (n, or n | 0x80 to read).
std::optional<std::uint8_t> endpointAddress(std::string_view name, std::uint32_t direction);

inline constexpr std::uint8_t kEndpointIn = 0x80;

// Where a device sits: its bus, then the hub ports from the root down.
// Instances are numbered in this order, so a panel keeps its number while it
// stays plugged in, whatever else comes and goes.
struct Place {
    std::uint8_t bus = 0;
    std::vector<std::uint8_t> ports;
    friend auto operator<=>(const Place&, const Place&) = default;
};
// The indices of places in instance order (the listing's order never counts).
std::vector<std::size_t> instanceOrder(const std::vector<Place>& places);

// One opened panel; both pipes of a device share it.
class Device {
public:
    virtual ~Device() = default;
    // Moves up to size bytes through the endpoint: 0 on success, else the
    // errno value of the failure (ETIMEDOUT, ENODEV...). transferred holds
    // what did move either way.
    virtual int write(std::uint8_t endpoint, const std::uint8_t* data, std::uint32_t size,
                      std::uint32_t& transferred, std::uint32_t timeoutMs) = 0;
    virtual int read(std::uint8_t endpoint, std::uint8_t* data, std::uint32_t size,
                     std::uint32_t& transferred, std::uint32_t timeoutMs) = 0;
    // True once the device is known to be unplugged or gone.
    virtual bool gone() const { return false; }
};

}  // namespace mpusb
