#include <QtTest>

#include <unistd.h>
#include <cstring>

#include "FakePanel.h"
#include "FakeSeams.h"
#include "Session.h"

class TestSession : public QObject {
    Q_OBJECT

    FixedClock clock_;
    CountingBeeper beeper_;

    // A session bound to the in-process fake panel.
    std::unique_ptr<Session> sessionOn(FakePanel& panel) {
        auto session = std::make_unique<Session>(clock_, beeper_, QString(), QString());
        session->panel().bind(panel.api());
        return session;
    }

private slots:
    void readClock_data();
    void readClock();

    void startUpWithoutPanelTakesThePcsClock();
    void startUpWithRefusedPanelSaysWhy();
    void startUpWithPanelResetsTheAlarm();
    void callersRecordIsSentAndTheProgramsKept();
    void transfersSayWhetherTheyWent();
    void verifiedSend_data();
    void verifiedSend();
    void clockUpdates_data();
    void clockUpdates();
    void insertionMovesTheCaretPastTheCode_data();
    void insertionMovesTheCaretPastTheCode();

    void clockRunsOn_data();
    void clockRunsOn();
    void clockWriteSendsWhatThePanelReadsNow_data();
    void clockWriteSendsWhatThePanelReadsNow();
    void clockWriteRefusedUntilARead();

    void alarmEntry_data();
    void alarmEntry();
    void alarmMenuFollowsTheClockRead();
    void alarmDisarm();

    void operationsTakeTurnsAcrossPrograms();
};

void TestSession::readClock_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("timeValid");
    QTest::addColumn<bool>("dateValid");
    QTest::addColumn<QString>("hrtxt");
    QTest::addColumn<QString>("datetxt");
    QTest::addColumn<QString>("revtxt");
    QTest::addColumn<bool>("armed");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("month");

    QTest::newRow("all in range, armed")
        << QByteArray::fromHex("AA 17 3B 3B 1F 0C 07 D9 07 1E 01") << true << true << "23:59:59"
        << "31/12/2009"
        << "7:30" << true << 23 << 31 << 12;
    QTest::newRow("no leading zeros, disarmed")
        << QByteArray::fromHex("AA 09 05 07 0E 07 07 D9 06 05 00") << true << true << "9:5:7"
        << "14/7/2009"
        << " " << false << 9 << 14 << 7;
    QTest::newRow("hour 24: flagged, kept")
        << QByteArray::fromHex("AA 18 00 00 0E 07 07 D9 06 05 01") << false << true << "24:0:0"
        << "14/7/2009"
        << "6:5" << true << 24 << 14 << 7;
    QTest::newRow("second 60") << QByteArray::fromHex("AA 0C 00 3C 0E 07 07 D9 00 00 00") << false
                               << true << "12:0:60"
                               << "14/7/2009"
                               << " " << false << 12 << 14 << 7;
    QTest::newRow("day 32 month 13")
        << QByteArray::fromHex("AA 0C 00 00 20 0D 07 D9 00 00 00") << true << false << "12:0:0"
        << "32/13/2009"
        << " " << false << 12 << 32 << 13;
    QTest::newRow("both out of range")
        << QByteArray::fromHex("AA FF 00 00 00 FF 00 00 00 00 00") << false << false << "255:0:0"
        << "0/255/0"
        << " " << false << 255 << 0 << 255;
    QTest::newRow("day and month 0 pass")
        << QByteArray::fromHex("AA 0C 00 00 00 00 07 DA 00 00 00") << true << true << "12:0:0"
        << "0/0/2010"
        << " " << false << 12 << 0 << 0;
    QTest::newRow("armed byte 0x80")
        << QByteArray::fromHex("AA 0C 00 00 01 01 07 D9 06 05 80") << true << true << "12:0:0"
        << "1/1/2009"
        << "6:5" << true << 12 << 1 << 1;
}

