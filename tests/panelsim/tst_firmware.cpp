// The firmware core driven report by report, with a fixed clock.
#include <QtTest>

#include <string>
#include <vector>

#include "FirmwareClock.h"
#include "PanelFirmware.h"

using namespace panelsim;
using namespace std::chrono;

Q_DECLARE_METATYPE(std::string)

namespace {

using FixedClock = FirmwareClock;

PanelFirmware makeFirmware(FixedClock& clock) {
    return clock.firmware();
}

Report chunk(std::uint8_t offset, const std::string& chars) {
    Report r{};
    r[0] = kCmdWriteText;
    r[1] = offset;
    std::copy_n(chars.begin(), std::min<std::size_t>(chars.size(), kChunkChars), r.begin() + 2);
    return r;
}

// The host's send: 62-character chunks from offset 0 on.
void send(PanelFirmware& fw, const std::string& text) {
    for (std::size_t pos = 0; pos < text.size(); pos += kChunkChars) {
        QVERIFY(!fw.handle(chunk(static_cast<std::uint8_t>(pos), text.substr(pos, kChunkChars))));
    }
}

std::string pattern(std::size_t n, char first = 'A') {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += static_cast<char>(first + static_cast<char>(i % 26));
    }
    return s;
}

Report command(std::uint8_t code) {
    Report r{};
    r[0] = code;
    return r;
}

Report clockWrite(int h, int m, int s, int d, int mo, int y, int ah, int am, int on) {
    Report r{};
    const int values[] = {0x34, h, m, s, d, mo, y >> 8, y & 0xFF, ah, am, on};
    for (std::size_t i = 0; i < std::size(values); ++i) {
        r[i] = static_cast<std::uint8_t>(values[i]);
    }
    return r;
}

}  // namespace

class FirmwareTest : public QObject {
    Q_OBJECT

private slots:
    void storesChunkedText_data();
    void storesChunkedText();
    void textReadIsFirst62Bytes();
    void unknownCommandsAreIgnored_data();
    void unknownCommandsAreIgnored();
    void newPanel();
    void newPanelStateHoldsItsOwnMessage();
    void clockWriteThenRead_data();
    void clockWriteThenRead();
    void clockRunsOn();
    void stateRoundTrips();
    void damagedStateIsRefused_data();
    void damagedStateIsRefused();
};

void FirmwareTest::storesChunkedText_data() {
    QTest::addColumn<std::string>("before");
    QTest::addColumn<int>("offset");
    QTest::addColumn<std::string>("chars");
    QTest::addColumn<std::string>("stored");

    for (const int n : {1, 61, 62, 63, 124, 186, 199, 200}) {
        const std::string text = pattern(static_cast<std::size_t>(n));
        QTest::addRow("host send of %d", n) << std::string() << -1 << text << text;
    }
    const std::string long150 = pattern(150);
    QTest::newRow("chunk in the middle ends the text there")
        << long150 << 62 << std::string("0123456789") << long150.substr(0, 62) + "0123456789";
    QTest::newRow("full chunk in the middle")
        << long150 << 62 << pattern(62, 'a') << long150.substr(0, 62) + pattern(62, 'a');
    QTest::newRow("empty chunk at 0 clears") << long150 << 0 << std::string() << std::string();
    QTest::newRow("chunk beyond the end leaves a gap")
        << std::string("ABCDEFGHIJ") << 12 << std::string("zz") << std::string("ABCDEFGHIJ");
    QTest::newRow("chunk at the end continues")
        << std::string("ABCDEFGHIJ") << 10 << std::string("KL") << std::string("ABCDEFGHIJKL");
    const std::string full = pattern(200);
    QTest::newRow("offset 190 keeps 10 of 62")
        << full << 190 << pattern(62, 'a') << full.substr(0, 190) + pattern(10, 'a');
    QTest::newRow("offset 199 keeps 1")
        << full << 199 << std::string("xyz") << full.substr(0, 199) + "x";
    QTest::newRow("offset 200 stores nothing") << full << 200 << std::string("xyz") << full;
    QTest::newRow("offset 255 stores nothing")
        << pattern(20) << 255 << std::string("xyz") << pattern(20);
    QTest::newRow("high bytes travel unchanged")
        << std::string() << 0 << std::string("\xE9t\xE9 #T") << std::string("\xE9t\xE9 #T");
}

void FirmwareTest::storesChunkedText() {
    QFETCH(std::string, before);
    QFETCH(int, offset);
    QFETCH(std::string, chars);
    QFETCH(std::string, stored);
    FixedClock clock;
    PanelFirmware fw = makeFirmware(clock);
    send(fw, before);
    if (offset < 0) {
        send(fw, chars);
    } else {
        QVERIFY(!fw.handle(chunk(static_cast<std::uint8_t>(offset), chars)));
    }
    QCOMPARE(fw.state().text(), stored);
}

