// panelsim and libmpusbapi together, over a real socket, through the six
// exported entry points.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <QtTest>

#include "SimHarness.h"
#include "VirtualWire.h"

using namespace std::chrono;

namespace {

std::string pattern(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += static_cast<char>('A' + i % 26);
    }
    return s;
}

// The host's text send: 62-character chunks with their offsets.
bool sendText(Pipes& pipes, const std::string& text) {
    for (std::size_t pos = 0; pos < text.size(); pos += 62) {
        Bytes out{};
        out[0] = 0x58;
        out[1] = static_cast<std::uint8_t>(pos);
        const std::string part = text.substr(pos, 62);
        std::copy(part.begin(), part.end(), out.begin() + 2);
        if (!pipes.send(out)) {
            return false;
        }
    }
    return true;
}

std::string textOf(const Bytes& reply) {
    const auto end = std::find(reply.begin() + 2, reply.end(), std::uint8_t{0});
    return std::string(reply.begin() + 2, end);
}

Bytes clockWrite(std::vector<int> fields) {
    Bytes b{};
    b[0] = 0x34;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        b[i + 1] = static_cast<std::uint8_t>(fields[i]);
    }
    return b;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// User and system CPU time a process has used so far, from /proc.
double cpuSeconds(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray line = f.readAll();
    // Fields after the command name, which sits in parentheses; utime and
    // stime are fields 14 and 15 of the line.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) {
        return -1;
    }
    return (fields[11].toDouble() + fields[12].toDouble()) / double(::sysconf(_SC_CLK_TCK));
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

    MpusbLibrary lib;
    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void initTestCase() { QVERIFY2(lib.load(), qPrintable(lib.library.errorString())); }
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        qputenv("MPUSBAPI_VIRTUAL", QFile::encodeName(dir->path() + "/panel.sock"));
    }
    void cleanup() { qunsetenv("MPUSBAPI_VIRTUAL"); }

    void countFollowsThePanel();
    void openRefusesWhatThePanelIsNot_data();
    void openRefusesWhatThePanelIsNot();
    void textSendAndReadBack();
    void pipesGoOneWayEach();
    void clockWriteThenRead();
    void noReplyTimesOut();
    void nakReply();
    void failWriteAt();
    void clockReplyFault();
    void unplugAfter();
    void panelGoneFailsAtOnce();
    void stateSurvivesRestart();
    void damagedStateStartsNewPanel();
    void newPanelHoldsItsOwnMessage();
    void stateFileThatCannotBeReadIsKept();
    void stateThatIsNotAFileIsRefused_data();
    void stateThatIsNotAFileIsRefused();
    void staleTemporariesAreCleared();
    void logIsPrivateAndAppended();
    void logThatIsNotSafeIsRefused_data();
    void logThatIsNotSafeIsRefused();
    void logLinesLostAreCounted();
    void socketIsPrivate();
    void liveSocketIsRefused();
    void staleSocketIsReplaced();
    void otherFileIsNotTouched();
    void logRecordsReports();
    void malformedFramesAreDropped();
    void oneClientAtATime();
    void silentHolderIsFreed();
    void acceptFailureRestsInsteadOfSpinning();
    void badCommandLine_data();
    void badCommandLine();
};

void EndToEndTest::countFollowsThePanel() {
    QCOMPARE(lib.count(kPanelId), 0u);
    {
        PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
        QVERIFY(sim.start());
        QCOMPARE(lib.count(kPanelId), 1u);
        QCOMPARE(lib.count("VID_04D8&PID_000C"), 1u);
        QCOMPARE(lib.count("vid_04d8&pid_000d"), 0u);
        QCOMPARE(lib.count("vid_04d8&pid_00c"), 0u);
        QCOMPARE(sim.stop(), 0);
    }
    // SIGTERM took the socket away with the panel.
    QVERIFY(!QFileInfo::exists(dir->path() + "/panel.sock"));
    QCOMPARE(lib.count(kPanelId), 0u);
    QCOMPARE(lib.open(0, kPanelId, kEndpoint, 0, 0), MPUSB_INVALID_HANDLE);
}

