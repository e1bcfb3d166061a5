// The built libmpusbapi.so, loaded as lumiboard loads it and called through
// its six entry points, against the panel's firmware behind an emulated
// kernel USB interface: libusb and the library run unchanged. Built twice:
// against bulk endpoints, and (USBEMU_INTERRUPT) against interrupt ones.
#include <grp.h>
#include <libusb.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <linux/usbdevice_fs.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "EmulatedPanel.h"
#include "MpusbLibrary.h"
#include "OpenTestbed.h"
#include "PanelFirmware.h"

using usbemu::EmulatedPanel;
using usbemu::Report;

namespace {

constexpr char kDeviceId[] = "vid_04d8&pid_000c";
constexpr char kEndpoint[] = "\\MCHP_EP1";
constexpr std::uint32_t kWriteTimeoutMs = 1000;
constexpr std::uint32_t kReadTimeoutMs = 1000;

#ifdef USBEMU_INTERRUPT
constexpr EmulatedPanel::Endpoints kEndpoints = EmulatedPanel::Endpoints::Interrupt;
constexpr int kUrbType = USBDEVFS_URB_TYPE_INTERRUPT;
#else
constexpr EmulatedPanel::Endpoints kEndpoints = EmulatedPanel::Endpoints::Bulk;
constexpr int kUrbType = USBDEVFS_URB_TYPE_BULK;
#endif

// The uid and gid of "nobody", for the run as an ordinary user.
constexpr uid_t kNobody = 65534;

// A fixed instant and a host clock that reads it as local time, so a clock
// written to the panel reads back unchanged.
panelsim::PanelFirmware fixedClockFirmware() {
    const auto instant = std::chrono::system_clock::time_point(std::chrono::seconds(1247562300));
    return panelsim::PanelFirmware(
        [instant] { return instant; },
        [](std::chrono::system_clock::time_point t) {
            return std::int64_t(
                std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count());
        });
}

Report request(std::uint8_t command, std::uint8_t argument = 0) {
    Report out{};
    out[0] = command;
    out[1] = argument;
    return out;
}

}  // namespace

class TestMpusbapiUsb : public QObject {
    Q_OBJECT

private:
    panelsim::PanelFirmware firmware_ = fixedClockFirmware();
    std::unique_ptr<EmulatedPanel> panel_;
    MpusbLibrary api_;

    std::uint32_t count(const char* id = kDeviceId) { return api_.count(id); }
    std::uint32_t openPipe(std::uint32_t direction, const char* id = kDeviceId,
                           const char* endpoint = kEndpoint, std::uint32_t instance = 0) {
        return api_.open(instance, id, endpoint, direction, 0);
    }

    // Both pipes of one operation, closed read pipe first as lumiboard does.
    struct Pipes {
        const MpusbLibrary& api;
        std::uint32_t write;
        std::uint32_t read;
        ~Pipes() {
            api.close(read);
            api.close(write);
        }
    };
    Pipes openBoth() {
        const std::uint32_t write = openPipe(MPUSB_DIR_WRITE);
        return Pipes{api_, write, openPipe(MPUSB_DIR_READ)};
    }

    bool send(const Pipes& pipes, Report out) {
        std::uint32_t moved = 0;
        return api_.write(pipes.write, out.data(), std::uint32_t(out.size()), &moved,
                          kWriteTimeoutMs) != 0 &&
               moved == out.size();
    }
    std::optional<Report> receive(const Pipes& pipes, std::uint32_t timeoutMs = kReadTimeoutMs) {
        Report in{};
        std::uint32_t moved = 0;
        if (api_.read(pipes.read, in.data(), std::uint32_t(in.size()), &moved, timeoutMs) == 0) {
            return std::nullopt;
        }
        if (moved != in.size()) {
            return std::nullopt;
        }
        return in;
    }

    // One text read exchange, as the program does it.
    std::optional<Report> readText() {
        const Pipes pipes = openBoth();
        if (!send(pipes, request(panelsim::kCmdReadText))) {
            return std::nullopt;
        }
        return receive(pipes);
    }

    std::optional<Report> readClock() {
        const Pipes pipes = openBoth();
        if (!send(pipes, request(panelsim::kCmdReadClock))) {
            return std::nullopt;
        }
        return receive(pipes);
    }

