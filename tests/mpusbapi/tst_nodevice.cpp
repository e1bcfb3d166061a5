// The built library with no panel anywhere: every call fails cleanly.
#include <QLibrary>
#include <QtTest>

#include "MpusbLibrary.h"
#include "mpusbapi.h"

class NoDeviceTest : public QObject {
    Q_OBJECT

    MpusbLibrary lib;

private slots:
    void initTestCase();
    void init() { qunsetenv("MPUSBAPI_VIRTUAL"); }
    // Version 1.0: the major version in the high 16 bits.
    void version1_0() { QCOMPARE(lib.version(), quint32(0x00010000)); }
    void malformedIdentifiers_data();
    void malformedIdentifiers();
    void noPanelOnTheBus_data();
    void noPanelOnTheBus();
    void callsOnUnknownHandles_data();
    void callsOnUnknownHandles();
};

void NoDeviceTest::initTestCase() {
    QVERIFY2(lib.load(), qPrintable(lib.library.errorString()));
}

void NoDeviceTest::malformedIdentifiers_data() {
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("socket");  // empty: libusb
    for (const char* socket : {"", "/nonexistent/panel.sock"}) {
        const QByteArray s(socket);
        const char* backend = s.isEmpty() ? "libusb" : "virtual";
        QTest::addRow("%s: empty", backend) << QByteArray("") << s;
        QTest::addRow("%s: vid only", backend) << QByteArray("vid_04d8") << s;
        QTest::addRow("%s: short pid", backend) << QByteArray("vid_04d8&pid_00c") << s;
        QTest::addRow("%s: long pid", backend) << QByteArray("vid_04d8&pid_000c0") << s;
        QTest::addRow("%s: trailing", backend) << QByteArray("vid_04d8&pid_000cx") << s;
        QTest::addRow("%s: not hex", backend) << QByteArray("vid_04g8&pid_000c") << s;
        QTest::addRow("%s: signed", backend) << QByteArray("vid_+4d8&pid_000c") << s;
        QTest::addRow("%s: swapped", backend) << QByteArray("pid_000c&vid_04d8") << s;
        QTest::addRow("%s: blank before", backend) << QByteArray(" vid_04d8&pid_000c") << s;
        QTest::addRow("%s: no ampersand", backend) << QByteArray("vid_04d8pid_000c") << s;
    }
}

void NoDeviceTest::malformedIdentifiers() {
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, socket);
    if (!socket.isEmpty()) {
        qputenv("MPUSBAPI_VIRTUAL", socket);
    }
    QCOMPARE(lib.count(id.constData()), 0u);
    QCOMPARE(lib.open(0, id.constData(), "\\MCHP_EP1", MPUSB_DIR_WRITE, 0), MPUSB_INVALID_HANDLE);
    QCOMPARE(lib.open(0, id.constData(), "\\MCHP_EP1", MPUSB_DIR_READ, 0), MPUSB_INVALID_HANDLE);
}

void NoDeviceTest::noPanelOnTheBus_data() {
    QTest::addColumn<QByteArray>("socket");
    QTest::newRow("libusb") << QByteArray();
    QTest::newRow("no panelsim") << QByteArray("/nonexistent/panel.sock");
    QTest::newRow("socket path too long") << QByteArray(300, 'x');
}

void NoDeviceTest::noPanelOnTheBus() {
    QFETCH(QByteArray, socket);
    if (!socket.isEmpty()) {
        qputenv("MPUSBAPI_VIRTUAL", socket);
    }
    // A real panel on this machine's bus would make the libusb row meaningless.
    if (socket.isEmpty() && lib.count("vid_04d8&pid_000c") != 0) {
        QSKIP("a panel is plugged in");
    }
    QCOMPARE(lib.count("vid_04d8&pid_000c"), 0u);
    QCOMPARE(lib.count(nullptr), 0u);
    QCOMPARE(lib.open(0, "vid_04d8&pid_000c", "\\MCHP_EP1", MPUSB_DIR_WRITE, 0),
             MPUSB_INVALID_HANDLE);
    QCOMPARE(lib.open(0, nullptr, "\\MCHP_EP1", MPUSB_DIR_WRITE, 0), MPUSB_INVALID_HANDLE);
    QCOMPARE(lib.open(0, "vid_04d8&pid_000c", nullptr, MPUSB_DIR_READ, 0), MPUSB_INVALID_HANDLE);
}

void NoDeviceTest::callsOnUnknownHandles_data() {
    QTest::addColumn<quint32>("handle");
    QTest::newRow("invalid") << quint32{MPUSB_INVALID_HANDLE};
    QTest::newRow("zero") << quint32{0};
    QTest::newRow("never given") << quint32{12345};
}

void NoDeviceTest::callsOnUnknownHandles() {
    QFETCH(quint32, handle);
    std::uint8_t buffer[64] = {0x85};
    std::uint32_t n = 77;
    QCOMPARE(lib.write(handle, buffer, 64, &n, 10), 0u);
    QCOMPARE(n, 0u);
    n = 77;
    QCOMPARE(lib.read(handle, buffer, 64, &n, 10), 0u);
    QCOMPARE(n, 0u);
    QCOMPARE(lib.write(handle, nullptr, 64, &n, 10), 0u);
    QCOMPARE(lib.write(handle, buffer, 64, nullptr, 10), 0u);
    QCOMPARE(lib.read(handle, nullptr, 64, &n, 10), 0u);
    QCOMPARE(lib.read(handle, buffer, 64, nullptr, 10), 0u);
    QCOMPARE(lib.close(handle), 0u);
}

QTEST_GUILESS_MAIN(NoDeviceTest)
#include "tst_nodevice.moc"
