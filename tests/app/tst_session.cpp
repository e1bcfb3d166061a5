#include <QtTest>

#include "FakePanel.h"
#include "FakeSeams.h"
#include "Session.h"

class TestSession : public QObject {
    Q_OBJECT

    FixedClock clock_;
    CountingBeeper beeper_;

    // A session bound to the in-process fake panel.
    std::unique_ptr<Session> sessionOn(Dialogs& dialogs) {
        auto session = std::make_unique<Session>(SessionSeams{dialogs, clock_, beeper_,
                                                              [](UsbApi& api, Dialogs&) {
                                                                  api = FakePanel::api();
                                                                  return true;
                                                              },
                                                              QString()});
        [&] { QVERIFY(session->bindLibrary()); }();
        return session;
    }

private slots:
    void readClock_data();
    void readClock();

    void unboundLibraryEndsTheProgram();
    void startUpWithoutPanelTakesThePcsClock();
    void startUpWithRefusedPanelSaysWhy();
    void startUpWithPanelAsks_data();
    void startUpWithPanelAsks();
    void callersRecordIsSentAndTheProgramsKept();
    void transfersSayWhetherTheyWent();
    void insertionMovesTheCaretPastTheCode_data();
    void insertionMovesTheCaretPastTheCode();

    void clockRunsOn_data();
    void clockRunsOn();
    void clockWriteSendsWhatThePanelReadsNow_data();
    void clockWriteSendsWhatThePanelReadsNow();
    void clockWriteRefusedUntilARead();

    void alarmEntry_data();
    void alarmEntry();
    void alarmDisarm();
};

void TestSession::readClock_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("warnings");
    QTest::addColumn<QString>("hrtxt");
    QTest::addColumn<QString>("datetxt");
    QTest::addColumn<QString>("revtxt");
    QTest::addColumn<bool>("armed");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("month");

    const QString timeWrong = "error: L\"Heure du montage est incorrecte !";
    const QString dateWrong = "error: La date du panneau est incorrecte !";
    QTest::newRow("all in range, armed")
        << QByteArray::fromHex("AA 17 3B 3B 1F 0C 07 D9 07 1E 01") << QStringList{} << "23:59:59"
        << "31/12/2009"
        << "7:30" << true << QString("désactiver sonnerie de 7:30") << 23 << 31 << 12;
    QTest::newRow("no leading zeros, disarmed")
        << QByteArray::fromHex("AA 09 05 07 0E 07 07 D9 06 05 00") << QStringList{} << "9:5:7"
        << "14/7/2009"
        << " " << false << QString("Activer") << 9 << 14 << 7;
    QTest::newRow("hour 24: warned, kept")
        << QByteArray::fromHex("AA 18 00 00 0E 07 07 D9 06 05 01") << QStringList{timeWrong}
        << "24:0:0"
        << "14/7/2009"
        << "6:5" << true << QString("désactiver sonnerie de 6:5") << 24 << 14 << 7;
    QTest::newRow("second 60") << QByteArray::fromHex("AA 0C 00 3C 0E 07 07 D9 00 00 00")
                               << QStringList{timeWrong} << "12:0:60"
                               << "14/7/2009"
                               << " " << false << QString("Activer") << 12 << 14 << 7;
    QTest::newRow("day 32 month 13: one warning")
        << QByteArray::fromHex("AA 0C 00 00 20 0D 07 D9 00 00 00") << QStringList{dateWrong}
        << "12:0:0"
        << "32/13/2009"
        << " " << false << QString("Activer") << 12 << 32 << 13;
    QTest::newRow("both warnings in order")
        << QByteArray::fromHex("AA FF 00 00 00 FF 00 00 00 00 00")
        << QStringList{timeWrong, dateWrong} << "255:0:0"
        << "0/255/0"
        << " " << false << QString("Activer") << 255 << 0 << 255;
    QTest::newRow("day and month 0 pass")
        << QByteArray::fromHex("AA 0C 00 00 00 00 07 DA 00 00 00") << QStringList{} << "12:0:0"
        << "0/0/2010"
        << " " << false << QString("Activer") << 12 << 0 << 0;
    QTest::newRow("armed byte 0x80")
        << QByteArray::fromHex("AA 0C 00 00 01 01 07 D9 06 05 80") << QStringList{} << "12:0:0"
        << "1/1/2009"
        << "6:5" << true << QString("désactiver sonnerie de 6:5") << 12 << 1 << 1;
}