void TestSession::readClock() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, timeValid);
    QFETCH(bool, dateValid);
    QFETCH(QString, hrtxt);
    QFETCH(QString, datetxt);
    QFETCH(QString, revtxt);
    QFETCH(bool, armed);
    QFETCH(int, hour);
    QFETCH(int, day);
    QFETCH(int, month);
    FakePanel panel;
    std::memcpy(panel.reply.data(), reply.constData(), reply.size());
    const auto session = sessionOn(panel);
    PanelSession& p = session->panel();
    p.setAlarmArmed(true);

    const ClockRead read = p.readClock(panel.noting<ClockRead>());

    QVERIFY(read.ok());
    QCOMPARE(read.timeValid, timeValid);
    QCOMPARE(read.dateValid, dateValid);
    const ClockFields view = clockFields(p.panelClock());
    QCOMPARE(view.time, hrtxt);
    QCOMPARE(view.date, datetxt);
    QCOMPARE(view.alarm, revtxt);
    QCOMPARE(view.alarmArmed, armed);
    const PanelClock& clock = p.panelClock();
    QCOMPARE(fields(clock), fields(read.record));
    QCOMPARE(int(clock.hour), hour);
    QCOMPARE(int(clock.day), day);
    QCOMPARE(int(clock.month), month);
    QCOMPARE(int(clock.year), uchar(reply[6]) * 256 + uchar(reply[7]));
    QCOMPARE(int(clock.alarmHour), int(uchar(reply[8])));
    QCOMPARE(int(clock.alarmMinute), int(uchar(reply[9])));
    QCOMPARE(int(clock.alarmOn), armed ? 1 : 0);
    QCOMPARE(panel.log, QStringList({"open w", "open r", "write 1000", "read 5000", "done",
                                     "close r", "close w"}));
    QCOMPARE(bytesOf(panel.received.value(0)).left(2), QByteArray::fromHex("4300"));
    QVERIFY(panel.faults.isEmpty());
}

void TestSession::startUpWithoutPanelTakesThePcsClock() {
    FakePanel panel;
    panel.deviceCount = 0;
    const auto session = sessionOn(panel);
    clock_.at = QDateTime(QDate(2031, 3, 4), QTime(5, 6, 7));

    QCOMPARE(session->beginStartUp(), QStringLiteral("Journal Lumineux - Voltamark 2009  "));
    const StartUp outcome = session->panel().startUp();

    QVERIFY(!outcome.presence.present);
    QCOMPARE(outcome.presence.error, 0);
    QCOMPARE(outcome.time, "05:06:07");
    QCOMPARE(outcome.date, "04/03/2031");
    QCOMPARE(fields(session->panel().panelClock()),
             fields(PanelClock{5, 6, 7, 4, 3, 2031, 0, 0, 0}));
    QVERIFY(session->panel().clockKnown());
    QVERIFY(session->preview().engine().isReset());
}

// A panel this user may not open counts as none; the outcome says why.
void TestSession::startUpWithRefusedPanelSaysWhy() {
    FakePanel panel;
    panel.deviceCount = 0;
    panel.countErrno = EACCES;
    const auto session = sessionOn(panel);
    session->beginStartUp();
    const StartUp outcome = session->panel().startUp();
    QVERIFY(!outcome.presence.present);
    QCOMPARE(outcome.presence.error, EACCES);
}

void TestSession::startUpWithPanelResetsTheAlarm() {
    FakePanel panel;
    const auto session = sessionOn(panel);
    session->panel().setAlarmArmed(true);

    session->beginStartUp();
    QCOMPARE(session->panel().panelClock().alarmOn, 0);  // cleared before any dialog
    const StartUp outcome = session->panel().startUp();

    QVERIFY(outcome.presence.present);
    QVERIFY(outcome.time.isEmpty() && outcome.date.isEmpty());
    QVERIFY(!session->panel().clockKnown());
    QCOMPARE(panel.received.size(), 0);  // the reads are the caller's to start
}

void TestSession::callersRecordIsSentAndTheProgramsKept() {
    FakePanel panel;
    panel.reply = reportOf({0xAA});
    const auto session = sessionOn(panel);
    PanelSession& p = session->panel();

    // The program's record is still empty: its write is refused, a caller's goes.
    QCOMPARE(p.writeClock().result, ClockWrite::Result::Unknown);
    QCOMPARE(panel.received.size(), 0);
    QVERIFY(p.writeClock(PanelClock{9, 5, 0, 14, 7, 2009, 7, 30, 1}).ok());
    QCOMPARE(bytesOf(panel.received.value(0)).left(11),
             QByteArray::fromHex("34 09 05 00 0E 07 07 D9 07 1E 01"));
    QCOMPARE(fields(p.panelClock()), fields(PanelClock{}));
}

