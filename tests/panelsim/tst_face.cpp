// The virtual panel's LED face: the feed from panelsim, the face's frames
// against lumiboard's preview, its clock and alarm, and the server never
// waiting for it.
#include <fcntl.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

#include "BinDir.h"
#include "FaceLink.h"
#include "FaceOptions.h"
#include "FaceWindow.h"
#include "FakeSeams.h"
#include "PanelFace.h"
#include "PanelServer.h"
#include "ProcessMemory.h"
#include "SimHarness.h"

using namespace panelsim;

namespace {

FaceView viewOf(const QByteArray& text, std::int64_t offset = 0) {
    FaceView view;
    std::copy_n(text.constData(), std::min<qsizetype>(text.size(), kTextMemory),
                view.state.memory.begin());
    view.state.clockOffsetSeconds = offset;
    return view;
}

std::array<std::uint16_t, PreviewEngine::kShownColumns> shown(const PreviewEngine& engine) {
    std::array<std::uint16_t, PreviewEngine::kShownColumns> columns{};
    for (int c = 0; c < PreviewEngine::kShownColumns; ++c) {
        columns[static_cast<std::size_t>(c)] = engine.shownColumn(c);
    }
    return columns;
}

// A face on the built LED pictures, with a canvas to tick on.
struct Face {
    FixedClock host;
    CountingBeeper beeper;
    PanelFace face{host, beeper, builtBinDir()};
    QImage canvas{400, 200, QImage::Format_RGB32};
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            QVERIFY(!face.tick(canvas, QPoint(15, 15)));
        }
    }
};

}  // namespace

class TestFace : public QObject {
    Q_OBJECT
private slots:
    void feedCarriesViews_data();
    void feedCarriesViews();
    void feedRefusesDamage_data();
    void feedRefusesDamage();
    void feedSurvivesChunksAndGarbage();
    void framesAreLumiboardPreviews_data();
    void framesAreLumiboardPreviews();
    void onlyANewTextRestartsTheScroll();
    void clockWriteMovesTheTime();
    void alarmRingsUntilSilenced();
    void statusNamesClientsAndHolder_data();
    void statusNamesClientsAndHolder();
    void sendShowsAtTheNextTick();
    void busyFaceNeverDelaysReplies();
    void faceComesAndGoesWithPanelsim();
    void faceOptions_data();
    void faceOptions();
    void endlessFeedLeavesTheTicksDrawing();
    void faceProgramOnAnEndlessFeed();
    void faceProgramRefusesABadFeed_data();
    void faceProgramRefusesABadFeed();
};

void TestFace::feedCarriesViews_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("clients");
    QTest::addColumn<qint64>("pid");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("nobody") << QByteArray("Bonjour") << 0 << qint64(-1) << QByteArray();
    QTest::newRow("holder") << QByteArray("#H #D") << 2 << qint64(4242) << QByteArray("lumiboard");
    QTest::newRow("full memory, high bytes")
        << QByteArray(200, '\xe9') << 16 << qint64(7) << QByteArray("lumictl");
    QTest::newRow("holder unknown") << QByteArray() << 1 << qint64(0) << QByteArray("?");
}

void TestFace::feedCarriesViews() {
    QFETCH(QByteArray, text);
    QFETCH(int, clients);
    QFETCH(qint64, pid);
    QFETCH(QByteArray, name);
    FaceView view = viewOf(text, -86400 * 400);
    view.state.alarmHour = 7;
    view.state.alarmMinute = 30;
    view.state.alarmOn = true;
    view.clients = static_cast<std::size_t>(clients);
    if (pid >= 0) {
        view.holder = Peer{static_cast<long>(pid), name.toStdString()};
    }
    const auto decoded = decodeFaceView(encodeFaceView(view));
    QVERIFY(decoded);
    QVERIFY(*decoded == view);
}

