// The lumictl program against panelsim through the real libmpusbapi.
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "Cp1252.h"
#include "FakeSeams.h"
#include "PanelSimProcess.h"
#include "PreviewEngine.h"
#include "StateFile.h"
#include "TestTexts.h"

namespace {

struct Ran {
    int code = -1;
    QString out;
    QString err;
};

// A virtual panel is named as one, not as a USB port.
const QString kNoPanel = QStringLiteral("Pas de panneau virtuel sur ");
const QString kSendFailed = QStringLiteral("Redémarrez , ou rebranchez la carte !");
const QString kReadFailed = QStringLiteral("Ré-essayez, ou Débranchez & rebranchez la carte !");
const QString kClockReadFailed =
    QStringLiteral("Erreur lecture usb - Débranchez & rebranchez la carte !");
const QString kClockWriteFailed = QStringLiteral("Erreur usb - Débranchez & rebranchez la carte !");

QJsonObject json(const QString& out) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(out.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        qWarning() << "not a JSON object:" << out;
    }
    return doc.object();
}

}  // namespace

class TestLumictlEndToEnd : public QObject {
    Q_OBJECT

    static QString program(const QString& dir = PanelSimProcess::binDir()) {
        return QDir(dir).filePath("lumictl");
    }

    // lumictl on the given panel; stdinText goes to its standard input.
    static Ran run(const PanelSimProcess& panel, const QStringList& args,
                   const QByteArray& stdinText = {}) {
        return runProgram(program(), QStringList{"--virtual", panel.socketPath()} + args,
                          stdinText);
    }
    static Ran runProgram(const QString& path, const QStringList& args,
                          const QByteArray& stdinText = {}) {
        QProcess p;
        p.start(path, args);
        Ran ran;
        if (!p.waitForStarted(10000)) {
            ran.err = p.errorString();
            return ran;
        }
        p.write(stdinText);
        p.closeWriteChannel();
        // The longest case waits out the library's 6 s read time-out.
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            ran.err = "hung";
            return ran;
        }
        ran.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        ran.out = QString::fromUtf8(p.readAllStandardOutput());
        ran.err = QString::fromUtf8(p.readAllStandardError());
        return ran;
    }

    // The panel's whole stored text, past the 62 characters a read returns.
    static QByteArray storedText(const PanelSimProcess& panel) {
        const auto loaded = panelsim::loadState(panel.statePath().toStdString());
        return loaded.state ? QByteArray::fromStdString(loaded.state->text()) : QByteArray("?");
    }

    static int clockWrites(const QString& logPath) {
        QFile log(logPath);
        if (!log.open(QIODevice::ReadOnly)) {
            return 0;
        }
        return int(log.readAll().count(" OUT 34"));
    }

private slots:
    void status();
    void libraryMissing();
    void helpAndVersion();
    void usageErrors_data();
    void usageErrors();
    void sendThenRead_data();
    void sendThenRead();
    void sendFromStdinAndFile();
    void nonWesternText();
    void clockShow();
    void clockOutOfRange();
    void clockSetAndSync();
    void alarm();
    void nak();
    void failWriteAt();
    void unplugAfter();
    void noReply();
    void racingProgramsLoseNoUpdate();
    void sendVerified_data();
    void sendVerified();
    void verifyAgainstARefusingPanel();
    void clockDrift_data();
    void clockDrift();
    void syncOnlyWhenOff_data();
    void syncOnlyWhenOff();
    void previewFramesAreTheEngines_data();
    void previewFramesAreTheEngines();
};

