#include <QtTest>

#include "RecordingDialogs.h"
#include "USB2Lib.h"

// The binding against real shared libraries: the project's own, a missing
// one, and one that lacks an entry point.
class TestBinding : public QObject {
    Q_OBJECT
private slots:
    void fileNameIsThePlatforms() {
        QCOMPARE(usbLibraryFileName(), QStringLiteral("libmpusbapi.so"));
    }

    void missingLibrary() {
        RecordingDialogs dialogs;
        UsbApi api;
        QVERIFY(!LoadUsbLibrary(api, dialogs, QStringLiteral("libmpusbapi-absent.so"),
                                {QDir::tempPath()}));
        QCOMPARE(dialogs.texts(), QStringList{"Fichier libmpusbapi-absent.so introuvable"});
        QCOMPARE(dialogs.shown[0].kind, RecordingDialogs::Kind::Message);
        QVERIFY(api.open == nullptr);
    }

    void libraryLackingAnEntryPoint() {
        RecordingDialogs dialogs;
        UsbApi api;
        QVERIFY(!LoadUsbLibrary(api, dialogs, usbLibraryFileName(), {QStringLiteral(NOWRITE_DIR)}));
        QCOMPARE(dialogs.texts(), QStringList{"Erreur lors du chargement de libmpusbapi.so"});
        QVERIFY2(api.open == nullptr, "a failed binding leaves the api untouched");
    }

    // A file that is there but won't load is not "introuvable": the loader says why.
    void libraryThatWillNotLoad() {
        QTemporaryDir dir;
        QFile broken(dir.filePath(usbLibraryFileName()));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a shared library");
        broken.close();
        RecordingDialogs dialogs;
        UsbApi api;
        // The project's good library further down the search is not taken instead.
        QVERIFY(!LoadUsbLibrary(api, dialogs, usbLibraryFileName(),
                                {dir.path(), qEnvironmentVariable("LUMI_BIN_DIR")}));
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].kind, RecordingDialogs::Kind::Message);
        const QStringList lines = dialogs.shown[0].text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QStringLiteral("Erreur lors du chargement de libmpusbapi.so"));
        QVERIFY2(lines[1].contains(broken.fileName()), qPrintable(lines[1]));
        QVERIFY(api.open == nullptr);
    }

    void projectLibraryBindsAllSix() {
        RecordingDialogs dialogs;
        UsbApi api;
        QVERIFY(LoadUsbLibrary(api, dialogs, usbLibraryFileName(),
                               {qEnvironmentVariable("LUMI_BIN_DIR")}));
        QVERIFY(dialogs.shown.isEmpty());
        QVERIFY(api.open && api.close && api.getDllVersion && api.getDeviceCount && api.read &&
                api.write);
        // A malformed identifier finds no panel and opens nothing.
        QCOMPARE(api.getDeviceCount("vid_zz&pid_000c"), 0u);
        QCOMPARE(api.open(0, "vid_04d8", kEndpoint, 0, 0), MPUSB_INVALID_HANDLE);
    }
};

QTEST_GUILESS_MAIN(TestBinding)
#include "tst_binding.moc"
