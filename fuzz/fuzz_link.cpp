// The link's transfers behind a fake library whose replies and failures come
// from the input: the pipes always close, no call passes wrong arguments, and
// what a transfer reports is what the reply held.
#include "ClockTransfer.h"
#include "FakePanel.h"
#include "FuzzSupport.h"
#include "ReportCoding.h"
#include "TextTransfer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    FakePanel panel;
    PanelLink link(panel.api());
    PanelClock clock;
    while (!in.empty()) {
        const auto op = in.take<std::uint8_t>();
        panel.failWriteAt = (op >> 2) & 3 ? panel.writes + ((op >> 2) & 3) : 0;
        panel.failRead = (op & 0x10) != 0;
        const QByteArray reply = in.bytes(kReportSize);
        std::copy(reply.begin(), reply.end(), panel.reply.begin());
        const qsizetype sentBefore = panel.received.size();
        switch (op & 3) {
            case 0: {
                const QByteArray text = in.bytes(255);
                const SendOutcome outcome = sendText(link, text);
                // What the outcome says went is what the panel received.
                FUZZ_CHECK(outcome.sentChars <= kMaxSentChars &&
                           outcome.cutChars == std::max<qsizetype>(0, text.size() - kMaxSentChars));
                if (outcome.ok()) {
                    QByteArray sent;
                    for (qsizetype i = sentBefore; i < panel.received.size(); ++i) {
                        FUZZ_CHECK(panel.received[i][0] == CMD_WRITE_TEXT);
                        sent += decodeTextReply(panel.received[i]);
                    }
                    // A zero byte ends a chunk's text on the panel's side.
                    FUZZ_CHECK(sent == text.left(kMaxSentChars) || text.contains('\0'));
                }
                break;
            }
            case 1:
                if (const TextRead read = readText(link); read.ok()) {
                    FUZZ_CHECK(panel.reply[0] == REPLY_ACK && !panel.failRead);
                    const QByteArray stored = decodeTextReply(panel.reply);
                    FUZZ_CHECK(read.text == (stored.isEmpty() ? QByteArray(" ") : stored));
                }
                break;
            case 2:
                if (const ClockRead read = readClock(link); read.ok()) {
                    clock = read.record;
                    FUZZ_CHECK(panel.reply[0] == REPLY_ACK && !panel.failRead);
                    FUZZ_CHECK(clock.hour == panel.reply[1] && clock.day == panel.reply[4] &&
                               clock.year == panel.reply[6] * 256 + panel.reply[7] &&
                               clock.alarmOn == (panel.reply[10] != 0));
                }
                break;
            case 3:
                if (writeClock(link, clock).ok()) {
                    Report expected = panel.received.back();
                    encodeWriteClock(expected, clock);
                    FUZZ_CHECK(panel.received.back() == expected && expected[0] == CMD_WRITE_CLOCK);
                }
                break;
        }
        FUZZ_CHECK(panel.open.empty());
        FUZZ_CHECK(panel.faults.isEmpty());
        // Every exchange opens and closes both pipes, write first, read first.
        FUZZ_CHECK(panel.log.count(QStringLiteral("open w")) ==
                   panel.log.count(QStringLiteral("close w")));
        FUZZ_CHECK(panel.log.count(QStringLiteral("open r")) ==
                   panel.log.count(QStringLiteral("close r")));
    }
    return 0;
}
