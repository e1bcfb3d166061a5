#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "InChild.h"
#include "WholeFile.h"

using wholefile::Outcome;
using wholefile::Refusal;
using wholefile::writeWhole;

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// What a write gave, as one comparable line: "written" or the reason.
QByteArray said(const Outcome& outcome) {
    return outcome.ok() ? QByteArray("written") : wholefile::failureReason(outcome).toUtf8();
}

const QByteArray kOld = "old content, longer than the new one\n";
const QByteArray kNew = "new\n";

}  // namespace

class TestWholeFile : public QObject {
    Q_OBJECT
private slots:
    // The name's kind decides how it is written; whatever fails, what was
    // there stays, and no temporary file is left beside it.
    void targets_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("outcome");
        QTest::addColumn<QByteArray>("content");  // of the file named, after the write
        QTest::newRow("new file") << "new" << QByteArray("written") << kNew;
        QTest::newRow("file replaced") << "file" << QByteArray("written") << kNew;
        QTest::newRow("own link: its target replaced")
            << "own link" << QByteArray("written") << kNew;
        QTest::newRow("own dangling link: its target made")
            << "dangling link" << QByteArray("written") << kNew;
        QTest::newRow("folder") << "folder" << QByteArray("c'est un dossier") << QByteArray();
        QTest::newRow("missing folder")
            << "missing folder" << QByteArray("fichier ou dossier introuvable")
            << QByteArray("<missing>");
        QTest::newRow("link in a shared sticky folder")
            << "sticky link" << QByteArray("lien symbolique dans un dossier partagé, refusé")
            << kOld;
        QTest::newRow("link to another user's file")
            << "foreign target"
            << QByteArray("lien symbolique vers un fichier d'un autre utilisateur, refusé") << kOld;
        QTest::newRow("another user's link")
            << "foreign link"
            << QByteArray("lien symbolique vers un fichier d'un autre utilisateur, refusé") << kOld;
    }
    void targets() {
        QFETCH(QString, kind);
        QFETCH(QByteArray, outcome);
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString target = dir.filePath("target.png");  // what a link points to
        QString named = dir.filePath("out.png");
        QVERIFY(put(target, kOld));
        const bool root = geteuid() == 0;
        if (kind == "file") {
            named = target;
        } else if (kind == "own link") {
            QVERIFY(QFile::link(target, named));
        } else if (kind == "dangling link") {
            QVERIFY(QFile::remove(target));
            QVERIFY(QFile::link(target, named));
        } else if (kind == "folder") {
            QVERIFY(QDir().mkdir(named));
        } else if (kind == "missing folder") {
            named = dir.filePath("no/out.png");
        } else if (kind == "sticky link") {
            // The link is the user's own and so is its target: the folder alone says no.
            const QString shared = dir.filePath("shared");
            QVERIFY(QDir().mkdir(shared));
            QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
            named = shared + "/out.png";
            QVERIFY(QFile::link(target, named));
        } else if (kind == "foreign target" || kind == "foreign link") {
            if (!root) {
                QSKIP("giving a file to another user needs root");
            }
            QVERIFY(QFile::link(target, named));
            const QByteArray which = QFile::encodeName(kind == "foreign link" ? named : target);
            QCOMPARE(::lchown(which.constData(), 1000, 1000), 0);
        }
        QCOMPARE(said(writeWhole(named, kNew)), outcome);
        const QString shown = kind.endsWith("link") || kind == "foreign target" ? target : named;
        if (kind != "folder") {
            QCOMPARE(contentOf(shown), content);
        }
        if (kind.endsWith("link") && outcome == "written") {
            QVERIFY2(QFileInfo(named).isSymLink(), "the link itself stays");
        }
        const QStringList left =
            QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& name : left) {
            QVERIFY2(!name.startsWith(u'.'), qPrintable(name));
        }
    }

    // A file that cannot be written whole (a size limit, a full disk) keeps
    // its old content, and the process lives to say so: a size limit must
    // not kill it.
    void cutWriteKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("keep.png");
        QVERIFY(put(path, kOld));
        const QByteArray big(64 * 1024, 'x');
        const QByteArray out = inChild([&] {
            rlimit small{};
            getrlimit(RLIMIT_FSIZE, &small);
            small.rlim_cur = 4096;
            if (setrlimit(RLIMIT_FSIZE, &small) != 0) {
                return QByteArray("<no limit>");
            }
            return said(writeWhole(path, big));
        });
        QCOMPARE(out, QByteArray("fichier trop grand pour la limite du système"));
        QCOMPARE(contentOf(path), kOld);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // On a really full disk, where the test may mount one.
    void fullDiskKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString mounted = dir.filePath("small");
        QVERIFY(QDir().mkdir(mounted));
        if (geteuid() != 0 ||
            QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mounted}) != 0) {
            QSKIP("no tmpfs can be mounted here; the size limit stands in for it");
        }
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {mounted}); });
        const QString path = mounted + "/keep.png";
        QVERIFY(put(path, QByteArray(17 * 1024, 'k')));
        QVERIFY(put(mounted + "/filler", QByteArray(44 * 1024, 'f')));
        QCOMPARE(said(writeWhole(path, QByteArray(20 * 1024, 'n'))), QByteArray("disque plein"));
        QCOMPARE(contentOf(path), QByteArray(17 * 1024, 'k'));
    }

    // A pipe or a device has no old content: it is written to, not replaced.
    void streamsAreWrittenTo() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QProcess reader;
        reader.start("cat", {fifo});
        QVERIFY(reader.waitForStarted());
        QCOMPARE(said(writeWhole(fifo, kNew)), QByteArray("written"));
        QVERIFY(reader.waitForFinished(10000));
        QCOMPARE(reader.readAllStandardOutput(), kNew);
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        QCOMPARE(said(writeWhole("/dev/full", kNew)), QByteArray("disque plein"));
        QCOMPARE(said(writeWhole("/dev/null", kNew)), QByteArray("written"));
    }

    // A file the user made read-only is kept, as the shell's ">" keeps it.
    void readOnlyFileKept() {
        QTemporaryDir dir;
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
        const QString path = dir.filePath("keep.png");
        QVERIFY(put(path, kOld));
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0444), 0);
        QCOMPARE(asUnprivileged([&] { return said(writeWhole(path, kNew)); }),
                 QByteArray("permission refusée"));
        QCOMPARE(contentOf(path), kOld);
    }

    // The file replaced keeps its mode; a new one takes the umask's.
    void modes() {
        QTemporaryDir dir;
        const QString kept = dir.filePath("kept");
        QVERIFY(put(kept, kOld));
        QCOMPARE(::chmod(QFile::encodeName(kept).constData(), 0640), 0);
        QVERIFY(writeWhole(kept, kNew).ok());
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(kept).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0640));
        const mode_t mask = ::umask(022);
        QVERIFY(writeWhole(dir.filePath("fresh"), kNew).ok());
        ::umask(mask);
        QCOMPARE(::stat(QFile::encodeName(dir.filePath("fresh")).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0644));
    }
};

QTEST_GUILESS_MAIN(TestWholeFile)
#include "tst_wholefile.moc"
