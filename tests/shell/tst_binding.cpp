#include <QtTest>

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
        UsbLibrary library;
        const LibraryLoad load =
            library.load(QStringLiteral("libmpusbapi-absent.so"), {QDir::tempPath()}, QString());
        QCOMPARE(load.result, LibraryLoad::Result::NotFound);
        QCOMPARE(load.fileName, QStringLiteral("libmpusbapi-absent.so"));
        QVERIFY(load.api.open == nullptr);
    }

    void libraryLackingAnEntryPoint() {
        UsbLibrary library;
        const LibraryLoad load =
            library.load(usbLibraryFileName(), {QStringLiteral(NOWRITE_DIR)}, QString());
        QCOMPARE(load.result, LibraryLoad::Result::EntryPointMissing);
        QVERIFY2(load.api.open == nullptr, "a failed binding gives no entry point");
    }

    // A file that is there but won't load is not "not found": the loader says why.
    void libraryThatWillNotLoad() {
        QTemporaryDir dir;
        QFile broken(dir.filePath(usbLibraryFileName()));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a shared library");
        broken.close();
        UsbLibrary library;
        // The project's good library further down the search is not taken instead.
        const LibraryLoad load = library.load(
            usbLibraryFileName(), {dir.path(), qEnvironmentVariable("LUMI_BIN_DIR")}, QString());
        QCOMPARE(load.result, LibraryLoad::Result::WillNotLoad);
        QVERIFY2(load.loaderError.contains(broken.fileName()), qPrintable(load.loaderError));
        QVERIFY(load.api.open == nullptr);
    }

    // Found through the program's folder, as an installed program finds it.
    void projectLibraryBindsAllSix() {
        UsbLibrary library;
        const LibraryLoad load =
            library.load(usbLibraryFileName(), {}, qEnvironmentVariable("LUMI_BIN_DIR"));
        QVERIFY(load.ok());
        const UsbApi& api = load.api;
        QVERIFY(api.open && api.close && api.getDllVersion && api.getDeviceCount && api.read &&
                api.write);
        QCOMPARE(api.getDllVersion(api.context), MPUSB_DLL_VERSION);
        // A malformed identifier finds no panel and opens nothing.
        QCOMPARE(api.getDeviceCount(api.context, "vid_zz&pid_000c"), 0u);
        QCOMPARE(api.open(api.context, 0, "vid_04d8", kEndpoint, 0, 0), MPUSB_INVALID_HANDLE);
    }
};

QTEST_GUILESS_MAIN(TestBinding)
#include "tst_binding.moc"