    // Runs usbemu_probe (count and both opens) as nobody, or, when this test
    // is not root, as ourselves with the node closed to us.
    QByteArray probeAsOrdinaryUser(const QByteArray& debug, QByteArray& errors) {
        const std::string node = panel_->rootDir() + panel_->deviceNode();
        openTestbedToAll(panel_->rootDir(), panel_->deviceNode());
        const bool root = ::geteuid() == 0;
        if (!root) {
            std::filesystem::permissions(node, std::filesystem::perms::none);
        }
        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("MPUSBAPI_DEBUG", QString::fromLatin1(debug));
        probe.setProcessEnvironment(env);
        if (root) {
            probe.setChildProcessModifier([] {
                // In the child, before exec: drop every privilege for good.
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 ||
                    ::setuid(kNobody) != 0) {
                    ::_exit(125);
                }
            });
        }
        probe.start(qEnvironmentVariable("USBEMU_PROBE"), {});
        const bool finished = probe.waitForFinished(30000);
        if (!root) {
            std::filesystem::permissions(
                node, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        }
        errors = probe.readAllStandardError();
        return finished && probe.exitCode() == 0 ? probe.readAllStandardOutput().trimmed()
                                                 : QByteArray("probe failed: ") + errors;
    }

    // Runs usbemu_probe as ourselves with MPUSBAPI_DEBUG as given; its stderr.
    QByteArray probeDebugLines(const QByteArray& debug) {
        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("MPUSBAPI_DEBUG", QString::fromLatin1(debug));
        probe.setProcessEnvironment(env);
        probe.start(qEnvironmentVariable("USBEMU_PROBE"), {});
        return probe.waitForFinished(30000) ? probe.readAllStandardError() : "probe hung";
    }

private slots:
    void initTestCase() {
        // The socket backend would take over; this test is about libusb.
        qunsetenv("MPUSBAPI_VIRTUAL");
        panel_ = std::make_unique<EmulatedPanel>(
            [this](const Report& out) { return firmware_.handle(out); }, kEndpoints);
        panel_->plug();
        QVERIFY2(!qEnvironmentVariableIsEmpty("LUMI_BIN_DIR"),
                 "LUMI_BIN_DIR names the folder of libmpusbapi.so");
        QVERIFY2(api_.load(), qPrintable(api_.library.errorString()));
    }

    void cleanupTestCase() {
        // The library's libusb context ends while the testbed still exists.
        api_.library.unload();
        panel_.reset();
    }

    void init() {
        if (!panel_->isPlugged()) {
            panel_->plug();
            QTRY_COMPARE(count(), 1u);
        }
        panel_->setMute(false);
        panel_->setFrozen(false);
        panel_->setLate(false);
        panel_->setKernelDriver("");
        panel_->clearTraffic();
    }

    void cleanup() {
        const EmulatedPanel::Traffic traffic = panel_->traffic();
        QVERIFY2(traffic.unexpected.empty(),
                 traffic.unexpected.empty() ? "" : traffic.unexpected.front().c_str());
        // Closing both pipes must give the interface back, or the next
        // operation (or another program) finds the panel busy.
        QVERIFY(!panel_->interfaceClaimed());
    }

    void countsThePresentPanel() { QCOMPARE(count(), 1u); }

    void bothPipesOpenOnOneClaim() {
        {
            const Pipes pipes = openBoth();
            QVERIFY(pipes.write != MPUSB_INVALID_HANDLE);
            QVERIFY(pipes.read != MPUSB_INVALID_HANDLE);
            QVERIFY(pipes.write != pipes.read);
            QVERIFY(panel_->interfaceClaimed());
        }
        QVERIFY(!panel_->interfaceClaimed());
        QCOMPARE(panel_->traffic().claims, 1);
    }

