// The built libmpusbapi.so, loaded as lumiboard loads it and called through
// its six entry points, against the panel's firmware behind an emulated
// kernel USB interface: libusb and the library run unchanged.
#include <dlfcn.h>

#include <QElapsedTimer>
#include <QTest>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "EmulatedPanel.h"
#include "PanelFirmware.h"
#include "UsbApi.h"

using usbemu::EmulatedPanel;
using usbemu::Report;

namespace {

constexpr std::uint32_t kWriteTimeoutMs = 1000;
constexpr std::uint32_t kReadTimeoutMs = 1000;

struct LibraryClose {
    void operator()(void* handle) const { dlclose(handle); }
};
using LibraryHandle = std::unique_ptr<void, LibraryClose>;

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
    LibraryHandle library_;
    UsbApi api_;

    template <typename Fn>
    Fn resolve(const char* name) {
        return reinterpret_cast<Fn>(dlsym(library_.get(), name));
    }

    std::uint32_t count(const char* id = kDeviceId) { return api_.getDeviceCount(id); }
    std::uint32_t openPipe(std::uint32_t direction, const char* id = kDeviceId,
                           const char* endpoint = kEndpoint, std::uint32_t instance = 0) {
        return api_.open(instance, id, endpoint, direction, 0);
    }

    // Both pipes of one operation, closed read pipe first as lumiboard does.
    struct Pipes {
        const UsbApi& api;
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

private slots:
    void initTestCase() {
        // The socket backend would take over; this test is about libusb.
        qunsetenv("MPUSBAPI_VIRTUAL");
        panel_ = std::make_unique<EmulatedPanel>(
            [this](const Report& out) { return firmware_.handle(out); });
        panel_->plug();

        const QByteArray dir = qgetenv("LUMI_BIN_DIR");
        QVERIFY2(!dir.isEmpty(), "LUMI_BIN_DIR names the folder of libmpusbapi.so");
        const std::string path = dir.toStdString() + "/libmpusbapi.so";
        library_.reset(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
        QVERIFY2(library_, dlerror());
        api_.open = resolve<MPUSBOpenFn>("_MPUSBOpen");
        api_.close = resolve<MPUSBCloseFn>("_MPUSBClose");
        api_.getDllVersion = resolve<MPUSBGetDLLVersionFn>("_MPUSBGetDLLVersion");
        api_.getDeviceCount = resolve<MPUSBGetDeviceCountFn>("_MPUSBGetDeviceCount");
        api_.read = resolve<MPUSBReadFn>("_MPUSBRead");
        api_.write = resolve<MPUSBWriteFn>("_MPUSBWrite");
        QVERIFY(api_.open && api_.close && api_.getDllVersion && api_.getDeviceCount && api_.read &&
                api_.write);
    }

    void cleanupTestCase() {
        // The library's libusb context ends while the testbed still exists.
        library_.reset();
        panel_.reset();
    }

    void init() {
        if (!panel_->isPlugged()) {
            panel_->plug();
            QTRY_COMPARE(count(), 1u);
        }
        panel_->setMute(false);
        panel_->setFrozen(false);
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
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= qint64(timeoutMs) && elapsed < qint64(timeoutMs) + 100,
                 qPrintable(QString("failed after %1 ms").arg(elapsed)));
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
            QVERIFY(!send(pipes, request(panelsim::kCmdReadText)));
            QVERIFY(!receive(pipes, 100));
        }
        QTRY_COMPARE(count(), 0u);

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
        QVERIFY(!receive(pipes, 100));
    }

    void countIsZeroWithoutThePanel() {
        panel_->unplug();
        QTRY_COMPARE(count(), 0u);
        QCOMPARE(openPipe(MPUSB_DIR_WRITE), MPUSB_INVALID_HANDLE);
        QCOMPARE(openPipe(MPUSB_DIR_READ), MPUSB_INVALID_HANDLE);
    }

    void malformedIdentifierFindsNothing_data() {
        QTest::addColumn<QByteArray>("id");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("vendor only") << QByteArray("vid_04d8");
        QTest::newRow("product cut") << QByteArray("vid_04d8&pid_");
        QTest::newRow("not hex") << QByteArray("vid_04g8&pid_000c");
        QTest::newRow("short vendor") << QByteArray("vid_4d8&pid_000c");
        QTest::newRow("colon form") << QByteArray("04d8:000c");
        QTest::newRow("no separator") << QByteArray("vid_04d8pid_000c");
        QTest::newRow("trailing junk") << QByteArray("vid_04d8&pid_000cX");
        QTest::newRow("another product") << QByteArray("vid_04d8&pid_000d");
    }
    void malformedIdentifierFindsNothing() {
        QFETCH(QByteArray, id);
        QCOMPARE(count(id.constData()), 0u);
        QCOMPARE(openPipe(MPUSB_DIR_WRITE, id.constData()), MPUSB_INVALID_HANDLE);
        QCOMPARE(openPipe(MPUSB_DIR_READ, id.constData()), MPUSB_INVALID_HANDLE);
        QCOMPARE(panel_->traffic().claims, 0);
    }

    void missingArgumentsAreRefused() {
        QCOMPARE(count(nullptr), 0u);
        QCOMPARE(openPipe(MPUSB_DIR_WRITE, nullptr), MPUSB_INVALID_HANDLE);
        QCOMPARE(openPipe(MPUSB_DIR_WRITE, kDeviceId, nullptr), MPUSB_INVALID_HANDLE);
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