void EndToEndTest::openRefusesWhatThePanelIsNot_data() {
    QTest::addColumn<int>("instance");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("endpoint");
    QTest::addColumn<int>("direction");
    QTest::newRow("second instance") << 1 << QByteArray(kPanelId) << QByteArray(kEndpoint) << 0;
    QTest::newRow("other product")
        << 0 << QByteArray("vid_04d8&pid_000b") << QByteArray(kEndpoint) << 0;
    QTest::newRow("endpoint 2") << 0 << QByteArray(kPanelId) << QByteArray("\\MCHP_EP2") << 0;
    QTest::newRow("endpoint 0") << 0 << QByteArray(kPanelId) << QByteArray("\\MCHP_EP0") << 1;
    QTest::newRow("no backslash") << 0 << QByteArray(kPanelId) << QByteArray("MCHP_EP1") << 0;
    QTest::newRow("direction 2") << 0 << QByteArray(kPanelId) << QByteArray(kEndpoint) << 2;
    QTest::newRow("trailing junk") << 0 << QByteArray(kPanelId) << QByteArray("\\MCHP_EP1x") << 0;
}

void EndToEndTest::openRefusesWhatThePanelIsNot() {
    QFETCH(int, instance);
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, endpoint);
    QFETCH(int, direction);
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start());
    QCOMPARE(lib.open(static_cast<std::uint32_t>(instance), id.constData(), endpoint.constData(),
                      static_cast<std::uint32_t>(direction), 0),
             MPUSB_INVALID_HANDLE);
    // The same panel opens fine with the right arguments.
    Pipes pipes(lib);
    QVERIFY(pipes.valid());
}

void EndToEndTest::textSendAndReadBack() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start());
    QCOMPARE(lib.count(kPanelId), 1u);
    const std::string text = pattern(199);
    {
        Pipes pipes(lib);
        QVERIFY(pipes.valid());
        QVERIFY(sendText(pipes, text));
    }
    Pipes pipes(lib);
    QVERIFY(pipes.send(command(0x85)));
    const auto reply = pipes.receive(1000);
    QVERIFY(reply);
    QCOMPARE((*reply)[0], 0xAA);
    QCOMPARE(std::string(reply->begin() + 2, reply->end()), text.substr(0, 62));
}

void EndToEndTest::pipesGoOneWayEach() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start());
    Pipes pipes(lib);
    QVERIFY(pipes.valid());
    QVERIFY(pipes.write != pipes.read);
    Bytes b = command(0x43);
    std::uint32_t n = 99;
    QCOMPARE(lib.write(pipes.read, b.data(), 64, &n, 200), 0u);
    QCOMPARE(n, 0u);
    QCOMPARE(lib.read(pipes.write, b.data(), 64, &n, 200), 0u);
    QCOMPARE(lib.write(pipes.write, nullptr, 64, &n, 200), 0u);
    QCOMPARE(lib.write(pipes.write, b.data(), 64, nullptr, 200), 0u);
    QCOMPARE(lib.read(pipes.read, nullptr, 64, &n, 200), 0u);
    QCOMPARE(lib.write(pipes.write, b.data(), 65, &n, 200), 0u);
    QCOMPARE(lib.write(pipes.write, b.data(), 0, &n, 200), 0u);
    // The pipes still work after all that.
    QVERIFY(pipes.send(command(0x43)));
    QVERIFY(pipes.receive(1000));
}

void EndToEndTest::clockWriteThenRead() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start());
    Pipes pipes(lib);
    QVERIFY(pipes.send(clockWrite({9, 5, 0, 14, 7, 0x07, 0xD9, 7, 30, 1})));
    const auto ack = pipes.receive(1000);
    QVERIFY(ack);
    QCOMPARE((*ack)[0], 0xAA);
    QVERIFY(pipes.send(command(0x43)));
    const auto reply = pipes.receive(1000);
    QVERIFY(reply);
    QCOMPARE((*reply)[0], 0xAA);
    // Seconds may have ticked on; the rest holds still within a test's run.
    QCOMPARE(std::vector<int>(reply->begin() + 1, reply->begin() + 3), (std::vector<int>{9, 5}));
    QVERIFY((*reply)[3] <= 5);
    QCOMPARE(std::vector<int>(reply->begin() + 4, reply->begin() + 11),
             (std::vector<int>{14, 7, 0x07, 0xD9, 7, 30, 1}));
}

