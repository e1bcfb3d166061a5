#include "EmulatedPanel.h"

// <sys/ioctl.h> first: usbdevice_fs.h builds its request codes with its macros.
#include <sys/ioctl.h>

#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <list>
#include <mutex>
#include <set>
#include <stdexcept>
#include <utility>

namespace usbemu {
namespace {

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};
template <typename T>
using GRef = std::unique_ptr<T, GObjectUnref>;

struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};
using GString = std::unique_ptr<gchar, GFree>;

// Device descriptor, then the one configuration with interface 0 (vendor
// class) and its two bulk endpoints of 64 bytes, as sysfs' "descriptors" file
// holds them.
constexpr std::uint8_t kBulkDescriptors[] = {
    // device
    18, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 64, 0xd8, 0x04, 0x0c, 0x00, 0x01, 0x00, 0, 0, 0, 1,
    // configuration 1, 32 bytes in all, one interface, bus powered, 100 mA
    9, 0x02, 32, 0, 1, 1, 0, 0x80, 50,
    // interface 0, alternate 0, two endpoints, vendor specific
    9, 0x04, 0, 0, 2, 0xff, 0x00, 0x00, 0,
    // endpoint 0x01 OUT, bulk, 64 bytes
    7, 0x05, kEndpointOut, 0x02, 64, 0, 0,
    // endpoint 0x81 IN, bulk, 64 bytes
    7, 0x05, kEndpointIn, 0x02, 64, 0, 0};
constexpr std::size_t kEndpointAttributes[] = {18 + 9 + 9 + 3, 18 + 9 + 9 + 7 + 3};
constexpr std::size_t kEndpointIntervals[] = {18 + 9 + 9 + 6, 18 + 9 + 9 + 7 + 6};

// The same with interrupt endpoints polled every frame.
std::vector<std::uint8_t> descriptors(EmulatedPanel::Endpoints endpoints, std::uint16_t product) {
    std::vector<std::uint8_t> d(std::begin(kBulkDescriptors), std::end(kBulkDescriptors));
    d[10] = static_cast<std::uint8_t>(product & 0xFF);  // idProduct, little-endian
    d[11] = static_cast<std::uint8_t>(product >> 8);
    if (endpoints == EmulatedPanel::Endpoints::Interrupt) {
        for (int i = 0; i < 2; ++i) {
            d[kEndpointAttributes[i]] = 0x03;
            d[kEndpointIntervals[i]] = 1;
        }
    }
    return d;
}

// What a current kernel's usbfs advertises for a full-speed device.
constexpr std::uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                        USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                        USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

struct Urb {
    GRef<UMockdevIoctlData> urb;
    GRef<UMockdevIoctlData> buffer;
    UMockdevIoctlClient* owner = nullptr;  // the open file that submitted it

    usbdevfs_urb& fields() const { return *reinterpret_cast<usbdevfs_urb*>(urb->data); }
};

std::string requestName(gulong request) {
    char text[32];
    std::snprintf(text, sizeof text, "ioctl 0x%lx", request);
    return text;
}

}  // namespace

// One life of the device between a plug and an unplug; it has its own node,
// handler and URB queues. Files opened during that life keep talking to it.
struct Incarnation {
    EmulatedPanel::Impl* panel = nullptr;
    int devnum = 0;
    std::string node;     // /dev/bus/usb/001/NNN
    std::string syspath;  // as the testbed returned it
    GRef<UMockdevIoctlBase> handler;
    bool alive = true;
    UMockdevIoctlClient* claimOwner = nullptr;
    std::set<UMockdevIoctlClient*> clients;
    std::deque<Urb> pendingIn;   // IN URBs waiting for a reply
    std::deque<Urb> pendingOut;  // OUT URBs a frozen panel has not taken
    std::deque<Urb> done;        // completed, waiting to be reaped
    std::deque<Report> replies;  // replies waiting for an IN URB
    std::deque<Report> late;     // replies a late panel holds back
    std::string driver;          // kernel driver bound to interface 0
    std::string wantedDriver;    // the one that binds when asked to
};

