// The link code against panelsim through the real libmpusbapi.
#include <QtTest>

#include "ClockTransfer.h"
#include "PanelFirmware.h"
#include "PanelSimProcess.h"
#include "RecordingDialogs.h"
#include "Session.h"
#include "TextTransfer.h"
#include "USB2Lib.h"

class TestLinkEndToEnd : public QObject {
    Q_OBJECT

    UsbApi api_;

    static QStringList errorsAndConfirms(const RecordingDialogs& d) { return d.texts(); }

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
    RecordingDialogs dialogs;
    QVERIFY2(LoadUsbLibrary(api_, dialogs, usbLibraryFileName(), {PanelSimProcess::binDir()}),
             qPrintable(dialogs.texts().join(" / ")));
}

void TestLinkEndToEnd::presence() {
    PanelSimProcess panel;
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    panel.select();
    PanelLink link(api_);
    QVERIFY(link.panelPresent());

    qputenv("MPUSBAPI_VIRTUAL", QDir(panel.folder()).filePath("nobody.sock").toLocal8Bit());
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
    RecordingDialogs dialogs;

    sendText(link, dialogs, sent);
    QCOMPARE(dialogs.texts(), QStringList{QString::fromUtf16(kTextSent)});
    const auto text = readText(link, dialogs);
    QVERIFY(text.has_value());
    QCOMPARE(*text, readBack);
    QCOMPARE(dialogs.shown.size(), 1);
}

void TestLinkEndToEnd::clockWriteThenRead() {
    PanelSimProcess panel;
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    panel.select();
    PanelLink link(api_);
    RecordingDialogs dialogs;

    writeClock(link, dialogs, PanelClock{9, 5, 0, 14, 7, 2009, 7, 30, 1});
    QCOMPARE(dialogs.texts(), QStringList{QString::fromUtf16(kClockWritten)});

    PanelClock clock;
    QVERIFY(readClock(link, dialogs, clock));
    const ClockFields view = clockFields(clock);
    QCOMPARE(dialogs.shown.size(), 1);
    // The panel's clock runs on from what it was given.
    QCOMPARE(int(clock.hour), 9);
    QCOMPARE(int(clock.minute), 5);
    QVERIFY(clock.second <= 2);
    QCOMPARE(view.date, "14/7/2009");
    QCOMPARE(view.alarm, "7:30");
    QVERIFY(view.alarmArmed);
    QCOMPARE(view.alarmCaption, "désactiver sonnerie de 7:30");
    QCOMPARE(int(clock.alarmOn), 1);
}

void TestLinkEndToEnd::nak() {
    PanelSimProcess panel({"--nak"});
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    panel.select();
    PanelLink link(api_);
    RecordingDialogs dialogs;

    QVERIFY(!readText(link, dialogs).has_value());
    PanelClock clock{1, 2, 3, 4, 5, 2006, 0, 0, 0};
    QVERIFY(!readClock(link, dialogs, clock));
    QCOMPARE(int(clock.year), 2006);
    // The clock write does not look at the reply.
    writeClock(link, dialogs, clock);
    QCOMPARE(dialogs.texts(),
             QStringList({QString::fromUtf16(kReadTextFailed), QString::fromUtf16(kClockReadFailed),
                          QString::fromUtf16(kClockWritten)}));
}

void TestLinkEndToEnd::writeFailsAtThirdChunk() {
    PanelSimProcess panel({"--fail-write-at", "3"}, true);
    QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
    panel.select();
    PanelLink link(api_);
    RecordingDialogs dialogs;
    QByteArray text;
    for (int i = 0; i < 199; ++i) {
        text.append(static_cast<char>('a' + i % 26));
    }

    sendText(link, dialogs, text);
    QCOMPARE(dialogs.texts(), QStringList{QString::fromUtf16(kSendFailed)});
    QCOMPARE(dialogs.shown[0].kind, RecordingDialogs::Kind::Error);
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
    RecordingDialogs dialogs;
    PanelClock clock;

    QVERIFY(readClock(link, dialogs, clock));
    const ClockFields view = clockFields(clock);
    QCOMPARE(dialogs.texts(), QStringList({QString::fromUtf16(kPanelTimeWrong),
                                           QString::fromUtf16(kPanelDateWrong)}));
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
    RecordingDialogs dialogs;
    QVERIFY(link.panelPresent());
    QVERIFY(readText(link, dialogs).has_value());

    // Gone now: the opens give nothing usable and the first write fails.
    sendText(link, dialogs, "Bonjour");
    PanelClock clock{9, 5, 0, 14, 7, 2009, 0, 0, 0};
    QVERIFY(!readClock(link, dialogs, clock));
    writeClock(link, dialogs, clock);
    QCOMPARE(dialogs.texts(), QStringList({QString::fromUtf16(kSendFailed),
                                           QString::fromUtf16(kClockWriteFailedOnRead),
                                           QString::fromUtf16(kClockWriteFailed)}));
}

QTEST_GUILESS_MAIN(TestLinkEndToEnd)
#include "tst_link_e2e.moc"
