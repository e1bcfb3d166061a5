#include <QtTest>

#include "DataFiles.h"
#include "LibrarySearch.h"

// Where the USB library and the LED pictures are looked for, in order.
class TestSearchPaths : public QObject {
    Q_OBJECT
private slots:
    void libraryCandidates_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QStringList>("firstDirs");
        QTest::addColumn<QString>("programDir");
        QTest::addColumn<QString>("multiarch");
        QTest::addColumn<QStringList>("expected");
        const QString so = QStringLiteral("libmpusbapi.so");
        QTest::newRow("installed in /usr")
            << so << QStringList{} << "/usr/bin"
            << "x86_64-linux-gnu"
            << QStringList{"/usr/bin/libmpusbapi.so",
                           "/usr/lib/libmpusbapi.so",
                           "/usr/lib/lumiboard/libmpusbapi.so",
                           "/usr/lib/x86_64-linux-gnu/libmpusbapi.so",
                           "/usr/lib/x86_64-linux-gnu/lumiboard/libmpusbapi.so",
                           so};
        QTest::newRow("no multiarch, caller's folder first")
            << so << QStringList{"/opt/extra"} << "/opt/lumi/bin"
            << ""
            << QStringList{"/opt/extra/libmpusbapi.so", "/opt/lumi/bin/libmpusbapi.so",
                           "/opt/lumi/lib/libmpusbapi.so", "/opt/lumi/lib/lumiboard/libmpusbapi.so",
                           so};
        QTest::newRow("no application: caller's folders, then the system")
            << so << QStringList{"/a", "/a/"} << ""
            << "x86_64-linux-gnu" << QStringList{"/a/libmpusbapi.so", so};
        QTest::newRow("Windows: the same rule for the DLL")
            << QStringLiteral("mpusbapi.dll") << QStringList{} << "C:/Lumi"
            << ""
            << QStringList{"C:/Lumi/mpusbapi.dll", "C:/lib/mpusbapi.dll",
                           "C:/lib/lumiboard/mpusbapi.dll", QStringLiteral("mpusbapi.dll")};
    }
    void libraryCandidates() {
        QFETCH(QString, fileName);
        QFETCH(QStringList, firstDirs);
        QFETCH(QString, programDir);
        QFETCH(QString, multiarch);
        QFETCH(QStringList, expected);
        QCOMPARE(usbLibraryCandidates(fileName, firstDirs, programDir, multiarch), expected);
    }

    void dataCandidates_data() {
        QTest::addColumn<QString>("firstDir");
        QTest::addColumn<QString>("programDir");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("working folder, then share, then beside the program")
            << ""
            << "/usr/bin"
            << QStringList{"led_bleu.bmp", "/usr/share/lumiboard/led_bleu.bmp",
                           "/usr/bin/led_bleu.bmp"};
        QTest::newRow("a given folder in place of the working folder")
            << "/tmp/pics"
            << "/opt/lumi/bin"
            << QStringList{"/tmp/pics/led_bleu.bmp", "/opt/lumi/share/lumiboard/led_bleu.bmp",
                           "/opt/lumi/bin/led_bleu.bmp"};
        QTest::newRow("no application") << ""
                                        << "" << QStringList{"led_bleu.bmp"};
    }
    void dataCandidates() {
        QFETCH(QString, firstDir);
        QFETCH(QString, programDir);
        QFETCH(QStringList, expected);
        QCOMPARE(dataFileCandidates(QStringLiteral("led_bleu.bmp"), firstDir, programDir),
                 expected);
    }

    void firstExistingOrTheFirst() {
        QTemporaryDir dir;
        const QString there = dir.filePath(QStringLiteral("there"));
        QFile file(there);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString absent = dir.filePath(QStringLiteral("absent"));
        QCOMPARE(firstExistingFile({absent, there}), there);
        QCOMPARE(firstExistingFile({absent, absent + "2"}), absent);
    }
};

QTEST_GUILESS_MAIN(TestSearchPaths)
#include "tst_searchpaths.moc"