struct EmulatedPanel::Impl {
    Responder responder;
    EmulatedPanel::Endpoints endpoints = EmulatedPanel::Endpoints::Bulk;
    GRef<UMockdevTestbed> testbed;
    std::string root;
    mutable std::mutex mutex;
    std::list<Incarnation> lives;  // stable addresses: handlers point at them
    Incarnation* current = nullptr;
    int nextDevnum = 2;  // 1 is the root hub's
    bool mute = false;
    bool frozen = false;
    bool late = false;
    std::string driver;  // bound to each new incarnation
    std::uint16_t product = 0x000c;
    Traffic traffic;

    gboolean handle(Incarnation& dev, UMockdevIoctlClient* client);
    void submit(Incarnation& dev, UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void reap(Incarnation& dev, UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void discard(Incarnation& dev, UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    bool claim(Incarnation& dev, UMockdevIoctlClient* client, unsigned interface, int& error);
    void driverRequest(Incarnation& dev, UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void getDriver(Incarnation& dev, UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void serveReplies(Incarnation& dev);
    void takeReport(Incarnation& dev, Urb urb);
    static void finish(Incarnation& dev, Urb urb, int status, int actualLength);
};

namespace {

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
    auto* dev = static_cast<Incarnation*>(data);
    return dev->panel->handle(*dev, client);
}

// Closing a usbfs file releases its interfaces and kills its URBs. umockdev
// drops its client object when the file's socket closes, so the object's end
// is the close.
void onClientGone(gpointer data, GObject* gone) {
    auto* dev = static_cast<Incarnation*>(data);
    auto* client = reinterpret_cast<UMockdevIoctlClient*>(gone);
    std::lock_guard lock(dev->panel->mutex);
    dev->clients.erase(client);
    if (dev->claimOwner == client) {
        dev->claimOwner = nullptr;
    }
    auto owned = [client](const Urb& urb) { return urb.owner == client; };
    std::erase_if(dev->pendingIn, owned);
    std::erase_if(dev->pendingOut, owned);
    std::erase_if(dev->done, owned);
}

void onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
    auto* dev = static_cast<Incarnation*>(data);
    g_object_weak_ref(G_OBJECT(client), onClientGone, dev);
    std::lock_guard lock(dev->panel->mutex);
    dev->clients.insert(client);
}

UMockdevIoctlData* resolve(UMockdevIoctlData* data, std::size_t offset, std::size_t length) {
    return umockdev_ioctl_data_resolve(data, offset, length, nullptr);
}

// Reads a small integer argument (interface or endpoint number) that the
// ioctl passes by pointer.
bool readUint(UMockdevIoctlData* arg, unsigned& value) {
    GRef<UMockdevIoctlData> data(resolve(arg, 0, sizeof(unsigned)));
    if (!data) {
        return false;
    }
    std::memcpy(&value, data->data, sizeof value);
    return true;
}

bool knownEndpoint(unsigned endpoint) {
    return endpoint == kEndpointOut || endpoint == kEndpointIn;
}

}  // namespace

void EmulatedPanel::Impl::finish(Incarnation& dev, Urb urb, int status, int actualLength) {
    urb.fields().status = status;
    urb.fields().actual_length = actualLength;
    dev.done.push_back(std::move(urb));
}

bool EmulatedPanel::Impl::claim(Incarnation& dev, UMockdevIoctlClient* client, unsigned interface,
                                int& error) {
    if (interface != 0) {
        error = ENOENT;
        return false;
    }
    if (dev.claimOwner == client) {
        return true;
    }
    if (dev.claimOwner != nullptr || !dev.driver.empty()) {
        // usbfs lets one open file at a time own an interface, and none while
        // a kernel driver has it; it says so at once.
        ++traffic.refusedClaims;
        error = EBUSY;
        return false;
    }
    dev.claimOwner = client;
    ++traffic.claims;
    return true;
}

void EmulatedPanel::Impl::serveReplies(Incarnation& dev) {
    while (!dev.replies.empty() && !dev.pendingIn.empty()) {
        Urb urb = std::move(dev.pendingIn.front());
        dev.pendingIn.pop_front();
        const Report reply = dev.replies.front();
        dev.replies.pop_front();
        const auto room = static_cast<std::size_t>(std::max(urb.fields().buffer_length, 0));
        const std::size_t copied = std::min(room, reply.size());
        std::memcpy(urb.buffer->data, reply.data(), copied);
        // A buffer smaller than the packet the device sends is babble, as on
        // real hardware.
        const int status = copied < reply.size() ? -EOVERFLOW : 0;
        finish(dev, std::move(urb), status, static_cast<int>(copied));
    }
}

void EmulatedPanel::Impl::submit(Incarnation& dev, UMockdevIoctlClient* client,
                                 UMockdevIoctlData* arg) {
    Urb urb;
    urb.owner = client;
    urb.urb.reset(resolve(arg, 0, sizeof(usbdevfs_urb)));
    if (!urb.urb) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    const usbdevfs_urb& fields = urb.fields();
    if (fields.endpoint == 0) {
        // Control requests are not part of the panel's protocol; a real device
        // would answer standard ones, so note the request and stall it.
        traffic.unexpected.push_back("control URB");
        umockdev_ioctl_client_complete(client, -1, EPIPE);
        return;
    }
    if (!knownEndpoint(fields.endpoint)) {
        umockdev_ioctl_client_complete(client, -1, ENOENT);
        return;
    }
    // usbfs accepts a bulk URB on an interrupt endpoint but not the reverse.
    const bool interrupt = endpoints == EmulatedPanel::Endpoints::Interrupt;
    if (fields.type != USBDEVFS_URB_TYPE_BULK &&
        !(interrupt && fields.type == USBDEVFS_URB_TYPE_INTERRUPT)) {
        traffic.unexpected.push_back("URB of type " + std::to_string(fields.type) + " on " +
                                     (interrupt ? "an interrupt" : "a bulk") + " endpoint");
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    if (fields.buffer_length < 0) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    // usbfs claims the interface on first use when the file has not.
    int error = 0;
    if (!claim(dev, client, 0, error)) {
        umockdev_ioctl_client_complete(client, -1, error);
        return;
    }
    traffic.urbTypes.push_back(fields.type);
    const auto length = static_cast<std::size_t>(fields.buffer_length);
    if (length > 0) {
        urb.buffer.reset(resolve(urb.urb.get(), offsetof(usbdevfs_urb, buffer), length));
        if (!urb.buffer) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return;
        }
    }

    if (fields.endpoint == kEndpointOut) {
        if (frozen) {
            dev.pendingOut.push_back(std::move(urb));
        } else {
            takeReport(dev, std::move(urb));
        }
    } else {
        traffic.inLengths.push_back(length);
        dev.pendingIn.push_back(std::move(urb));
    }
    serveReplies(dev);
    umockdev_ioctl_client_complete(client, 0, 0);
}

void EmulatedPanel::Impl::takeReport(Incarnation& dev, Urb urb) {
    const auto length = static_cast<std::size_t>(urb.fields().buffer_length);
    std::vector<std::uint8_t> bytes(length);
    if (length > 0) {
        std::memcpy(bytes.data(), urb.buffer->data, length);
    }
    traffic.outTransfers.push_back(bytes);
    // The firmware works on whole reports; a short one arrives zero-filled.
    Report out{};
    std::copy_n(bytes.begin(), std::min(length, out.size()), out.begin());
    std::optional<Report> reply = responder(out);
    finish(dev, std::move(urb), 0, static_cast<int>(length));
    if (reply && !mute) {
        (late ? dev.late : dev.replies).push_back(*reply);
    }
}

void EmulatedPanel::Impl::reap(Incarnation& dev, UMockdevIoctlClient* client,
                               UMockdevIoctlData* arg) {
    auto it = std::find_if(dev.done.begin(), dev.done.end(),
                           [client](const Urb& urb) { return urb.owner == client; });
    if (it == dev.done.end()) {
        umockdev_ioctl_client_complete(client, -1, dev.alive ? EAGAIN : ENODEV);
        return;
    }
    Urb urb = std::move(*it);
    dev.done.erase(it);
    GRef<UMockdevIoctlData> slot(resolve(arg, 0, sizeof(void*)));
    if (!slot || !umockdev_ioctl_data_set_ptr(slot.get(), 0, urb.urb.get())) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    umockdev_ioctl_client_complete(client, 0, 0);
}

void EmulatedPanel::Impl::discard(Incarnation& dev, UMockdevIoctlClient* client,
                                  UMockdevIoctlData* arg) {
    // The argument is the URB's address itself, not a pointer to read through.
    gulong address = 0;
    std::memcpy(&address, arg->data, std::min(sizeof address, std::size_t(arg->data_len)));
    auto matches = [&](const Urb& urb) {
        return urb.owner == client && urb.urb->client_addr == address;
    };
    for (std::deque<Urb>* queue : {&dev.pendingIn, &dev.pendingOut}) {
        auto it = std::find_if(queue->begin(), queue->end(), matches);
        if (it != queue->end()) {
            Urb urb = std::move(*it);
            queue->erase(it);
            ++traffic.discards;
            finish(dev, std::move(urb), -ENOENT, 0);
            umockdev_ioctl_client_complete(client, 0, 0);
            return;
        }
    }
    // Already completed (or never known): the kernel says EINVAL and the URB
    // is reaped as it is.
    umockdev_ioctl_client_complete(client, -1, EINVAL);
}

void EmulatedPanel::Impl::getDriver(Incarnation& dev, UMockdevIoctlClient* client,
                                    UMockdevIoctlData* arg) {
    GRef<UMockdevIoctlData> data(resolve(arg, 0, sizeof(usbdevfs_getdriver)));
    if (!data) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    auto* request = reinterpret_cast<usbdevfs_getdriver*>(data->data);
    // An interface claimed through usbfs shows usbfs as its driver.
    const std::string name = dev.claimOwner != nullptr ? std::string("usbfs") : dev.driver;
    if (request->interface != 0 || name.empty()) {
        umockdev_ioctl_client_complete(client, -1, ENODATA);
        return;
    }
    std::snprintf(request->driver, sizeof request->driver, "%s", name.c_str());
    umockdev_ioctl_client_complete(client, 0, 0);
}

// USBDEVFS_IOCTL: the driver-level requests a host sends to one interface.
void EmulatedPanel::Impl::driverRequest(Incarnation& dev, UMockdevIoctlClient* client,
                                        UMockdevIoctlData* arg) {
    GRef<UMockdevIoctlData> data(resolve(arg, 0, sizeof(usbdevfs_ioctl)));
    if (!data) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    const auto* request = reinterpret_cast<usbdevfs_ioctl*>(data->data);
    if (request->ifno != 0) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    switch (request->ioctl_code) {
        case USBDEVFS_DISCONNECT:
            if (dev.driver.empty()) {
                umockdev_ioctl_client_complete(client, -1, ENODATA);
                return;
            }
            dev.driver.clear();
            ++traffic.driverDetaches;
            umockdev_ioctl_client_complete(client, 0, 0);
            return;
        case USBDEVFS_CONNECT:
            // The kernel probes drivers for a free interface; one bound or
            // claimed already makes it EBUSY.
            if (!dev.driver.empty() || dev.claimOwner != nullptr) {
                umockdev_ioctl_client_complete(client, -1, EBUSY);
                return;
            }
            // It answers 1 when a driver bound, 0 when none would.
            if (dev.wantedDriver.empty()) {
                umockdev_ioctl_client_complete(client, 0, 0);
                return;
            }
            dev.driver = dev.wantedDriver;
            ++traffic.driverAttaches;
            umockdev_ioctl_client_complete(client, 1, 0);
            return;
        default:
            traffic.unexpected.push_back("driver " + requestName(gulong(request->ioctl_code)));
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            return;
    }
}

gboolean EmulatedPanel::Impl::handle(Incarnation& dev, UMockdevIoctlClient* client) {
    std::lock_guard lock(mutex);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);

    if (!dev.alive) {
        // Completed URBs can still be reaped after a disconnect; all else fails.
        if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
            reap(dev, client, arg);
        } else {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
        }
        return TRUE;
    }

    int error = 0;
    unsigned value = 0;
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            GRef<UMockdevIoctlData> data(resolve(arg, 0, sizeof(std::uint32_t)));
            if (!data) {
                umockdev_ioctl_client_complete(client, -1, EFAULT);
                break;
            }
            std::memcpy(data->data, &kCapabilities, sizeof kCapabilities);
            umockdev_ioctl_client_complete(client, 0, 0);
            break;
        }
        case USBDEVFS_CLAIMINTERFACE:
            if (!readUint(arg, value)) {
                umockdev_ioctl_client_complete(client, -1, EFAULT);
            } else if (claim(dev, client, value, error)) {
                umockdev_ioctl_client_complete(client, 0, 0);
            } else {
                umockdev_ioctl_client_complete(client, -1, error);
            }
            break;
        case USBDEVFS_DISCONNECT_CLAIM: {
            GRef<UMockdevIoctlData> data(resolve(arg, 0, sizeof(usbdevfs_disconnect_claim)));
            if (!data) {
                umockdev_ioctl_client_complete(client, -1, EFAULT);
                break;
            }
            const auto* request = reinterpret_cast<usbdevfs_disconnect_claim*>(data->data);
            // Unbinds the kernel's driver first, unless told to keep that one.
            const bool keep = ((request->flags & USBDEVFS_DISCONNECT_CLAIM_IF_DRIVER) &&
                               dev.driver != request->driver) ||
                              ((request->flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER) &&
                               dev.driver == request->driver);
            if (request->interface == 0 && !dev.driver.empty() && !keep) {
                dev.driver.clear();
                ++traffic.driverDetaches;
            }
            if (claim(dev, client, request->interface, error)) {
                umockdev_ioctl_client_complete(client, 0, 0);
            } else {
                umockdev_ioctl_client_complete(client, -1, error);
            }
            break;
        }
        case USBDEVFS_RELEASEINTERFACE:
            if (!readUint(arg, value)) {
                umockdev_ioctl_client_complete(client, -1, EFAULT);
            } else if (value != 0 || dev.claimOwner != client) {
                umockdev_ioctl_client_complete(client, -1, EINVAL);
            } else {
                dev.claimOwner = nullptr;
                ++traffic.releases;
                umockdev_ioctl_client_complete(client, 0, 0);
            }
            break;
        case USBDEVFS_GETDRIVER:
            getDriver(dev, client, arg);
            break;
        case USBDEVFS_IOCTL:
            driverRequest(dev, client, arg);
            break;
        case USBDEVFS_SETCONFIGURATION:
            if (readUint(arg, value) && (value == 1 || value == unsigned(-1) || value == 0)) {
                umockdev_ioctl_client_complete(client, 0, 0);
            } else {
                umockdev_ioctl_client_complete(client, -1, EINVAL);
            }
            break;
        case USBDEVFS_SETINTERFACE: {
            GRef<UMockdevIoctlData> data(resolve(arg, 0, sizeof(usbdevfs_setinterface)));
            const auto* set = data ? reinterpret_cast<usbdevfs_setinterface*>(data->data) : nullptr;
            const bool ok = set != nullptr && set->interface == 0 && set->altsetting == 0;
            umockdev_ioctl_client_complete(client, ok ? 0 : -1, ok ? 0 : EINVAL);
            break;
        }
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
            if (readUint(arg, value) && knownEndpoint(value)) {
                umockdev_ioctl_client_complete(client, 0, 0);
            } else {
                umockdev_ioctl_client_complete(client, -1, ENOENT);
            }
            break;
        case USBDEVFS_RESET:
            umockdev_ioctl_client_complete(client, 0, 0);
            break;
        case USBDEVFS_SUBMITURB:
            submit(dev, client, arg);
            break;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            reap(dev, client, arg);
            break;
        case USBDEVFS_DISCARDURB:
            discard(dev, client, arg);
            break;
        default:
            traffic.unexpected.push_back(requestName(request));
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            break;
    }
    return TRUE;
}