void TestFace::feedRefusesDamage_data() {
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::newRow("clients not a number") << QByteArray("clients 1") << QByteArray("clients x");
    QTest::newRow("negative pid") << QByteArray("holder 5 ") << QByteArray("holder -5 ");
    QTest::newRow("blank in a name") << QByteArray("lumiboard") << QByteArray("lumi board");
    QTest::newRow("no holder line") << QByteArray("holder 5 lumiboard\n") << QByteArray();
    QTest::newRow("damaged state") << QByteArray("alarm 7 30 1") << QByteArray("alarm 7 30 2");
    QTest::newRow("cut short") << QByteArray("lumiboard\n\n") << QByteArray("lumiboard\n");
}

void TestFace::feedRefusesDamage() {
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    FaceView view = viewOf("Bonjour");
    view.state.alarmHour = 7;
    view.state.alarmMinute = 30;
    view.state.alarmOn = true;
    view.clients = 1;
    view.holder = Peer{5, "lumiboard"};
    QByteArray message = QByteArray::fromStdString(encodeFaceView(view));
    QVERIFY(decodeFaceView(message.toStdString()));
    QVERIFY(message.contains(from));
    message.replace(from, to);
    QVERIFY(!decodeFaceView(message.toStdString()));
}

void TestFace::feedSurvivesChunksAndGarbage() {
    FaceView first = viewOf("Premier");
    FaceView second = viewOf("Second");
    second.clients = 3;
    const std::string stream = std::string(FaceFeedReader::kMaxMessage + 10, 'x') + "\n\n" +
                               "not a view\n\n" + encodeFaceView(first) + encodeFaceView(second);
    FaceFeedReader reader;
    std::vector<FaceView> views;
    for (const char c : stream) {  // one byte at a time, as a pipe may hand them over
        reader.feed(&c, 1);
        while (auto view = reader.next()) {
            views.push_back(*view);
        }
    }
    QCOMPARE(views.size(), std::size_t{2});
    QVERIFY(views[0] == first);
    QVERIFY(views[1] == second);
    QCOMPARE(reader.skipped(), std::size_t{2});
}

void TestFace::framesAreLumiboardPreviews_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("offset");
    QTest::newRow("plain") << QByteArray("Bonjour a tous") << qint64(0);
    QTest::newRow("fonts and inverse") << QByteArray("AB#PCD#N#IEF") << qint64(0);
    QTest::newRow("time on the panel's clock") << QByteArray("Il est #H.") << qint64(5 * 3600 + 17);
    QTest::newRow("date a day back") << QByteArray("#D!") << qint64(-86400);
    QTest::newRow("accents, 200 bytes")
        << QByteArray(200, '\xe8').replace(3, 4, "#B#I") << qint64(0);
}

void TestFace::framesAreLumiboardPreviews() {
    QFETCH(QByteArray, text);
    QFETCH(qint64, offset);
    Face face;
    face.face.apply(viewOf(text, offset));
    // lumiboard's preview on a clock that reads what the panel's does.
    FixedClock panelClock;
    panelClock.at = face.host.at.addSecs(offset);
    CountingBeeper beeper;
    PreviewEngine lumiboard(panelClock, beeper);
    lumiboard.reset();
    lumiboard.setText(text);
    for (int tick = 0; tick < 600; ++tick) {
        face.tick();
        lumiboard.tick();
        if (shown(face.face.engine()) != shown(lumiboard)) {
            QFAIL(qPrintable(QStringLiteral("frames differ at tick %1").arg(tick)));
        }
    }
    QCOMPARE(face.beeper.beeps, beeper.beeps);
}

void TestFace::onlyANewTextRestartsTheScroll() {
    Face face;
    face.face.apply(viewOf("Bonjour"));
    face.tick(30);
    const auto before = shown(face.face.engine());
    QVERIFY(before != decltype(before){});
    // Who is connected, the clock and the alarm leave the scroll where it is.
    FaceView sameText = viewOf("Bonjour", 3600);
    sameText.clients = 2;
    sameText.state.alarmOn = true;
    face.face.apply(sameText);
    QCOMPARE(face.face.engine().shifts(), 30u);
    QVERIFY(shown(face.face.engine()) == before);
    // A new message starts from a dark matrix.
    face.face.apply(viewOf("Salut"));
    face.tick();
    for (const std::uint16_t column : shown(face.face.engine())) {
        QCOMPARE(column, std::uint16_t{0xFFFF});
    }
    QCOMPARE(face.face.engine().msgtxt(), QByteArray("Salut"));
}

