// The built lumictl doctor on a panel emulated at the kernel's USB interface
// (with and without access, another product id, unplugged), and on a virtual
// panel from panelsim, running, held by another program, stopped.
#include <grp.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <filesystem>
#include <memory>

#include "EmulatedPanel.h"
#include "OpenTestbed.h"
#include "PanelFirmware.h"
#include "PanelLock.h"
#include "PanelSimProcess.h"

using usbemu::EmulatedPanel;

namespace {

constexpr uid_t kNobody = 65534;

// What one run said: its exit code and its JSON objects by check.
struct Doctor {
    int code = -1;
    QHash<QString, QJsonObject> checks;
    QString errors;
    QString status(const char* check) const { return checks.value(check)["status"].toString(); }
    QStringList missing() const {
        QStringList out;
        for (const QJsonValue v : checks.value("verdict")["missing"].toArray()) {
            out << v.toString();
        }
        return out;
    }
};

Doctor runDoctor(const QStringList& options = {}, bool asNobody = false, const QString& path = {}) {
    QProcess p;
    if (!path.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", path);
        p.setProcessEnvironment(env);
    }
    if (asNobody) {
        p.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
                ::_exit(125);
            }
        });
    }
    p.start(QDir(PanelSimProcess::binDir()).filePath("lumictl"),
            options + QStringList{"doctor", "--json"});
    Doctor d;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        d.errors = "hung";
        return d;
    }
    d.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    d.errors = QString::fromUtf8(p.readAllStandardError());
    for (const QByteArray& line : p.readAllStandardOutput().trimmed().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        d.checks.insert(o["check"].toString(), o);
    }
    return d;
}

}  // namespace

class TestLumictlDoctorUsb : public QObject {
    Q_OBJECT

    panelsim::PanelFirmware firmware_;
    std::unique_ptr<EmulatedPanel> panel_;

    void replug(quint16 product) {
        panel_->unplug();
        panel_->setProductId(product);
        panel_->plug();
    }

private slots:
    void initTestCase() {
        qunsetenv("MPUSBAPI_VIRTUAL");
        panel_ = std::make_unique<EmulatedPanel>(
            [this](const usbemu::Report& out) { return firmware_.handle(out); });
        panel_->plug();
    }
    void cleanupTestCase() { panel_.reset(); }
    void init() {
        if (!panel_->isPlugged()) {
            panel_->plug();
        }
    }

    void emulatedPanelWithAccess() {
        const Doctor d = runDoctor();
        QVERIFY2(d.code == 0, qPrintable(d.errors + d.missing().join(' ')));
        QCOMPARE(d.status("library"), "ok");
        QCOMPARE(d.status("device"), "ok");
        const QString node = QString::fromStdString(panel_->deviceNode());
        QCOMPARE(d.checks["device_node"]["node"].toString(), node);
        QCOMPARE(d.status("device_node"), "ok");
        QCOMPARE(d.status("lock"), "ok");
        // The panel answered a clock read through the library and libusb.
        QVERIFY2(d.checks["clock"]["message"].toString().startsWith("le panneau répond"),
                 qPrintable(d.checks["clock"]["message"].toString()));
        QCOMPARE(d.missing(), QStringList{});
    }

