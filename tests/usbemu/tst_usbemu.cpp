// The emulated panel itself, driven through libusb directly: if these fail,
// a failure of the library's end-to-end test says nothing about the library.
#include <libusb.h>

#include <QElapsedTimer>
#include <QTest>

#include <memory>
#include <optional>

#include "EmulatedPanel.h"

using usbemu::EmulatedPanel;
using usbemu::Report;

namespace {

// Answers every report with 0xAA followed by the report's bytes 1..63 so a
// test can tell the reply belongs to the request.
std::optional<Report> echo(const Report& out) {
    Report reply = out;
    reply[0] = 0xAA;
    return reply;
}

struct HandleClose {
    void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};
using Handle = std::unique_ptr<libusb_device_handle, HandleClose>;

Report numbered(std::uint8_t first) {
    Report report{};
    for (std::size_t i = 0; i < report.size(); ++i) {
        report[i] = static_cast<std::uint8_t>(first + i);
    }
    return report;
}

}  // namespace

class TestUsbEmu : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<EmulatedPanel> panel_;
    libusb_context* ctx_ = nullptr;

    int panelsListed() {
        libusb_device** list = nullptr;
        const ssize_t n = libusb_get_device_list(ctx_, &list);
        int found = 0;
        for (ssize_t i = 0; i < n; ++i) {
            libusb_device_descriptor desc{};
            if (libusb_get_device_descriptor(list[i], &desc) == 0 &&
                desc.idVendor == usbemu::kVendorId && desc.idProduct == usbemu::kProductId) {
                ++found;
            }
        }
        libusb_free_device_list(list, 1);
        return found;
    }

    Handle openPanel() {
        return Handle(libusb_open_device_with_vid_pid(ctx_, usbemu::kVendorId, usbemu::kProductId));
    }