void TestFace::clockWriteMovesTheTime() {
    Face face;
    face.face.apply(viewOf("#H"));
    face.tick(20);
    QCOMPARE(face.face.engine().subtxt(), QByteArray("14:32:05"));
    // A clock write two hours ahead: the next pass shows the panel's time.
    face.face.apply(viewOf("#H", 2 * 3600));
    QCOMPARE(face.face.panelTime().now(), QDateTime(QDate(2009, 7, 14), QTime(16, 32, 5)));
    face.tick(100);
    QCOMPARE(face.face.engine().subtxt(), QByteArray("16:32:05"));
}

void TestFace::alarmRingsUntilSilenced() {
    // Each step: the host's time, the clock offset, the alarm switch, then one
    // tick (or a silencing key), and whether the alarm rings afterwards.
    struct Step {
        const char* what;
        QDateTime host;
        qint64 offset;
        bool armed;
        bool silence;
        bool rings;
    };
    const QDate day(2009, 7, 14);
    const std::vector<Step> steps = {
        {"a second before", QDateTime(day, QTime(7, 29, 59)), 0, true, false, false},
        {"at the alarm's minute", QDateTime(day, QTime(7, 30, 0)), 0, true, false, true},
        {"rings on past its minute", QDateTime(day, QTime(7, 31, 0)), 0, true, false, true},
        {"a key stops it", QDateTime(day, QTime(7, 31, 0)), 0, true, true, false},
        {"not again that day", QDateTime(day, QTime(7, 30, 30)), 0, true, false, false},
        {"the next day again", QDateTime(day.addDays(1), QTime(7, 30, 0)), 0, true, false, true},
        {"disarmed by a clock write", QDateTime(day.addDays(1), QTime(7, 30, 1)), 0, false, false,
         false},
        {"disarmed never rings", QDateTime(day.addDays(2), QTime(7, 30, 0)), 0, false, false,
         false},
        {"a clock write moves into it", QDateTime(day.addDays(3), QTime(6, 0, 0)), 5400, true,
         false, true},
    };
    Face face;
    for (const Step& step : steps) {
        face.host.at = step.host;
        FaceView view = viewOf("Debout !", step.offset);
        view.state.alarmHour = 7;
        view.state.alarmMinute = 30;
        view.state.alarmOn = step.armed;
        face.face.apply(view);
        if (step.silence) {
            face.face.silence();
        } else {
            face.tick();
        }
        QVERIFY2(face.face.ringing() == step.rings, step.what);
    }
    // While it rings: a beep a second, the frame lit half of each second.
    const int beeps = face.beeper.beeps;
    int lit = 0;
    for (int i = 0; i < 2 * PanelFace::kBeepTicks; ++i) {
        face.tick();
        lit += face.face.flashLit() ? 1 : 0;
    }
    QCOMPARE(face.beeper.beeps - beeps, 2);
    QCOMPARE(lit, PanelFace::kBeepTicks);
}

void TestFace::statusNamesClientsAndHolder_data() {
    QTest::addColumn<int>("clients");
    QTest::addColumn<qint64>("holderPid");
    QTest::addColumn<bool>("armed");
    QTest::addColumn<QString>("status");
    QTest::newRow("nobody") << 0 << qint64(-1) << false
                            << "Aucun programme connecté\nRéveil désactivé";
    QTest::newRow("one holds it")
        << 1 << qint64(4242) << true
        << "1 programme connecté ; panneau tenu par lumiboard (pid 4242)\nRéveil à 7:05";
    QTest::newRow("three, holder unknown")
        << 3 << qint64(0) << false
        << "3 programmes connectés ; panneau tenu par un programme\nRéveil désactivé";
}