void TestSession::readClock() {
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, warnings);
    QFETCH(QString, hrtxt);
    QFETCH(QString, datetxt);
    QFETCH(QString, revtxt);
    QFETCH(bool, armed);
    QFETCH(QString, caption);
    QFETCH(int, hour);
    QFETCH(int, day);
    QFETCH(int, month);
    FakePanel panel;
    std::memcpy(panel.reply.data(), reply.constData(), reply.size());
    LoggingDialogs dialogs(panel);
    const auto session = sessionOn(dialogs);
    session->setAlarmArmed(true);

    const auto view = session->readClock();

    QVERIFY(view.has_value());
    QCOMPARE(view->time, hrtxt);
    QCOMPARE(view->date, datetxt);
    QCOMPARE(view->alarm, revtxt);
    QCOMPARE(view->alarmArmed, armed);
    QCOMPARE(view->alarmCaption, caption);
    const PanelClock& clock = session->panelClock();
    QCOMPARE(int(clock.hour), hour);
    QCOMPARE(int(clock.day), day);
    QCOMPARE(int(clock.month), month);
    QCOMPARE(int(clock.year), uchar(reply[6]) * 256 + uchar(reply[7]));
    QCOMPARE(int(clock.alarmHour), int(uchar(reply[8])));
    QCOMPARE(int(clock.alarmMinute), int(uchar(reply[9])));
    QCOMPARE(int(clock.alarmOn), armed ? 1 : 0);
    // Warnings come while both pipes are still open.
    QCOMPARE(panel.log, QStringList({"open w", "open r", "write 1000", "read 5000"}) + warnings +
                            QStringList({"close r", "close w"}));
    QCOMPARE(bytesOf(panel.received.value(0)).left(2), QByteArray::fromHex("4300"));
    QVERIFY(panel.faults.isEmpty());
}

void TestSession::unboundLibraryEndsTheProgram() {
    RecordingDialogs dialogs;
    Session session({dialogs, clock_, beeper_, [](UsbApi&, Dialogs&) { return false; }, {}});
    QVERIFY(!session.bindLibrary());
    QVERIFY(!session.bound());
    QCOMPARE(dialogs.texts(), QStringList{"La librairie MPUSBAPI.DLL est introuvable !"});
}

void TestSession::startUpWithoutPanelTakesThePcsClock() {
    FakePanel panel;
    panel.deviceCount = 0;
    RecordingDialogs dialogs;
    const auto session = sessionOn(dialogs);
    clock_.at = QDateTime(QDate(2031, 3, 4), QTime(5, 6, 7));

    QCOMPARE(session->beginStartUp(), QStringLiteral("Journal Lumineux - Voltamark 2009  "));
    QVERIFY(dialogs.shown.isEmpty());  // nothing asked before the field is filled
    const StartUp outcome = session->finishStartUp();

    QCOMPARE(outcome.kind, StartUp::Kind::NoPanel);
    QCOMPARE(outcome.time, "05:06:07");
    QCOMPARE(outcome.date, "04/03/2031");
    QCOMPARE(dialogs.texts(), QStringList{"Pas de Journal lumineux connecté sur port USB."});
    QCOMPARE(fields(session->panelClock()), fields(PanelClock{5, 6, 7, 4, 3, 2031, 0, 0, 0}));
    QVERIFY(session->preview().engine().isReset());
}

// A panel this user may not open counts as none; the notice says why.
void TestSession::startUpWithRefusedPanelSaysWhy() {
    FakePanel panel;
    panel.deviceCount = 0;
    panel.countErrno = EACCES;
    RecordingDialogs dialogs;
    const auto session = sessionOn(dialogs);
    session->beginStartUp();
    QCOMPARE(session->finishStartUp().kind, StartUp::Kind::NoPanel);
    QCOMPARE(dialogs.texts(),
             QStringList{"Pas de Journal lumineux connecté sur port USB.\nAccès au panneau "
                         "refusé : installez la règle udev 70-lumiboard-panel.rules (voir le "
                         "README, Dépannage)."});
    QCOMPARE(dialogs.shown[0].kind, RecordingDialogs::Kind::Confirm);
}

