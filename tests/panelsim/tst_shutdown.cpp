// panelsim's end: within a few seconds of SIGTERM or SIGHUP whatever its face
// does, and its socket removed only while it is still its own.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

#include <cerrno>

#include "FaceLink.h"
#include "SimHarness.h"

using namespace panelsim;

class TestShutdown : public QObject {
    Q_OBJECT
private slots:
    void faceLinkEndsItsFace_data();
    void faceLinkEndsItsFace();
    void stopSignalEndsPanelsim_data();
    void stopSignalEndsPanelsim();
    void socketTakenByAnotherIsLeftToIt();
};

void TestShutdown::faceLinkEndsItsFace_data() {
    QTest::addColumn<bool>("ignoresTerm");
    QTest::addColumn<bool>("stopped");
    // None of them reads its feed, so none sees it end.
    QTest::newRow("deaf to its feed") << false << false;
    QTest::newRow("deaf to SIGTERM too") << true << false;
    QTest::newRow("stopped") << false << true;
    QTest::newRow("stopped and deaf to SIGTERM") << true << true;
}

void TestShutdown::faceLinkEndsItsFace() {
    QFETCH(bool, ignoresTerm);
    QFETCH(bool, stopped);
    int ends[2];
    QCOMPARE(::pipe2(ends, O_CLOEXEC), 0);
    const UniqueFd readEnd(ends[0]);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        if (ignoresTerm) {
            ::signal(SIGTERM, SIG_IGN);
        }
        for (;;) {
            ::pause();
        }
    }
    if (stopped) {
        QCOMPARE(::kill(child, SIGSTOP), 0);
        QTRY_COMPARE(processState(child), 'T');
    }
    PanelFirmware firmware;
    QElapsedTimer timer;
    timer.start();
    { const FaceLink link(firmware, UniqueFd(ends[1]), child); }
    const qint64 took = timer.elapsed();
    QVERIFY2(took < 3000, qPrintable(QString::number(took)));
    // Ended: reaped by the link, or (on a busy machine, killed but not yet
    // gone when the link stopped waiting) about to be.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const pid_t rc = ::waitpid(child, nullptr, WNOHANG);
            return rc == child || (rc < 0 && errno == ECHILD);
        }(),
        5000);
}

void TestShutdown::stopSignalEndsPanelsim_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("face");
    QTest::newRow("SIGTERM, face stopped") << int(SIGTERM) << "stopped";
    QTest::newRow("SIGHUP, face stopped") << int(SIGHUP) << "stopped";
    QTest::newRow("SIGHUP, face running") << int(SIGHUP) << "running";
    QTest::newRow("SIGHUP, no face") << int(SIGHUP) << "none";
}

void TestShutdown::stopSignalEndsPanelsim() {
    QFETCH(int, signal);
    QFETCH(QString, face);
    PanelSimProcess sim(face == "none" ? QStringList{} : QStringList{"--show"});
    QVERIFY2(sim.ready(), qPrintable(sim.errorText()));
    qint64 facePid = 0;
    if (face != "none") {
        QList<qint64> faces;
        QTRY_VERIFY_WITH_TIMEOUT(!(faces = childrenNamed(sim.pid(), "panelsim-face")).isEmpty(),
                                 10000);
        facePid = faces.first();
        if (face == "stopped") {
            QCOMPARE(::kill(static_cast<pid_t>(facePid), SIGSTOP), 0);
            QTRY_COMPARE(processState(facePid), 'T');
        }
    }
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(::kill(static_cast<pid_t>(sim.pid()), signal), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!sim.running(), 9000);
    qInfo("ended %lld ms after the signal", timer.elapsed());
    QCOMPARE(sim.stop(), 0);
    QVERIFY(!QFileInfo::exists(sim.socketPath()));
    if (facePid != 0) {
        // Ended and reaped, not left stopped behind it.
        QTRY_COMPARE(processState(facePid), char(0));
    }
}

void TestShutdown::socketTakenByAnotherIsLeftToIt() {
    QTemporaryDir dir;
    PanelSimProcess first(PanelSimProcess::notStarted, dir.path());
    QVERIFY(first.start());
    // The first's socket moved away; a second panelsim serves at the path.
    const QString moved = dir.filePath("moved.sock");
    QVERIFY(QFile::rename(first.socketPath(), moved));
    PanelSimProcess second(PanelSimProcess::notStarted, dir.path());
    QVERIFY2(second.start(), qPrintable(second.errorText()));
    QCOMPARE(first.stop(), 0);
    QVERIFY(QFileInfo::exists(second.socketPath()));
    second.select();
    MpusbLibrary lib;
    QVERIFY(lib.load());
    QCOMPARE(lib.count(kPanelId), 1u);
}

QTEST_GUILESS_MAIN(TestShutdown)
#include "tst_shutdown.moc"
