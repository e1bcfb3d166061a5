#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "FakePanel.h"
#include "FakeSeams.h"
#include "InChild.h"
#include "PanelLock.h"
#include "PanelSession.h"
#include "PanelTexts.h"

namespace {

bool setMode(const QString& path, mode_t mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

QString made(const QString& path, mode_t mode = 0700) {
    QDir().mkpath(path);
    setMode(path, mode);
    return path;
}

using Why = LockProblem::Why;

}  // namespace

class TestPanelLock : public QObject {
    Q_OBJECT
    FixedClock clock_;

private slots:
    // One folder whatever the environment: the runtime folder when it is the
    // user's own, else /run/user/<uid>, else the user's cache folder, else
    // one of the user's own in the temporary folder.
    void folders_data() {
        QTest::addColumn<QString>("runtime");  // "own", "open", "others", "missing", ""
        QTest::addColumn<QString>("userRun");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("runtime folder") << "own"
                                        << "own"
                                        << "own"
                                        << "runtime";
        QTest::newRow("no runtime folder: /run/user (cron)") << ""
                                                             << "own"
                                                             << "own"
                                                             << "run";
        QTest::newRow("runtime folder others may write") << "open"
                                                         << "own"
                                                         << "own"
                                                         << "run";
        QTest::newRow("another user's runtime folder (su)") << "others"
                                                            << "own"
                                                            << "own"
                                                            << "run";
        QTest::newRow("runtime folder gone") << "missing"
                                             << "missing"
                                             << "own"
                                             << "cache";
        QTest::newRow("no home either") << ""
                                        << "missing"
                                        << "missing"
                                        << "temp";
    }
    void folders() {
        QFETCH(QString, runtime);
        QFETCH(QString, userRun);
        QFETCH(QString, home);
        QFETCH(QString, chosen);
        if ((runtime == "others" || userRun == "others") && geteuid() != 0) {
            QSKIP("giving a folder to another user needs root");
        }
        QTemporaryDir root;
        const auto place = [&](const QString& kind, const QString& name) -> QString {
            const QString path = root.filePath(name);
            if (kind.isEmpty()) {
                return {};
            }
            if (kind != "missing") {
                made(path, kind == "open" ? 0777 : 0700);
            }
            if (kind == "others") {
                ::chown(QFile::encodeName(path).constData(), 1000, 1000);
            }
            return path;
        };
        LockPlaces places;
        places.uid = ::getuid();
        places.runtimeDir = place(runtime, "runtime");
        places.userRunDir = place(userRun, "run");
        places.homeDir = place(home, "home");
        places.tempDir = made(root.filePath("tmp"), 01777);
        const QString expected =
            chosen == "cache"  ? root.filePath("home/.cache/lumiboard")
            : chosen == "temp" ? root.filePath(QStringLiteral("tmp/lumiboard-%1").arg(places.uid))
                               : root.filePath(chosen);
        const QString folder = panelLockFolder(places);
        QCOMPARE(folder, expected);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(st.st_mode & 077, mode_t(0));
    }

    // A lock that cannot be used for its folder or its file says so and names
    // the path; it is never taken for another program's.
    void unusable_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("why");
        QTest::addColumn<bool>("folderNamed");
        QTest::newRow("folder others may write") << "open folder" << int(Why::OpenFolder) << true;
        QTest::newRow("another user's folder") << "others folder" << int(Why::OthersFolder) << true;
        QTest::newRow("folder gone") << "no folder" << int(Why::System) << true;
        QTest::newRow("a link in place of the file") << "link" << int(Why::NotAFile) << false;
        QTest::newRow("a folder in place of the file") << "dir" << int(Why::NotAFile) << false;
        QTest::newRow("a pipe in place of the file") << "fifo" << int(Why::NotAFile) << false;
    }
    void unusable() {
        QFETCH(QString, kind);
        QFETCH(int, why);
        QFETCH(bool, folderNamed);
        if (kind == "others folder" && geteuid() != 0) {
            QSKIP("giving a folder to another user needs root");
        }
        QTemporaryDir root;
        const QString folder = made(root.filePath("locks"), kind == "open folder" ? 0777 : 0700);
        const QString path = panelLockPath(folder, QString(), 0);
        const QByteArray name = QFile::encodeName(path);
        if (kind == "others folder") {
            QCOMPARE(::chown(QFile::encodeName(folder).constData(), 1000, 1000), 0);
        } else if (kind == "no folder") {
            QVERIFY(QDir(folder).removeRecursively());
        } else if (kind == "link") {
            QVERIFY(QFile::link(root.filePath("nowhere"), path));
        } else if (kind == "dir") {
            QVERIFY(QDir().mkdir(path));
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        }
        PanelLock lock(path);
        QCOMPARE(lock.acquire(std::chrono::milliseconds(0)), PanelLock::Result::Unusable);
        QVERIFY(lock.problem());
        QCOMPARE(int(lock.problem()->why), why);
        QCOMPARE(lock.problem()->path, folderNamed ? folder : path);

        // The session's operations say it, not "busy", and leave the panel alone.
        FakePanel panel;
        PanelSession session(clock_);
        session.bind(panel.api());
        session.setLockFile(path, std::chrono::milliseconds(0));
        // Told while "open", as a failed exchange is: the window says it then.
        int told = 0;
        const SendOutcome sent = session.sendText(
            QStringLiteral("x"), [&told](const SendOutcome& o) { told += o.failure ? 1 : 0; });
        QCOMPARE(told, 1);
        QVERIFY(sent.failure && sent.failure->lock);
        QVERIFY(sent.failure->error != EBUSY);
        QVERIFY(paneltext::lockProblemText(*sent.failure->lock)
                    .startsWith(QStringLiteral("verrou du panneau inutilisable : ") +
                                (folderNamed ? folder : path) + QStringLiteral(" (")));
        QVERIFY(session.readText([&told](const TextRead& o) { told += o.failure ? 1 : 0; })
                    .failure->lock);
        QVERIFY(session.readClock([&told](const ClockRead& o) { told += o.failure ? 1 : 0; })
                    .failure->lock);
        QCOMPARE(told, 3);
        QVERIFY(panel.received.isEmpty());
    }

