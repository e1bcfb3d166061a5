#include <QtTest>

#include "ClockTransfer.h"
#include "FakePanel.h"
#include "ReportCoding.h"
#include "TextTransfer.h"

namespace {

// n distinct, non-zero characters, so a chunk holding the wrong slice shows.
QByteArray sampleText(int n) {
    QByteArray t;
    for (int i = 0; i < n; ++i) {
        t.append(static_cast<char>(0x20 + i));
    }
    return t;
}

using Step = LinkFailure::Step;

}  // namespace

class TestLink : public QObject {
    Q_OBJECT

private slots:
    void presence_data();
    void presence();

    void sendChunks_data();
    void sendChunks();
    void sendOneLetterByteForByte();
    void sendEmptyOpensNothing();
    void sendFailure_data();
    void sendFailure();

    void readText_data();
    void readText();

    void readClockFailures_data();
    void readClockFailures();

    void writeClock_data();
    void writeClock();
    void writeClockSendsZerosAsTheyAre();

    void outReportLeftovers();

    void failureKeepsLibraryErrno_data();
    void failureKeepsLibraryErrno();
    void failedOpenIsTheFailingStep_data();
    void failedOpenIsTheFailingStep();
    void reasonBelongsToItsOwnExchange();
    void otherInstance();
    void twoPanelsInOneProcess();
};

void TestLink::presence_data() {
    QTest::addColumn<quint32>("count");
    QTest::addColumn<bool>("present");
    QTest::newRow("none") << 0u << false;
    QTest::newRow("one") << 1u << true;
    QTest::newRow("two") << 2u << true;
    QTest::newRow("-1 as signed") << 0xFFFFFFFFu << false;
    QTest::newRow("top bit set") << 0x80000000u << false;
}

void TestLink::presence() {
    QFETCH(quint32, count);
    QFETCH(bool, present);
    FakePanel panel;
    panel.deviceCount = count;
    PanelLink link(panel.api());
    QCOMPARE(link.panelPresent(), present);
    QCOMPARE(panel.log, QStringList{"count"});
    QVERIFY(panel.faults.isEmpty());
}

void TestLink::sendChunks_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<QList<int>>("chunkSizes");
    QTest::addColumn<int>("cut");
    QTest::newRow("1") << 1 << QList<int>{1} << 0;
    QTest::newRow("62: one full chunk") << 62 << QList<int>{62} << 0;
    QTest::newRow("63") << 63 << QList<int>{62, 1} << 0;
    QTest::newRow("124") << 124 << QList<int>{62, 62} << 0;
    QTest::newRow("199") << 199 << QList<int>{62, 62, 62, 13} << 0;
    QTest::newRow("200: 199 go") << 200 << QList<int>{62, 62, 62, 13} << 1;
    QTest::newRow("300: 199 go") << 300 << QList<int>{62, 62, 62, 13} << 101;
}

void TestLink::sendChunks() {
    QFETCH(int, length);
    QFETCH(QList<int>, chunkSizes);
    QFETCH(int, cut);
    FakePanel panel;
    PanelLink link(panel.api());
    // Leftovers from an earlier request must not reach the panel in a chunk.
    link.outReport().fill(0xEE);

    const QByteArray text = sampleText(length);
    const SendOutcome sent = sendText(link, text, panel.noting<SendOutcome>());

    QVERIFY(sent.ok());
    QCOMPARE(sent.sentChars, qsizetype(length - cut));
    QCOMPARE(sent.cutChars, qsizetype(cut));
    QCOMPARE(panel.received.size(), chunkSizes.size());
    int offset = 0;
    for (qsizetype i = 0; i < chunkSizes.size(); ++i) {
        const QByteArray got = bytesOf(panel.received[i]);
        QByteArray want;
        want.append(char(0x58)).append(char(offset));
        want.append(text.mid(offset, chunkSizes[i]));
        want.append(QByteArray(64 - want.size(), '\0'));
        QCOMPARE(got.toHex(' '), want.toHex(' '));
        offset += chunkSizes[i];
    }
    QStringList expected{"open w", "open r"};
    for (qsizetype i = 0; i < chunkSizes.size(); ++i) {
        expected << "write 1000";
    }
    expected << "done"
             << "close r"
             << "close w";
    QCOMPARE(panel.log, expected);
    QVERIFY(panel.faults.isEmpty());
}