void EndToEndTest::noReplyTimesOut() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start({"--no-reply"}));
    QCOMPARE(lib.count(kPanelId), 1u);
    Pipes pipes(lib);
    QVERIFY(pipes.send(command(0x85)));
    const auto start = steady_clock::now();
    QVERIFY(!pipes.receive(200));
    const auto waited = duration_cast<milliseconds>(steady_clock::now() - start).count();
    // Ends at its own time-out: not before it, and far sooner than the next
    // longest wait it could be confused with (a second, the write time-out).
    QVERIFY2(waited >= 199 && waited < 600, qPrintable(QString::number(waited)));
}

void EndToEndTest::nakReply() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start({"--nak"}));
    Pipes pipes(lib);
    for (const std::uint8_t code : {0x85, 0x43, 0x34}) {
        QVERIFY(pipes.send(command(code)));
        const auto reply = pipes.receive(1000);
        QVERIFY(reply);
        QCOMPARE((*reply)[0], 0x55);
    }
}

void EndToEndTest::failWriteAt() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start({"--fail-write-at", "3"}));
    {
        Pipes pipes(lib);
        QVERIFY(sendText(pipes, "first"));
        QVERIFY(pipes.send(command(0x99)));
    }
    Pipes pipes(lib);
    QVERIFY(!sendText(pipes, "refused"));
    // Only the refused report is lost; the panel kept the first text.
    QVERIFY(pipes.send(command(0x85)));
    const auto reply = pipes.receive(1000);
    QVERIFY(reply);
    QCOMPARE(textOf(*reply), std::string("first"));
}

void EndToEndTest::clockReplyFault() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start({"--clock-reply=24,60,61,32,13,2009,99,98,128"}));
    Pipes pipes(lib);
    QVERIFY(pipes.send(command(0x43)));
    const auto reply = pipes.receive(1000);
    QVERIFY(reply);
    QCOMPARE(std::vector<int>(reply->begin(), reply->begin() + 11),
             (std::vector<int>{0xAA, 24, 60, 61, 32, 13, 0x07, 0xD9, 99, 98, 128}));
}

void EndToEndTest::unplugAfter() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start({"--unplug-after", "2"}));
    Pipes pipes(lib);
    QVERIFY(sendText(pipes, "x"));
    QVERIFY(pipes.send(command(0x85)));
    QVERIFY(pipes.receive(1000));  // the last report still gets its answer
    const auto start = steady_clock::now();
    QVERIFY(!pipes.send(command(0x85)));
    // At once: well under the write's 1000 ms time-out.
    const auto waited = duration_cast<milliseconds>(steady_clock::now() - start).count();
    QVERIFY2(waited < 500, qPrintable(QString::number(waited)));
    QCOMPARE(lib.count(kPanelId), 0u);
    QCOMPARE(lib.open(0, kPanelId, kEndpoint, 0, 0), MPUSB_INVALID_HANDLE);
}

void EndToEndTest::panelGoneFailsAtOnce() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start());
    Pipes pipes(lib);
    QVERIFY(pipes.valid());
    sim.kill();
    const auto start = steady_clock::now();
    QVERIFY(!pipes.send(command(0x43)));
    QVERIFY(!pipes.receive(1000));
    // At once: well under the 1000 ms time-outs of either call.
    const auto waited = duration_cast<milliseconds>(steady_clock::now() - start).count();
    QVERIFY2(waited < 500, qPrintable(QString::number(waited)));
}

void EndToEndTest::stateSurvivesRestart() {
    const QString state = dir->path() + "/panel-state";
    {
        PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
        QVERIFY(sim.start({"--state", state}));
        QVERIFY2(sim.stop() == 0, qPrintable(sim.output()));
        QVERIFY(sim.output().contains("nouveau panneau"));
        QVERIFY(sim.start({"--state", state}));
        Pipes pipes(lib);
        QVERIFY(sendText(pipes, "kept \xE9"));
        QVERIFY(pipes.send(clockWrite({10, 0, 0, 1, 1, 0x07, 0xE0, 6, 45, 1})));
        QVERIFY(pipes.receive(1000));
    }
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start({"--state", state}));
    Pipes pipes(lib);
    QVERIFY(pipes.send(command(0x85)));
    const auto text = pipes.receive(1000);
    QVERIFY(text);
    QCOMPARE(textOf(*text), std::string("kept \xE9"));
    QVERIFY(pipes.send(command(0x43)));
    const auto clock = pipes.receive(1000);
    QVERIFY(clock);
    QCOMPARE(std::vector<int>(clock->begin() + 4, clock->begin() + 11),
             (std::vector<int>{1, 1, 0x07, 0xE0, 6, 45, 1}));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), 1);  // no temporary left over
}

