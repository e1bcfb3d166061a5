// The link code against panelsim through the real libmpusbapi.
#include <QtTest>

#include "ClockTransfer.h"
#include "PanelFirmware.h"
#include "PanelSimProcess.h"
#include "Session.h"
#include "TextTransfer.h"
#include "USB2Lib.h"

class TestLinkEndToEnd : public QObject {
    Q_OBJECT

    UsbLibrary library_;
    UsbApi api_;

private slots:
    void initTestCase();
    void presence();
    void sendThenReadBack_data();
    void sendThenReadBack();
    void clockWriteThenRead();
    void nak();
    void writeFailsAtThirdChunk();
    void clockReplyOutOfRange();
    void unpluggedAfterStart();
};

void TestLinkEndToEnd::initTestCase() {
    const LibraryLoad load =
        library_.load(usbLibraryFileName(), {PanelSimProcess::binDir()}, QString());
    QVERIFY2(load.ok(), qPrintable(load.loaderError));
    api_ = load.api;
}

void TestLinkEndToEnd::presence() {
    PanelSimProcess panel;
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    panel.select();
    PanelLink link(api_);
    QVERIFY(link.panelPresent());

    qputenv(MPUSBAPI_VIRTUAL_VARIABLE, QDir(panel.folder()).filePath("nobody.sock").toLocal8Bit());
    QVERIFY(!link.panelPresent());
}

void TestLinkEndToEnd::sendThenReadBack_data() {
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("readBack");
    QTest::newRow("one letter") << QByteArray("A") << QByteArray("A");
    QTest::newRow("codes and 0xE9") << QByteArray("#HCaf\xE9 #D ") << QByteArray("#HCaf\xE9 #D ");
    QByteArray longText;
    for (int i = 0; i < 199; ++i) {
        longText.append(static_cast<char>('a' + i % 26));
    }
    QTest::newRow("199: the read holds 62") << longText << longText.left(62);
}

void TestLinkEndToEnd::sendThenReadBack() {
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, readBack);
    PanelSimProcess panel;
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    panel.select();
    PanelLink link(api_);

    QVERIFY(sendText(link, sent).ok());
    const TextRead text = readText(link);
    QVERIFY(text.ok());
    QCOMPARE(text.text, readBack);
}

void TestLinkEndToEnd::clockWriteThenRead() {
    PanelSimProcess panel;
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    panel.select();
    PanelLink link(api_);

    QVERIFY(writeClock(link, PanelClock{9, 5, 0, 14, 7, 2009, 7, 30, 1}).ok());

    const ClockRead read = readClock(link);
    QVERIFY(read.ok());
    QVERIFY(read.timeValid && read.dateValid);
    const PanelClock& clock = read.record;
    const ClockFields view = clockFields(clock);
    // The panel's clock runs on from what it was given.
    QCOMPARE(int(clock.hour), 9);
    QCOMPARE(int(clock.minute), 5);
    QVERIFY(clock.second <= 2);
    QCOMPARE(view.date, "14/7/2009");
    QCOMPARE(view.alarm, "7:30");
    QVERIFY(view.alarmArmed);
    QCOMPARE(int(clock.alarmOn), 1);
}

void TestLinkEndToEnd::nak() {
    PanelSimProcess panel({"--nak"});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    panel.select();
    PanelLink link(api_);

    QCOMPARE(readText(link).failure->step, LinkFailure::Step::Refused);
    QCOMPARE(readClock(link).failure->step, LinkFailure::Step::Refused);
    // The clock write does not look at the reply.
    QVERIFY(writeClock(link, PanelClock{1, 2, 3, 4, 5, 2006, 0, 0, 0}).ok());
}

void TestLinkEndToEnd::writeFailsAtThirdChunk() {
    PanelSimProcess panel({"--fail-write-at", "3"}, true);
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    panel.select();
    PanelLink link(api_);
    QByteArray text;
    for (int i = 0; i < 199; ++i) {
        text.append(static_cast<char>('a' + i % 26));
    }

    const SendOutcome sent = sendText(link, text);
    QVERIFY(sent.failure);
    QCOMPARE(sent.failure->chunk, 3);
    QCOMPARE(sent.failure->chunks, 4);
    QCOMPARE(sent.sentChars, 124);
    // Two chunks reached the panel, the third and fourth never did.
    QFile stateFile(panel.statePath());
    QVERIFY(stateFile.open(QIODevice::ReadOnly));
    const auto state = panelsim::importState(stateFile.readAll().toStdString());
    QVERIFY(state.has_value());
    QCOMPARE(QByteArray::fromStdString(state->text()), text.left(124));
}

void TestLinkEndToEnd::clockReplyOutOfRange() {
    PanelSimProcess panel({"--clock-reply", "24,0,0,32,13,2009,6,5,128"});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    panel.select();
    PanelLink link(api_);

    const ClockRead read = readClock(link);
    QVERIFY(read.ok());
    QVERIFY(!read.timeValid && !read.dateValid);
    const PanelClock& clock = read.record;
    const ClockFields view = clockFields(clock);
    QCOMPARE(view.time, "24:0:0");
    QCOMPARE(view.date, "32/13/2009");
    QCOMPARE(view.alarm, "6:5");
    QCOMPARE(int(clock.alarmOn), 1);
}

void TestLinkEndToEnd::unpluggedAfterStart() {
    PanelSimProcess panel({"--unplug-after", "1"});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    panel.select();
    PanelLink link(api_);
    QVERIFY(link.panelPresent());
    QVERIFY(readText(link).ok());

    // Gone now: the opens give nothing usable and the first write fails.
    const std::optional<LinkFailure> failures[] = {
        sendText(link, "Bonjour").failure, readClock(link).failure,
        writeClock(link, PanelClock{9, 5, 0, 14, 7, 2009, 0, 0, 0}).failure};
    for (const auto& failure : failures) {
        QVERIFY(failure);
        QCOMPARE(failure->transfer, LinkFailure::Step::Write);
    }
}

QTEST_GUILESS_MAIN(TestLinkEndToEnd)
#include "tst_link_e2e.moc"