    void emulatedPanelWithoutAccess() {
        const std::string node = panel_->rootDir() + panel_->deviceNode();
        const bool root = ::geteuid() == 0;
        if (root) {
            openTestbedToAll(panel_->rootDir(), panel_->deviceNode());
        } else {
            std::filesystem::permissions(node, std::filesystem::perms::none);
        }
        const Doctor d = runDoctor({}, root);
        if (!root) {
            std::filesystem::permissions(
                node, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        }
        QCOMPARE(d.code, 1);
        QCOMPARE(d.status("device"), "ok");
        QCOMPARE(d.status("device_node"), "failed");
        QVERIFY(d.checks["device_node"]["message"].toString().contains("ne s'ouvre pas pour"));
        QVERIFY(!d.checks["device_node"]["fix"].toString().isEmpty());
        QVERIFY(d.missing().contains("device_node"));
        QCOMPARE(d.status("clock"), "skipped");
    }

    void otherProductId() {
        replug(0x000b);
        const Doctor d = runDoctor();
        replug(usbemu::kProductId);
        QCOMPARE(d.code, 1);
        QCOMPARE(d.status("device"), "failed");
        QCOMPARE(d.checks["device"]["others"].toArray(), QJsonArray{"04d8:000b"});
        QCOMPARE(d.status("device_node"), "skipped");
    }

    void unplugged() {
        panel_->unplug();
        const Doctor d = runDoctor();
        QCOMPARE(d.code, 1);
        QCOMPARE(d.status("device"), "failed");
        QVERIFY(d.missing().contains("device"));
    }

    // What systemctl answers, as lumictl reads it: a stand-in systemctl first
    // on the PATH says it.
    void syncTimerFromSystemctl_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("state");
        QTest::newRow("enabled") << QByteArray("echo enabled") << "enabled";
        QTest::newRow("disabled") << QByteArray("echo disabled; exit 1") << "disabled";
        QTest::newRow("not found") << QByteArray("echo not-found; exit 1") << "not_installed";
        QTest::newRow("old systemd, not found")
            << QByteArray(
                   "echo 'Failed to get unit file state for lumictl-sync.timer: No such "
                   "file or directory' >&2; exit 1")
            << "not_installed";
        QTest::newRow("no user bus")
            << QByteArray("echo 'Failed to connect to bus: No medium found' >&2; exit 1")
            << "no_user_bus";
        QTest::newRow("no systemctl") << QByteArray() << "no_systemctl";
    }
    void syncTimerFromSystemctl() {
        QFETCH(QByteArray, script);
        QFETCH(QString, state);
        QTemporaryDir bin;
        if (!script.isEmpty()) {
            QFile stand(bin.filePath("systemctl"));
            QVERIFY(stand.open(QIODevice::WriteOnly));
            stand.write(
                "#!/bin/sh\n[ \"$*\" = '--user is-enabled lumictl-sync.timer' ] || exit 9\n" +
                script + '\n');
            stand.close();
            stand.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        }
        const Doctor d = runDoctor({}, false, bin.path());
        QCOMPARE(d.checks["sync_timer"]["state"].toString(), state);
        // Advice only: the panel is usable whatever the timer.
        QCOMPARE(d.code, 0);
    }

    void virtualPanel() {
        PanelSimProcess sim;
        QVERIFY2(sim.ready(), qPrintable(sim.errorText()));
        const QStringList virt{"--virtual", sim.socketPath()};
        Doctor d = runDoctor(virt);
        QCOMPARE(d.code, 0);
        QCOMPARE(d.status("virtual_panel"), "ok");
        QVERIFY(d.checks["clock"]["message"].toString().startsWith("le panneau répond"));

        {
            // Another program in the middle of an operation on that panel.
            PanelLock lock(panelLockPath(panelLockFolder(), sim.socketPath(), 0));
            QCOMPARE(lock.acquire(), PanelLock::Result::Held);
            d = runDoctor(virt);
        }
        QCOMPARE(d.code, 1);
        QCOMPARE(d.status("lock"), "failed");
        QCOMPARE(d.checks["lock"]["pid"].toInteger(), qint64(::getpid()));
        QCOMPARE(d.missing(), QStringList{"lock"});

        sim.stop();
        d = runDoctor(virt);
        QCOMPARE(d.code, 1);
        QCOMPARE(d.status("virtual_panel"), "failed");
        QVERIFY(d.checks["virtual_panel"]["fix"].toString().startsWith("panelsim --socket "));
        QCOMPARE(d.missing(), QStringList{"virtual_panel"});
    }
};

QTEST_GUILESS_MAIN(TestLumictlDoctorUsb)
#include "tst_lumictl_doctor_usb.moc"