void EndToEndTest::damagedStateStartsNewPanel() {
    const QString state = dir->path() + "/panel-state";
    const QByteArray damaged("panelsim-state 1\ntext zz\n");
    QVERIFY(writeFile(state, damaged));
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start({"--state", state}));
    {
        Pipes pipes(lib);
        const auto reply = pipes.ask(0x85);
        QVERIFY(reply);
        QCOMPARE(textOf(*reply), std::string("Journal lumineux #H  "));
        // The first change writes the new panel, never over the damaged file.
        QVERIFY(sendText(pipes, "new"));
    }
    QCOMPARE(sim.stop(), 0);
    QVERIFY(sim.output().contains("abîmé"));
    QCOMPARE(readFile(state + ".bad"), damaged);
}

void EndToEndTest::newPanelHoldsItsOwnMessage() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start({"--state", dir->path() + "/first-run"}));
    Pipes pipes(lib);
    const auto text = pipes.ask(0x85);
    QVERIFY(text);
    QCOMPARE(textOf(*text), std::string("Journal lumineux #H  "));
    // Its clock is the computer's, no alarm set.
    const auto clock = pipes.ask(0x43);
    QVERIFY(clock);
    const auto& c = *clock;
    const QDateTime panel(QDate(c[6] * 256 + c[7], c[5], c[4]), QTime(c[1], c[2], c[3]));
    QVERIFY(panel.isValid());
    const qint64 apart = std::abs(panel.secsTo(QDateTime::currentDateTime()));
    QVERIFY2(apart < 60, qPrintable(panel.toString()));
    QCOMPARE(std::vector<int>(c.begin() + 8, c.begin() + 11), (std::vector<int>{0, 0, 0}));
}

void EndToEndTest::stateFileThatCannotBeReadIsKept() {
    // Mode 000 stops only an ordinary user: as root, run panelsim as nobody.
    const bool root = ::geteuid() == 0;
    const QString state = dir->path() + "/panel-state";
    QVERIFY(writeFile(state, "panelsim-state 1\n"));
    QVERIFY(QFile(state).setPermissions(QFileDevice::Permissions()));
    if (root) {
        QVERIFY(QFile(dir->path()).setPermissions(QFileDevice::Permissions(0x7777)));
    }
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    if (root) {
        sim.setChildSetup([] {
            const gid_t nobodyGroup = 65534;
            const uid_t nobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobodyGroup) != 0 ||
                ::setuid(nobody) != 0) {
                ::_exit(99);
            }
        });
    }
    QVERIFY(!sim.start({"--state", state}));
    QCOMPARE(sim.stop(), 1);
    const QStringList said = sim.output().trimmed().split('\n');
    QCOMPARE(said.size(), 1);
    QVERIFY2(said[0].contains("lecture impossible du fichier d'état") &&
                 said[0].contains("panelsim ne démarre pas"),
             qPrintable(said[0]));
    QCOMPARE(QFileInfo(state).size(), qint64(17));
    QVERIFY(!QFileInfo::exists(state + ".bad"));
}

void EndToEndTest::stateThatIsNotAFileIsRefused_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("folder") << "folder";
}

void EndToEndTest::stateThatIsNotAFileIsRefused() {
    QFETCH(QString, kind);
    const QString state = dir->path() + "/panel-state";
    const QByteArray path = QFile::encodeName(state);
    if (kind == "fifo") {
        QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    } else {
        QVERIFY(QDir(dir->path()).mkdir("panel-state"));
    }
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    // Refused at once rather than hanging on a FIFO nobody writes.
    QVERIFY(!sim.start({"--state", state}));
    QCOMPARE(sim.stop(), 1);
    QVERIFY2(sim.output().contains("ce n'est pas un fichier ordinaire"), qPrintable(sim.output()));
    struct stat st {};
    QCOMPARE(::lstat(path.constData(), &st), 0);
    QVERIFY(kind == "fifo" ? S_ISFIFO(st.st_mode) : S_ISDIR(st.st_mode));
}

