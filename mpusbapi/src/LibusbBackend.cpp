#include "LibusbBackend.h"

#include <libusb.h>

#include <cstdio>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

#include "Errors.h"

namespace mpusb {

namespace {

constexpr int kInterface = 0;
// A reply already waiting comes within a frame (1 ms at full speed); this
// bounds the last, empty read.
constexpr unsigned kDrainTimeoutMs = 2;
// A device that keeps sending is not drained for ever.
constexpr int kDrainMaxReports = 16;

struct DeviceListDeleter {
    void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
using DeviceList = std::unique_ptr<libusb_device*, DeviceListDeleter>;

struct ConfigDeleter {
    void operator()(libusb_config_descriptor* c) const { libusb_free_config_descriptor(c); }
};

bool matches(libusb_device* dev, const DeviceId& id) {
    libusb_device_descriptor desc{};
    return libusb_get_device_descriptor(dev, &desc) == LIBUSB_SUCCESS &&
           desc.idVendor == id.vendor && desc.idProduct == id.product;
}

// Under MPUSBAPI_DEBUG, why no panel was counted: how many devices the bus
// showed, and any of the maker's with another product id (a panel whose
// firmware reports another id shows up here).
void explainNotFound(libusb_device** list, ssize_t n, const DeviceId& id) {
    char line[160];
    std::snprintf(line, sizeof line, "%zd périphérique(s) USB vu(s), aucun %04x:%04x", n,
                  unsigned{id.vendor}, unsigned{id.product});
    debugNote(line);
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(list[i], &desc) == LIBUSB_SUCCESS &&
            desc.idVendor == id.vendor) {
            std::snprintf(line, sizeof line,
                          "du même fabricant : %04x:%04x (bus %u, adresse %u), autre identifiant "
                          "de produit",
                          unsigned{desc.idVendor}, unsigned{desc.idProduct},
                          unsigned{libusb_get_bus_number(list[i])},
                          unsigned{libusb_get_device_address(list[i])});
            debugNote(line);
        }
    }
}

Place placeOf(libusb_device* dev) {
    Place place;
    place.bus = libusb_get_bus_number(dev);
    std::uint8_t ports[8];
    const int n = libusb_get_port_numbers(dev, ports, sizeof ports);
    if (n > 0) {
        place.ports.assign(ports, ports + n);
    }
    return place;
}

class UsbDevice final : public Device {
public:
    // Takes an opened handle; the device is usable only if claimError() is 0.
    UsbDevice(libusb_device_handle* handle, std::shared_ptr<std::atomic<bool>> unsettled)
        : handle_(handle), unsettled_(std::move(unsettled)) {
        // Bound kernel drivers are detached on claim and given back on release;
        // platforms without kernel drivers say NOT_SUPPORTED, which is fine.
        libusb_set_auto_detach_kernel_driver(handle_, 1);
        const int rc = libusb_claim_interface(handle_, kInterface);
        claimed_ = rc == LIBUSB_SUCCESS;
        if (claimed_) {
            readEndpointTypes();
        } else {
            claimError_ = libusbFailed("libusb_claim_interface", rc);
        }
    }
    ~UsbDevice() override {
        if (claimed_) {
            if (const int rc = libusb_release_interface(handle_, kInterface); rc != 0) {
                libusbFailed("libusb_release_interface", rc);
            }
        }
        libusb_close(handle_);
    }
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;

    int claimError() const { return claimError_; }
    bool hasEndpoint(std::uint8_t address) const { return types_[index(address)] >= 0; }

