#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace usbemu {

using Report = std::array<std::uint8_t, 64>;

// Descriptor values of the emulated panel, as the kernel would show them.
inline constexpr std::uint16_t kVendorId = 0x04d8;
inline constexpr std::uint16_t kProductId = 0x000c;
inline constexpr std::uint8_t kEndpointOut = 0x01;
inline constexpr std::uint8_t kEndpointIn = 0x81;
inline constexpr std::size_t kPacketSize = 64;

// A panel seen through the kernel's USB interface: a umockdev testbed with one
// 04d8:000c device in sysfs and a usbfs node whose ioctls (claim, release,
// URB submit, reap, discard) are served here, so libusb runs unchanged on top.
// Every OUT transfer on endpoint 0x01 goes to the responder; its reply waits
// for the next IN transfer on endpoint 0x81.
//
// The process must run under umockdev's preload library. Construct the panel
// before anything in the process initialises libusb: the testbed redirects
// /sys and /dev only for code that starts after it exists.
class EmulatedPanel {
public:
    using Responder = std::function<std::optional<Report>(const Report& out)>;

    // What the emulated kernel saw, for tests to check the traffic.
    struct Traffic {
        std::vector<std::vector<std::uint8_t>>
            outTransfers;                    // bytes of each OUT URB the panel took
        std::vector<std::size_t> inLengths;  // buffer length of each IN URB
        int claims = 0;                      // successful claims of interface 0
        int releases = 0;
        int discards = 0;           // URBs cancelled by the host (time-outs)
        int refusedClaims = 0;      // claims refused because another file held the interface
        int driverDetaches = 0;     // kernel driver unbound for a claim
        int driverAttaches = 0;     // kernel driver bound again
        std::vector<int> urbTypes;  // USBDEVFS_URB_TYPE_* of each data URB taken
        std::vector<std::string> unexpected;  // requests this emulation does not serve
    };

    // The transfer type of both data endpoints.
    enum class Endpoints { Bulk, Interrupt };

    explicit EmulatedPanel(Responder responder, Endpoints endpoints = Endpoints::Bulk);
    ~EmulatedPanel();
    EmulatedPanel(const EmulatedPanel&) = delete;
    EmulatedPanel& operator=(const EmulatedPanel&) = delete;

    // Plugging gives the panel a new device number each time, as the kernel
    // does, so a host that caches a device path notices.
    void plug();
    // The product id the next plug() announces (000c: the panel's own), for a
    // device of the panel's maker that is not the panel.
    void setProductId(std::uint16_t product);
    // The device leaves sysfs; files still open on its node answer ENODEV and
    // transfers in flight end with -ESHUTDOWN.
    void unplug();
    bool isPlugged() const;

    // A mute panel takes requests but never answers: IN transfers stay pending
    // until the host cancels them.
    void setMute(bool mute);
    // A frozen panel takes no report at all: OUT transfers stay pending too.
    void setFrozen(bool frozen);
    // A late panel holds its replies back until deliverLate(), as a panel
    // that answers after the host's read has given up.
    void setLate(bool late);
    void deliverLate();
    // Forgets replies no transfer has taken yet (between tests).
    void dropWaitingReplies();

    // A kernel driver bound to interface 0 (empty: none). usbfs refuses a
    // plain claim while it is bound; libusb detaches it on claim and asks for
    // it back on release.
    void setKernelDriver(const std::string& name);
    std::string kernelDriver() const;

    Traffic traffic() const;
    void clearTraffic();
    // Interface 0 is claimed by some open file right now.
    bool interfaceClaimed() const;
    // Files open on the device node right now.
    int openFiles() const;

    std::string rootDir() const;
    std::string deviceNode() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace usbemu