void TestLink::sendOneLetterByteForByte() {
    FakePanel panel;
    PanelLink link(panel.api());
    QVERIFY(sendText(link, "A").ok());
    QCOMPARE(panel.received.size(), 1);
    QCOMPARE(bytesOf(panel.received[0]), QByteArray::fromHex("5800 41") + QByteArray(61, '\0'));
}

void TestLink::sendEmptyOpensNothing() {
    FakePanel panel;
    PanelLink link(panel.api());
    const SendOutcome sent = sendText(link, QByteArray(), panel.noting<SendOutcome>());
    QVERIFY(sent.nothingToSend && !sent.ok() && !sent.failure);
    QVERIFY(panel.log.isEmpty());
}

void TestLink::sendFailure_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("failAt");
    QTest::newRow("first of one") << 10 << 1;
    QTest::newRow("first of four") << 199 << 1;
    QTest::newRow("third of four") << 199 << 3;
    QTest::newRow("last of four") << 199 << 4;
}

void TestLink::sendFailure() {
    QFETCH(int, length);
    QFETCH(int, failAt);
    FakePanel panel;
    panel.failWriteAt = failAt;
    panel.failErrno = EPIPE;
    PanelLink link(panel.api());
    const SendOutcome sent = sendText(link, sampleText(length), panel.noting<SendOutcome>());

    QVERIFY(sent.failure);
    QCOMPARE(sent.failure->step, Step::Write);
    QCOMPARE(sent.failure->chunk, failAt);
    QCOMPARE(sent.failure->chunks, (length + 61) / 62);
    QCOMPARE(sent.failure->error, EPIPE);
    QCOMPARE(sent.sentChars, qsizetype((failAt - 1) * 62));
    QCOMPARE(panel.received.size(), failAt - 1);
    for (qsizetype i = 0; i < panel.received.size(); ++i) {
        QCOMPARE(int(panel.received[i][1]), int(i * 62));
    }
    QStringList expected{"open w", "open r"};
    for (int i = 0; i < failAt; ++i) {
        expected << "write 1000";
    }
    // Told before the pipes close; no chunk follows.
    expected << "failed at write"
             << "close r"
             << "close w";
    QCOMPARE(panel.log, expected);
    QVERIFY(panel.faults.isEmpty());
}

void TestLink::readText_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("writeFails");
    QTest::addColumn<bool>("readFails");
    QTest::addColumn<QByteArray>("text");  // empty: failure expected

    const auto reply = [](int ack, const QByteArray& payload) {
        QByteArray r(64, '\0');
        r[0] = char(ack);
        r[1] = char(0x7F);  // byte 1 means nothing to the read
        r.replace(2, payload.size(), payload);
        return r;
    };
    QTest::newRow("text") << reply(0xAA, "Bonjour #H") << false << false
                          << QByteArray("Bonjour #H");
    QTest::newRow("empty gives a blank") << reply(0xAA, {}) << false << false << QByteArray(" ");
    QTest::newRow("zero ends early")
        << reply(0xAA, QByteArray("ab\0cd", 5)) << false << false << QByteArray("ab");
    QTest::newRow("no zero: 62 characters")
        << reply(0xAA, QByteArray(62, 'z')) << false << false << QByteArray(62, 'z');
    QTest::newRow("0xE9 kept") << reply(0xAA, "caf\xE9") << false << false << QByteArray("caf\xE9");
    QTest::newRow("nak 0x55") << reply(0x55, "text") << false << false << QByteArray();
    QTest::newRow("nak 0x00") << reply(0x00, "text") << false << false << QByteArray();
    QTest::newRow("read fails") << reply(0xAA, "text") << false << true << QByteArray();
    QTest::newRow("write fails") << reply(0xAA, "text") << true << false << QByteArray();
}