void TestSession::verifiedSend_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("panelHolds");  // what the read-back returns
    QTest::addColumn<bool>("readFails");
    QTest::addColumn<int>("differs");  // 0: the same
    QTest::newRow("agrees") << "Bonjour" << QByteArray("Bonjour") << false << 0;
    QTest::newRow("another text") << "Bonjour" << QByteArray("Bonsoir") << false << 4;
    QTest::newRow("longer than a read: its start agrees")
        << QString(150, u'x') << QByteArray(62, 'x') << false << 0;
    QTest::newRow("accent compared as the panel's byte")
        << "été" << QByteArray("\xE9t\xE9") << false << 0;
    QTest::newRow("read-back fails") << "Bonjour" << QByteArray("Bonjour") << true << 0;
}

void TestSession::verifiedSend() {
    QFETCH(QString, text);
    QFETCH(QByteArray, panelHolds);
    QFETCH(bool, readFails);
    QFETCH(int, differs);
    FakePanel panel;
    panel.reply = reportOf({0xAA, 0});
    std::memcpy(panel.reply.data() + 2, panelHolds.constData(), std::size_t(panelHolds.size()));
    const auto chunks = (std::min<qsizetype>(text.size(), 199) + 61) / 62;
    if (readFails) {
        panel.failWriteAt = int(chunks) + 1;  // the read's request
    }
    const auto session = sessionOn(panel);
    const VerifiedSend sent = session->panel().sendVerified(text);
    QVERIFY(sent.sent.ok());
    QCOMPARE(sent.readBackFailure.has_value(), readFails);
    QCOMPARE(sent.difference.value_or(0), qsizetype(differs));
    QCOMPARE(sent.verified(), !readFails && differs == 0);
    QCOMPARE(int(panel.received.value(0)[0]), 0x58);
    if (!readFails) {
        QCOMPARE(int(panel.received.value(int(chunks))[0]), 0x85);
    }
}

void TestSession::clockUpdates_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("panel");    // the clock read's reply, bytes 0..10
    QTest::addColumn<QByteArray>("written");  // bytes 0..10 of the write; empty: none
    QTest::addColumn<qint64>("drift");
    // The computer reads 14:32:05 on 14/7/2009.
    const QByteArray slow = QByteArray::fromHex("AA 0E 20 00 0E 07 07 D9 07 1E 01");  // 5 s behind
    QTest::newRow("sync") << "sync" << slow
                          << QByteArray::fromHex("34 0E 20 05 0E 07 07 D9 07 1E 01") << qint64(-5);
    QTest::newRow("sync past 4 s")
        << "sync 4" << slow << QByteArray::fromHex("34 0E 20 05 0E 07 07 D9 07 1E 01")
        << qint64(-5);
    QTest::newRow("sync within 5 s: left alone") << "sync 5" << slow << QByteArray() << qint64(-5);
    QTest::newRow("set keeps the alarm")
        << "set" << slow << QByteArray::fromHex("34 08 00 00 01 01 07 EA 07 1E 01") << qint64(-5);
    QTest::newRow("alarm at 6:45 arms it")
        << "alarm" << QByteArray::fromHex("AA 0E 20 05 0E 07 07 D9 07 1E 00")
        << QByteArray::fromHex("34 0E 20 05 0E 07 07 D9 06 2D 01") << qint64(0);
    QTest::newRow("alarm off keeps its time")
        << "off" << QByteArray::fromHex("AA 0E 20 05 0E 07 07 D9 07 1E 01")
        << QByteArray::fromHex("34 0E 20 05 0E 07 07 D9 07 1E 00") << qint64(0);
    QTest::newRow("alarm on, panel's date out of range: no drift")
        << "on" << QByteArray::fromHex("AA 0E 20 05 20 0D 07 D9 07 1E 00")
        << QByteArray::fromHex("34 0E 20 05 20 0D 07 D9 07 1E 01") << qint64(999);
}