void TestLumictlEndToEnd::status() {
    PanelSimProcess panel;
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    Ran r = run(panel, {"status"});
    QCOMPARE(r.code, 0);
    r = run(panel, {"status", "--json"});
    QCOMPARE(r.code, 0);
    QCOMPARE(json(r.out)["present"].toBool(), true);

    // panelsim is one panel: instance 1 is not there.
    r = run(panel, {"status", "--json", "--instance", "1"});
    QCOMPARE(r.code, 3);
    QCOMPARE(json(r.out)["present"].toBool(true), false);
    QVERIFY2(r.err.contains(kNoPanel), qPrintable(r.err));

    const QString nobody = QDir(panel.folder()).filePath("nobody.sock");
    for (const QString command : {"status", "read", "clock", "alarm"}) {
        QStringList args{"--virtual", nobody, command};
        if (command == "alarm") {
            args << "on";
        }
        r = runProgram(program(), args);
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.contains(kNoPanel), qPrintable(r.err));
    }
}

// A lumictl with no libmpusbapi.so beside it or on the system's search path.
void TestLumictlEndToEnd::libraryMissing() {
    QTemporaryDir dir;
    const QString lonely = dir.filePath("lumictl");
    QVERIFY(QFile::copy(program(), lonely));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LD_LIBRARY_PATH");
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(lonely, {"status"});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 4);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains("bibliothèque USB du panneau introuvable"), qPrintable(err));
}

void TestLumictlEndToEnd::helpAndVersion() {
    Ran r = runProgram(program(), {"--help"});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains("clock --sync"));
    r = runProgram(program(), {"--version"});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.startsWith("lumictl "));
}

void TestLumictlEndToEnd::usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said");
    QTest::newRow("no command") << QStringList{} << "commande manquante";
    QTest::newRow("alarm 7:60") << QStringList{"alarm", "7:60"}
                                << "heure de réveil incorrecte : « 7:60 » (attendu HH:MM";
    QTest::newRow("empty text") << QStringList{"send", ""} << "aucun texte à envoyer";
    QTest::newRow("no file") << QStringList{"send", "--file", "/nonexistent/m.txt"}
                             << "lecture impossible de /nonexistent/m.txt";
    // An endless input is cut off at the limit, not read until memory runs out.
    QTest::newRow("endless file") << QStringList{"send", "--file", "/dev/zero"}
                                  << "/dev/zero dépasse 64 Kio";
}

// Refused before the panel is touched: the panel's text stays.
void TestLumictlEndToEnd::usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    PanelSimProcess panel({}, true);
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    QCOMPARE(run(panel, {"send", "avant"}).code, 0);
    const Ran r = run(panel, args);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(said), qPrintable(r.err));
    QCOMPARE(storedText(panel), QByteArray("avant"));
}

void TestLumictlEndToEnd::sendThenRead_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("readBack");
    QTest::addColumn<int>("stored");  // characters the panel keeps
    QTest::newRow("codes and accents") << "#HCafé #D ça"
                                       << "#HCafé #D ça" << 12;
    QTest::newRow("199") << letters(199) << letters(62) << 199;
    QTest::newRow("200") << letters(200) << letters(62) << 199;
    QTest::newRow("250") << letters(250) << letters(62) << 199;
}

void TestLumictlEndToEnd::sendThenRead() {
    QFETCH(QString, text);
    QFETCH(QString, readBack);
    QFETCH(int, stored);
    PanelSimProcess panel({}, true);
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));

    Ran r = run(panel, {"send", text});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("Texte envoyé !\n"));
    // The cut is said on stderr, and only when there is one.
    QCOMPARE(r.err.contains("texte coupé"), text.size() > 199);
    if (text.size() > 199) {
        QVERIFY2(r.err.contains(QString("%1 laissés de côté").arg(text.size() - 199)),
                 qPrintable(r.err));
    }
    QCOMPARE(storedText(panel), text.left(stored).toLatin1());

    r = run(panel, {"read"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, readBack + "\n");
    r = run(panel, {"read", "--json"});
    QCOMPARE(r.code, 0);
    QCOMPARE(json(r.out)["text"].toString(), readBack);
}