void TestLink::readText() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, writeFails);
    QFETCH(bool, readFails);
    QFETCH(QByteArray, text);
    FakePanel panel;
    std::memcpy(panel.reply.data(), reply.constData(), 64);
    panel.failWriteAt = writeFails ? 1 : 0;
    panel.failRead = readFails;
    PanelLink link(panel.api());

    const TextRead got = ::readText(link, panel.noting<TextRead>());

    QStringList expected{"open w", "open r", "write 1000"};
    if (!writeFails) {
        expected << "read 6000";
    }
    if (text.isEmpty()) {
        QVERIFY(got.failure);
        const Step step = writeFails ? Step::Write : readFails ? Step::Read : Step::Refused;
        QCOMPARE(got.failure->step, step);
        expected << "failed at " + stepName(step);
    } else {
        QVERIFY(got.ok());
        QCOMPARE(got.text, text);
        expected << "done";
    }
    expected << "close r"
             << "close w";
    QCOMPARE(panel.log, expected);
    QVERIFY(panel.faults.isEmpty());
    QCOMPARE(int(link.outReport()[0]), 0x85);
    QCOMPARE(int(link.outReport()[1]), 0);
}

void TestLink::readClockFailures_data() {
    QTest::addColumn<int>("ack");
    QTest::addColumn<bool>("writeFails");
    QTest::addColumn<bool>("readFails");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("nak 0x55")
        << 0x55 << false << false
        << QStringList{"open w",  "open r", "write 1000", "read 5000", "failed at refused",
                       "close r", "close w"};
    QTest::newRow("read fails") << 0xAA << false << true
                                << QStringList{"open w",    "open r",         "write 1000",
                                               "read 5000", "failed at read", "close r",
                                               "close w"};
    QTest::newRow("write fails") << 0xAA << true << false
                                 << QStringList{"open w",          "open r",  "write 1000",
                                                "failed at write", "close r", "close w"};
}

void TestLink::readClockFailures() {
    QFETCH(int, ack);
    QFETCH(bool, writeFails);
    QFETCH(bool, readFails);
    QFETCH(QStringList, log);
    FakePanel panel;
    panel.reply = reportOf({ack, 23, 59, 59, 31, 12, 7, 0xD9, 7, 30, 1});
    panel.failWriteAt = writeFails ? 1 : 0;
    panel.failRead = readFails;
    PanelLink link(panel.api());

    const ClockRead read = ::readClock(link, panel.noting<ClockRead>());
    QVERIFY(read.failure);
    QCOMPARE(read.failure->transfer, read.failure->step);
    QCOMPARE(panel.log, log);
}

void TestLink::writeClock_data() {
    QTest::addColumn<int>("ack");
    QTest::addColumn<bool>("writeFails");
    QTest::addColumn<bool>("readFails");
    QTest::addColumn<QStringList>("tail");
    const QStringList done{"read 5000", "done", "close r", "close w"};
    QTest::newRow("ack") << 0xAA << false << false << done;
    QTest::newRow("reply 0x00 still done") << 0x00 << false << false << done;
    QTest::newRow("reply 0x55 still done") << 0x55 << false << false << done;
    QTest::newRow("read fails") << 0xAA << false << true
                                << QStringList{"read 5000", "failed at read", "close r", "close w"};
    QTest::newRow("write fails") << 0xAA << true << false
                                 << QStringList{"failed at write", "close r", "close w"};
}