void TestSession::clockUpdates() {
    QFETCH(QString, operation);
    QFETCH(QByteArray, panel);
    QFETCH(QByteArray, written);
    QFETCH(qint64, drift);
    clock_.at = QDateTime(QDate(2009, 7, 14), QTime(14, 32, 5));
    FakePanel fake;
    std::memcpy(fake.reply.data(), panel.constData(), std::size_t(panel.size()));
    const auto session = sessionOn(fake);
    PanelSession& p = session->panel();
    ClockUpdate update;
    if (operation.startsWith("sync")) {
        const QString past = operation.section(u' ', 1);
        update = p.syncClock(past.isEmpty() ? std::nullopt : std::optional<qint64>(past.toInt()));
    } else if (operation == "set") {
        update = p.setClock(QDateTime(QDate(2026, 1, 1), QTime(8, 0, 0)));
    } else {
        update = p.changeAlarm(operation == "alarm" ? AlarmChange(AlarmTime{6, 45})
                               : operation == "on"  ? AlarmChange(AlarmOn{})
                                                    : AlarmChange(AlarmOff{}));
    }
    QVERIFY(update.ok());
    QCOMPARE(update.drift.value_or(999), drift);
    QCOMPARE(int(fake.received.value(0)[0]), 0x43);  // read first
    QCOMPARE(update.leftAlone, written.isEmpty());
    QCOMPARE(fake.received.size(), written.isEmpty() ? 1 : 2);
    if (!written.isEmpty()) {
        QCOMPARE(bytesOf(fake.received.value(1)).left(11), written);
        // What the panel now holds is the program's record, its alarm menu too.
        const PanelClock& c = p.panelClock();
        QCOMPARE(
            QList<int>({c.hour, c.minute, c.day, c.alarmHour, c.alarmMinute, c.alarmOn}),
            QList<int>({written[1], written[2], written[4], written[8], written[9], written[10]}));
        QCOMPARE(p.alarmMenuArmed(), c.alarmOn != 0);
    }
}

void TestSession::transfersSayWhetherTheyWent() {
    FakePanel panel;
    panel.reply = reportOf({0xAA, 0, 'h', 0xE9});
    const auto session = sessionOn(panel);
    PanelSession& p = session->panel();

    QVERIFY(p.sendText(QStringLiteral("été")).ok());
    QCOMPARE(bytesOf(panel.received.value(0)).left(5), QByteArray("\x58\x00\xE9t\xE9", 5));
    QVERIFY(p.sendText(QString()).nothingToSend);
    QCOMPARE(p.readText().text, QStringLiteral("hé"));
    panel.failWriteAt = panel.writes + 1;
    QVERIFY(p.sendText(QStringLiteral("x")).failure);
    panel.failRead = true;
    QVERIFY(!p.readText().ok());
    QVERIFY(p.readText().text.isEmpty());
    QVERIFY(!p.readClock().ok());
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
    const Session session(clock_, beeper_, QString(), QString());
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
    const auto session = sessionOn(panel);
    PanelSession& p = session->panel();
    clock_.at = QDateTime(QDate(2026, 5, 2), QTime(8, 0, 0));
    QVERIFY(p.readClock().ok());
    const QList<int> asRead = fields(p.panelClock());
    panel.reply = reportOf({0xAA});

    clock_.at = clock_.at.addSecs(elapsedS);
    QVERIFY(p.writeClock().ok());

    QCOMPARE(bytesOf(panel.received.last()).mid(1, 10), written);
    // The record, and so the alarm summary, keeps what was read.
    QCOMPARE(fields(p.panelClock()), asRead);
}