void TestSession::startUpWithPanelAsks_data() {
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("kind");
    QTest::newRow("yes") << true << int(StartUp::Kind::ReadPanel);
    QTest::newRow("no") << false << int(StartUp::Kind::Declined);
}

void TestSession::startUpWithPanelAsks() {
    QFETCH(bool, answer);
    QFETCH(int, kind);
    FakePanel panel;
    RecordingDialogs dialogs;
    dialogs.yesNoAnswers = {answer};
    const auto session = sessionOn(dialogs);
    session->setAlarmArmed(true);

    session->beginStartUp();
    QCOMPARE(session->panelClock().alarmOn, 0);  // cleared before any dialog
    const StartUp outcome = session->finishStartUp();

    QCOMPARE(int(outcome.kind), kind);
    QVERIFY(outcome.time.isEmpty() && outcome.date.isEmpty());
    QCOMPARE(dialogs.texts(), QStringList{"Lire la mémoire du Journal ?"});
    QCOMPARE(panel.received.size(), 0);  // the reads are the caller's to start
}

void TestSession::callersRecordIsSentAndTheProgramsKept() {
    FakePanel panel;
    panel.reply = reportOf({0xAA});
    RecordingDialogs dialogs;
    const auto session = sessionOn(dialogs);

    // The program's record is still empty: its write is refused, a caller's goes.
    QVERIFY(!session->writeClock());
    QCOMPARE(panel.received.size(), 0);
    QVERIFY(session->writeClock(PanelClock{9, 5, 0, 14, 7, 2009, 7, 30, 1}));
    QCOMPARE(bytesOf(panel.received.value(0)).left(11),
             QByteArray::fromHex("34 09 05 00 0E 07 07 D9 07 1E 01"));
    QCOMPARE(fields(session->panelClock()), fields(PanelClock{}));
    QCOMPARE(dialogs.texts().last(), "Heure / Date / Alarme mises à jour !");
}

void TestSession::transfersSayWhetherTheyWent() {
    FakePanel panel;
    panel.reply = reportOf({0xAA, 0, 'h', 0xE9});
    RecordingDialogs dialogs;
    const auto session = sessionOn(dialogs);

    QVERIFY(session->sendText(QStringLiteral("été")));
    QCOMPARE(bytesOf(panel.received.value(0)).left(5), QByteArray("\x58\x00\xE9t\xE9", 5));
    QVERIFY(!session->sendText(QString()));
    QCOMPARE(session->readText(), QStringLiteral("hé"));
    panel.failWriteAt = panel.writes + 1;
    QVERIFY(!session->sendText(QStringLiteral("x")));
    panel.failRead = true;
    QVERIFY(!session->readText().has_value());
    QVERIFY(!session->readClock().has_value());
}

void TestSession::insertionMovesTheCaretPastTheCode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("newCaret");
    QTest::newRow("middle") << "abcd" << 2 << "Heure1"
                            << "ab#Hcd" << 4;
    QTest::newRow("end") << "ab" << 2 << "v4menu"
                         << "ab#4" << 4;
    QTest::newRow("start") << "ab" << 0 << "Beep1"
                           << "#Bab" << 2;
}

void TestSession::insertionMovesTheCaretPastTheCode() {
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(QString, item);
    QFETCH(QString, result);
    QFETCH(int, newCaret);
    RecordingDialogs dialogs;
    Session session({dialogs, clock_, beeper_, [](UsbApi&, Dialogs&) { return false; }, {}});
    const QByteArray name = item.toLatin1();
    const CodeInsertion inserted =
        session.insertCode(text, caret, std::string_view(name.constData(), name.size()));
    QCOMPARE(inserted.text, result);
    QCOMPARE(inserted.caret, newCaret);
}