void EndToEndTest::staleTemporariesAreCleared() {
    const QString state = dir->path() + "/panel-state";
    const QStringList ours{"panel-state.tmp-a1B2c3", "panel-state.tmp-ZZZZZZ"};
    const QStringList others{"panel-state.tmp-toolong", "panel-state.backup",
                             "panel-state.tmp-ab.cd", "other.tmp-a1B2c3"};
    for (const QString& name : ours + others) {
        QVERIFY(writeFile(dir->path() + "/" + name, "panelsim-state 1\n"));
    }
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start({"--state", state}));
    for (const QString& name : ours) {
        QVERIFY2(!QFileInfo::exists(dir->path() + "/" + name), qPrintable(name));
    }
    for (const QString& name : others) {
        QVERIFY2(QFileInfo::exists(dir->path() + "/" + name), qPrintable(name));
    }
    QVERIFY(sim.output().contains("2 fichier(s) temporaire(s) retiré(s)"));
}

void EndToEndTest::logIsPrivateAndAppended() {
    const QString log = dir->path() + "/panel.log";
    QVERIFY(writeFile(log, "earlier line\n"));
    const QByteArray logName = QFile::encodeName(log);
    // Ours and written by us alone, but readable by all: taken, and made private.
    QCOMPARE(::chmod(logName.constData(), 0644), 0);
    const QString fresh = dir->path() + "/fresh.log";
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    for (const QString& file : {log, fresh}) {
        QVERIFY(sim.start({"--log", file}));
        QVERIFY(Pipes(lib).ask(0x43));
        QCOMPARE(sim.stop(), 0);
    }
    const QByteArray text = readFile(log);
    QVERIFY(text.startsWith("earlier line\n"));
    QCOMPARE(text.count(" OUT 43"), 1);
    QVERIFY2(sim.output().contains("était en mode 0644 ; le voici en 0600"),
             qPrintable(sim.output()));
    for (const QString& file : {log, fresh}) {
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
    }
}

void EndToEndTest::logThatIsNotSafeIsRefused_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("symbolic link") << "link"
                                   << "lien symbolique";
    QTest::newRow("FIFO with a reader") << "fifo"
                                        << "pas un fichier ordinaire";
    QTest::newRow("writable by all") << "0666"
                                     << "d'autres peuvent y écrire (mode 0666)";
    QTest::newRow("writable by the group") << "0620"
                                           << "d'autres peuvent y écrire (mode 0620)";
    QTest::newRow("another user's") << "nobody"
                                    << "appartient à un autre utilisateur";
}

void EndToEndTest::logThatIsNotSafeIsRefused() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString log = dir->path() + "/panel.log";
    const QByteArray logName = QFile::encodeName(log);
    const QString target = dir->path() + "/elsewhere";
    QByteArray before = "not a log";
    mpusbwire::UniqueFd reader;
    if (kind == "link") {
        QVERIFY(writeFile(target, before));
        QVERIFY(QFile::link(target, log));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(logName.constData(), 0600), 0);
        reader.reset(::open(logName.constData(), O_RDONLY | O_NONBLOCK));
        QVERIFY(reader.get() >= 0);
    } else {
        QVERIFY(writeFile(log, before));
        QCOMPARE(::chmod(logName.constData(), kind == "nobody" ? 0600 : kind.toUInt(nullptr, 8)),
                 0);
        if (kind == "nobody") {
            if (::geteuid() != 0) {
                QSKIP("giving a file to another user needs root");
            }
            QCOMPARE(::chown(logName.constData(), 65534, 65534), 0);
        }
    }
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(!sim.start({"--log", log}));
    QCOMPARE(sim.stop(), 1);
    const QString said = sim.output();
    QCOMPARE(said.count('\n'), 1);
    QVERIFY2(said.contains("impossible d'ouvrir le fichier de trace " + log + " : ") &&
                 said.contains(reason),
             qPrintable(said));
    if (kind == "fifo") {
        char byte = 0;
        QCOMPARE(::read(reader.get(), &byte, 1), ssize_t(0));  // nothing written, writer gone
    } else {
        QCOMPARE(readFile(kind == "link" ? target : log), before);
    }
}