    int write(std::uint8_t endpoint, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t& transferred, std::uint32_t timeoutMs) override {
        // A reply that came after its read gave up would be taken for the
        // answer to this request; it goes first. Nothing to do, and no cost,
        // while every earlier exchange ended well.
        if (unsettled_->exchange(false)) {
            drain(static_cast<std::uint8_t>((endpoint & 0x0F) | kEndpointIn));
        }
        return transfer(endpoint, const_cast<std::uint8_t*>(data), size, transferred, timeoutMs);
    }
    int read(std::uint8_t endpoint, std::uint8_t* data, std::uint32_t size,
             std::uint32_t& transferred, std::uint32_t timeoutMs) override {
        return transfer(endpoint, data, size, transferred, timeoutMs);
    }

private:
    static std::size_t index(std::uint8_t address) {
        return (address & 0x0F) | ((address & kEndpointIn) ? 0x10 : 0);
    }

    void readEndpointTypes() {
        libusb_config_descriptor* raw = nullptr;
        if (libusb_get_active_config_descriptor(libusb_get_device(handle_), &raw) !=
            LIBUSB_SUCCESS) {
            return;
        }
        const std::unique_ptr<libusb_config_descriptor, ConfigDeleter> config(raw);
        for (int i = 0; i < config->bNumInterfaces; ++i) {
            const libusb_interface& itf = config->interface[i];
            if (itf.num_altsetting < 1 || itf.altsetting[0].bInterfaceNumber != kInterface) {
                continue;
            }
            const libusb_interface_descriptor& alt = itf.altsetting[0];
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                types_[index(ep.bEndpointAddress)] = ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
            }
        }
    }

    // Short reads until one comes back empty-handed.
    void drain(std::uint8_t inEndpoint) {
        if (!hasEndpoint(inEndpoint)) {
            return;
        }
        for (int i = 0; i < kDrainMaxReports; ++i) {
            std::array<std::uint8_t, 64> stale{};
            std::uint32_t moved = 0;
            const int rc =
                rawTransfer(inEndpoint, stale.data(), stale.size(), moved, kDrainTimeoutMs);
            if (rc != LIBUSB_SUCCESS) {
                if (rc != LIBUSB_ERROR_TIMEOUT) {
                    libusbFailed("draining the input", rc);
                }
                return;
            }
            debugNote("dropped a reply that came after its read had given up");
        }
        // Still sending: try again before the next write.
        unsettled_->store(true);
    }

    int transfer(std::uint8_t endpoint, std::uint8_t* data, std::uint32_t size,
                 std::uint32_t& transferred, std::uint32_t timeoutMs) {
        const int rc = rawTransfer(endpoint, data, size, transferred, timeoutMs);
        if (rc == LIBUSB_SUCCESS) {
            return 0;
        }
        // The answer to a request that failed half-way may still come.
        unsettled_->store(true);
        return libusbFailed((endpoint & kEndpointIn) ? "reading" : "writing", rc);
    }

    int rawTransfer(std::uint8_t endpoint, std::uint8_t* data, std::uint32_t size,
                    std::uint32_t& transferred, std::uint32_t timeoutMs) {
        int done = 0;
        // libusb reads 0 as "wait for ever"; here 0 means do not wait.
        const unsigned timeout = timeoutMs == 0 ? 1u : timeoutMs;
        const int length = static_cast<int>(size > 0x7FFFFFFFu ? 0x7FFFFFFFu : size);
        int rc = LIBUSB_ERROR_NOT_SUPPORTED;
        switch (types_[index(endpoint)]) {
            case LIBUSB_TRANSFER_TYPE_BULK:
                rc = libusb_bulk_transfer(handle_, endpoint, data, length, &done, timeout);
                break;
            case LIBUSB_TRANSFER_TYPE_INTERRUPT:
                rc = libusb_interrupt_transfer(handle_, endpoint, data, length, &done, timeout);
                break;
            default:
                break;
        }
        transferred = static_cast<std::uint32_t>(done < 0 ? 0 : done);
        return rc;
    }

    libusb_device_handle* handle_;
    std::shared_ptr<std::atomic<bool>> unsettled_;
    bool claimed_ = false;
    int claimError_ = 0;
    // Transfer type of each endpoint of interface 0 (-1: no such endpoint).
    std::array<int, 32> types_ = [] {
        std::array<int, 32> a{};
        a.fill(-1);
        return a;
    }();
};

}  // namespace