void TestSession::clockRunsOn_data() {
    QTest::addColumn<PanelClock>("read");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<PanelClock>("sent");
    const auto at = [](int h, int mi, int s, int d, int mo, int y) {
        return PanelClock{quint8(h),  quint8(mi), quint8(s), quint16(d), quint16(mo),
                          quint16(y), 7,          30,        1};
    };
    QTest::newRow("ten minutes") << at(9, 5, 0, 14, 7, 2009) << 600'000LL
                                 << at(9, 15, 0, 14, 7, 2009);
    QTest::newRow("no time passed") << at(9, 5, 0, 14, 7, 2009) << 0LL << at(9, 5, 0, 14, 7, 2009);
    QTest::newRow("part of a second")
        << at(9, 5, 0, 14, 7, 2009) << 999LL << at(9, 5, 0, 14, 7, 2009);
    QTest::newRow("new year") << at(23, 59, 59, 31, 12, 2009) << 2'000LL << at(0, 0, 1, 1, 1, 2010);
    QTest::newRow("end of February")
        << at(23, 50, 0, 28, 2, 2009) << 1'200'000LL << at(0, 10, 0, 1, 3, 2009);
    QTest::newRow("leap day") << at(23, 50, 0, 28, 2, 2008) << 1'200'000LL
                              << at(0, 10, 0, 29, 2, 2008);
    QTest::newRow("end of April") << at(23, 0, 0, 30, 4, 2026) << 7'200'000LL
                                  << at(1, 0, 0, 1, 5, 2026);
    QTest::newRow("three days") << at(12, 0, 0, 30, 6, 2026) << 3LL * 86'400'000
                                << at(12, 0, 0, 3, 7, 2026);
    QTest::newRow("clock set back")
        << at(0, 0, 30, 1, 1, 2010) << -60'000LL << at(23, 59, 30, 31, 12, 2009);
    // Nothing to run on from: sent as read.
    QTest::newRow("hour 24") << at(24, 0, 0, 14, 7, 2009) << 600'000LL << at(24, 0, 0, 14, 7, 2009);
    QTest::newRow("second 60") << at(9, 5, 60, 14, 7, 2009) << 600'000LL
                               << at(9, 5, 60, 14, 7, 2009);
    QTest::newRow("day 0") << at(9, 5, 0, 0, 7, 2009) << 600'000LL << at(9, 5, 0, 0, 7, 2009);
    QTest::newRow("31 April") << at(9, 5, 0, 31, 4, 2009) << 600'000LL << at(9, 5, 0, 31, 4, 2009);
    QTest::newRow("month 13") << at(9, 5, 0, 1, 13, 2009) << 600'000LL << at(9, 5, 0, 1, 13, 2009);
    QTest::newRow("all zero") << at(0, 0, 0, 0, 0, 0) << 600'000LL << at(0, 0, 0, 0, 0, 0);
}

void TestSession::clockRunsOn() {
    QFETCH(PanelClock, read);
    QFETCH(qint64, elapsedMs);
    QFETCH(PanelClock, sent);
    // The two moments in different time zones: only the time elapsed counts.
    const QDateTime takenAt(QDate(2026, 3, 29), QTime(0, 30), Qt::UTC);
    QCOMPARE(fields(clockRunOn(read, takenAt.toLocalTime(), takenAt.addMSecs(elapsedMs))),
             fields(sent));
}

void TestSession::clockWriteSendsWhatThePanelReadsNow_data() {
    QTest::addColumn<QByteArray>("reply");    // bytes 1..10 of the clock read's reply
    QTest::addColumn<int>("elapsedS");        // seconds between the read and the write
    QTest::addColumn<QByteArray>("written");  // bytes 1..10 of the clock write
    QTest::newRow("ten minutes later")
        << QByteArray::fromHex("09 05 00 0E 07 07 D9 07 1E 01") << 600
        << QByteArray::fromHex("09 0F 00 0E 07 07 D9 07 1E 01");
    QTest::newRow("across new year") << QByteArray::fromHex("17 3B 3B 1F 0C 07 D9 06 05 00") << 2
                                     << QByteArray::fromHex("00 00 01 01 01 07 DA 06 05 00");
    QTest::newRow("out of range, as read")
        << QByteArray::fromHex("18 3C 00 20 0D 07 D9 06 05 01") << 600
        << QByteArray::fromHex("18 3C 00 20 0D 07 D9 06 05 01");
    // A panel whose clock truly reads zero still gets it back, alarm included.
    QTest::newRow("zeros, once read") << QByteArray::fromHex("00 00 00 00 00 00 00 06 05 01") << 600
                                      << QByteArray::fromHex("00 00 00 00 00 00 00 06 05 01");
}