    // Whatever a holder that is gone left in the file, the lock is free: a
    // killed holder, an empty or garbled file, one left by a root run.
    void goneHolderLeavesNothing_data() {
        QTest::addColumn<QString>("left");
        QTest::newRow("killed holder") << "killed";
        QTest::newRow("empty file") << "empty";
        QTest::newRow("garbled file") << "garbled";
        QTest::newRow("root run's file") << "root";
    }
    void goneHolderLeavesNothing() {
        QFETCH(QString, left);
        if (left == "root" && geteuid() != 0) {
            QSKIP("a root run's file needs root to make");
        }
        QTemporaryDir root;
        QCOMPARE(::chmod(QFile::encodeName(root.path()).constData(), 0755), 0);
        const QString folder = made(root.filePath("locks"));
        const QString path = panelLockPath(folder, QString(), 3);
        QVERIFY(path.endsWith(QStringLiteral("lumiboard-panel-usb-3.lock")));
        if (left == "killed") {
            const pid_t child = fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                PanelLock held(path);
                _exit(held.acquire() == PanelLock::Result::Held ? (raise(SIGKILL), 0) : 3);
            }
            int status = 0;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL, "killed holding");
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(left == "empty" ? QByteArray() : QByteArray("\x01\xff garbage 99999\n"));
        }
        QVERIFY(QFile::exists(path));
        if (left == "root") {
            // The folder is the user's; the file in it root's, not writable by them.
            QVERIFY(setMode(path, 0644));
            QCOMPARE(::chown(QFile::encodeName(folder).constData(), kNobody, kNobody), 0);
            QCOMPARE(asUnprivileged([&] {
                         PanelLock next(path);
                         return QByteArray::number(int(next.acquire(std::chrono::seconds(2))));
                     }),
                     QByteArray::number(int(PanelLock::Result::Held)));
            return;
        }
        PanelLock next(path);
        QCOMPARE(next.acquire(std::chrono::seconds(2)), PanelLock::Result::Held);
    }

    // A read waits its turn while another program holds the panel, rather
    // than failing at once: it runs only once the holder let go.
    void readsWaitTheirTurn() {
        QTemporaryDir root;
        const QString path = panelLockPath(made(root.filePath("locks")), QString(), 0);
        int ends[2];
        QCOMPARE(::pipe(ends), 0);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(ends[0]);
            PanelLock held(path);
            if (held.acquire() != PanelLock::Result::Held) {
                _exit(3);
            }
            (void)!::write(ends[1], "h", 1);
            ::usleep(300 * 1000);
            (void)!::write(ends[1], "r", 1);  // said before letting go
            held.release();
            _exit(0);
        }
        ::close(ends[1]);
        char got = 0;
        QCOMPARE(::read(ends[0], &got, 1), ssize_t(1));
        QCOMPARE(got, 'h');
        // Who holds it, for a person asking.
        const auto holder = panelLockHolder(path);
        QVERIFY(holder);
        QCOMPARE(holder->pid, qint64(child));
        QCOMPARE(holder->program, QCoreApplication::applicationName());
        FakePanel panel;
        panel.reply = reportOf({0xAA, 9, 5, 0, 14, 7, 0x07, 0xD9, 7, 30, 1});
        PanelSession session(clock_);
        session.bind(panel.api());
        session.setLockFile(path, std::chrono::seconds(9));
        QVERIFY(session.readClock().ok());
        ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
        QCOMPARE(::read(ends[0], &got, 1), ssize_t(1));
        QCOMPARE(got, 'r');
        ::close(ends[0]);
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(!panelLockHolder(path));
    }

    // A socket reached through a link or a relative name shares its lock.
    void virtualPanelNamedByItsRealPath() {
        QTemporaryDir root;
        const QString socket = root.filePath("panel.sock");
        QFile made(socket);
        QVERIFY(made.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(socket, root.filePath("alias.sock")));
        const QString lock = panelLockPath(root.path(), socket, 0);
        QCOMPARE(panelLockPath(root.path(), root.filePath("alias.sock"), 0), lock);
        QCOMPARE(panelLockPath(root.path(), root.path() + QStringLiteral("/./panel.sock"), 0),
                 lock);
        QVERIFY(panelLockPath(root.path(), root.filePath("other.sock"), 0) != lock);
    }
};

QTEST_GUILESS_MAIN(TestPanelLock)
#include "tst_panellock.moc"
