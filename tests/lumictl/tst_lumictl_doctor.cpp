// lumictl doctor's checks on machines made up for each case: the lines, the
// fixes they give and whether the panel is said usable.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <cerrno>

#include "Arguments.h"
#include "Doctor.h"

namespace {

const QString kPackagedRule = QStringLiteral("/usr/lib/udev/rules.d/70-lumiboard-panel.rules");

// A machine as plain values: by default everything is in place.
struct Machine {
    LibraryLoad::Result library = LibraryLoad::Result::Loaded;
    QStringList rules{kPackagedRule};
    std::vector<UsbDeviceEntry> devices{{0x1d6b, 0x0002, 1, 1}, {0x04d8, 0x000c, 1, 5}};
    NodeAccess node{0, "alice", "root", "root", 0664, true, false};
    std::optional<LockHolder> holder;
    QString socket;
    int socketError = 0;
    ClockCheck clock{std::nullopt, 1};
    TimerState timer = TimerState::Enabled;
    std::uint32_t instance = 0;
};

DoctorMachine fake(const Machine& m, QStringList* opened = nullptr) {
    DoctorMachine machine;
    machine.library = [m] {
        LibraryFound found;
        found.load.result = m.library;
        found.load.fileName = QStringLiteral("libmpusbapi.so");
        found.load.loaderError = QStringLiteral("libusb-1.0.so.0: cannot open shared object");
        if (m.library != LibraryLoad::Result::NotFound) {
            found.path = QStringLiteral("/usr/lib/x86_64-linux-gnu/lumiboard/libmpusbapi.so");
        }
        return found;
    };
    machine.panelRules = [m] { return m.rules; };
    machine.ruleSource = QStringLiteral("packaging/70-lumiboard-panel.rules");
    machine.usbDevices = [m] { return m.devices; };
    machine.nodeAccess = [m, opened](const QString& node) {
        if (opened != nullptr) {
            *opened << node;
        }
        return m.node;
    };
    machine.lockHolder = [m] { return m.holder; };
    machine.virtualSocket = m.socket;
    machine.connectSocket = [m](const QString&) { return m.socketError; };
    machine.readClock = [m] { return m.clock; };
    machine.syncTimer = [m] { return m.timer; };
    machine.instance = m.instance;
    return machine;
}

// The first character of each check's line: ✓, ✗ or –.
QString marks(const QByteArray& text) {
    QString out;
    const QStringList lines = QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        out += lines[i].front();
    }
    return out;
}

QStringList missing(const QByteArray& json) {
    const QList<QByteArray> lines = json.trimmed().split('\n');
    QStringList out;
    for (const QJsonValue v : QJsonDocument::fromJson(lines.last()).object()["missing"].toArray()) {
        out << v.toString();
    }
    return out;
}

}  // namespace

Q_DECLARE_METATYPE(Machine)