void TestLink::writeClock() {
    QFETCH(int, ack);
    QFETCH(bool, writeFails);
    QFETCH(bool, readFails);
    QFETCH(QStringList, tail);
    FakePanel panel;
    panel.reply = reportOf({ack});
    panel.failWriteAt = writeFails ? 1 : 0;
    panel.failRead = readFails;
    PanelLink link(panel.api());
    link.outReport().fill(0xEE);
    const PanelClock clock{9, 5, 0, 14, 7, 2009, 7, 30, 1};

    const ClockWrite written = ::writeClock(link, clock, panel.noting<ClockWrite>());

    QCOMPARE(written.ok(), !writeFails && !readFails);
    QCOMPARE(written.result,
             written.ok() ? ClockWrite::Result::Written : ClockWrite::Result::Failed);
    QCOMPARE(panel.log, QStringList({"open w", "open r", "write 1000"}) + tail);
    QCOMPARE(link.outReport()[0], 0x34);
    // Bytes 11..63 are not the clock's: they keep what was there.
    QCOMPARE(bytesOf(link.outReport()),
             QByteArray::fromHex("34 09 05 00 0E 07 07 D9 07 1E 01") + QByteArray(53, '\xEE'));
    QVERIFY(panel.faults.isEmpty());
}

// Whether a record is worth sending is the session's to judge (it refuses
// until a clock read succeeded): the link sends zeros as they are.
void TestLink::writeClockSendsZerosAsTheyAre() {
    FakePanel panel;
    PanelLink link(panel.api());
    PanelClock clock;
    clock.alarmHour = 7;
    clock.alarmOn = 1;
    QVERIFY(::writeClock(link, clock).ok());
    QCOMPARE(panel.received.size(), 1);
    QCOMPARE(bytesOf(panel.received.last()).left(11),
             QByteArray::fromHex("34 00 00 00 00 00 00 00 07 00 01"));
}

void TestLink::outReportLeftovers() {
    FakePanel panel;
    panel.reply = reportOf({0xAA, 12, 0, 0, 1, 1, 7, 0xD9, 0, 0, 0});
    PanelLink link(panel.api());

    // At program start the buffer is all zero.
    QVERIFY(::readText(link).ok());
    QCOMPARE(bytesOf(panel.received.last()), QByteArray::fromHex("8500") + QByteArray(62, '\0'));

    ::writeClock(link, PanelClock{9, 5, 0, 14, 7, 2009, 7, 30, 1});
    // A text read after a clock write carries the clock's bytes 2..10 along.
    QVERIFY(::readText(link).ok());
    QCOMPARE(bytesOf(panel.received.last()),
             QByteArray::fromHex("85 00 05 00 0E 07 07 D9 07 1E 01") + QByteArray(53, '\0'));

    // A chunk clears everything after its text; the clock read keeps that.
    sendText(link, "AB");
    const ClockRead read = ::readClock(link);
    QVERIFY(read.ok());
    QCOMPARE(read.record.hour, quint8(12));
    QCOMPARE(read.record.year, quint16(2009));
    QCOMPARE(bytesOf(panel.received.last()),
             QByteArray::fromHex("4300 4142") + QByteArray(60, '\0'));
    QVERIFY(panel.open.empty());
}

void TestLink::failureKeepsLibraryErrno_data() {
    QTest::addColumn<bool>("readFails");
    QTest::addColumn<int>("err");
    QTest::newRow("write, EACCES") << false << EACCES;
    QTest::newRow("read, ETIMEDOUT") << true << ETIMEDOUT;
    QTest::newRow("no reason given") << true << 0;
}

// The pipes are closed after the failure; their errno must not replace its.
void TestLink::failureKeepsLibraryErrno() {
    QFETCH(bool, readFails);
    QFETCH(int, err);
    FakePanel panel;
    panel.failErrno = err;
    panel.failRead = readFails;
    panel.failWriteAt = readFails ? 0 : 1;
    PanelLink link(panel.api());
    errno = ENOENT;  // stale, from before the exchange
    const TextRead read = ::readText(link);
    QVERIFY(read.failure);
    QCOMPARE(read.failure->error, err);
    QCOMPARE(link.lastError(), err);
}

