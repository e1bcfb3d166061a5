#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>

#include "InChild.h"
#include "core/FontsFile.h"

using namespace glyph;

namespace {

// Runs a write with a 64-byte file size limit, so it fails part way as on a full disk.
const QByteArray kBig(4096, 'x');
const QString kNoLimit = QStringLiteral("<could not set the limit>");
const QString kTooBig = QStringLiteral("fichier trop grand pour la limite du système");
std::optional<QString> underSizeLimit(const std::function<std::optional<QString>()>& write) {
    rlimit saved{};
    if (getrlimit(RLIMIT_FSIZE, &saved) != 0) {
        return kNoLimit;
    }
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    std::optional<QString> failed = kNoLimit;
    if (setrlimit(RLIMIT_FSIZE, &small) == 0) {
        failed = write();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    return failed;
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

constexpr auto kReadOnlyDir = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
constexpr auto kOpenDir = kReadOnlyDir | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
constexpr auto kOpenFile = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                           QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
constexpr auto kReadOnlyFile = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;

}  // namespace

class TestFontsFile : public QObject {
    Q_OBJECT
private slots:
    void fileWrittenWholeAndReplaced() {
        QTemporaryDir dir;
        const QString path = fontsFilePath(dir.path());
        QCOMPARE(path, dir.path() + "/fonts.txt");
        QVERIFY(!writeFileAtomically(path, "first, longer content\r\n").has_value());
        QVERIFY(!writeFileAtomically(path, "second\r\n").has_value());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("second\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"fonts.txt"});
    }

    void fileFailureReported() {
        QTemporaryDir dir;
        const auto missing = writeFileAtomically(dir.path() + "/no/such/fonts.txt", "x");
        QVERIFY(missing.has_value());
        QVERIFY(!missing->isEmpty());
        // A folder in the file's place: nothing is written over it.
        QVERIFY(QDir(dir.path()).mkpath("fonts.txt/inside"));
        QVERIFY(writeFileAtomically(fontsFilePath(dir.path()), "x").has_value());
        QVERIFY(QFileInfo(dir.path() + "/fonts.txt/inside").isDir());
    }

    void failureMidwayKeepsGoodFile() {
        // A file size limit makes the write fail part way, as a full disk would.
        QTemporaryDir dir;
        const QString path = fontsFilePath(dir.path());
        QVERIFY(!writeFileAtomically(path, "good\r\n").has_value());
        const auto failed = underSizeLimit([&] { return writeFileAtomically(path, kBig); });
        QCOMPARE(failed, std::optional<QString>(kTooBig));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("good\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"fonts.txt"});
    }

    void readOnlyFolderKeepsGoodFile() {
        QTemporaryDir dir;
        const QString path = fontsFilePath(dir.path());
        QVERIFY(!writeFileAtomically(path, "good\r\n").has_value());
        QVERIFY(QFile::setPermissions(dir.path(), kReadOnlyDir));
        const auto restore = qScopeGuard([&] { QFile::setPermissions(dir.path(), kOpenDir); });
        const QByteArray reason = asUnprivileged(
            [&] { return writeFileAtomically(path, "new\r\n").value_or("<written>").toUtf8(); });
        QCOMPARE(QString::fromUtf8(reason), QStringLiteral("permission refusée"));
        QCOMPARE(contentOf(path), QByteArray("good\r\n"));
    }

    void reasons_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::newRow("permission") << EACCES << "permission refusée";
        QTest::newRow("not permitted") << EPERM << "permission refusée";
        QTest::newRow("disk full") << ENOSPC << "disque plein";
        QTest::newRow("quota") << EDQUOT << "quota de disque dépassé";
        QTest::newRow("read-only file system") << EROFS << "système de fichiers en lecture seule";
        QTest::newRow("size limit") << EFBIG << "fichier trop grand pour la limite du système";
        QTest::newRow("device") << EIO << "erreur d'entrée-sortie sur le disque";
        QTest::newRow("unnamed") << EXDEV << QStringLiteral("erreur du système n° %1").arg(EXDEV);
        QTest::newRow("no number") << 0 << "cause non précisée par le système";
    }
    void reasons() {
        QFETCH(int, error);
        QFETCH(QString, reason);
        QCOMPARE(failureReason(error), reason);
    }

    // No errno ever reaches the user in the system's English.
    void reasonsAreNeverTheSystemsText() {
        for (int error = 0; error < 256; ++error) {
            const QString reason = failureReason(error);
            QVERIFY2(!reason.isEmpty(), qPrintable(QString::number(error)));
            QVERIFY2(reason != QString::fromLocal8Bit(strerror(error)), qPrintable(reason));
            QVERIFY2(!reason.contains(QLatin1String("error"), Qt::CaseInsensitive),
                     qPrintable(reason));
        }
    }

    void routes_data() {
        QTest::addColumn<bool>("folderWritable");
        QTest::addColumn<bool>("fileWritable");
        QTest::addColumn<int>("route");  // -1: not here
        QTest::newRow("folder writable") << true << false << int(SaveRoute::Atomic);
        QTest::newRow("both writable") << true << true << int(SaveRoute::Atomic);
        QTest::newRow("only the file") << false << true << int(SaveRoute::InPlace);
        QTest::newRow("neither") << false << false << -1;
    }
    void routes() {
        QFETCH(bool, folderWritable);
        QFETCH(bool, fileWritable);
        QFETCH(int, route);
        const auto chosen = routeFor(folderWritable, fileWritable);
        QCOMPARE(chosen ? int(*chosen) : -1, route);
    }

    void inPlaceDiskFullReported() {
        // /dev/full answers every write with "no space left on device".
        if (!QFileInfo::exists(QStringLiteral("/dev/full"))) {
            QSKIP("no /dev/full here");
        }
        QTemporaryDir dir;
        const QString path = fontsFilePath(dir.path());
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
        QCOMPARE(writeFileInPlace(path, "x\r\n"),
                 std::optional<QString>(QStringLiteral("disque plein")));
    }

    void inPlaceShortWriteReported() {
        QTemporaryDir dir;
        const QString path = fontsFilePath(dir.path());
        QVERIFY(!writeFileInPlace(path, "good\r\n").has_value());
        QCOMPARE(contentOf(path), QByteArray("good\r\n"));
        const auto failed = underSizeLimit([&] { return writeFileInPlace(path, kBig); });
        QCOMPARE(failed, std::optional<QString>(kTooBig));
        QCOMPARE(contentOf(path), QByteArray("good\r\n"));  // written back
    }

    // The whole save, as the window runs it, in a child process whose file size
    // limit cuts the write: the reason in French, the old file as it was.
    void saveUnderSizeLimit() {
        QTemporaryDir program;
        QTemporaryDir working;
        const QString path = fontsFilePath(program.path());
        writeFile(path, "good\r\n");
        const QByteArray out = inChild([&]() -> QByteArray {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = 100;
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                return "<could not set the limit>";
            }
            return saveFontsFile(program.path(), working.path(), kBig)
                .failure.value_or("<written>")
                .toUtf8();
        });
        QCOMPARE(QString::fromUtf8(out), kTooBig);
        QCOMPARE(contentOf(path), QByteArray("good\r\n"));
        QCOMPARE(QDir(program.path()).entryList(QDir::Files), QStringList{"fonts.txt"});
    }

    // Where the file goes and what is said, for a user who may not write every folder.
    void saveFolders_data() {
        QTest::addColumn<bool>("programWritable");
        QTest::addColumn<int>("fileThere");  // 0 none, 1 writable, 2 read-only
        QTest::addColumn<bool>("workingWritable");
        QTest::addColumn<bool>("besideProgram");
        QTest::addColumn<QString>("failure");
        QTest::newRow("program folder writable") << true << 0 << true << true << "";
        // A file the user made read-only is kept, in a folder they may write.
        QTest::newRow("read-only file kept") << true << 2 << true << true << "permission refusée";
        QTest::newRow("read-only folder, writable file") << false << 1 << false << true << "";
        QTest::newRow("read-only folder, no file") << false << 0 << true << false << "";
        QTest::newRow("read-only folder and file") << false << 2 << true << false << "";
        QTest::newRow("nothing writable") << false << 2 << false << false << "permission refusée";
    }
    void saveFolders() {
        QFETCH(bool, programWritable);
        QFETCH(int, fileThere);
        QFETCH(bool, workingWritable);
        QFETCH(bool, besideProgram);
        QFETCH(QString, failure);
        QTemporaryDir root;
        QVERIFY(QFile::setPermissions(root.path(), kReadOnlyDir));
        const QString program = root.path() + "/bin";
        const QString working = root.path() + "/home";
        QVERIFY(QDir().mkdir(program) && QDir().mkdir(working));
        const QString programFile = fontsFilePath(program);
        if (fileThere != 0) {
            writeFile(programFile, "old\r\n");
            QVERIFY(QFile::setPermissions(programFile, fileThere == 1 ? kOpenFile : kReadOnlyFile));
        }
        QVERIFY(QFile::setPermissions(program, programWritable ? kOpenDir : kReadOnlyDir));
        QVERIFY(QFile::setPermissions(working, workingWritable ? kOpenDir : kReadOnlyDir));
        const auto restore = qScopeGuard([&] {
            for (const QString& folder : {root.path(), program, working}) {
                QFile::setPermissions(folder, kOpenDir);
            }
        });

        const QList<QByteArray> out =
            asUnprivileged([&] {
                const auto saved = saveFontsFile(program, working, "new\r\n");
                return (saved.path + u'\n' + QString::number(saved.besideProgram) + u'\n' +
                        saved.failure.value_or(QString()))
                    .toUtf8();
            }).split('\n');
        QCOMPARE(out.size(), 3);
        const QString folder = besideProgram ? program : working;
        QCOMPARE(QString::fromUtf8(out[0]), fontsFilePath(folder));
        QCOMPARE(out[1], QByteArray::number(besideProgram));
        QCOMPARE(QString::fromUtf8(out[2]), failure);
        if (failure.isEmpty()) {
            QCOMPARE(contentOf(fontsFilePath(folder)), QByteArray("new\r\n"));
            // No temporary file left behind, written in place or renamed.
            QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"fonts.txt"});
        }
        if ((!besideProgram || !failure.isEmpty()) && fileThere != 0) {
            QCOMPARE(contentOf(programFile), QByteArray("old\r\n"));
        }
    }
};

QTEST_MAIN(TestFontsFile)
#include "tst_fontsfile.moc"
