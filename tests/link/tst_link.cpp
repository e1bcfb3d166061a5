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

const QString kTextSentS = QString::fromUtf16(kTextSent);
const QString kSendFailedS = QString::fromUtf16(kSendFailed);
const QString kReadFailedS = QString::fromUtf16(kReadTextFailed);

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
    void writeClockRefusedWithoutTime();

    void outReportLeftovers();

    void failureKeepsLibraryErrno_data();
    void failureKeepsLibraryErrno();
    void otherInstance();
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
    PanelLink link(FakePanel::api());
    QCOMPARE(link.panelPresent(), present);
    QCOMPARE(panel.log, QStringList{"count"});
    QVERIFY(panel.faults.isEmpty());
}

void TestLink::sendChunks_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<QList<int>>("chunkSizes");
    QTest::addColumn<QString>("confirmation");
    QTest::newRow("1") << 1 << QList<int>{1} << kTextSentS;
    QTest::newRow("62: one full chunk") << 62 << QList<int>{62} << kTextSentS;
    QTest::newRow("63") << 63 << QList<int>{62, 1} << kTextSentS;
    QTest::newRow("124") << 124 << QList<int>{62, 62} << kTextSentS;
    QTest::newRow("199") << 199 << QList<int>{62, 62, 62, 13} << kTextSentS;
    QTest::newRow("200: 199 go") << 200 << QList<int>{62, 62, 62, 13}
                                 << QString::fromUtf16(kTextSentTruncated);
    QTest::newRow("300: 199 go") << 300 << QList<int>{62, 62, 62, 13}
                                 << QString::fromUtf16(kTextSentTruncated);
}

void TestLink::sendChunks() {
    QFETCH(int, length);
    QFETCH(QList<int>, chunkSizes);
    QFETCH(QString, confirmation);
    FakePanel panel;
    LoggingDialogs dialogs(panel);
    PanelLink link(FakePanel::api());
    // Leftovers from an earlier request must not reach the panel in a chunk.
    link.outReport().fill(0xEE);

    const QByteArray text = sampleText(length);
    sendText(link, dialogs, text);

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
    expected << "close r"
             << "close w"
             << "confirm: " + confirmation;
    QCOMPARE(panel.log, expected);
    QVERIFY(panel.faults.isEmpty());
}

void TestLink::sendOneLetterByteForByte() {
    FakePanel panel;
    LoggingDialogs dialogs(panel);
    PanelLink link(FakePanel::api());
    sendText(link, dialogs, "A");
    QCOMPARE(panel.received.size(), 1);
    QCOMPARE(bytesOf(panel.received[0]), QByteArray::fromHex("5800 41") + QByteArray(61, '\0'));
}

