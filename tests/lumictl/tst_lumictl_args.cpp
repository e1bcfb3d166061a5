// lumictl's pure parts: argument parsing, the alarm and clock arguments, the
// text check, the output formats.
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <cerrno>

#include "Arguments.h"
#include "Output.h"

namespace {

// One line naming everything the invocation carries, so a table can say it.
QString describe(const Invocation& inv) {
    static const char* const commands[] = {"help",  "version", "status",  "send",  "read",
                                           "clock", "alarm",   "preview", "doctor"};
    QString d = QLatin1String(commands[static_cast<int>(inv.command)]);
    if (inv.json)
        d += " json";
    if (inv.quiet)
        d += " quiet";
    if (inv.virtualSocket)
        d += " virtual=" + *inv.virtualSocket;
    if (inv.instance)
        d += " instance=" + QString::number(inv.instance);
    if (inv.command == Command::Send || inv.command == Command::Preview) {
        d += inv.source == TextSource::Stdin  ? QStringLiteral(" stdin")
             : inv.source == TextSource::File ? " file=" + inv.fileName
                                              : " text=" + inv.text;
        if (inv.replace)
            d += " replace";
        if (inv.verify)
            d += " verify";
        if (inv.atTick)
            d += " at=" + QString::number(*inv.atTick);
        if (inv.seconds)
            d += " seconds=" + QString::number(*inv.seconds);
        if (inv.bell)
            d += " bell";
        if (inv.pngFile)
            d += " png=" + *inv.pngFile;
    }
    if (inv.command == Command::Clock) {
        d += inv.clockAction == ClockAction::Sync  ? QStringLiteral(" sync")
             : inv.clockAction == ClockAction::Set ? " set=" + inv.clockValue.toString(Qt::ISODate)
                                                   : QString();
        if (inv.ifDriftOver)
            d += " if-drift=" + QString::number(*inv.ifDriftOver);
    }
    if (inv.command == Command::Alarm) {
        d += inv.alarmAction == AlarmAction::On ? QStringLiteral(" on")
             : inv.alarmAction == AlarmAction::Off
                 ? QStringLiteral(" off")
                 : QStringLiteral(" at=%1:%2").arg(inv.alarmTime.hour).arg(inv.alarmTime.minute);
    }
    return d;
}

}  // namespace

class TestLumictlArgs : public QObject {
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void alarmArgument_data();
    void alarmArgument();
    void oneLineText();
    void terminalSafeText();
    void clockOutput();
    void reasons();
    void refusalWords();
};