class TestLumictlDoctor : public QObject {
    Q_OBJECT

private slots:
    void machines_data() {
        QTest::addColumn<Machine>("machine");
        QTest::addColumn<QString>("expectedMarks");  // library, rule, device, node, lock,
                                                     // virtual, clock, timer
        QTest::addColumn<QStringList>("expectedMissing");
        QTest::addColumn<QStringList>("said");  // parts of the output

        Machine m;
        QTest::newRow("all fine") << m << "✓✓✓✓✓–✓✓" << QStringList{}
                                  << QStringList{"/dev/bus/usb/001/005 s'ouvre", "décalage : +1 s",
                                                 "Le panneau est utilisable."};
        m = {};
        m.library = LibraryLoad::Result::NotFound;
        QTest::newRow("no library")
            << m << "✗✓✓✓✓––✓" << QStringList{"library"}
            << QStringList{"sudo apt install ./lumiboard_*.deb",
                           "Pas de panneau utilisable : bibliothèque USB inutilisable."};
        m = {};
        m.library = LibraryLoad::Result::WillNotLoad;
        QTest::newRow("library will not load")
            << m << "✗✓✓✓✓––✓" << QStringList{"library"}
            << QStringList{"libusb-1.0.so.0", "--reinstall lumiboard"};
        m = {};
        m.rules = {};
        m.node.openError = EACCES;
        QTest::newRow("no rule, node closed")
            << m << "✓✗✓✗✓––✓" << QStringList{"udev_rule", "device_node"}
            << QStringList{
                   "sudo install -m 644 packaging/70-lumiboard-panel.rules "
                   "/etc/udev/rules.d/ && sudo udevadm control --reload && sudo "
                   "udevadm trigger",
                   "ne s'ouvre pas pour alice : propriétaire root, groupe root, mode "
                   "0664",
                   "règle udev absente, accès au panneau refusé."};
        m = {};
        m.rules = {};
        QTest::newRow("no rule, node open all the same")
            << m << "✓✗✓✓✓–✓✓" << QStringList{} << QStringList{"Le panneau est utilisable."};
        m = {};
        m.devices = {{0x1d6b, 0x0002, 1, 1}};
        QTest::newRow("no device") << m << "✓✓✗–✓––✓" << QStringList{"device"}
                                   << QStringList{"aucun appareil 04d8:000c", "lsusb -d 04d8:000c"};
        m = {};
        m.devices = {{0x04d8, 0x000b, 2, 7}};
        QTest::newRow("maker's device, other product")
            << m << "✓✓✗–✓––✓" << QStringList{"device"}
            << QStringList{"autre identifiant de produit : 04d8:000b (bus 002, appareil 007)"};
        m = {};
        m.instance = 1;
        QTest::newRow("instance past the panels")
            << m << "✓✓✗–✓––✓" << QStringList{"device"}
            << QStringList{"l'instance 1 n'existe pas", "de 0 à 0"};
        m = {};
        m.node = {EACCES, "alice", "root", "plugdev", 0660, false, false};
        QTest::newRow("node for a group the user is not in")
            << m << "✓✓✓✗✓––✓" << QStringList{"device_node"}
            << QStringList{"groupe plugdev, mode 0660", "sudo usermod -aG plugdev alice"};
        m = {};
        m.node = {EACCES, "alice", "root", "root", 0664, true, false};
        QTest::newRow("node given to the seat, user away (ssh)")
            << m << "✓✓✓✗✓––✓" << QStringList{"device_node"}
            << QStringList{"getfacl /dev/bus/usb/001/005", "GROUP=\"plugdev\""};
        m = {};
        m.holder = LockHolder{4242, "lumiboard"};
        QTest::newRow("lock held by another program")
            << m << "✓✓✓✓✗––✓" << QStringList{"lock"}
            << QStringList{"tenu par lumiboard (pid 4242)", "kill 4242",
                           "un autre programme tient le panneau"};
        m = {};
        m.rules = {};
        m.devices = {};
        m.socket = "/tmp/p.sock";
        QTest::newRow("virtual panel answering")
            << m << "✓✗✗–✓✓✓✓" << QStringList{}
            << QStringList{"panelsim écoute sur /tmp/p.sock", "Le panneau est utilisable."};
        m.socketError = ECONNREFUSED;
        QTest::newRow("virtual panel not running")
            << m << "✓✗✗–✓✗–✓" << QStringList{"virtual_panel"}
            << QStringList{"panelsim n'est pas lancé sur /tmp/p.sock",
                           "correction : panelsim --socket /tmp/p.sock &"};
        m.socket = "/tmp/l'autre panneau.sock";
        QTest::newRow("virtual panel not running, path quoted for the shell")
            << m << "✓✗✗–✓✗–✓" << QStringList{"virtual_panel"}
            << QStringList{"correction : panelsim --socket '/tmp/l'\\''autre panneau.sock' &"};
        m.socketError = EACCES;
        QTest::newRow("virtual panel of another user")
            << m << "✓✗✗–✓✗–✓" << QStringList{"virtual_panel"} << QStringList{"n'est pas à vous"};
        m = {};
        LinkFailure timedOut;
        timedOut.step = timedOut.transfer = LinkFailure::Step::Read;
        timedOut.error = ETIMEDOUT;
        m.clock.failure = timedOut;
        QTest::newRow("panel does not answer")
            << m << "✓✓✓✓✓–✗✓" << QStringList{"clock"}
            << QStringList{"le panneau ne répond pas", "MPUSBAPI_DEBUG=1 lumictl clock"};
        m = {};
        m.clock.drift = -125;
        QTest::newRow("clock off, panel usable")
            << m << "✓✓✓✓✓–✗✓" << QStringList{}
            << QStringList{"décalage : -125 s", "correction : lumictl clock --sync"};
        m = {};
        m.clock.drift = std::nullopt;
        QTest::newRow("clock not valid, panel usable")
            << m << "✓✓✓✓✓–✗✓" << QStringList{} << QStringList{"n'est pas valide"};
        m = {};
        m.timer = TimerState::Disabled;
        QTest::newRow("timer not enabled")
            << m << "✓✓✓✓✓–✓✗" << QStringList{}
            << QStringList{"systemctl --user enable --now lumictl-sync.timer"};
        m.timer = TimerState::NoUserBus;
        QTest::newRow("no user bus")
            << m << "✓✓✓✓✓–✓✗" << QStringList{}
            << QStringList{"Failed to connect to bus", "15 3 * * * lumictl --quiet clock"};
    }
    void machines() {
        QFETCH(Machine, machine);
        QFETCH(QString, expectedMarks);
        QFETCH(QStringList, expectedMissing);
        QFETCH(QStringList, said);
        const DoctorReport report = diagnose(fake(machine));
        const QByteArray text = doctorText(report);
        QCOMPARE(marks(text), expectedMarks);
        for (const QString& part : said) {
            QVERIFY2(QString::fromUtf8(text).contains(part), text.constData());
        }
        // Each failure but an informational one says how to put it right.
        for (const DoctorCheck& check : report.checks) {
            QCOMPARE(check.mark == DoctorCheck::Mark::Failed, !check.fix.isEmpty());
        }
        QCOMPARE(missing(doctorJson(report)), expectedMissing);
        QCOMPARE(report.usable(), expectedMissing.isEmpty());
    }