void TestFace::statusNamesClientsAndHolder() {
    QFETCH(int, clients);
    QFETCH(qint64, holderPid);
    QFETCH(bool, armed);
    QFETCH(QString, status);
    Face face;
    QCOMPARE(face.face.status(), QStringLiteral("En attente du panneau…"));
    FaceView view = viewOf("x");
    view.clients = static_cast<std::size_t>(clients);
    if (holderPid >= 0) {
        view.holder = Peer{static_cast<long>(holderPid), "lumiboard"};
    }
    view.state.alarmHour = 7;
    view.state.alarmMinute = 5;
    view.state.alarmOn = armed;
    face.face.apply(view);
    QCOMPARE(face.face.status(), status);
}

// panelsim's server and its face in this process: the server on a thread of
// its own, the face reading the pipe as the face program does.
class ServedFace {
public:
    explicit ServedFace(int pipeSize = 0) {
        auto socket = ListeningSocket::open(dir_.filePath("panel.sock").toStdString(), error_);
        QVERIFY2(socket, error_.c_str());
        socket_.emplace(std::move(*socket));
        int ends[2];
        QCOMPARE(::pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
        if (pipeSize > 0) {
            ::fcntl(ends[1], F_SETPIPE_SZ, pipeSize);
        }
        feed_ = UniqueFd(ends[0]);
        link_ = std::make_unique<FaceLink>(firmware_, UniqueFd(ends[1]), 0);
        server_ = std::make_unique<PanelServer>(*socket_, panel_, log_, nullptr);
        server_->setWatcher(link_.get());
        thread_ = std::thread([this] { server_->run(stop_.get()); });
    }
    ~ServedFace() { stop(); }

    void stop() {
        if (thread_.joinable()) {
            const std::uint64_t one = 1;
            QCOMPARE(::write(stop_.get(), &one, sizeof one), ssize_t(sizeof one));
            thread_.join();
        }
    }
    QString socketPath() const { return dir_.filePath("panel.sock"); }
    int feed() const { return feed_.get(); }
    const FaceLink& link() const { return *link_; }

private:
    QTemporaryDir dir_;
    std::string error_;
    PanelFirmware firmware_;
    Panel panel_{firmware_, {}};
    ReportLog log_{""};
    std::optional<ListeningSocket> socket_;
    UniqueFd feed_;
    UniqueFd stop_{::eventfd(0, EFD_CLOEXEC)};
    std::unique_ptr<FaceLink> link_;
    std::unique_ptr<PanelServer> server_;
    std::thread thread_;
};

void TestFace::sendShowsAtTheNextTick() {
    ServedFace served;
    FixedClock clock;
    CountingBeeper beeper;
    PanelFace face(clock, beeper, builtBinDir());
    FaceWindow window(face, served.feed());
    QProcess lumictl;
    lumictl.start(QDir(builtBinDir()).filePath("lumictl"),
                  {"--virtual", served.socketPath(), "send", "Vu sur le panneau"});
    QVERIFY(lumictl.waitForFinished(10000));
    QCOMPARE(lumictl.readAllStandardOutput().trimmed(), QByteArray("Texte envoyé !"));
    // No event has reached the window since: the next tick alone must show it.
    window.tick();
    QCOMPARE(face.engine().msgtxt(), QByteArray("Vu sur le panneau"));
    QCOMPARE(face.engine().colcount(), 7);  // one tick into the new message
}

void TestFace::busyFaceNeverDelaysReplies() {
    // A face that reads nothing while a pipe of one page fills: every exchange
    // still gets its answer at once, and the face catches up on the newest view.
    ServedFace served(4096);
    qputenv("MPUSBAPI_VIRTUAL", served.socketPath().toLocal8Bit());
    MpusbLibrary lib;
    QVERIFY(lib.load());
    constexpr int kSends = 100;
    QElapsedTimer timer;
    timer.start();
    qint64 slowest = 0;
    {
        Pipes pipes(lib);
        QVERIFY(pipes.valid());
        for (int i = 0; i < kSends; ++i) {
            Bytes out{kCmdWriteText, 0};
            const QByteArray text = QByteArray::number(i);
            std::copy(text.begin(), text.end(), out.begin() + 2);
            const qint64 before = timer.elapsed();
            QVERIFY(pipes.send(out));
            QVERIFY(pipes.ask(kCmdReadClock));
            slowest = std::max(slowest, timer.elapsed() - before);
        }
    }
    // The library gives up after 1000 ms: a face that held the server would show here.
    QVERIFY2(slowest < 1000, qPrintable(QString::number(slowest)));
    // Now the face reads: whole views only, the newest last.
    FaceFeedReader reader;
    std::optional<FaceView> last;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            char buffer[8192];
            for (ssize_t n; (n = ::read(served.feed(), buffer, sizeof buffer)) > 0;) {
                reader.feed(buffer, static_cast<std::size_t>(n));
            }
            while (auto view = reader.next()) {
                last = view;
            }
            return last && last->state.text() == std::to_string(kSends - 1);
        }(),
        5000);
    QCOMPARE(reader.skipped(), std::size_t{0});
    served.stop();
    QVERIFY(served.link().viewsReplaced() > 0);
}