void TestLumictlEndToEnd::sendFromStdinAndFile() {
    PanelSimProcess panel({}, true);
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    QCOMPARE(run(panel, {"send", "-"}, "Bonjour\nà tous\n").code, 0);
    QCOMPARE(storedText(panel), QByteArray("Bonjour \xE0 tous"));

    QTemporaryDir dir;
    QFile file(dir.filePath("m.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Prix : 5 €\n");
    file.close();
    QCOMPARE(run(panel, {"send", "--file", file.fileName()}).code, 0);
    QCOMPARE(storedText(panel), QByteArray("Prix : 5 \x80"));
}

void TestLumictlEndToEnd::nonWesternText() {
    PanelSimProcess panel({}, true);
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    QCOMPARE(run(panel, {"send", "avant"}).code, 0);

    Ran r = run(panel, {"send", "Température → 20 °C ✓"});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains("U+2192") && r.err.contains("position 13"), qPrintable(r.err));
    QCOMPARE(storedText(panel), QByteArray("avant"));

    r = run(panel, {"send", "--replace", "Température → 20 °C ✓"});
    QCOMPARE(r.code, 0);
    QCOMPARE(storedText(panel), QByteArray("Temp\xE9rature ? 20 \xB0"
                                           "C ?"));
    r = run(panel, {"read"});
    QCOMPARE(r.out, QString("Température ? 20 °C ?\n"));

    // Not UTF-8 at all: each bad byte is a character the panel cannot take.
    r = run(panel, {"send", "-"}, "caf\xE9");
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains("position 4"), qPrintable(r.err));
}

void TestLumictlEndToEnd::clockShow() {
    PanelSimProcess panel({"--clock-reply", "9,5,7,14,7,2009,6,45,1"});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    Ran r = run(panel, {"clock"});
    QCOMPARE(r.code, 0);
    // The panel's 2009 lies far behind the computer's clock.
    QVERIFY2(QRegularExpression("^2009-07-14T09:05:07\n06:45 on\ndécalage : -\\d+ s\n$")
                 .match(r.out)
                 .hasMatch(),
             qPrintable(r.out));
    QCOMPARE(r.err, QString());
    r = run(panel, {"clock", "--json"});
    QCOMPARE(r.code, 0);
    const QJsonObject o = json(r.out);
    QCOMPARE(o["datetime"].toString(), QString("2009-07-14T09:05:07"));
    QCOMPARE(o["time_valid"].toBool(), true);
    QCOMPARE(o["date_valid"].toBool(), true);
    QCOMPARE(o["alarm"].toObject()["time"].toString(), QString("06:45"));
    QCOMPARE(o["alarm"].toObject()["on"].toBool(), true);
}