void TestSession::clockWriteSendsWhatThePanelReadsNow() {
    QFETCH(QByteArray, reply);
    QFETCH(int, elapsedS);
    QFETCH(QByteArray, written);
    FakePanel panel;
    panel.reply = reportOf({0xAA});
    std::memcpy(panel.reply.data() + 1, reply.constData(), reply.size());
    RecordingDialogs dialogs;
    const auto session = sessionOn(dialogs);
    clock_.at = QDateTime(QDate(2026, 5, 2), QTime(8, 0, 0));
    QVERIFY(session->readClock());
    const QList<int> asRead = fields(session->panelClock());
    panel.reply = reportOf({0xAA});

    clock_.at = clock_.at.addSecs(elapsedS);
    QVERIFY(session->writeClock());

    QCOMPARE(bytesOf(panel.received.last()).mid(1, 10), written);
    QCOMPARE(dialogs.texts().last(), "Heure / Date / Alarme mises à jour !");
    // The record, and so the alarm summary, keeps what was read.
    QCOMPARE(fields(session->panelClock()), asRead);
}

void TestSession::clockWriteRefusedUntilARead() {
    FakePanel panel;
    RecordingDialogs dialogs;
    dialogs.yesNoAnswers = {false};
    const auto session = sessionOn(dialogs);
    session->beginStartUp();
    QCOMPARE(session->finishStartUp().kind, StartUp::Kind::Declined);
    const QString unknown =
        "Heure du panneau inconnue : lisez-la d'abord par le menu Lire > Heure/date/alarme !";

    // Armed, but the time and date are nobody's yet.
    session->setAlarmArmed(true);
    QVERIFY(!session->writeClock());
    QCOMPARE(dialogs.texts().last(), unknown);
    QCOMPARE(dialogs.shown.last().kind, RecordingDialogs::Kind::Error);
    QCOMPARE(panel.received.size(), 0);
    QVERIFY(!session->clockKnown());

    // A failed read teaches nothing.
    panel.failRead = true;
    QVERIFY(!session->readClock());
    QVERIFY(!session->writeClock());
    QCOMPARE(dialogs.texts().last(), unknown);
    QCOMPARE(panel.received.size(), 1);  // the read request only

    // Known once read; then it stays known.
    panel.failRead = false;
    panel.reply = reportOf({0xAA, 9, 5, 0, 14, 7, 0x07, 0xD9});
    QVERIFY(session->readClock());
    QVERIFY(session->clockKnown());
    panel.failRead = true;
    QVERIFY(!session->readClock());
    panel.failRead = false;
    QVERIFY(session->writeClock());
    QCOMPARE(bytesOf(panel.received.last()).left(4), QByteArray::fromHex("34 09 05 00"));
}

void TestSession::alarmEntry_data() {
    QTest::addColumn<std::optional<QString>>("entry");
    QTest::addColumn<QString>("dialog");  // the dialog after the input, if any
    QTest::addColumn<int>("alarmHour");   // -1: nothing changed
    QTest::addColumn<int>("alarmMinute");

    using E = std::optional<QString>;
    QTest::newRow("7:5") << E("7:5") << "" << 7 << 5;
    QTest::newRow("07:30 as typed") << E("07:30") << "" << 7 << 30;
    QTest::newRow("two minute characters") << E("12:345") << "" << 12 << 34;
    QTest::newRow("seconds ignored") << E("12:34:56") << "" << 12 << 34;
    QTest::newRow("blanks and signs") << E("  +9:-0") << "" << 9 << 0;
    QTest::newRow("blank before minute") << E("23: 5") << "" << 23 << 5;
    QTest::newRow("bounds") << E("0:59") << "" << 0 << 59;
    QTest::newRow("cancelled") << E() << "" << -1 << -1;
    QTest::newRow("no colon") << E("1234") << "message: Heure incorrecte !" << -1 << -1;
    QTest::newRow("hour 24") << E("24:00") << "message: Heure incorrecte !" << -1 << -1;
    QTest::newRow("hour 300") << E("300:10") << "message: Heure incorrecte !" << -1 << -1;
    QTest::newRow("hour -1") << E("-1:10") << "message: Heure incorrecte !" << -1 << -1;
    QTest::newRow("minute 60") << E("12:60") << "message: Heure incorrecte !" << -1 << -1;
    QTest::newRow("minute 75 cut") << E("12:759") << "message: Heure incorrecte !" << -1 << -1;
    QTest::newRow("empty hour") << E(":30") << "report: '' is not a valid integer value." << -1
                                << -1;
    QTest::newRow("empty minute") << E("12:") << "report: '' is not a valid integer value." << -1
                                  << -1;
    QTest::newRow("letters") << E("ab:30") << "report: 'ab' is not a valid integer value." << -1
                             << -1;
    QTest::newRow("minute half a number")
        << E("12:3x") << "report: '3x' is not a valid integer value." << -1 << -1;
    QTest::newRow("trailing blank")
        << E("7 :30") << "report: '7 ' is not a valid integer value." << -1 << -1;
    QTest::newRow("lone sign") << E("-:30") << "report: '-' is not a valid integer value." << -1
                               << -1;
    QTest::newRow("hour checked first")
        << E("x:y") << "report: 'x' is not a valid integer value." << -1 << -1;
    QTest::newRow("bad minute beats range")
        << E("99:y") << "report: 'y' is not a valid integer value." << -1 << -1;
    QTest::newRow("too big for an integer")
        << E("99999999999:00") << "report: '99999999999' is not a valid integer value." << -1 << -1;
    QTest::newRow("just past int")
        << E("2147483648:00") << "report: '2147483648' is not a valid integer value." << -1 << -1;
    QTest::newRow("int range but not an hour")
        << E("2147483647:00") << "message: Heure incorrecte !" << -1 << -1;
}