    // The node looked at is the chosen panel's, counted among panels only.
    void opensTheChosenPanelsNode() {
        Machine m;
        m.devices = {{0x04d8, 0x000c, 3, 12}, {0x04d8, 0x000b, 1, 2}, {0x04d8, 0x000c, 1, 9}};
        m.instance = 1;
        QStringList opened;
        diagnose(fake(m, &opened));
        QCOMPARE(opened, QStringList{"/dev/bus/usb/001/009"});
    }

    // A fix repeats --virtual when the socket came from it.
    void fixesReachTheSamePanel() {
        Machine m;
        m.socket = "/tmp/p.sock";
        m.clock.drift = 30;
        DoctorMachine machine = fake(m);
        machine.virtualFromOption = true;
        QVERIFY(QString::fromUtf8(doctorText(diagnose(machine)))
                    .contains("lumictl --virtual /tmp/p.sock clock --sync"));
    }

    void jsonHasOneObjectACheck() {
        Machine m;
        m.holder = LockHolder{77, "lumictl"};
        const QList<QByteArray> lines = doctorJson(diagnose(fake(m))).trimmed().split('\n');
        QStringList keys;
        for (const QByteArray& line : lines) {
            QJsonParseError error;
            const QJsonObject o = QJsonDocument::fromJson(line, &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            keys << o["check"].toString();
            if (keys.last() == "lock") {
                QCOMPARE(o["status"].toString(), "failed");
                QCOMPARE(o["pid"].toInt(), 77);
                QCOMPARE(o["program"].toString(), "lumictl");
                QVERIFY(o["fix"].toString().contains("kill 77"));
            }
            if (keys.last() == "device") {
                QCOMPARE(o["bus"].toInt(), 1);
                QCOMPARE(o["device"].toInt(), 5);
            }
        }
        QCOMPARE(keys, (QStringList{"library", "udev_rule", "device", "device_node", "lock",
                                    "virtual_panel", "clock", "sync_timer", "verdict"}));
    }

    void ruleTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("namesPanel");
        QTest::newRow("the packaged rule")
            << "# panel\nSUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", "
               "ATTR{idVendor}==\"04d8\", ATTR{idProduct}==\"000c\", TAG+=\"uaccess\"\n"
            << true;
        QTest::newRow("user's own, ATTRS, upper case")
            << "SUBSYSTEMS==\"usb\", ATTRS{idVendor}==\"04D8\", ATTRS{idProduct}==\"000C\", "
               "MODE=\"0660\", GROUP=\"plugdev\""
            << true;
        QTest::newRow("commented out")
            << "# ATTR{idVendor}==\"04d8\", ATTR{idProduct}==\"000c\", MODE=\"0666\"" << false;
        QTest::newRow("another product")
            << "ATTR{idVendor}==\"04d8\", ATTR{idProduct}==\"000b\", MODE=\"0666\"" << false;
        QTest::newRow("another maker")
            << "ATTR{idVendor}==\"14d8\", ATTR{idProduct}==\"000c\", MODE=\"0666\"" << false;
        QTest::newRow("ids on two rules")
            << "ATTR{idVendor}==\"04d8\"\nATTR{idProduct}==\"000c\"" << false;
        QTest::newRow("empty (masked by /dev/null)") << "" << false;
    }
    void ruleTexts() {
        QFETCH(QString, text);
        QFETCH(bool, namesPanel);
        QCOMPARE(ruleNamesPanel(text), namesPanel);
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("json");
        QTest::newRow("plain") << QStringList{"doctor"} << true << false;
        QTest::newRow("json, virtual")
            << QStringList{"--virtual", "/tmp/s", "doctor", "--json"} << true << true;
        QTest::newRow("extra argument") << QStringList{"doctor", "now"} << false << false;
        QTest::newRow("send's option") << QStringList{"doctor", "--verify"} << false << false;
    }
    void commandLine() {
        QFETCH(QStringList, args);
        QFETCH(bool, accepted);
        QFETCH(bool, json);
        const auto parsed = parseArguments(args);
        const auto* inv = std::get_if<Invocation>(&parsed);
        QCOMPARE(inv != nullptr, accepted);
        if (inv != nullptr) {
            QCOMPARE(inv->command, Command::Doctor);
            QCOMPARE(inv->json, json);
        }
    }
};

QTEST_GUILESS_MAIN(TestLumictlDoctor)
#include "tst_lumictl_doctor.moc"