void TestLumictlArgs::arguments_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("parsed");  // describe(), or "usage: <part of the message>"

    QTest::newRow("nothing") << QStringList{} << "usage: commande manquante";
    QTest::newRow("help wins over the command") << QStringList{"send", "-h"} << "help";
    QTest::newRow("version") << QStringList{"--version"} << "version";
    QTest::newRow("unknown command") << QStringList{"blink"} << "usage: commande inconnue";
    QTest::newRow("unknown option") << QStringList{"read", "--fast"} << "usage: option inconnue";
    QTest::newRow("flag with a value")
        << QStringList{"read", "--json=1"} << "usage: option inconnue";
    QTest::newRow("status json anywhere") << QStringList{"--json", "status"} << "status json";
    QTest::newRow("virtual and instance")
        << QStringList{"read", "--virtual", "/tmp/p.sock", "--instance=2"}
        << "read virtual=/tmp/p.sock instance=2";
    QTest::newRow("virtual empty") << QStringList{"read", "--virtual="} << "usage: --virtual";
    QTest::newRow("virtual without value")
        << QStringList{"read", "--virtual"} << "usage: l'option --virtual attend une valeur";
    QTest::newRow("instance not a number")
        << QStringList{"read", "--instance", "x"} << "usage: --instance";
    QTest::newRow("instance negative")
        << QStringList{"read", "--instance=-1"} << "usage: --instance";
    QTest::newRow("read takes nothing") << QStringList{"read", "now"} << "usage: argument en trop";

    QTest::newRow("send words joined")
        << QStringList{"send", "Build", "#IOK", "é"} << "send text=Build #IOK é";
    QTest::newRow("send dash is stdin") << QStringList{"send", "-"} << "send stdin";
    QTest::newRow("send dash among words")
        << QStringList{"send", "a", "-", "b"} << "send text=a - b";
    QTest::newRow("send after --")
        << QStringList{"send", "--", "-5 degrés", "--json"} << "send text=-5 degrés --json";
    QTest::newRow("send file replace")
        << QStringList{"send", "--replace", "--file", "m.txt"} << "send file=m.txt replace";
    QTest::newRow("send file and words")
        << QStringList{"send", "--file", "m.txt", "x"} << "usage: --file et un texte";
    QTest::newRow("send nothing") << QStringList{"send"} << "usage: « send » attend";
    QTest::newRow("send json") << QStringList{"send", "--json", "a"} << "send json text=a";
    QTest::newRow("send verify") << QStringList{"send", "--verify", "a"} << "send text=a verify";
    QTest::newRow("verify elsewhere")
        << QStringList{"read", "--verify"} << "usage: l'option --verify";
    QTest::newRow("quiet") << QStringList{"-q", "clock", "--sync"} << "clock quiet sync";
    QTest::newRow("if-drift") << QStringList{"clock", "--sync", "--if-drift", "2"}
                              << "clock sync if-drift=2";
    QTest::newRow("if-drift without sync")
        << QStringList{"clock", "--if-drift", "2"} << "usage: l'option --if-drift";
    QTest::newRow("if-drift not a number")
        << QStringList{"clock", "--sync", "--if-drift=-1"} << "usage: --if-drift attend";
    QTest::newRow("preview at") << QStringList{"preview", "--at", "100", "#Ib"}
                                << "preview text=#Ib at=100";
    QTest::newRow("preview png") << QStringList{"preview", "--at=3", "--png", "f.png", "x"}
                                 << "preview text=x at=3 png=f.png";
    QTest::newRow("preview stdin, bell") << QStringList{"preview", "--bell", "--seconds", "3", "-"}
                                         << "preview stdin seconds=3 bell";
    QTest::newRow("png without at")
        << QStringList{"preview", "--png", "f.png", "x"} << "usage: --png s'emploie avec --at";
    QTest::newRow("at and seconds")
        << QStringList{"preview", "--at", "5", "--seconds", "3", "x"} << "usage: --at et --seconds";
    QTest::newRow("seconds 0") << QStringList{"preview", "--seconds", "0", "x"}
                               << "usage: --seconds attend";
    QTest::newRow("at elsewhere") << QStringList{"send", "--at", "5", "x"}
                                  << "usage: l'option --at";
    QTest::newRow("replace elsewhere")
        << QStringList{"read", "--replace"} << "usage: l'option --replace";

    QTest::newRow("clock") << QStringList{"clock", "--json"} << "clock json";
    QTest::newRow("clock sync") << QStringList{"clock", "--sync"} << "clock sync";
    QTest::newRow("clock sync json")
        << QStringList{"clock", "--sync", "--json"} << "usage: l'option --json";
    QTest::newRow("clock set") << QStringList{"clock", "--set", "2009-07-14 09:05:07"}
                               << "clock set=2009-07-14T09:05:07";
    QTest::newRow("clock set with T")
        << QStringList{"clock", "--set=2024-02-29T23:59:59"} << "clock set=2024-02-29T23:59:59";
    QTest::newRow("clock set no leap day") << QStringList{"clock", "--set", "2023-02-29 10:00:00"}
                                           << "usage: date et heure incorrectes";
    QTest::newRow("clock set short")
        << QStringList{"clock", "--set", "2023-2-3 10:00"} << "usage: date et heure incorrectes";
    QTest::newRow("clock sync and set")
        << QStringList{"clock", "--sync", "--set", "2009-07-14 09:05:07"}
        << "usage: --sync et --set";
    QTest::newRow("sync elsewhere") << QStringList{"read", "--sync"} << "usage: l'option --sync";

    QTest::newRow("alarm at") << QStringList{"alarm", "7:05"} << "alarm at=7:5";
    QTest::newRow("alarm on") << QStringList{"alarm", "on"} << "alarm on";
    QTest::newRow("alarm off") << QStringList{"alarm", "off"} << "alarm off";
    QTest::newRow("alarm hour 24")
        << QStringList{"alarm", "24:00"}
        << "usage: heure de réveil incorrecte : « 24:00 » (attendu HH:MM";
    QTest::newRow("alarm two") << QStringList{"alarm", "7:30", "on"} << "usage: « alarm » attend";
    QTest::newRow("alarm none") << QStringList{"alarm"} << "usage: « alarm » attend";
}

void TestLumictlArgs::arguments() {
    QFETCH(QStringList, args);
    QFETCH(QString, parsed);
    const auto result = parseArguments(args);
    if (parsed.startsWith("usage: ")) {
        const auto* error = std::get_if<UsageError>(&result);
        if (error == nullptr) {
            QFAIL(qPrintable("accepted: " + describe(std::get<Invocation>(result))));
        }
        QVERIFY2(error->message.startsWith(parsed.mid(7)), qPrintable(error->message));
    } else {
        const auto* inv = std::get_if<Invocation>(&result);
        if (inv == nullptr) {
            QFAIL(qPrintable("refused: " + std::get<UsageError>(result).message));
        }
        QCOMPARE(describe(*inv), parsed);
    }
}