void TestFace::faceComesAndGoesWithPanelsim() {
    PanelSimProcess sim({"--show"});
    QVERIFY2(sim.ready(), qPrintable(sim.errorText()));
    QList<qint64> faces;
    QTRY_VERIFY_WITH_TIMEOUT(!(faces = childrenNamed(sim.pid(), "panelsim-face")).isEmpty(), 10000);
    const auto lumictl = [&](const QStringList& args) {
        QProcess p;
        p.start(QDir(builtBinDir()).filePath("lumictl"),
                QStringList{"--virtual", sim.socketPath()} + args);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    };
    QVERIFY(lumictl({"send", "Bonjour"}));
    // The face closed (its window shut): the panel serves on.
    QCOMPARE(::kill(static_cast<pid_t>(faces.first()), SIGTERM), 0);
    QTRY_VERIFY_WITH_TIMEOUT(sim.output().contains("la face s'est fermée"), 10000);
    QVERIFY(lumictl({"read"}));
    // And a face goes with its panelsim.
    PanelSimProcess second({"--show"});
    QVERIFY(second.ready());
    QTRY_VERIFY_WITH_TIMEOUT(!(faces = childrenNamed(second.pid(), "panelsim-face")).isEmpty(),
                             10000);
    QCOMPARE(second.stop(), 0);
    QVERIFY(::kill(static_cast<pid_t>(faces.first()), 0) != 0);
}

void TestFace::faceOptions_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("fd");           // -1: refused
    QTest::addColumn<QString>("refusal");  // a part of the reason
    QTest::newRow("as panelsim starts it")
        << QStringList{"--feed", "3", "--pictures-from", "/opt/x"} << 3 << QString();
    QTest::newRow("standard input") << QStringList{"--feed", "0"} << 0 << QString();
    QTest::newRow("Qt's own words left")
        << QStringList{"-platform", "offscreen", "--feed", "4"} << 4 << QString();
    QTest::newRow("letters") << QStringList{"--feed", "abc"} << -1 << "« abc »";
    QTest::newRow("number then letters") << QStringList{"--feed", "3x"} << -1 << "« 3x »";
    QTest::newRow("negative") << QStringList{"--feed", "-1"} << -1 << "« -1 »";
    QTest::newRow("beyond an int") << QStringList{"--feed", "99999999999"} << -1 << "descripteur";
    QTest::newRow("empty") << QStringList{"--feed", ""} << -1 << "descripteur";
    QTest::newRow("no value") << QStringList{"--feed"} << -1 << "après « --feed »";
    QTest::newRow("no feed") << QStringList{"--pictures-from", "/opt/x"} << -1 << "sans son flux";
}