// Warned as lumiboard does, shown all the same, exit 0.
void TestLumictlEndToEnd::clockOutOfRange() {
    PanelSimProcess panel({"--clock-reply", "24,60,0,32,13,2009,7,30,0"});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    Ran r = run(panel, {"clock"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("2009-13-32T24:60:00\n07:30 off\n"));
    QCOMPARE(r.err, QString("lumictl: L\"Heure du montage est incorrecte !\n"
                            "lumictl: La date du panneau est incorrecte !\n"));
    r = run(panel, {"clock", "--json"});
    QCOMPARE(r.code, 0);
    QCOMPARE(json(r.out)["time_valid"].toBool(true), false);
    QCOMPARE(json(r.out)["date_valid"].toBool(true), false);
}

void TestLumictlEndToEnd::clockSetAndSync() {
    PanelSimProcess panel;
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    QCOMPARE(run(panel, {"alarm", "6:45"}).code, 0);

    Ran r = run(panel, {"clock", "--set", "2001-02-03 04:05:06"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("Heure / Date / Alarme mises à jour !\n"));
    r = run(panel, {"clock", "--json"});
    const QJsonObject set = json(r.out);
    // The panel's clock runs on: a few seconds at most have passed.
    const QDateTime read = QDateTime::fromString(set["datetime"].toString(), Qt::ISODate);
    const QDateTime wanted(QDate(2001, 2, 3), QTime(4, 5, 6));
    QVERIFY2(read >= wanted && read <= wanted.addSecs(10), qPrintable(set["datetime"].toString()));

    r = run(panel, {"clock", "--sync"});
    QCOMPARE(r.code, 0);
    r = run(panel, {"clock", "--json"});
    const QDateTime now = QDateTime::currentDateTime();
    const QJsonObject synced = json(r.out);
    const QDateTime panelTime = QDateTime::fromString(synced["datetime"].toString(), Qt::ISODate);
    QVERIFY2(qAbs(panelTime.secsTo(now)) <= 1,
             qPrintable(synced["datetime"].toString() + " / " + now.toString(Qt::ISODate)));
    // The alarm set before went through both writes untouched.
    QCOMPARE(synced["alarm"].toObject()["time"].toString(), QString("06:45"));
    QCOMPARE(synced["alarm"].toObject()["on"].toBool(), true);
}

void TestLumictlEndToEnd::alarm() {
    PanelSimProcess panel;
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    QCOMPARE(run(panel, {"clock", "--set", "2020-05-06 07:08:09"}).code, 0);
    const auto alarmNow = [&] { return run(panel, {"clock"}).out.section('\n', 1, 1); };

    QCOMPARE(run(panel, {"alarm", "7:05"}).code, 0);
    QCOMPARE(alarmNow(), QString("07:05 on"));
    QCOMPARE(run(panel, {"alarm", "off"}).code, 0);
    QCOMPARE(alarmNow(), QString("07:05 off"));
    QCOMPARE(run(panel, {"alarm", "on"}).code, 0);
    QCOMPARE(alarmNow(), QString("07:05 on"));
    // The panel's clock was kept through the three writes.
    QVERIFY(run(panel, {"clock"}).out.startsWith("2020-05-06T07:0"));
}

void TestLumictlEndToEnd::nak() {
    QTemporaryDir dir;
    const QString log = dir.filePath("log");
    PanelSimProcess panel({"--nak", "--log", log});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    Ran r = run(panel, {"read"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(kReadFailed), qPrintable(r.err));
    QCOMPARE(r.out, QString());

    // A sync or an alarm change whose read failed writes nothing.
    for (const QStringList& args : {QStringList{"clock", "--sync"}, QStringList{"alarm", "on"}}) {
        r = run(panel, args);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(kClockReadFailed), qPrintable(r.err));
        QVERIFY(!r.out.contains("mises à jour"));
    }
    QCOMPARE(clockWrites(log), 0);
}

// The third of four chunks refused: not reported as sent.
void TestLumictlEndToEnd::failWriteAt() {
    PanelSimProcess panel({"--fail-write-at", "3"});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    const Ran r = run(panel, {"send", letters(199)});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(kSendFailed), qPrintable(r.err));
    QVERIFY2(r.err.contains("envoi interrompu"), qPrintable(r.err));
    QCOMPARE(r.out, QString());
}

// Gone after the clock read: the write fails and says so.
void TestLumictlEndToEnd::unplugAfter() {
    PanelSimProcess panel({"--unplug-after", "1"});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    const Ran r = run(panel, {"clock", "--sync"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(kClockWriteFailed), qPrintable(r.err));
    QVERIFY(!r.out.contains("mises à jour"));
}

// The one slow case: the read waits out the library's 6 s time-out.
void TestLumictlEndToEnd::noReply() {
    PanelSimProcess panel({"--no-reply"});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    const Ran r = run(panel, {"read"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(kReadFailed), qPrintable(r.err));
}

// An alarm change and a clock sync at the same moment: each reads the clock
// and writes the whole record back, so without taking turns the sync could
// write back the alarm the other had just switched off.
void TestLumictlEndToEnd::racingProgramsLoseNoUpdate() {
    PanelSimProcess panel;
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    // Each round in a runtime folder of its own would defeat the lock: one for all.
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    const auto start = [&](const QStringList& args) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->start(program(), QStringList{"--virtual", panel.socketPath()} + args);
        return p;
    };
    const auto finish = [](QProcess& p) {
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode()
                                                                                  : -1;
    };
    int lost = 0;
    for (int round = 0; round < 40; ++round) {
        auto on = start({"alarm", "07:05"});
        QCOMPARE(finish(*on), 0);
        auto off = start({"alarm", "off"});
        auto sync = start({"clock", "--sync"});
        const int offCode = finish(*off);
        const int syncCode = finish(*sync);
        QVERIFY2(offCode == 0 && syncCode == 0,
                 qPrintable(QString("round %1: %2 %3 / %4 %5")
                                .arg(round)
                                .arg(offCode)
                                .arg(QString::fromUtf8(off->readAllStandardError()))
                                .arg(syncCode)
                                .arg(QString::fromUtf8(sync->readAllStandardError()))));
        const Ran now = run(panel, {"clock"});
        lost += now.out.endsWith("07:05 on\n") ? 1 : 0;
    }
    QCOMPARE(lost, 0);
}

void TestLumictlEndToEnd::sendVerified_data() {
    QTest::addColumn<int>("length");
    QTest::newRow("short") << 12;
    QTest::newRow("199") << 199;
    QTest::newRow("200") << 200;
    QTest::newRow("250") << 250;
}

// What the panel keeps is read back and agrees: sent, cut and verified said.
void TestLumictlEndToEnd::sendVerified() {
    QFETCH(int, length);
    PanelSimProcess panel;
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    const Ran r = run(panel, {"send", "--verify", "--json", letters(length)});
    QCOMPARE(r.code, 0);
    const QJsonObject o = json(r.out);
    QCOMPARE(o["sent"].toInt(), std::min(length, 199));
    QCOMPARE(o["cut"].toInt(), std::max(0, length - 199));
    QCOMPARE(o["verified"].toBool(false), true);
    QCOMPARE(run(panel, {"send", "--verify", letters(length)}).out, QString("Texte envoyé !\n"));
}

// A panel that refuses every command: the chunks seem to go, the read-back
// says otherwise, and the send is a failure.
void TestLumictlEndToEnd::verifyAgainstARefusingPanel() {
    PanelSimProcess panel({"--nak"});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    QCOMPARE(run(panel, {"send", "Bonjour"}).code, 0);  // nothing acknowledges a chunk
    const Ran r = run(panel, {"send", "--verify", "Bonjour"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("vérification impossible"), qPrintable(r.err));
    QCOMPARE(r.out, QString());
}

void TestLumictlEndToEnd::clockDrift_data() {
    QTest::addColumn<QString>("reply");  // --clock-reply, in the computer's local time
    QTest::addColumn<int>("sign");       // 0: no drift said
    const QDateTime now = QDateTime::currentDateTime();
    const auto at = [](const QDateTime& t) {
        return QString("%1,%2,%3,%4,%5,%6,6,45,1")
            .arg(t.time().hour())
            .arg(t.time().minute())
            .arg(t.time().second())
            .arg(t.date().day())
            .arg(t.date().month())
            .arg(t.date().year());
    };
    QTest::newRow("ahead") << at(now.addDays(40)) << 1;
    QTest::newRow("behind") << at(now.addDays(-40)) << -1;
    QTest::newRow("hour 24") << "24,0,0,14,7,2009,6,45,1" << 0;
    QTest::newRow("day 0") << "9,0,0,0,7,2009,6,45,1" << 0;
}

void TestLumictlEndToEnd::clockDrift() {
    QFETCH(QString, reply);
    QFETCH(int, sign);
    PanelSimProcess panel({"--clock-reply", reply});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    const Ran r = run(panel, {"clock"});
    QCOMPARE(r.code, 0);
    const QRegularExpression said("décalage : ([+-]?\\d+) s\n");
    const QRegularExpressionMatch m = said.match(r.out);
    QCOMPARE(m.hasMatch(), sign != 0);
    const QJsonObject o = json(run(panel, {"clock", "--json"}).out);
    if (sign == 0) {
        QVERIFY(o["drift_seconds"].isNull());
        return;
    }
    const qint64 seconds = m.captured(1).toLongLong();
    QVERIFY2(seconds * sign > 39 * 86400 && seconds * sign < 41 * 86400, qPrintable(r.out));
    QVERIFY(std::abs(o["drift_seconds"].toInteger() - seconds) < 5);
}

void TestLumictlEndToEnd::syncOnlyWhenOff_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("writes");
    QTest::addColumn<QString>("said");
    // panelsim's own clock is the computer's: a few seconds off at most.
    QTest::newRow("on time: left alone") << QStringList{} << 0 << "horloge laissée telle quelle";
    QTest::newRow("years behind: set") << QStringList{"--clock-reply", "9,5,7,14,7,2009,6,45,1"}
                                       << 1 << "Heure / Date / Alarme mises à jour !";
    QTest::newRow("time out of range: set")
        << QStringList{"--clock-reply", "24,0,0,14,7,2009,6,45,1"} << 1
        << "Heure / Date / Alarme mises à jour !";
}

void TestLumictlEndToEnd::syncOnlyWhenOff() {
    QFETCH(QStringList, options);
    QFETCH(int, writes);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString log = dir.filePath("log");
    PanelSimProcess panel(options + QStringList{"--log", log});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    const Ran r = run(panel, {"clock", "--sync", "--if-drift", "30"});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(said), qPrintable(r.out));
    QCOMPARE(clockWrites(log), writes);
    // Quiet: the same work, nothing on stdout.
    const Ran quiet = run(panel, {"--quiet", "clock", "--sync", "--if-drift", "30"});
    QCOMPARE(quiet.code, 0);
    QCOMPARE(quiet.out, QString());
}

void TestLumictlEndToEnd::previewFramesAreTheEngines_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("tick");
    QTest::newRow("inverse, start") << "#IBonjour" << 0;
    QTest::newRow("inverse, on its way") << "#IBonjour" << 37;
    QTest::newRow("small then large font") << "#PMini#NMaxi" << 100;
    QTest::newRow("codes the preview passes over") << "#Gx#Vy#T#3z" << 60;
    QTest::newRow("beep, accents") << "A#B été" << 250;
}

