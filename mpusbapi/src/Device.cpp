#include "Device.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace mpusb {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

std::optional<std::uint16_t> hex4(std::string_view text) {
    if (text.size() != 4) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : text) {
        const int d = std::isdigit(static_cast<unsigned char>(c))
                          ? c - '0'
                          : (std::isxdigit(static_cast<unsigned char>(c))
                                 ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                                 : -1);
        if (d < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<unsigned>(d);
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::vector<std::size_t> instanceOrder(const std::vector<Place>& places) {
    std::vector<std::size_t> order(places.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&places](std::size_t a, std::size_t b) { return places[a] < places[b]; });
    return order;
}

std::optional<DeviceId> parseDeviceId(std::string_view text) {
    constexpr std::string_view vid = "vid_";
    constexpr std::string_view pid = "&pid_";
    if (text.size() != vid.size() + 4 + pid.size() + 4 || !startsWithNoCase(text, vid) ||
        !startsWithNoCase(text.substr(vid.size() + 4), pid)) {
        return std::nullopt;
    }
    const auto vendor = hex4(text.substr(vid.size(), 4));
    const auto product = hex4(text.substr(vid.size() + 4 + pid.size()));
    if (!vendor || !product) {
        return std::nullopt;
    }
    return DeviceId{*vendor, *product};
}

std::optional<std::uint8_t> endpointAddress(std::string_view name, std::uint32_t direction) {
    constexpr std::string_view prefix = "\\MCHP_EP";
    if (direction > 1 || !startsWithNoCase(name, prefix)) {
        return std::nullopt;
    }
    const std::string_view number = name.substr(prefix.size());
    if (number.empty() || number.size() > 2) {
        return std::nullopt;
    }
    unsigned n = 0;
    for (const char c : number) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    // Endpoint 0 is the control pipe, not a data pipe.
    if (n < 1 || n > 15) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(n | (direction == 1 ? kEndpointIn : 0));
}

}  // namespace mpusb
