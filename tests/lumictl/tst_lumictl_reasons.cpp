// lumictl saying the French system error reasons, for the panel and when its
// input file cannot be read.
#include <QProcess>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>

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

    // A picture that cannot be written whole is one line and exit 1, and the
    // file already there stays as it was.
    void unwritablePicture_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QStringList>("output");  // the picture's options, before its file
        const QStringList png{"--at", "100", "--png"};
        const QStringList gif{"--gif"};
        QTest::newRow("file-size limit (a full disk)")
            << "limit" << systemErrorReason(EFBIG) << png;
        QTest::newRow("a folder") << "folder" << systemErrorReason(EISDIR) << png;
        QTest::newRow("a link planted in a shared folder")
            << "planted" << QStringLiteral("lien symbolique dans un dossier partagé, refusé")
            << png;
        QTest::newRow("GIF: file-size limit") << "limit" << systemErrorReason(EFBIG) << gif;
        QTest::newRow("GIF: a folder") << "folder" << systemErrorReason(EISDIR) << gif;
    }
    void unwritablePicture() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QFETCH(QStringList, output);
        QTemporaryDir dir;
        const QString kept = dir.filePath(QStringLiteral("keep.png"));
        QFile old(kept);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(17000, 'k'));
        old.close();
        QString named = kept;
        QProcess lumictl;
        if (kind == "limit") {
            lumictl.setChildProcessModifier([] {
                rlimit small{};
                getrlimit(RLIMIT_FSIZE, &small);
                small.rlim_cur = 1024;  // the picture is about 3 KB
                setrlimit(RLIMIT_FSIZE, &small);
            });
        } else if (kind == "folder") {
            named = dir.filePath(QStringLiteral("folder"));
            QVERIFY(QDir().mkdir(named));
        } else {
            named = dir.filePath(QStringLiteral("shared/preview.png"));
            QVERIFY(QDir().mkdir(dir.filePath(QStringLiteral("shared"))));
            QCOMPARE(::chmod(QFile::encodeName(dir.filePath(QStringLiteral("shared"))).constData(),
                             01777),
                     0);
            QVERIFY(QFile::link(kept, named));
        }
        lumictl.start(qEnvironmentVariable("LUMI_BIN_DIR") + QStringLiteral("/lumictl"),
                      QStringList{QStringLiteral("preview")} + output +
                          QStringList{named, QStringLiteral("Bonjour")});
        QVERIFY(lumictl.waitForFinished(20000));
        QCOMPARE(lumictl.exitStatus(), QProcess::NormalExit);
        QCOMPARE(QString::fromUtf8(lumictl.readAllStandardError()),
                 QStringLiteral("lumictl: écriture impossible de %1 : %2\n").arg(named, reason));
        QCOMPARE(lumictl.exitCode(), 1);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray(17000, 'k'));
    }

    // "-" and /dev/stdout are the output itself, not files to replace.
    void pictureToStandardOutput_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("-") << "-";
        QTest::newRow("/dev/stdout") << "/dev/stdout";
    }
    void pictureToStandardOutput() {
        QFETCH(QString, name);
        QProcess lumictl;
        lumictl.start(qEnvironmentVariable("LUMI_BIN_DIR") + QStringLiteral("/lumictl"),
                      {QStringLiteral("preview"), QStringLiteral("--at"), QStringLiteral("100"),
                       QStringLiteral("--png"), name, QStringLiteral("Bonjour")});
        QVERIFY(lumictl.waitForFinished(10000));
        QCOMPARE(lumictl.readAllStandardError(), QByteArray());
        QCOMPARE(lumictl.exitCode(), 0);
        QVERIFY(lumictl.readAllStandardOutput().startsWith("\x89PNG\r\n\x1a\n"));
    }
};

QTEST_GUILESS_MAIN(TestLumictlReasons)
#include "tst_lumictl_reasons.moc"