// lumictl draws the frames of lumiboard's own engine: read back from the
// terminal drawing, column by column.
void TestLumictlEndToEnd::previewFramesAreTheEngines() {
    QFETCH(QString, text);
    QFETCH(int, tick);
    const Ran r = runProgram(program(), {"preview", "--at", QString::number(tick), text});
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    FixedClock clock;
    SilentBeeper beeper;
    PreviewEngine engine(clock, beeper);
    engine.reset();
    engine.setText(cp1252::encode(text));
    for (int i = 0; i < tick; ++i) {
        engine.tick();
    }
    for (int c = 0; c < PreviewEngine::kShownColumns; ++c) {
        std::uint16_t drawn = 0xFFFF;
        for (int row = 0; row < 5; ++row) {
            const QChar cell = lines[row].at(c);
            if (cell == QChar(0x2588) || cell == QChar(0x2580)) {
                drawn &= ~(1u << (2 * row));
            }
            if (cell == QChar(0x2588) || cell == QChar(0x2584)) {
                drawn &= ~(1u << (2 * row + 1));
            }
        }
        QCOMPARE(drawn, std::uint16_t(engine.shownColumn(c) | 0xFC00));
    }
}

QTEST_GUILESS_MAIN(TestLumictlEndToEnd)
#include "tst_lumictl_e2e.moc"