void FirmwareTest::textReadIsFirst62Bytes() {
    FixedClock clock;
    PanelFirmware fw = makeFirmware(clock);
    // Stale bytes behind a shorter text must not leak into the reply.
    send(fw, pattern(80));
    send(fw, "short");
    const auto reply = fw.handle(command(kCmdReadText));
    QVERIFY(reply);
    QCOMPARE((*reply)[0], kReplyAck);
    QCOMPARE(std::string(reply->begin() + 2, reply->begin() + 7), std::string("short"));
    QVERIFY(std::all_of(reply->begin() + 7, reply->end(), [](auto b) { return b == 0; }));

    send(fw, pattern(199));
    const auto full = fw.handle(command(kCmdReadText));
    QVERIFY(full);
    QCOMPARE(std::string(full->begin() + 2, full->end()), pattern(62));
}

void FirmwareTest::unknownCommandsAreIgnored_data() {
    QTest::addColumn<int>("code");
    for (const int code : {0x00, 0x55, 0xAA, 0x59, 0xFF}) {
        QTest::addRow("0x%02x", code) << code;
    }
}

void FirmwareTest::unknownCommandsAreIgnored() {
    QFETCH(int, code);
    FixedClock clock;
    PanelFirmware fw = makeFirmware(clock);
    send(fw, "keep");
    const PanelState before = fw.state();
    Report r{};
    r.fill(0x34);
    r[0] = static_cast<std::uint8_t>(code);
    QVERIFY(!fw.handle(r));
    QVERIFY(fw.state() == before);
}

void FirmwareTest::newPanel() {
    FixedClock clock;
    PanelFirmware fw = makeFirmware(clock);
    const auto text = fw.handle(command(kCmdReadText));
    QVERIFY(text);
    QCOMPARE((*text)[0], kReplyAck);
    QCOMPARE((*text)[2], 0);
    const auto reply = fw.handle(command(kCmdReadClock));
    QVERIFY(reply);
    const std::vector<int> expected{0xAA, 9, 5, 0, 14, 7, 0x07, 0xD9, 0, 0, 0};
    QCOMPARE(std::vector<int>(reply->begin(), reply->begin() + 11), expected);
}

void FirmwareTest::newPanelStateHoldsItsOwnMessage() {
    FixedClock clock;
    PanelFirmware fw = makeFirmware(clock);
    fw.setState(newPanelState());
    const auto text = fw.handle(command(kCmdReadText));
    QVERIFY(text);
    const std::string message(kNewPanelText);
    QCOMPARE(std::string(text->begin() + 2, text->begin() + 2 + message.size()), message);
    QVERIFY(std::all_of(text->begin() + 2 + message.size(), text->end(),
                        [](auto b) { return b == 0; }));
    // The host's clock, no alarm; and it survives the state file like any other.
    ClockFields expected{9, 5, 0, 14, 7, 2009, 0, 0, 0};
    QCOMPARE(fw.clock(), expected);
    const auto imported = importState(exportState(newPanelState()));
    QVERIFY(imported);
    QCOMPARE(imported->text(), message);
}

void FirmwareTest::clockWriteThenRead_data() {
    QTest::addColumn<std::vector<int>>("written");  // bytes 1..10 of 0x34
    QTest::addColumn<std::vector<int>>("read");     // bytes 1..10 of the 0x43 reply
    QTest::newRow("plain") << std::vector<int>{23, 59, 58, 31, 12, 0x07, 0xD9, 7, 30, 1}
                           << std::vector<int>{23, 59, 58, 31, 12, 0x07, 0xD9, 7, 30, 1};
    QTest::newRow("armed flag 0x80 reads as 1")
        << std::vector<int>{9, 5, 0, 14, 7, 0x07, 0xD9, 6, 5, 0x80}
        << std::vector<int>{9, 5, 0, 14, 7, 0x07, 0xD9, 6, 5, 1};
    QTest::newRow("31/02 carries into March")
        << std::vector<int>{12, 0, 0, 31, 2, 0x07, 0xE5, 0, 0, 0}
        << std::vector<int>{12, 0, 0, 3, 3, 0x07, 0xE5, 0, 0, 0};
    QTest::newRow("29/02 of a leap year stays")
        << std::vector<int>{12, 0, 0, 29, 2, 0x07, 0xE8, 0, 0, 0}
        << std::vector<int>{12, 0, 0, 29, 2, 0x07, 0xE8, 0, 0, 0};
    QTest::newRow("hour 24 is the next day")
        << std::vector<int>{24, 0, 0, 31, 12, 0x07, 0xD9, 0, 0, 0}
        << std::vector<int>{0, 0, 0, 1, 1, 0x07, 0xDA, 0, 0, 0};
    QTest::newRow("day 0 month 0 go back")
        << std::vector<int>{8, 0, 0, 0, 0, 0x07, 0xD9, 0, 0, 0}
        << std::vector<int>{8, 0, 0, 30, 11, 0x07, 0xD8, 0, 0, 0};
    QTest::newRow("year 0 is kept") << std::vector<int>{0, 0, 0, 1, 1, 0, 0, 0, 0, 0}
                                    << std::vector<int>{0, 0, 0, 1, 1, 0, 0, 0, 0, 0};
    QTest::newRow("past year 65535 stops at its end")
        << std::vector<int>{255, 255, 255, 255, 255, 0xFF, 0xFF, 25, 70, 1}
        << std::vector<int>{23, 59, 59, 31, 12, 0xFF, 0xFF, 25, 70, 1};
}