private slots:
    void initTestCase() {
        panel_ = std::make_unique<EmulatedPanel>(echo);
        panel_->plug();
        QCOMPARE(libusb_init(&ctx_), 0);
    }

    void cleanupTestCase() {
        libusb_exit(ctx_);
        panel_.reset();
    }

    void init() {
        if (!panel_->isPlugged()) {
            panel_->plug();
        }
        panel_->setMute(false);
        panel_->setFrozen(false);
        panel_->setLate(false);
        panel_->setKernelDriver("");
        panel_->dropWaitingReplies();
        panel_->clearTraffic();
    }

    void cleanup() { QVERIFY2(panel_->traffic().unexpected.empty(), "unserved requests"); }

    void descriptorsAsTheKernelShowsThem() {
        QTRY_COMPARE(panelsListed(), 1);
        Handle handle = openPanel();
        QVERIFY(handle);
        libusb_config_descriptor* config = nullptr;
        QCOMPARE(libusb_get_active_config_descriptor(libusb_get_device(handle.get()), &config), 0);
        QCOMPARE(int(config->bNumInterfaces), 1);
        const libusb_interface_descriptor& intf = config->interface[0].altsetting[0];
        QCOMPARE(int(intf.bNumEndpoints), 2);
        QCOMPARE(int(intf.endpoint[0].bEndpointAddress), int(usbemu::kEndpointOut));
        QCOMPARE(int(intf.endpoint[1].bEndpointAddress), int(usbemu::kEndpointIn));
        QCOMPARE(int(intf.endpoint[0].wMaxPacketSize), 64);
        QCOMPARE(int(intf.endpoint[1].wMaxPacketSize), 64);
        libusb_free_config_descriptor(config);
    }

    void reportsTravelBothWays() {
        Handle handle = openPanel();
        QVERIFY(handle);
        QCOMPARE(libusb_claim_interface(handle.get(), 0), 0);
        QVERIFY(panel_->interfaceClaimed());

        Report out = numbered(0x10);
        int moved = 0;
        QCOMPARE(libusb_bulk_transfer(handle.get(), usbemu::kEndpointOut, out.data(),
                                      int(out.size()), &moved, 500),
                 0);
        QCOMPARE(moved, 64);
        Report in{};
        QCOMPARE(libusb_bulk_transfer(handle.get(), usbemu::kEndpointIn, in.data(), int(in.size()),
                                      &moved, 500),
                 0);
        QCOMPARE(moved, 64);
        Report expected = out;
        expected[0] = 0xAA;
        QVERIFY(in == expected);

        QCOMPARE(libusb_release_interface(handle.get(), 0), 0);
        QVERIFY(!panel_->interfaceClaimed());
        const EmulatedPanel::Traffic traffic = panel_->traffic();
        QCOMPARE(traffic.outTransfers.size(), std::size_t(1));
        QVERIFY(std::equal(out.begin(), out.end(), traffic.outTransfers[0].begin(),
                           traffic.outTransfers[0].end()));
        QCOMPARE(traffic.claims, 1);
        QCOMPARE(traffic.releases, 1);
    }

    void unansweredReadTimesOut() {
        panel_->setMute(true);
        Handle handle = openPanel();
        QVERIFY(handle);
        QCOMPARE(libusb_claim_interface(handle.get(), 0), 0);
        Report out = numbered(0);
        int moved = 0;
        QCOMPARE(libusb_bulk_transfer(handle.get(), usbemu::kEndpointOut, out.data(),
                                      int(out.size()), &moved, 500),
                 0);
        Report in{};
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(libusb_bulk_transfer(handle.get(), usbemu::kEndpointIn, in.data(), int(in.size()),
                                      &moved, 200),
                 int(LIBUSB_ERROR_TIMEOUT));
        const qint64 elapsed = clock.elapsed();
        // Never early; late only by what a loaded machine may add.
        QVERIFY2(elapsed >= 200 && elapsed < 200 + 3 * 100, qPrintable(QString::number(elapsed)));
        QCOMPARE(panel_->traffic().discards, 1);
    }

    void untakenWriteTimesOutAndIsNeverDelivered() {
        panel_->setFrozen(true);
        Handle handle = openPanel();
        QVERIFY(handle);
        QCOMPARE(libusb_claim_interface(handle.get(), 0), 0);
        Report out = numbered(0);
        int moved = 0;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(libusb_bulk_transfer(handle.get(), usbemu::kEndpointOut, out.data(),
                                      int(out.size()), &moved, 200),
                 int(LIBUSB_ERROR_TIMEOUT));
        QVERIFY(clock.elapsed() >= 200);
        panel_->setFrozen(false);
        QVERIFY(panel_->traffic().outTransfers.empty());
        QCOMPARE(libusb_bulk_transfer(handle.get(), usbemu::kEndpointOut, out.data(),
                                      int(out.size()), &moved, 200),
                 0);
        QCOMPARE(panel_->traffic().outTransfers.size(), std::size_t(1));
    }

    // usbfs gives an interface to one open file at a time, and refuses the
    // second at once.
    void secondFileCannotClaim() {
        Handle first = openPanel();
        Handle second = openPanel();
        QVERIFY(first && second);
        QCOMPARE(libusb_claim_interface(first.get(), 0), 0);
        QCOMPARE(libusb_claim_interface(second.get(), 0), int(LIBUSB_ERROR_BUSY));
        QCOMPARE(panel_->traffic().refusedClaims, 1);
        QCOMPARE(libusb_claim_interface(first.get(), 1), int(LIBUSB_ERROR_NOT_FOUND));
        // Closing the file frees the interface; the emulation hears of the
        // close a moment later than the kernel would.
        first.reset();
        QTRY_COMPARE(libusb_claim_interface(second.get(), 0), 0);
    }

    // A bound kernel driver keeps a plain claim out; detaching gives the
    // interface to usbfs, attaching gives it back.
    void kernelDriverHoldsTheInterface() {
        panel_->setKernelDriver("usbhid");
        Handle handle = openPanel();
        QVERIFY(handle);
        QCOMPARE(libusb_kernel_driver_active(handle.get(), 0), 1);
        QCOMPARE(libusb_claim_interface(handle.get(), 0), int(LIBUSB_ERROR_BUSY));
        QCOMPARE(libusb_detach_kernel_driver(handle.get(), 0), 0);
        QCOMPARE(libusb_kernel_driver_active(handle.get(), 0), 0);
        QCOMPARE(libusb_claim_interface(handle.get(), 0), 0);
        QCOMPARE(libusb_attach_kernel_driver(handle.get(), 0), int(LIBUSB_ERROR_BUSY));
        QCOMPARE(libusb_release_interface(handle.get(), 0), 0);
        QCOMPARE(libusb_attach_kernel_driver(handle.get(), 0), 0);
        QCOMPARE(panel_->kernelDriver(), std::string("usbhid"));
        const EmulatedPanel::Traffic traffic = panel_->traffic();
        QCOMPARE(traffic.driverDetaches, 1);
        QCOMPARE(traffic.driverAttaches, 1);
    }

    // A reply held back past the read's time-out waits for the next IN transfer.
    void lateReplyComesAfterTheTimeOut() {
        panel_->setLate(true);
        Handle handle = openPanel();
        QVERIFY(handle);
        QCOMPARE(libusb_claim_interface(handle.get(), 0), 0);
        Report out = numbered(0x20);
        int moved = 0;
        QCOMPARE(libusb_bulk_transfer(handle.get(), usbemu::kEndpointOut, out.data(),
                                      int(out.size()), &moved, 200),
                 0);
        Report in{};
        QCOMPARE(libusb_bulk_transfer(handle.get(), usbemu::kEndpointIn, in.data(), int(in.size()),
                                      &moved, 100),
                 int(LIBUSB_ERROR_TIMEOUT));
        panel_->deliverLate();
        QCOMPARE(libusb_bulk_transfer(handle.get(), usbemu::kEndpointIn, in.data(), int(in.size()),
                                      &moved, 200),
                 0);
        QCOMPARE(int(in[1]), 0x21);
    }

    void interruptTransferOnBulkEndpointIsRefused() {
        Handle handle = openPanel();
        QVERIFY(handle);
        QCOMPARE(libusb_claim_interface(handle.get(), 0), 0);
        Report out{};
        int moved = 0;
        QVERIFY(libusb_interrupt_transfer(handle.get(), usbemu::kEndpointOut, out.data(),
                                          int(out.size()), &moved, 200) != 0);
        QVERIFY(panel_->traffic().outTransfers.empty());
        panel_->clearTraffic();  // the refusal was the point
    }

    void unplugEndsTransfersAndReplugGivesNewAddress() {
        Handle handle = openPanel();
        QVERIFY(handle);
        const int firstAddress = libusb_get_device_address(libusb_get_device(handle.get()));
        QCOMPARE(libusb_claim_interface(handle.get(), 0), 0);
        panel_->unplug();

        Report out{};
        int moved = 0;
        QCOMPARE(libusb_bulk_transfer(handle.get(), usbemu::kEndpointOut, out.data(),
                                      int(out.size()), &moved, 200),
                 int(LIBUSB_ERROR_NO_DEVICE));
        handle.reset();
        QTRY_COMPARE(panelsListed(), 0);
        QVERIFY(!openPanel());

        panel_->plug();
        QTRY_COMPARE(panelsListed(), 1);
        handle = openPanel();
        QVERIFY(handle);
        QVERIFY(libusb_get_device_address(libusb_get_device(handle.get())) != firstAddress);
        QCOMPARE(libusb_claim_interface(handle.get(), 0), 0);
        QCOMPARE(libusb_bulk_transfer(handle.get(), usbemu::kEndpointOut, out.data(),
                                      int(out.size()), &moved, 200),
                 0);
    }

    // A context started after the unplug scans sysfs afresh.
    void freshContextSeesWhatIsPlugged() {
        panel_->unplug();
        libusb_context* fresh = nullptr;
        QCOMPARE(libusb_init(&fresh), 0);
        libusb_device** list = nullptr;
        QCOMPARE(libusb_get_device_list(fresh, &list), ssize_t(0));
        libusb_free_device_list(list, 1);
        libusb_exit(fresh);
    }
};

QTEST_GUILESS_MAIN(TestUsbEmu)
#include "tst_usbemu.moc"