void TestSession::clockWriteRefusedUntilARead() {
    FakePanel panel;
    const auto session = sessionOn(panel);
    PanelSession& p = session->panel();
    session->beginStartUp();
    QVERIFY(p.startUp().presence.present);  // and the user declines the read

    // Armed, but the time and date are nobody's yet.
    p.setAlarmArmed(true);
    QCOMPARE(p.writeClock().result, ClockWrite::Result::Unknown);
    QCOMPARE(panel.received.size(), 0);
    QVERIFY(!p.clockKnown());

    // A failed read teaches nothing.
    panel.failRead = true;
    QVERIFY(!p.readClock().ok());
    QCOMPARE(p.writeClock().result, ClockWrite::Result::Unknown);
    QCOMPARE(panel.received.size(), 1);  // the read request only

    // Known once read; then it stays known.
    panel.failRead = false;
    panel.reply = reportOf({0xAA, 9, 5, 0, 14, 7, 0x07, 0xD9});
    QVERIFY(p.readClock().ok());
    QVERIFY(p.clockKnown());
    panel.failRead = true;
    QVERIFY(!p.readClock().ok());
    panel.failRead = false;
    QVERIFY(p.writeClock().ok());
    QCOMPARE(bytesOf(panel.received.last()).left(4), QByteArray::fromHex("34 09 05 00"));
}

void TestSession::alarmEntry_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("refusal");  // "range", or the text that is not a number
    QTest::addColumn<int>("alarmHour");    // -1: nothing changed
    QTest::addColumn<int>("alarmMinute");

    QTest::newRow("7:5") << "7:5"
                         << "" << 7 << 5;
    QTest::newRow("07:30 as typed") << "07:30"
                                    << "" << 7 << 30;
    QTest::newRow("two minute characters") << "12:345"
                                           << "" << 12 << 34;
    QTest::newRow("seconds ignored") << "12:34:56"
                                     << "" << 12 << 34;
    QTest::newRow("blanks and signs") << "  +9:-0"
                                      << "" << 9 << 0;
    QTest::newRow("blank before minute") << "23: 5"
                                         << "" << 23 << 5;
    QTest::newRow("bounds") << "0:59"
                            << "" << 0 << 59;
    QTest::newRow("no colon") << "1234"
                              << "range" << -1 << -1;
    QTest::newRow("hour 24") << "24:00"
                             << "range" << -1 << -1;
    QTest::newRow("hour 300") << "300:10"
                              << "range" << -1 << -1;
    QTest::newRow("hour -1") << "-1:10"
                             << "range" << -1 << -1;
    QTest::newRow("minute 60") << "12:60"
                               << "range" << -1 << -1;
    QTest::newRow("minute 75 cut") << "12:759"
                                   << "range" << -1 << -1;
    QTest::newRow("empty hour") << ":30"
                                << "" << -1 << -1;
    QTest::newRow("empty minute") << "12:"
                                  << "" << -1 << -1;
    QTest::newRow("letters") << "ab:30"
                             << "ab" << -1 << -1;
    QTest::newRow("minute half a number") << "12:3x"
                                          << "3x" << -1 << -1;
    QTest::newRow("trailing blank") << "7 :30"
                                    << "7 " << -1 << -1;
    QTest::newRow("lone sign") << "-:30"
                               << "-" << -1 << -1;
    QTest::newRow("hour checked first") << "x:y"
                                        << "x" << -1 << -1;
    QTest::newRow("bad minute beats range") << "99:y"
                                            << "y" << -1 << -1;
    QTest::newRow("too big for an integer") << "99999999999:00"
                                            << "99999999999" << -1 << -1;
    QTest::newRow("just past int") << "2147483648:00"
                                   << "2147483648" << -1 << -1;
    QTest::newRow("int range but not an hour") << "2147483647:00"
                                               << "range" << -1 << -1;
}