void FirmwareTest::clockWriteThenRead() {
    QFETCH(std::vector<int>, written);
    QFETCH(std::vector<int>, read);
    FixedClock clock;
    PanelFirmware fw = makeFirmware(clock);
    Report out{};
    out[0] = kCmdWriteClock;
    for (std::size_t i = 0; i < written.size(); ++i) {
        out[i + 1] = static_cast<std::uint8_t>(written[i]);
    }
    const auto ack = fw.handle(out);
    QVERIFY(ack);
    QCOMPARE((*ack)[0], kReplyAck);
    const auto reply = fw.handle(command(kCmdReadClock));
    QVERIFY(reply);
    QCOMPARE((*reply)[0], kReplyAck);
    QCOMPARE(std::vector<int>(reply->begin() + 1, reply->begin() + 11), read);
}

void FirmwareTest::clockRunsOn() {
    FixedClock clock;
    PanelFirmware fw = makeFirmware(clock);
    QVERIFY(fw.handle(clockWrite(23, 59, 30, 31, 12, 2009, 7, 30, 1)));
    clock.now += seconds{45};
    ClockFields expected{0, 0, 15, 1, 1, 2010, 7, 30, 1};
    QCOMPARE(fw.clock(), expected);
    clock.now += days{59};
    expected.day = 1;
    expected.month = 3;
    QCOMPARE(fw.clock(), expected);
}

void FirmwareTest::stateRoundTrips() {
    FixedClock clock;
    PanelFirmware fw = makeFirmware(clock);
    send(fw, pattern(199));
    send(fw, "\xE9\x01 shorter");  // leaves old bytes behind the end
    QVERIFY(fw.handle(clockWrite(6, 7, 8, 9, 10, 2011, 12, 13, 1)));
    const auto imported = importState(exportState(fw.state()));
    QVERIFY(imported);
    QVERIFY(*imported == fw.state());

    PanelFirmware restored = makeFirmware(clock);
    restored.setState(*imported);
    QCOMPARE(restored.clock(), fw.clock());
    QCOMPARE(restored.state().text(), std::string("\xE9\x01 shorter"));
}

void FirmwareTest::damagedStateIsRefused_data() {
    QTest::addColumn<std::string>("data");
    const std::string good = exportState(PanelState{});
    QVERIFY(importState(good));
    QTest::newRow("empty") << std::string();
    QTest::newRow("cut short") << good.substr(0, good.size() - 3);
    QTest::newRow("no final newline") << good.substr(0, good.size() - 1);
    QTest::newRow("other magic") << "panelsim-state 2" + good.substr(16);
    std::string badHex = good;
    badHex[good.find("text ") + 7] = 'g';
    QTest::newRow("bad hex") << badHex;
    std::string shortText = good;
    shortText.erase(good.find("text ") + 5, 2);
    QTest::newRow("text too short") << shortText;
    std::string offset = good;
    offset.replace(offset.find("clock-offset 0"), 14, "clock-offset 99999999999999999999");
    QTest::newRow("offset overflows") << offset;
    std::string alarm = good;
    alarm.replace(alarm.find("alarm 0 0 0"), 11, "alarm 300 0 0");
    QTest::newRow("alarm hour too big") << alarm;
    std::string armed = good;
    armed.replace(armed.find("alarm 0 0 0"), 11, "alarm 1 2 7");
    QTest::newRow("armed flag not 0/1") << armed;
    QTest::newRow("extra line") << good + "more\n";
}

void FirmwareTest::damagedStateIsRefused() {
    QFETCH(std::string, data);
    QVERIFY(!importState(data));
}

QTEST_GUILESS_MAIN(FirmwareTest)
#include "tst_firmware.moc"
