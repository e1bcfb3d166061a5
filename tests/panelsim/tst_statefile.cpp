// The state file on disk: what panelsim does with what it finds at start,
// and what its writes leave behind.
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>

#include "StateFile.h"

using namespace panelsim;

class StateFileTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString path() const { return dir->filePath("panel-state"); }

    static PanelState someState() {
        PanelState state;
        state.memory[0] = 'k';
        state.memory[1] = 0xE9;
        state.clockOffsetSeconds = -3600;
        state.alarmHour = 7;
        state.alarmMinute = 30;
        state.alarmOn = true;
        return state;
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void whatIsFoundAtStart_data() {
        QTest::addColumn<QString>("kind");      // what lies at the path
        QTest::addColumn<QByteArray>("bytes");  // its content, for a file
        QTest::addColumn<QString>("outcome");   // read, new, aside or refused
        QTest::addColumn<QString>("note");      // part of the one line said
        const QByteArray good = QByteArray::fromStdString(exportState(someState()));
        QTest::newRow("no file yet") << "none" << QByteArray() << "new"
                                     << "pas encore de fichier d'état";
        QTest::newRow("a good file") << "file" << good << "read"
                                     << "";
        QTest::newRow("cut short") << "file" << good.left(good.size() - 5) << "aside"
                                   << "mis de côté en";
        QTest::newRow("empty") << "file" << QByteArray() << "aside"
                               << "abîmé";
        QTest::newRow("far too big") << "file" << good + QByteArray(5000, '\n') << "aside"
                                     << "abîmé";
        QTest::newRow("damaged, an earlier .bad there")
            << "file+bad" << QByteArray("panelsim-state 1\n") << "refused"
            << "impossible à mettre de côté";
        QTest::newRow("FIFO") << "fifo" << QByteArray() << "refused"
                              << "ce n'est pas un fichier ordinaire";
        QTest::newRow("folder") << "folder" << QByteArray() << "refused"
                                << "ce n'est pas un fichier ordinaire";
    }

    void whatIsFoundAtStart() {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, outcome);
        QFETCH(QString, note);
        const QByteArray name = QFile::encodeName(path());
        if (kind.startsWith("file")) {
            QFile f(path());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        if (kind == "file+bad") {
            QFile f(path() + ".bad");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("earlier");
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        } else if (kind == "folder") {
            QVERIFY(QDir(dir->path()).mkdir("panel-state"));
        }
        const LoadedState loaded = loadState(path().toStdString());
        QVERIFY2(QString::fromStdString(loaded.note).contains(note), loaded.note.c_str());
        QVERIFY(loaded.note.find('\n') == std::string::npos);
        if (outcome == "read") {
            QVERIFY(loaded.state == someState());
        } else if (outcome == "refused") {
            QVERIFY(!loaded.state);
        } else {
            QVERIFY(loaded.state == newPanelState());
        }
        // What could not be used is kept, at its place or beside it.
        if (outcome == "aside") {
            QVERIFY(!QFileInfo::exists(path()));
            QFile aside(path() + ".bad");
            QVERIFY(aside.open(QIODevice::ReadOnly));
            QCOMPARE(aside.readAll(), bytes);
        } else if (kind == "file+bad") {
            QFile earlier(path() + ".bad");
            QVERIFY(earlier.open(QIODevice::ReadOnly));
            QCOMPARE(earlier.readAll(), QByteArray("earlier"));
        } else {
            QVERIFY(!QFileInfo::exists(path() + ".bad"));
        }
        if (kind != "none") {
            struct stat st {};
            QCOMPARE(::lstat(name.constData(), &st) == 0, outcome != "aside");
        }
    }

    void saveLeavesOnlyTheFile() {
        QVERIFY(saveState(path().toStdString(), newPanelState()));
        QVERIFY(saveState(path().toStdString(), someState()));
        QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"panel-state"});
        QVERIFY(loadState(path().toStdString()).state == someState());
    }

    void saveIntoAMissingFolderFails() {
        errno = 0;
        QVERIFY(!saveState(dir->filePath("gone/panel-state").toStdString(), someState()));
        QCOMPARE(errno, ENOENT);
    }

    void staleTemporaries_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("link");
        QTest::addColumn<bool>("removed");
        QTest::newRow("ours") << "panel-state.tmp-a1B2c3" << false << true;
        QTest::newRow("ours, all digits") << "panel-state.tmp-123456" << false << true;
        QTest::newRow("a link named like ours") << "panel-state.tmp-a1B2c3" << true << false;
        QTest::newRow("too long") << "panel-state.tmp-a1B2c3d" << false << false;
        QTest::newRow("too short") << "panel-state.tmp-a1B2c" << false << false;
        QTest::newRow("not random characters") << "panel-state.tmp-a1.2c3" << false << false;
        QTest::newRow("the user's backup") << "panel-state.backup" << false << false;
        QTest::newRow("another state file's") << "other.tmp-a1B2c3" << false << false;
    }

    void staleTemporaries() {
        QFETCH(QString, name);
        QFETCH(bool, link);
        QFETCH(bool, removed);
        const QString target = dir->filePath("target");
        QFile f(link ? target : dir->filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("panelsim-state 1\n");
        f.close();
        if (link) {
            QVERIFY(QFile::link(target, dir->filePath(name)));
        }
        QCOMPARE(removeStaleTemporaries(path().toStdString()), removed ? 1 : 0);
        QCOMPARE(
            QFileInfo(dir->filePath(name)).isSymLink() || QFileInfo::exists(dir->filePath(name)),
            !removed);
        if (link) {
            QVERIFY(QFileInfo::exists(target));
        }
    }
};

QTEST_GUILESS_MAIN(StateFileTest)
#include "tst_statefile.moc"