void TestLink::failedOpenIsTheFailingStep_data() {
    QTest::addColumn<int>("operation");  // 0 send, 1 text read, 2 clock read, 3 clock write
    QTest::addColumn<int>("openErrno");
    QTest::addColumn<int>("transferErrno");  // of a write that fails on an open pipe
    QTest::newRow("send, open refused") << 0 << EACCES << 0;
    QTest::newRow("text read, open refused") << 1 << EACCES << 0;
    QTest::newRow("clock read, open refused") << 2 << EACCES << 0;
    QTest::newRow("clock write, open refused") << 3 << EACCES << 0;
    QTest::newRow("write refused") << 0 << 0 << EACCES;
    QTest::newRow("unplugged") << 1 << ENODEV << 0;
    QTest::newRow("timed out") << 3 << 0 << ETIMEDOUT;
    QTest::newRow("no reason") << 2 << 0 << 0;
}

// A pipe that could not be opened shows as the write that met it; the
// outcome says the open failed, with the open's reason.
void TestLink::failedOpenIsTheFailingStep() {
    QFETCH(int, operation);
    QFETCH(int, openErrno);
    QFETCH(int, transferErrno);
    FakePanel panel;
    panel.openErrno = openErrno;
    panel.failWriteAt = openErrno == 0 ? 1 : 0;
    panel.failErrno = transferErrno;
    PanelLink link(panel.api());
    const PanelClock clock{9, 5, 0, 14, 7, 2009, 7, 30, 1};
    std::optional<LinkFailure> failure;
    switch (operation) {
        case 0:
            failure = sendText(link, "AB").failure;
            break;
        case 1:
            failure = ::readText(link).failure;
            break;
        case 2:
            failure = ::readClock(link).failure;
            break;
        default:
            failure = ::writeClock(link, clock).failure;
            break;
    }
    QVERIFY(failure);
    QCOMPARE(failure->step, openErrno != 0 ? Step::Open : Step::Write);
    QCOMPARE(failure->transfer, Step::Write);
    QCOMPARE(failure->error, openErrno != 0 ? openErrno : transferErrno);
    QVERIFY(panel.faults.isEmpty());
}

// A refused exchange, then one that fails for another cause: the second
// outcome must not blame the rights.
void TestLink::reasonBelongsToItsOwnExchange() {
    FakePanel panel;
    panel.openErrno = EACCES;
    PanelLink link(panel.api());
    QCOMPARE(::readText(link).failure->error, EACCES);
    panel.openErrno = 0;
    panel.reply = reportOf({0x55});  // a refused command: no library failure
    const TextRead refused = ::readText(link);
    QCOMPARE(refused.failure->step, Step::Refused);
    QCOMPARE(refused.failure->error, 0);
    QCOMPARE(link.lastError(), 0);
}

void TestLink::otherInstance() {
    FakePanel panel;
    panel.instance = 2;
    panel.deviceCount = 2;
    PanelLink link(panel.api(), 2);
    QVERIFY(!link.panelPresent());  // two panels are instances 0 and 1
    panel.deviceCount = 3;
    QVERIFY(link.panelPresent());
    QVERIFY(sendText(link, "A").ok());
    QVERIFY(panel.faults.isEmpty());
}

// Each fake keeps its state in itself: two panels, two links, no crossing.
void TestLink::twoPanelsInOneProcess() {
    FakePanel first;
    FakePanel second;
    second.reply = reportOf({0xAA, 0, 'z'});
    second.failWriteAt = 2;
    PanelLink one(first.api());
    PanelLink two(second.api());
    QVERIFY(sendText(one, "un").ok());
    QCOMPARE(::readText(two).text, QByteArray("z"));
    QVERIFY(!sendText(two, "deux").ok());
    QCOMPARE(first.received.size(), 1);
    QCOMPARE(bytesOf(first.received[0]).mid(2, 2), QByteArray("un"));
    QCOMPARE(second.received.size(), 1);
    QCOMPARE(second.received[0][0], CMD_READ_TEXT);
    QVERIFY(first.open.empty() && second.open.empty());
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