void TestFace::faceOptions() {
    QFETCH(QStringList, args);
    QFETCH(int, fd);
    QFETCH(QString, refusal);
    std::vector<std::string> words;
    for (const QString& a : args) {
        words.push_back(a.toStdString());
    }
    const auto parsed = parseFaceOptions(words);
    if (fd < 0) {
        const auto* reason = std::get_if<std::string>(&parsed);
        QVERIFY(reason);
        QVERIFY2(QString::fromStdString(*reason).contains(refusal), reason->c_str());
    } else {
        const auto* options = std::get_if<FaceOptions>(&parsed);
        QVERIFY(options);
        QCOMPARE(options->feedFd, fd);
    }
}

void TestFace::endlessFeedLeavesTheTicksDrawing() {
    // A feed that never runs dry: each tick reads its share, then draws.
    const UniqueFd zero(::open("/dev/zero", O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    QVERIFY(zero.get() >= 0);
    Face face;
    face.face.apply(viewOf("Bonjour"));
    FaceWindow window(face.face, zero.get());
    // The same view ticked without a feed: where a second of ticks brings it.
    Face reference;
    reference.face.apply(viewOf("Bonjour"));
    const auto start = shown(reference.face.engine());
    constexpr int kTicks = 1000 / kPreviewTickMs;
    reference.tick(kTicks);
    QVERIFY(shown(reference.face.engine()) != start);
    for (int i = 0; i < kTicks; ++i) {
        window.tick();
    }
    QCOMPARE(face.face.engine().colcount(), reference.face.engine().colcount());
    QVERIFY(shown(face.face.engine()) == shown(reference.face.engine()));
}

void TestFace::faceProgramOnAnEndlessFeed() {
    QProcess face;
    face.setStandardInputFile(QStringLiteral("/dev/zero"));
    face.start(QDir(builtBinDir()).filePath("panelsim-face"), {"--feed", "0"});
    QVERIFY(face.waitForStarted(5000));
    // Past its start-up, then a second of reading zeros: it keeps running, and
    // its memory does not follow what it has read (hundreds of MB a second if
    // it kept it all).
    QTest::qWait(2000);
    const qint64 first = residentKiB(face.processId());
    QVERIFY(first > 0);
    QTest::qWait(1000);
    const qint64 second = residentKiB(face.processId());
    QCOMPARE(face.state(), QProcess::Running);
    QVERIFY2(second - first < 64 * 1024,
             qPrintable(QStringLiteral("%1 KiB, then %2 KiB").arg(first).arg(second)));
    face.kill();
    face.waitForFinished(5000);
}

void TestFace::faceProgramRefusesABadFeed_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("not a number")
        << QStringList{"--feed", "abc"}
        << QByteArray("panelsim-face: --feed attend un numéro de descripteur : « abc »\n");
    QTest::newRow("no feed") << QStringList{}
                             << QByteArray(
                                    "panelsim-face: lancé sans son flux ; lancez "
                                    "panelsim --show\n");
    QTest::newRow("not open") << QStringList{"--feed", "987"}
                              << QByteArray(
                                     "panelsim-face: --feed 987 : descripteur de fichier "
                                     "incorrect\n");
}

void TestFace::faceProgramRefusesABadFeed() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, line);
    QProcess face;
    // Standard input open and readable: "abc" must not fall back to it.
    face.setStandardInputFile(QStringLiteral("/dev/zero"));
    face.start(QDir(builtBinDir()).filePath("panelsim-face"), args);
    QVERIFY(face.waitForFinished(10000));
    QCOMPARE(face.exitStatus(), QProcess::NormalExit);
    QCOMPARE(face.exitCode(), 2);
    QCOMPARE(face.readAllStandardError(), line);
}

QTEST_MAIN(TestFace)
#include "tst_face.moc"