EmulatedPanel::EmulatedPanel(Responder responder, Endpoints endpoints)
    : impl_(std::make_unique<Impl>()) {
    impl_->responder = std::move(responder);
    impl_->endpoints = endpoints;
    impl_->testbed.reset(umockdev_testbed_new());
    if (!impl_->testbed) {
        throw std::runtime_error("cannot create the umockdev testbed");
    }
    GString root(umockdev_testbed_get_root_dir(impl_->testbed.get()));
    impl_->root = root.get();
}

EmulatedPanel::~EmulatedPanel() {
    if (isPlugged()) {
        unplug();
    }
    {
        // Clients that outlive the panel must not call back into it.
        std::lock_guard lock(impl_->mutex);
        for (Incarnation& dev : impl_->lives) {
            for (UMockdevIoctlClient* client : dev.clients) {
                g_object_weak_unref(G_OBJECT(client), onClientGone, &dev);
            }
            dev.clients.clear();
        }
    }
    // The testbed goes first: it stops the handler threads that use the lives.
    impl_->testbed.reset();
}

void EmulatedPanel::plug() {
    if (isPlugged()) {
        return;
    }
    Incarnation* dev = nullptr;
    {
        std::lock_guard lock(impl_->mutex);
        dev = &impl_->lives.emplace_back();
        dev->panel = impl_.get();
        dev->driver = dev->wantedDriver = impl_->driver;
        dev->devnum = impl_->nextDevnum++;
    }
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", dev->devnum);
    dev->node = node;
    const std::string devnum = std::to_string(dev->devnum);
    const std::string devnumPadded = node + std::strlen("/dev/bus/usb/001/");

    // The node must exist as a file before the device is announced, or libusb
    // finds the device but cannot open it.
    const std::filesystem::path file = impl_->root + dev->node;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream{file};

    dev->handler.reset(umockdev_ioctl_base_new());
    g_signal_connect(dev->handler.get(), "handle-ioctl", G_CALLBACK(onIoctl), dev);
    g_signal_connect(dev->handler.get(), "client-connected", G_CALLBACK(onConnected), dev);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(impl_->testbed.get(), dev->node.c_str(), dev->handler.get(),
                                       &error)) {
        const std::string message = error != nullptr ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot attach the usbfs handler: " + message);
    }

    const std::string name = "usb1/1-1";
    char productText[8];
    std::snprintf(productText, sizeof productText, "%04x\n", unsigned{impl_->product});
    char productProperty[16];
    std::snprintf(productProperty, sizeof productProperty, "4d8/%x/1", unsigned{impl_->product});
    GString syspath(umockdev_testbed_add_device(
        impl_->testbed.get(), "usb", name.c_str(), nullptr,
        // sysfs attributes, newline-terminated as the kernel writes them
        "busnum", "1\n", "devnum", (devnum + "\n").c_str(), "idVendor", "04d8\n", "idProduct",
        productText, "bcdDevice", "0001\n", "speed", "12\n", "bConfigurationValue", "1\n",
        "bNumConfigurations", "1\n", "bDeviceClass", "00\n", "bMaxPacketSize0", "64\n", nullptr,
        // udev properties
        "DEVNAME", dev->node.c_str(), "DEVTYPE", "usb_device", "DRIVER", "usb", "BUSNUM", "001",
        "DEVNUM", devnumPadded.c_str(), "PRODUCT", productProperty, nullptr));
    if (!syspath) {
        throw std::runtime_error("cannot add the USB device to the testbed");
    }
    dev->syspath = syspath.get();
    std::vector<std::uint8_t> bytes = descriptors(impl_->endpoints, impl_->product);
    umockdev_testbed_set_attribute_binary(impl_->testbed.get(), dev->syspath.c_str(), "descriptors",
                                          bytes.data(), bytes.size());
    // add_device announced the device before its descriptors existed; a
    // listener that read too early gets a second announcement now.
    umockdev_testbed_uevent(impl_->testbed.get(), dev->syspath.c_str(), "add");

    std::lock_guard lock(impl_->mutex);
    impl_->current = dev;
}