void EndToEndTest::logLinesLostAreCounted() {
    const QString log = dir->path() + "/panel.log";
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    // A file that stops growing, as on a full disk: later lines are lost, not waited on.
    sim.setChildSetup([] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{2048, 2048};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    QVERIFY(sim.start({"--log", log}));
    constexpr int kExchanges = 10;
    for (int i = 0; i < kExchanges; ++i) {
        QVERIFY(Pipes(lib).ask(0x43));
    }
    QCOMPARE(sim.stop(), 0);
    const int whole = int(readFile(log).count('\n'));
    QVERIFY(whole > 0 && whole < 2 * kExchanges);
    QVERIFY2(
        sim.output().contains(
            QStringLiteral("panelsim: %1 ligne(s) de trace perdue(s)").arg(2 * kExchanges - whole)),
        qPrintable(sim.output()));
}

void EndToEndTest::socketIsPrivate() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start());
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(sim.socketPath()).constData(), &st), 0);
    QVERIFY(S_ISSOCK(st.st_mode));
    QCOMPARE(st.st_mode & 0777, 0600u);
}

void EndToEndTest::liveSocketIsRefused() {
    PanelSimProcess first(PanelSimProcess::notStarted, dir->path());
    QVERIFY(first.start());
    PanelSimProcess second(PanelSimProcess::notStarted, dir->path());
    QVERIFY(!second.start());
    QCOMPARE(second.stop(), 1);
    QVERIFY(second.output().contains("sert déjà"));
    // The first one is undisturbed.
    QCOMPARE(lib.count(kPanelId), 1u);
}

void EndToEndTest::staleSocketIsReplaced() {
    const QString path = dir->path() + "/panel.sock";
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        const QByteArray p = QFile::encodeName(path);
        std::memcpy(a.sun_path, p.constData(), static_cast<std::size_t>(p.size()));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ::close(fd);  // bound, never listened: what a dead panelsim leaves
    }
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start());
    QCOMPARE(lib.count(kPanelId), 1u);
}

void EndToEndTest::otherFileIsNotTouched() {
    QFile f(dir->path() + "/panel.sock");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("mine");
    f.close();
    QProcess p;
    p.start(PanelSimProcess::binDir() + "/panelsim", {"--socket", f.fileName()});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("mine"));
}

void EndToEndTest::logRecordsReports() {
    const QString log = dir->path() + "/panel.log";
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start({"--log", log}));
    {
        Pipes pipes(lib);
        QVERIFY(pipes.send(command(0x85)));
        QVERIFY(pipes.receive(1000));
    }
    QCOMPARE(sim.stop(), 0);
    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QRegularExpression line(
        R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} (OUT|IN)( [0-9a-f]{2}){64}$)");
    QVERIFY2(line.match(lines[0]).hasMatch(), qPrintable(lines[0]));
    QVERIFY(lines[0].contains(" OUT 85 00 00"));
    QVERIFY2(line.match(lines[1]).hasMatch(), qPrintable(lines[1]));
    // A new panel's reply: its own message, "Jou...".
    QVERIFY2(lines[1].contains(" IN aa 00 4a 6f 75"), qPrintable(lines[1]));
}

void EndToEndTest::malformedFramesAreDropped() {
    const QString log = dir->path() + "/panel.log";
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start({"--log", log}));
    {
        RawClient raw(sim.socketPath());
        QVERIFY(raw.connected());
        QByteArray oversized("O\x10\x00", 3);  // 4096 bytes declared and sent
        oversized += QByteArray(4096, 'x');
        QVERIFY(raw.send(oversized));
        QVERIFY(raw.send(QByteArray("Z\x00\x02zz", 5)));  // unknown type
        QVERIFY(raw.send(QByteArray("O\x00\x00", 3)));    // empty report
        QVERIFY(
            raw.send(QByteArray("H\x00\x03"
                                "abc",
                                6)));  // hello with junk
        QVERIFY(raw.send(kHello));
        QCOMPARE(raw.receive(2000, 4), kHelloReply);
        QVERIFY(raw.send(QByteArray("O\x00\x02", 3)));  // cut off halfway, then gone
    }
    // Still serving, for the next client.
    QCOMPARE(lib.count(kPanelId), 1u);
    QCOMPARE(sim.stop(), 0);
    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QCOMPARE(text.count("DROP"), 4);
    QVERIFY(!text.contains("OUT"));
}