void LibusbBackend::ContextDeleter::operator()(libusb_context* c) const {
    libusb_exit(c);
}

LibusbBackend::LibusbBackend() = default;
LibusbBackend::~LibusbBackend() = default;

libusb_context* LibusbBackend::context() {
    if (!context_) {
        libusb_context* raw = nullptr;
        if (const int rc = libusb_init(&raw); rc == LIBUSB_SUCCESS) {
            context_.reset(raw);
        } else {
            libusbFailed("libusb_init", rc);
        }
    }
    return context_.get();
}

namespace {

// The matching devices of a listing, in the order of their place.
std::vector<libusb_device*> panelsInOrder(libusb_device** list, ssize_t n, const DeviceId& id) {
    std::vector<libusb_device*> found;
    std::vector<Place> places;
    for (ssize_t i = 0; i < n; ++i) {
        if (matches(list[i], id)) {
            found.push_back(list[i]);
            places.push_back(placeOf(list[i]));
        }
    }
    std::vector<libusb_device*> devices;
    for (const std::size_t i : instanceOrder(places)) {
        devices.push_back(found[i]);
    }
    return devices;
}

}  // namespace

std::uint32_t LibusbBackend::count(const DeviceId& id, int& error) {
    const std::lock_guard lock(mutex_);
    libusb_context* ctx = context();
    if (ctx == nullptr) {
        error = ENODEV;
        return 0;
    }
    libusb_device** raw = nullptr;
    const ssize_t n = libusb_get_device_list(ctx, &raw);
    if (n < 0) {
        error = libusbFailed("libusb_get_device_list", static_cast<int>(n));
        return 0;
    }
    const DeviceList list(raw);
    std::uint32_t found = 0;
    for (ssize_t i = 0; i < n; ++i) {
        found += matches(raw[i], id) ? 1 : 0;
    }
    if (found == 0) {
        error = ENODEV;
        if (debugging()) {
            explainNotFound(raw, n, id);
        }
    }
    return found;
}

std::shared_ptr<Device> LibusbBackend::open(std::uint32_t instance, const DeviceId& id,
                                            std::uint8_t endpoint, int& error) {
    const std::lock_guard lock(mutex_);
    libusb_context* ctx = context();
    if (ctx == nullptr) {
        error = ENODEV;
        return nullptr;
    }
    libusb_device** raw = nullptr;
    const ssize_t n = libusb_get_device_list(ctx, &raw);
    if (n < 0) {
        error = libusbFailed("libusb_get_device_list", static_cast<int>(n));
        return nullptr;
    }
    const DeviceList list(raw);
    const std::vector<libusb_device*> panels = panelsInOrder(raw, n, id);
    if (instance >= panels.size()) {
        error = ENODEV;
        return nullptr;
    }
    libusb_device* chosen = panels[instance];
    std::erase_if(open_, [](const auto& entry) { return entry.second.expired(); });
    const Key key(libusb_get_bus_number(chosen), libusb_get_device_address(chosen));
    std::shared_ptr<Device> device = open_[key].lock();
    if (!device) {
        libusb_device_handle* handle = nullptr;
        if (const int rc = libusb_open(chosen, &handle); rc != LIBUSB_SUCCESS) {
            error = libusbFailed("libusb_open", rc);
            return nullptr;
        }
        auto& unsettled = unsettled_[key];
        if (!unsettled) {
            unsettled = std::make_shared<std::atomic<bool>>(true);
        }
        auto usb = std::make_shared<UsbDevice>(handle, unsettled);
        if (usb->claimError() != 0) {
            error = usb->claimError();
            return nullptr;
        }
        device = usb;
        open_[key] = device;
    }
    if (!static_cast<UsbDevice&>(*device).hasEndpoint(endpoint)) {
        error = ENODEV;
        return nullptr;
    }
    return device;
}

}  // namespace mpusb