void EmulatedPanel::setProductId(std::uint16_t product) {
    impl_->product = product;
}

void EmulatedPanel::unplug() {
    Incarnation* dev = nullptr;
    {
        std::lock_guard lock(impl_->mutex);
        dev = std::exchange(impl_->current, nullptr);
        if (dev == nullptr) {
            return;
        }
        dev->alive = false;
        dev->claimOwner = nullptr;
        dev->replies.clear();
        dev->late.clear();
        // The host controller gives back what was in flight.
        for (std::deque<Urb>* queue : {&dev->pendingIn, &dev->pendingOut}) {
            for (Urb& urb : *queue) {
                Impl::finish(*dev, std::move(urb), -ESHUTDOWN, 0);
            }
            queue->clear();
        }
    }
    umockdev_testbed_uevent(impl_->testbed.get(), dev->syspath.c_str(), "remove");
    umockdev_testbed_remove_device(impl_->testbed.get(), dev->syspath.c_str());
    std::error_code ignored;
    std::filesystem::remove(impl_->root + dev->node, ignored);
    // The handler stays attached: files still open on the old node must get
    // ENODEV, not the plain file's ENOTTY.
}

bool EmulatedPanel::isPlugged() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->current != nullptr;
}

void EmulatedPanel::setMute(bool mute) {
    std::lock_guard lock(impl_->mutex);
    impl_->mute = mute;
    if (mute && impl_->current != nullptr) {
        impl_->current->replies.clear();
    }
}