void TestSession::alarmEntry() {
    QFETCH(std::optional<QString>, entry);
    QFETCH(QString, dialog);
    QFETCH(int, alarmHour);
    QFETCH(int, alarmMinute);
    FakePanel panel;  // only for the dialogs' log
    LoggingDialogs dialogs(panel);
    dialogs.rec.inputAnswers << entry;
    const PanelClock before{9, 5, 0, 14, 7, 2009, 1, 2, 0};
    PanelClock clock = before;

    const AlarmMenuOutcome out = alarmMenuClick("&Activer", dialogs, clock);

    QCOMPARE(dialogs.rec.shown.size(), dialog.isEmpty() ? 1 : 2);
    const auto& input = dialogs.rec.shown[0];
    QCOMPARE(input.kind, RecordingDialogs::Kind::Input);
    QCOMPARE(input.title, "Réveil");
    QCOMPARE(input.text, "Entrez l`heure de réveil... (ex. 12:34)");
    QCOMPARE(input.maxLength, 255);
    if (!dialog.isEmpty()) {
        QCOMPARE(panel.log.value(1), dialog);
    }
    if (alarmHour < 0) {
        QVERIFY(!out.caption && !out.summary);
        QCOMPARE(fields(clock), fields(before));
        return;
    }
    QCOMPARE(out.caption, "désactiver sonnerie de " + *entry);
    QCOMPARE(out.summary, QStringLiteral("Heure 9:5:0    Date 14/7/2009    Réveil activé %1:%2")
                              .arg(alarmHour)
                              .arg(alarmMinute));
    QCOMPARE(int(clock.alarmHour), alarmHour);
    QCOMPARE(int(clock.alarmMinute), alarmMinute);
    QCOMPARE(int(clock.alarmOn), 1);
    clock.alarmHour = before.alarmHour;
    clock.alarmMinute = before.alarmMinute;
    clock.alarmOn = before.alarmOn;
    QCOMPARE(fields(clock), fields(before));
}

void TestSession::alarmDisarm() {
    for (const QString caption : {"désactiver sonnerie de 7:30", "Activer", "&activer"}) {
        RecordingDialogs dialogs;
        dialogs.inputAnswers << QString("7:30");
        const PanelClock before{9, 5, 0, 14, 7, 2009, 7, 30, 1};
        PanelClock clock = before;
        const AlarmMenuOutcome out = alarmMenuClick(caption, dialogs, clock);
        QCOMPARE(out.caption, "&Activer");
        QVERIFY(!out.summary);
        QVERIFY(out.untickAlarmBox);
        QVERIFY(dialogs.shown.isEmpty());
        // Disarmed for real: alarmOn is cleared, the alarm time stays.
        QCOMPARE(int(clock.alarmOn), 0);
        clock.alarmOn = before.alarmOn;
        QCOMPARE(fields(clock), fields(before));
    }
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