    void textSentInChunksReadsBack_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("one letter") << QByteArray("A");
        QTest::newRow("one full chunk") << QByteArray(62, 'x');
        QTest::newRow("one past a chunk") << QByteArray(62, 'y') + "Z";
        QTest::newRow("four chunks") << QByteArray("Bonjour #T #D ").repeated(15).left(199);
        QTest::newRow("western bytes") << QByteArray("caf\xe9 \xab\xa0\xbb \xff");
    }
    void textSentInChunksReadsBack() {
        QFETCH(QByteArray, text);
        {
            const Pipes pipes = openBoth();
            for (qsizetype pos = 0; pos < text.size(); pos += 62) {
                Report chunk = request(panelsim::kCmdWriteText, std::uint8_t(pos));
                const QByteArray part = text.mid(pos, 62);
                std::memcpy(chunk.data() + 2, part.constData(), std::size_t(part.size()));
                QVERIFY2(send(pipes, chunk), qPrintable(QString("chunk at %1").arg(pos)));
            }
        }
        const EmulatedPanel::Traffic traffic = panel_->traffic();
        QCOMPARE(traffic.outTransfers.size(), std::size_t((text.size() + 61) / 62));
        for (const auto& transfer : traffic.outTransfers) {
            QCOMPARE(transfer.size(), std::size_t(64));
        }
        QCOMPARE(QByteArray::fromStdString(firmware_.state().text()), text);

        const std::optional<Report> reply = readText();
        QVERIFY(reply);
        QCOMPARE(int((*reply)[0]), int(panelsim::kReplyAck));
        const QByteArray expected = text.left(62);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(reply->data()) + 2,
                            qsizetype(expected.size())),
                 expected);
        if (expected.size() < 62) {
            QCOMPARE(int((*reply)[2 + expected.size()]), 0);
        }
    }

    void clockWrittenReadsBack() {
        // 9:05:00 on 14/7/2009, alarm 7:30 armed.
        const std::uint8_t fields[] = {9, 5, 0, 14, 7, 0x07, 0xD9, 7, 30, 1};
        {
            const Pipes pipes = openBoth();
            Report out = request(panelsim::kCmdWriteClock);
            std::memcpy(out.data() + 1, fields, sizeof fields);
            QVERIFY(send(pipes, out));
            QVERIFY(receive(pipes));
        }
        const Pipes pipes = openBoth();
        QVERIFY(send(pipes, request(panelsim::kCmdReadClock)));
        const std::optional<Report> reply = receive(pipes);
        QVERIFY(reply);
        QCOMPARE(int((*reply)[0]), int(panelsim::kReplyAck));
        QVERIFY(std::memcmp(reply->data() + 1, fields, sizeof fields) == 0);
    }

    // A transfer the panel does not answer gives up after its own time-out,
    // not much later, and leaves the pipes fit for the next exchange.
    void unansweredTransferFailsOnTime_data() {
        QTest::addColumn<bool>("reading");
        QTest::addColumn<std::uint32_t>("timeoutMs");
        QTest::newRow("read, 300 ms") << true << std::uint32_t(300);
        QTest::newRow("read, 100 ms") << true << std::uint32_t(100);
        QTest::newRow("write, 300 ms") << false << std::uint32_t(300);
    }
    void unansweredTransferFailsOnTime() {
        QFETCH(bool, reading);
        QFETCH(std::uint32_t, timeoutMs);
        const Pipes pipes = openBoth();
        QElapsedTimer clock;
        if (reading) {
            panel_->setMute(true);
            QVERIFY(send(pipes, request(panelsim::kCmdReadClock)));
            clock.start();
            QVERIFY(!receive(pipes, timeoutMs));
        } else {
            panel_->setFrozen(true);
            Report out = request(panelsim::kCmdReadClock);
            std::uint32_t moved = 0;
            clock.start();
            QCOMPARE(api_.write(pipes.write, out.data(), 64, &moved, timeoutMs), 0u);
            // The cancelled report never reached the panel.
            panel_->setFrozen(false);
            QVERIFY(panel_->traffic().outTransfers.empty());
        }
        const int error = errno;
        const qint64 elapsed = clock.elapsed();
        // Never early; late only by what a loaded machine may add.
        QVERIFY2(elapsed >= qint64(timeoutMs) && elapsed < qint64(timeoutMs) + 3 * 100,
                 qPrintable(QString("failed after %1 ms").arg(elapsed)));
        QCOMPARE(error, ETIMEDOUT);
        QCOMPARE(panel_->traffic().discards, 1);

        panel_->setMute(false);
        QVERIFY(send(pipes, request(panelsim::kCmdReadText)));
        const std::optional<Report> reply = receive(pipes);
        QVERIFY(reply);
        QCOMPARE(int((*reply)[0]), int(panelsim::kReplyAck));
    }

    void unplugBetweenOperationsFailsTheNextWrite() {
        QVERIFY(readText());
        panel_->unplug();
        {
            const Pipes pipes = openBoth();
            QCOMPARE(pipes.write, MPUSB_INVALID_HANDLE);
            QCOMPARE(errno, ENODEV);
            QVERIFY(!send(pipes, request(panelsim::kCmdReadText)));
            QVERIFY(!receive(pipes, 100));
        }
        QTRY_COMPARE(count(), 0u);
        QCOMPARE(errno, ENODEV);

        // Plugged back (at a new address), the panel works again.
        panel_->plug();
        QTRY_COMPARE(count(), 1u);
        QVERIFY(readText());
    }

    void unplugWithPipesOpenFailsTheWrite() {
        const Pipes pipes = openBoth();
        QVERIFY(send(pipes, request(panelsim::kCmdReadText)));
        QVERIFY(receive(pipes));
        panel_->unplug();
        QVERIFY(!send(pipes, request(panelsim::kCmdReadText)));
        QCOMPARE(errno, ENODEV);
        QVERIFY(!receive(pipes, 100));
        QCOMPARE(errno, ENODEV);
    }

    void countIsZeroWithoutThePanel() {
        panel_->unplug();
        QTRY_COMPARE(count(), 0u);
        QCOMPARE(openPipe(MPUSB_DIR_WRITE), MPUSB_INVALID_HANDLE);
        QCOMPARE(openPipe(MPUSB_DIR_READ), MPUSB_INVALID_HANDLE);
    }

    // A panel not found on the bus is explained under MPUSBAPI_DEBUG: the
    // devices seen, and one of the maker's with another product id.
    void panelNotFoundIsExplained_data() {
        QTest::addColumn<int>("product");  // -1: nothing plugged
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("nothing on the bus")
            << -1 << QByteArray("0 périphérique(s) USB vu(s), aucun 04d8:000c");
        QTest::newRow("another product id")
            << 0x000b << QByteArray("du même fabricant : 04d8:000b");
    }
    void panelNotFoundIsExplained() {
        QFETCH(int, product);
        QFETCH(QByteArray, said);
        panel_->unplug();
        QTRY_COMPARE(count(), 0u);
        if (product >= 0) {
            panel_->setProductId(static_cast<std::uint16_t>(product));
            panel_->plug();
        }
        const QByteArray loud = probeDebugLines("1");
        const QByteArray quiet = probeDebugLines("");
        panel_->unplug();
        panel_->setProductId(0x000c);
        QVERIFY2(loud.contains(said), loud.constData());
        QVERIFY2(!loud.contains("aucun 04d8:000c") || product < 0 ||
                     loud.contains("1 périphérique(s) USB vu(s)"),
                 loud.constData());
        QCOMPARE(quiet, QByteArray());
    }

    void malformedIdentifierFindsNothing_data() {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<int>("error");
        QTest::newRow("empty") << QByteArray("") << EINVAL;
        QTest::newRow("vendor only") << QByteArray("vid_04d8") << EINVAL;
        QTest::newRow("product cut") << QByteArray("vid_04d8&pid_") << EINVAL;
        QTest::newRow("not hex") << QByteArray("vid_04g8&pid_000c") << EINVAL;
        QTest::newRow("short vendor") << QByteArray("vid_4d8&pid_000c") << EINVAL;
        QTest::newRow("colon form") << QByteArray("04d8:000c") << EINVAL;
        QTest::newRow("no separator") << QByteArray("vid_04d8pid_000c") << EINVAL;
        QTest::newRow("trailing junk") << QByteArray("vid_04d8&pid_000cX") << EINVAL;
        QTest::newRow("another product") << QByteArray("vid_04d8&pid_000d") << ENODEV;
    }
    void malformedIdentifierFindsNothing() {
        QFETCH(QByteArray, id);
        QFETCH(int, error);
        errno = 0;
        QCOMPARE(count(id.constData()), 0u);
        QCOMPARE(errno, error);
        errno = 0;
        QCOMPARE(openPipe(MPUSB_DIR_WRITE, id.constData()), MPUSB_INVALID_HANDLE);
        QCOMPARE(errno, error);
        QCOMPARE(openPipe(MPUSB_DIR_READ, id.constData()), MPUSB_INVALID_HANDLE);
        QCOMPARE(panel_->traffic().claims, 0);
    }

    void missingArgumentsAreRefused() {
        errno = 0;
        QCOMPARE(count(nullptr), 0u);
        QCOMPARE(errno, EINVAL);
        errno = 0;
        QCOMPARE(openPipe(MPUSB_DIR_WRITE, nullptr), MPUSB_INVALID_HANDLE);
        QCOMPARE(errno, EINVAL);
        errno = 0;
        QCOMPARE(openPipe(MPUSB_DIR_WRITE, kDeviceId, nullptr), MPUSB_INVALID_HANDLE);
        QCOMPARE(errno, EINVAL);
    }

    // Every transfer goes as the endpoints' own type.
    void transfersUseTheEndpointsType() {
        QVERIFY(readText());
        const EmulatedPanel::Traffic traffic = panel_->traffic();
        // The request and its reply, after any drain of a first use.
        QVERIFY(traffic.urbTypes.size() >= 2);
        for (const int type : traffic.urbTypes) {
            QCOMPARE(type, kUrbType);
        }
    }

    // A reply that comes after its read gave up must not pass for the answer
    // to the next request; the drain takes it away first.
    void lateReplyIsNotTakenForTheNext() {
        const std::optional<Report> clock = readClock();
        QVERIFY(clock);
        QCOMPARE(int((*clock)[0]), int(panelsim::kReplyAck));

        panel_->setLate(true);
        {
            const Pipes pipes = openBoth();
            QVERIFY(send(pipes, request(panelsim::kCmdReadText)));
            QVERIFY(!receive(pipes, 200));
        }
        panel_->setLate(false);
        panel_->deliverLate();

        const std::optional<Report> next = readClock();
        QVERIFY(next);
        QVERIFY2(*next == *clock, "the clock read got the text read's late reply");
        QVERIFY(readText());
    }

    // Exchanges that end well leave nothing to drain: no extra IN transfer.
    void drainCostsNothingWhenAllIsWell() {
        QVERIFY(readClock());
        panel_->clearTraffic();
        QVERIFY(readClock());
        QVERIFY(readText());
        QCOMPARE(panel_->traffic().inLengths.size(), std::size_t(2));
        QCOMPARE(panel_->traffic().discards, 0);
    }

    // Another program holding the panel is refused at once, with EBUSY, and
    // the panel is free again once it lets go.
    void panelHeldElsewhereIsBusy() {
        libusb_context* ctx = nullptr;
        QCOMPARE(libusb_init(&ctx), 0);
        libusb_device_handle* other =
            libusb_open_device_with_vid_pid(ctx, usbemu::kVendorId, usbemu::kProductId);
        QVERIFY(other);
        QCOMPARE(libusb_claim_interface(other, 0), 0);
        errno = 0;
        QCOMPARE(openPipe(MPUSB_DIR_WRITE), MPUSB_INVALID_HANDLE);
        QCOMPARE(errno, EBUSY);
        QCOMPARE(panel_->traffic().refusedClaims, 1);
        QCOMPARE(libusb_release_interface(other, 0), 0);
        libusb_close(other);
        libusb_exit(ctx);
        QVERIFY(readText());
    }

    // The kernel's driver makes way while our pipes are open and gets the
    // panel back when they close.
    void kernelDriverDetachedAndGivenBack() {
        panel_->setKernelDriver("usbhid");
        {
            const Pipes pipes = openBoth();
            QVERIFY(pipes.write != MPUSB_INVALID_HANDLE && pipes.read != MPUSB_INVALID_HANDLE);
            QCOMPARE(panel_->kernelDriver(), std::string());
            QVERIFY(send(pipes, request(panelsim::kCmdReadText)));
            QVERIFY(receive(pipes));
        }
        QCOMPARE(panel_->kernelDriver(), std::string("usbhid"));
        const EmulatedPanel::Traffic traffic = panel_->traffic();
        QCOMPARE(traffic.driverDetaches, 1);
        QCOMPARE(traffic.driverAttaches, 1);
    }

    // Without a udev rule the node is root's: the panel is counted but does
    // not open, and errno (and MPUSBAPI_DEBUG) say why.
    void ordinaryUserIsRefusedAccess() {
        QByteArray errors;
        const QByteArray quiet = probeAsOrdinaryUser("", errors);
        QCOMPARE(quiet, QByteArray("count=1 write=ffffffff errno=" + QByteArray::number(EACCES) +
                                   " read=ffffffff errno=" + QByteArray::number(EACCES)));
        QCOMPARE(errors, QByteArray());
        probeAsOrdinaryUser("1", errors);
        QVERIFY2(errors.contains("libusb_open: LIBUSB_ERROR_ACCESS"), errors.constData());
        QCOMPARE(panel_->traffic().claims, 0);
    }

    void pipeTheDeviceDoesNotHaveIsRefused_data() {
        QTest::addColumn<QByteArray>("endpoint");
        QTest::addColumn<std::uint32_t>("instance");
        QTest::newRow("endpoint 2") << QByteArray("\\MCHP_EP2") << std::uint32_t(0);
        QTest::newRow("second panel") << QByteArray(kEndpoint) << std::uint32_t(1);
    }
    void pipeTheDeviceDoesNotHaveIsRefused() {
        QFETCH(QByteArray, endpoint);
        QFETCH(std::uint32_t, instance);
        QCOMPARE(openPipe(MPUSB_DIR_WRITE, kDeviceId, endpoint.constData(), instance),
                 MPUSB_INVALID_HANDLE);
        QCOMPARE(openPipe(MPUSB_DIR_READ, kDeviceId, endpoint.constData(), instance),
                 MPUSB_INVALID_HANDLE);
    }
};

QTEST_GUILESS_MAIN(TestMpusbapiUsb)
#include "tst_mpusbapi_usb.moc"
