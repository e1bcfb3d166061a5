// lumictl saying the French system error reasons, for the panel and when its
// input file cannot be read.
#include <QProcess>
#include <QtTest>

#include <cerrno>
#include <clocale>

#include "Output.h"

class TestLumictlReasons : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { std::setlocale(LC_ALL, "C"); }

    // The library's errno goes through the system's French words past the panel's own.
    void libraryReasonsAreTheSystemsPastThePanels() {
        QCOMPARE(failureReason(EIO), systemErrorReason(EIO));
    }

    void unreadableFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "absent.txt" << systemErrorReason(ENOENT);
        QTest::newRow("a folder") << "folder" << systemErrorReason(EISDIR);
        QTest::newRow("through a file") << "plain/x.txt" << systemErrorReason(ENOTDIR);
    }
    void unreadableFile() {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QFile plain(dir.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();

        QProcess lumictl;
        lumictl.setWorkingDirectory(dir.path());
        // No panel is needed: the text is read before the panel is looked for.
        lumictl.start(qEnvironmentVariable("LUMI_BIN_DIR") + QStringLiteral("/lumictl"),
                      {QStringLiteral("send"), QStringLiteral("--file"), name});
        QVERIFY(lumictl.waitForFinished(10000));
        QCOMPARE(lumictl.exitCode(), 2);
        QCOMPARE(QString::fromUtf8(lumictl.readAllStandardError()),
                 QStringLiteral("lumictl: lecture impossible de %1 : %2\n").arg(name, reason));
    }
};

QTEST_GUILESS_MAIN(TestLumictlReasons)
#include "tst_lumictl_reasons.moc"