void TestLumictlArgs::alarmArgument_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("hour");  // -1: refused
    QTest::addColumn<int>("minute");
    QTest::newRow("7:30") << "7:30" << 7 << 30;
    QTest::newRow("leading zeros") << "07:05" << 7 << 5;
    QTest::newRow("edges") << "23:59" << 23 << 59;
    QTest::newRow("midnight") << "0:0" << 0 << 0;
    QTest::newRow("blank and sign, as lumiboard takes them") << " 6:+5" << 6 << 5;
    QTest::newRow("minute 60") << "6:60" << -1 << 0;
    QTest::newRow("hour 24") << "24:00" << -1 << 0;
    QTest::newRow("negative") << "-1:00" << -1 << 0;
    QTest::newRow("no colon") << "730" << -1 << 0;
    QTest::newRow("letters") << "x:10" << -1 << 0;
    QTest::newRow("empty minute") << "7:" << -1 << 0;
    // lumiboard keeps the first two characters after the colon; not here.
    QTest::newRow("three minute digits") << "7:305" << -1 << 0;
    QTest::newRow("seconds") << "12:34:56" << -1 << 0;
    QTest::newRow("trailing blank") << "7:30 " << -1 << 0;
}

void TestLumictlArgs::alarmArgument() {
    QFETCH(QString, text);
    QFETCH(int, hour);
    QFETCH(int, minute);
    const auto time = parseAlarmArgument(text);
    QCOMPARE(time.has_value(), hour >= 0);
    if (time) {
        QCOMPARE(int(time->hour), hour);
        QCOMPARE(int(time->minute), minute);
    }
}

void TestLumictlArgs::terminalSafeText() {
    QCOMPARE(terminalSafe("Café #I"), QString("Café #I"));
    QCOMPARE(terminalSafe("\x1b]0;x\a"), QString("\\x1B]0;x\\x07"));
    QCOMPARE(terminalSafe(QString("a") + QChar(0x7F) + QChar(0x9B) + "b"), QString("a\\x7F\\x9Bb"));
    // In JSON every control character is an escape, DEL and C1 included.
    const QByteArray json = textJson(QString("\x1b[2J") + QChar(0x7F) + QChar(0x9B));
    QCOMPARE(json, QByteArray("{\"text\":\"\\u001b[2J\\u007f\\u009b\"}\n"));
}

void TestLumictlArgs::oneLineText() {
    QCOMPARE(oneLine("Bonjour\n"), QString("Bonjour"));
    QCOMPARE(oneLine("un\r\ndeux\ntrois\r\n\n"), QString("un deux trois"));
    QCOMPARE(oneLine("\n"), QString());
}

void TestLumictlArgs::clockOutput() {
    PanelClock c{9, 5, 7, 14, 7, 2009, 7, 30, 1};
    QCOMPARE(isoDateTime(c), QString("2009-07-14T09:05:07"));
    QCOMPARE(alarmText(c), QString("07:30 on"));
    c.alarmOn = 0;
    QCOMPARE(alarmText(c), QString("07:30 off"));

    // Out of range values are shown as the panel gave them.
    const PanelClock wrong{24, 60, 0, 32, 13, 9, 25, 61, 1};
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(clockJson(wrong, false, false), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(o["datetime"].toString(), QString("0009-13-32T24:60:00"));
    QCOMPARE(o["time_valid"].toBool(true), false);
    QCOMPARE(o["date_valid"].toBool(true), false);
    QCOMPARE(o["alarm"].toObject()["time"].toString(), QString("25:61"));
    QCOMPARE(o["alarm"].toObject()["on"].toBool(), true);

    const QJsonObject t = QJsonDocument::fromJson(textJson("Café \"#I\"")).object();
    QCOMPARE(t["text"].toString(), QString("Café \"#I\""));
}

void TestLumictlArgs::reasons() {
    QCOMPARE(failureReason(0), QString());
    for (const int e : {EACCES, ENODEV, ETIMEDOUT, EBUSY, EINVAL}) {
        QVERIFY(!failureReason(e).isEmpty());
    }
    // Five reasons of our own, all different.
    QCOMPARE(QSet<QString>({failureReason(EACCES), failureReason(ENODEV), failureReason(ETIMEDOUT),
                            failureReason(EBUSY), failureReason(EINVAL)})
                 .size(),
             5);
    QCOMPARE(failureReason(EPIPE), systemErrorReason(EPIPE));
}

// A control character is said to be one; any other names its glyph and the code page.
void TestLumictlArgs::refusalWords() {
    const QString control = refusalMessage({0x1B, 2, true});
    QVERIFY2(control.contains(" position 2 ") && control.contains("contrôle") &&
                 control.contains("U+001B") && !control.contains("Windows-1252"),
             qPrintable(control));
    const QString missing = refusalMessage({0x2192, 5, false});
    QVERIFY2(missing.contains(" position 5 ") && missing.contains("« → »") &&
                 missing.contains("Windows-1252"),
             qPrintable(missing));
}

QTEST_GUILESS_MAIN(TestLumictlArgs)
#include "tst_lumictl_args.moc"