void TestLink::sendEmptyOpensNothing() {
    FakePanel panel;
    LoggingDialogs dialogs(panel);
    PanelLink link(FakePanel::api());
    sendText(link, dialogs, QByteArray());
    QCOMPARE(panel.log, QStringList{"error: Aucun texte a envoyer !"});
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
    LoggingDialogs dialogs(panel);
    PanelLink link(FakePanel::api());
    sendText(link, dialogs, sampleText(length));

    QCOMPARE(panel.received.size(), failAt - 1);
    for (qsizetype i = 0; i < panel.received.size(); ++i) {
        QCOMPARE(int(panel.received[i][1]), int(i * 62));
    }
    QStringList expected{"open w", "open r"};
    for (int i = 0; i < failAt; ++i) {
        expected << "write 1000";
    }
    // The dialog comes before the pipes close; no success follows.
    expected << "error: " + kSendFailedS << "close r"
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
    LoggingDialogs dialogs(panel);
    PanelLink link(FakePanel::api());

    const auto got = ::readText(link, dialogs);

    QStringList expected{"open w", "open r", "write 1000"};
    if (!writeFails) {
        expected << "read 6000";
    }
    if (text.isEmpty()) {
        QVERIFY(!got.has_value());
        expected << "error: " + kReadFailedS;
    } else {
        QVERIFY(got.has_value());
        QCOMPARE(*got, text);
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
    const QString readErr = "error: Erreur lecture usb - Débranchez & rebranchez la carte !";
    const QString writeErr = "error: Erreur ecriture usb - Débranchez & rebranchez la carte !";
    QTest::newRow("nak 0x55") << 0x55 << false << false
                              << QStringList{"open w", "open r",  "write 1000", "read 5000",
                                             readErr,  "close r", "close w"};
    QTest::newRow("read fails") << 0xAA << false << true
                                << QStringList{"open w", "open r",  "write 1000", "read 5000",
                                               readErr,  "close r", "close w"};
    QTest::newRow("write fails") << 0xAA << true << false
                                 << QStringList{"open w", "open r",  "write 1000",
                                                writeErr, "close r", "close w"};
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
    LoggingDialogs dialogs(panel);
    PanelLink link(FakePanel::api());
    PanelClock clock{1, 2, 3, 4, 5, 2006, 7, 8, 0};

    QVERIFY(!::readClock(link, dialogs, clock));
    QCOMPARE(panel.log, log);
    // The record keeps what it held.
    const PanelClock before{1, 2, 3, 4, 5, 2006, 7, 8, 0};
    QCOMPARE(fields(clock), fields(before));
}

void TestLink::writeClock_data() {
    QTest::addColumn<int>("ack");
    QTest::addColumn<bool>("writeFails");
    QTest::addColumn<bool>("readFails");
    QTest::addColumn<QStringList>("tail");
    const QString done = "confirm: Heure / Date / Alarme mises à jour !";
    const QString failed = "error: Erreur usb - Débranchez & rebranchez la carte !";
    QTest::newRow("ack") << 0xAA << false << false
                         << QStringList{"read 5000", "close r", "close w", done};
    QTest::newRow("reply 0x00 still done")
        << 0x00 << false << false << QStringList{"read 5000", "close r", "close w", done};
    QTest::newRow("reply 0x55 still done")
        << 0x55 << false << false << QStringList{"read 5000", "close r", "close w", done};
    QTest::newRow("read fails") << 0xAA << false << true
                                << QStringList{"read 5000", failed, "close r", "close w"};
    QTest::newRow("write fails") << 0xAA << true << false
                                 << QStringList{failed, "close r", "close w"};
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
    LoggingDialogs dialogs(panel);
    PanelLink link(FakePanel::api());
    link.outReport().fill(0xEE);
    const PanelClock clock{9, 5, 0, 14, 7, 2009, 7, 30, 1};

    ::writeClock(link, dialogs, clock);

    QCOMPARE(panel.log, QStringList({"open w", "open r", "write 1000"}) + tail);
    QCOMPARE(link.outReport()[0], 0x34);
    // Bytes 11..63 are not the clock's: they keep what was there.
    QCOMPARE(bytesOf(link.outReport()),
             QByteArray::fromHex("34 09 05 00 0E 07 07 D9 07 1E 01") + QByteArray(53, '\xEE'));
    QVERIFY(panel.faults.isEmpty());
}

void TestLink::writeClockRefusedWithoutTime() {
    FakePanel panel;
    LoggingDialogs dialogs(panel);
    PanelLink link(FakePanel::api());
    PanelClock clock;
    clock.alarmHour = 7;
    clock.alarmOn = 1;
    ::writeClock(link, dialogs, clock);
    QCOMPARE(panel.log, QStringList{"error: Heure du panneau inconnue : lisez-la d'abord par "
                                    "le menu Lire > Heure/date/alarme !"});

    // Any one known field is enough to send: midnight on a real date goes.
    clock.year = 2009;
    panel.log.clear();
    ::writeClock(link, dialogs, clock);
    QCOMPARE(panel.received.size(), 1);
    QCOMPARE(panel.log.last(), "confirm: Heure / Date / Alarme mises à jour !");
}

void TestLink::outReportLeftovers() {
    FakePanel panel;
    panel.reply = reportOf({0xAA, 12, 0, 0, 1, 1, 7, 0xD9, 0, 0, 0});
    LoggingDialogs dialogs(panel);
    PanelLink link(FakePanel::api());

    // At program start the buffer is all zero.
    QVERIFY(::readText(link, dialogs).has_value());
    QCOMPARE(bytesOf(panel.received.last()), QByteArray::fromHex("8500") + QByteArray(62, '\0'));

    ::writeClock(link, dialogs, PanelClock{9, 5, 0, 14, 7, 2009, 7, 30, 1});
    // A text read after a clock write carries the clock's bytes 2..10 along.
    QVERIFY(::readText(link, dialogs).has_value());
    QCOMPARE(bytesOf(panel.received.last()),
             QByteArray::fromHex("85 00 05 00 0E 07 07 D9 07 1E 01") + QByteArray(53, '\0'));

    // A chunk clears everything after its text; the clock read keeps that.
    sendText(link, dialogs, "AB");
    PanelClock clock;
    QVERIFY(::readClock(link, dialogs, clock));
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
    RecordingDialogs dialogs;
    PanelLink link(FakePanel::api());
    errno = ENOENT;  // stale, from before the exchange
    QVERIFY(!::readText(link, dialogs));
    QCOMPARE(link.lastError(), err);
}

void TestLink::otherInstance() {
    FakePanel panel;
    panel.instance = 2;
    panel.deviceCount = 2;
    PanelLink link(FakePanel::api(), 2);
    QVERIFY(!link.panelPresent());  // two panels are instances 0 and 1
    panel.deviceCount = 3;
    QVERIFY(link.panelPresent());
    RecordingDialogs dialogs;
    QVERIFY(::sendText(link, dialogs, "A"));
    QVERIFY(panel.faults.isEmpty());
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