void EndToEndTest::oneClientAtATime() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start());
    auto pipes = std::make_unique<Pipes>(lib);
    QVERIFY(pipes->valid());
    QVERIFY(pipes->ask(0x43));
    RawClient other(sim.socketPath());
    QVERIFY(other.connected());
    // The presence test answers at once, though the panel is held...
    QVERIFY(other.send(kHello));
    QCOMPARE(other.receive(2000, 4), kHelloReply);
    // ...but its reports wait for their turn: refused.
    QVERIFY(other.send(kClockRead));
    QCOMPARE(other.receive(2000, 4), kBusyFrame);
    QVERIFY(pipes->ask(0x43));
    pipes.reset();  // the last pipe closed: the panel turns to the next client
    QVERIFY(other.send(kClockRead));
    const QByteArray answer = other.receive(2000, 3 + 3 + 64);
    QCOMPARE(answer.left(6), kAcceptedFrame + QByteArray("I\x00\x40", 3));
}

void EndToEndTest::silentHolderIsFreed() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    QVERIFY(sim.start());
    RawClient holder(sim.socketPath());
    QVERIFY(holder.send(kClockRead));
    QCOMPARE(int(holder.receive(2000, 3 + 3 + 64).size()), 3 + 3 + 64);
    RawClient next(sim.socketPath());
    QVERIFY(next.send(kClockRead));
    QCOMPARE(next.receive(2000, 4), kBusyFrame);
    // The holder says nothing more: after a few seconds the panel is free.
    QTRY_VERIFY_WITH_TIMEOUT(
        next.send(kClockRead) && next.receive(500, 3 + 3 + 64).startsWith(kAcceptedFrame), 15000);
    // It now serves the newcomer; the old holder waits its turn.
    QVERIFY(holder.send(kClockRead));
    QCOMPARE(holder.receive(2000, 4), kBusyFrame);
}

void EndToEndTest::acceptFailureRestsInsteadOfSpinning() {
    PanelSimProcess sim(PanelSimProcess::notStarted, dir->path());
    // Few descriptors: a handful of clients use them all up.
    sim.setChildSetup([] {
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = 12;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    });
    QVERIFY(sim.start());
    std::vector<std::unique_ptr<RawClient>> clients;
    bool waiting = false;
    while (!waiting && clients.size() < 20) {
        clients.push_back(std::make_unique<RawClient>(sim.socketPath()));
        QVERIFY(clients.back()->connected());
        QVERIFY(clients.back()->send(kHello));
        waiting = clients.back()->receive(1000, 4) != kHelloReply;
    }
    QVERIFY2(waiting, "panelsim took every client despite its descriptor limit");
    QTRY_VERIFY(sim.output().contains("impossible d'accepter une connexion"));
    // While the last one waits in the backlog, panelsim rests: spinning on
    // the failing accept would take most of a core.
    const double before = cpuSeconds(sim.pid());
    QTest::qWait(1500);
    const double used = cpuSeconds(sim.pid()) - before;
    QVERIFY2(used >= 0 && used < 0.3, qPrintable(QString::number(used)));
    // Descriptors come free: the waiting client is taken and answered.
    std::unique_ptr<RawClient> last = std::move(clients.back());
    clients.clear();
    QCOMPARE(last->receive(10000, 4), kHelloReply);
}

void EndToEndTest::badCommandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown flag") << QStringList{"--bogus"};
    QTest::newRow("fail-write-at 0") << QStringList{"--fail-write-at", "0"};
    QTest::newRow("unplug-after text") << QStringList{"--unplug-after", "many"};
    QTest::newRow("clock-reply short") << QStringList{"--clock-reply", "1,2,3"};
    QTest::newRow("clock-reply byte too big")
        << QStringList{"--clock-reply", "256,0,0,1,1,2009,0,0,0"};
    QTest::newRow("socket without path") << QStringList{"--socket"};
}

void EndToEndTest::badCommandLine() {
    QFETCH(QStringList, args);
    QProcess p;
    p.start(PanelSimProcess::binDir() + "/panelsim", args);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardError().contains("usage : panelsim"));
}

QTEST_GUILESS_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