void EmulatedPanel::setFrozen(bool frozen) {
    std::lock_guard lock(impl_->mutex);
    impl_->frozen = frozen;
    Incarnation* dev = impl_->current;
    if (frozen || dev == nullptr) {
        return;
    }
    // Reports that waited are taken now, in order.
    while (!dev->pendingOut.empty()) {
        Urb urb = std::move(dev->pendingOut.front());
        dev->pendingOut.pop_front();
        impl_->takeReport(*dev, std::move(urb));
    }
    impl_->serveReplies(*dev);
}

void EmulatedPanel::setLate(bool late) {
    std::lock_guard lock(impl_->mutex);
    impl_->late = late;
}

void EmulatedPanel::deliverLate() {
    std::lock_guard lock(impl_->mutex);
    Incarnation* dev = impl_->current;
    if (dev == nullptr) {
        return;
    }
    while (!dev->late.empty()) {
        dev->replies.push_back(dev->late.front());
        dev->late.pop_front();
    }
    impl_->serveReplies(*dev);
}

void EmulatedPanel::dropWaitingReplies() {
    std::lock_guard lock(impl_->mutex);
    if (Incarnation* dev = impl_->current) {
        dev->replies.clear();
        dev->late.clear();
    }
}

void EmulatedPanel::setKernelDriver(const std::string& name) {
    std::lock_guard lock(impl_->mutex);
    impl_->driver = name;
    if (Incarnation* dev = impl_->current) {
        dev->driver = dev->wantedDriver = name;
    }
}

std::string EmulatedPanel::kernelDriver() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->current != nullptr ? impl_->current->driver : std::string();
}

EmulatedPanel::Traffic EmulatedPanel::traffic() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->traffic;
}

void EmulatedPanel::clearTraffic() {
    std::lock_guard lock(impl_->mutex);
    impl_->traffic = Traffic{};
}

bool EmulatedPanel::interfaceClaimed() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->current != nullptr && impl_->current->claimOwner != nullptr;
}

int EmulatedPanel::openFiles() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->current != nullptr ? static_cast<int>(impl_->current->clients.size()) : 0;
}

std::string EmulatedPanel::rootDir() const {
    return impl_->root;
}

std::string EmulatedPanel::deviceNode() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->current != nullptr ? impl_->current->node : std::string();
}

}  // namespace usbemu