void TestSession::alarmEntry() {
    QFETCH(QString, entry);
    QFETCH(QString, refusal);
    QFETCH(int, alarmHour);
    QFETCH(int, alarmMinute);
    FakePanel panel;
    const auto session = sessionOn(panel);
    PanelSession& p = session->panel();
    const PanelClock before = p.panelClock();

    const AlarmEntry armed = p.armFromMenu(entry);

    if (alarmHour < 0) {
        if (refusal == "range") {
            QVERIFY(std::holds_alternative<OutOfRange>(armed));
        } else {
            QVERIFY(std::holds_alternative<NotANumber>(armed));
            QCOMPARE(std::get<NotANumber>(armed).text, refusal);
        }
        QVERIFY(!p.alarmMenuArmed());
        QCOMPARE(fields(p.panelClock()), fields(before));
        return;
    }
    QVERIFY(std::holds_alternative<AlarmTime>(armed));
    QVERIFY(p.alarmMenuArmed());
    QCOMPARE(p.alarmMenuEntry(), entry);  // as typed
    PanelClock expected = before;
    expected.alarmHour = quint8(alarmHour);
    expected.alarmMinute = quint8(alarmMinute);
    expected.alarmOn = 1;
    QCOMPARE(fields(p.panelClock()), fields(expected));
}

// The menu shows the panel's alarm after a read, armed or not.
void TestSession::alarmMenuFollowsTheClockRead() {
    FakePanel panel;
    const auto session = sessionOn(panel);
    PanelSession& p = session->panel();
    QVERIFY(std::holds_alternative<AlarmTime>(p.armFromMenu("07:30")));
    panel.reply = reportOf({0xAA, 9, 5, 0, 14, 7, 0x07, 0xD9, 6, 5, 0});
    QVERIFY(p.readClock().ok());
    QVERIFY(!p.alarmMenuArmed());
    panel.reply = reportOf({0xAA, 9, 5, 0, 14, 7, 0x07, 0xD9, 6, 5, 1});
    QVERIFY(p.readClock().ok());
    QVERIFY(p.alarmMenuArmed());
    QCOMPARE(p.alarmMenuEntry(), "6:5");
}

void TestSession::alarmDisarm() {
    FakePanel panel;
    panel.reply = reportOf({0xAA, 9, 5, 0, 14, 7, 0x07, 0xD9, 7, 30, 1});
    const auto session = sessionOn(panel);
    PanelSession& p = session->panel();
    QVERIFY(p.readClock().ok());
    const PanelClock before = p.panelClock();
    p.disarmFromMenu();
    QVERIFY(!p.alarmMenuArmed());
    // Disarmed for real: alarmOn is cleared, the alarm time stays.
    PanelClock expected = before;
    expected.alarmOn = 0;
    QCOMPARE(fields(p.panelClock()), fields(expected));
}

// Two programs on one panel: while one holds it, the other's send, clock
// write and reads wait, then fail as busy without touching the panel.
void TestSession::operationsTakeTurnsAcrossPrograms() {
    QTemporaryDir runtime;
    const QString lock = panelLockPath(runtime.path(), QStringLiteral("panel.sock"), 0);
    FakePanel panel;
    panel.reply = reportOf({0xAA, 9, 5, 0, 14, 7, 0x07, 0xD9, 7, 30, 1});
    const auto first = sessionOn(panel);
    const auto second = sessionOn(panel);
    first->panel().setLockFile(lock, std::chrono::milliseconds(50));
    second->panel().setLockFile(lock, std::chrono::milliseconds(50));
    {
        const PanelSession::Hold hold(first->panel());
        QVERIFY(hold.held());
        // Nested: the holder's own operations go through.
        QVERIFY(first->panel().sendText(QStringLiteral("un")).ok());
        const SendOutcome sent = second->panel().sendText(QStringLiteral("deux"));
        QVERIFY(sent.failure);
        QCOMPARE(sent.failure->error, EBUSY);
        QCOMPARE(sent.failure->step, LinkFailure::Step::Open);
        const ClockWrite written = second->panel().writeClock(PanelClock{});
        QCOMPARE(written.result, ClockWrite::Result::Failed);
        QCOMPARE(written.failure->error, EBUSY);
        QVERIFY(!PanelSession::Hold(second->panel()).held());
        QCOMPARE(second->panel().readClock().failure->error, EBUSY);
        QCOMPARE(second->panel().readText().failure->error, EBUSY);
        QVERIFY(first->panel().readClock().ok());
        QCOMPARE(panel.received.size(), 2);  // the holder's send and read
    }
    QVERIFY(second->panel().sendText(QStringLiteral("deux")).ok());
    QVERIFY(first->panel().writeClock(PanelClock{}).result != ClockWrite::Result::Failed);
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
