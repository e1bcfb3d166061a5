#include "LibusbBackend.h"

#include <libusb.h>

#include <array>

namespace mpusb {

namespace {

constexpr int kInterface = 0;

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

class UsbDevice final : public Device {
public:
    // Takes an opened handle; the device is usable only if claimed() is true.
    explicit UsbDevice(libusb_device_handle* handle) : handle_(handle) {
        // Bound kernel drivers are detached on claim and given back on release;
        // platforms without kernel drivers say NOT_SUPPORTED, which is fine.
        libusb_set_auto_detach_kernel_driver(handle_, 1);
        claimed_ = libusb_claim_interface(handle_, kInterface) == LIBUSB_SUCCESS;
        if (claimed_) {
            readEndpointTypes();
        }
    }
    ~UsbDevice() override {
        if (claimed_) {
            libusb_release_interface(handle_, kInterface);
        }
        libusb_close(handle_);
    }
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;

    bool claimed() const { return claimed_; }
    bool hasEndpoint(std::uint8_t address) const { return types_[index(address)] >= 0; }

    bool write(std::uint8_t endpoint, const std::uint8_t* data, std::uint32_t size,
               std::uint32_t& transferred, std::uint32_t timeoutMs) override {
        return transfer(endpoint, const_cast<std::uint8_t*>(data), size, transferred, timeoutMs);
    }
    bool read(std::uint8_t endpoint, std::uint8_t* data, std::uint32_t size,
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

    bool transfer(std::uint8_t endpoint, std::uint8_t* data, std::uint32_t size,
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
        return rc == LIBUSB_SUCCESS;
    }

    libusb_device_handle* handle_;
    bool claimed_ = false;
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
        if (libusb_init(&raw) == LIBUSB_SUCCESS) {
            context_.reset(raw);
        }
    }
    return context_.get();
}

std::uint32_t LibusbBackend::count(const DeviceId& id) {
    const std::lock_guard lock(mutex_);
    libusb_context* ctx = context();
    if (ctx == nullptr) {
        return 0;
    }
    libusb_device** raw = nullptr;
    const ssize_t n = libusb_get_device_list(ctx, &raw);
    if (n < 0) {
        return 0;
    }
    const DeviceList list(raw);
    std::uint32_t found = 0;
    for (ssize_t i = 0; i < n; ++i) {
        found += matches(raw[i], id) ? 1 : 0;
    }
    return found;
}

std::shared_ptr<Device> LibusbBackend::open(std::uint32_t instance, const DeviceId& id,
                                            std::uint8_t endpoint) {
    const std::lock_guard lock(mutex_);
    libusb_context* ctx = context();
    if (ctx == nullptr) {
        return nullptr;
    }
    libusb_device** raw = nullptr;
    const ssize_t n = libusb_get_device_list(ctx, &raw);
    if (n < 0) {
        return nullptr;
    }
    const DeviceList list(raw);
    libusb_device* chosen = nullptr;
    std::uint32_t seen = 0;
    for (ssize_t i = 0; i < n && chosen == nullptr; ++i) {
        if (matches(raw[i], id) && seen++ == instance) {
            chosen = raw[i];
        }
    }
    if (chosen == nullptr) {
        return nullptr;
    }
    std::erase_if(open_, [](const auto& entry) { return entry.second.expired(); });
    const auto key =
        std::make_pair(libusb_get_bus_number(chosen), libusb_get_device_address(chosen));
    std::shared_ptr<Device> device = open_[key].lock();
    if (!device) {
        libusb_device_handle* handle = nullptr;
        if (libusb_open(chosen, &handle) != LIBUSB_SUCCESS) {
            return nullptr;
        }
        auto usb = std::make_shared<UsbDevice>(handle);
        if (!usb->claimed()) {
            return nullptr;
        }
        device = usb;
        open_[key] = device;
    }
    if (!static_cast<UsbDevice&>(*device).hasEndpoint(endpoint)) {
        return nullptr;
    }
    return device;
}

}  // namespace mpusb
