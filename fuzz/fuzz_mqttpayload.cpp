// The bridge's decoding of command payloads, as a broker hands them over:
// one byte picks the command topic, the rest is the payload.
#include "FuzzSupport.h"

#include <QList>

#include "Payloads.h"

int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const auto kind = static_cast<CommandKind>(input.take<std::uint8_t>() % 5);
    const QByteArray payload = input.rest();
    const Command command = decodeCommand(kind, payload);
    if (const auto* refusal = std::get_if<PayloadRefusal>(&command)) {
        // A refusal is one line without controls, whatever the payload held:
        // it goes into the journal.
        for (const QChar c : refusalText(*refusal)) {
            FUZZ_CHECK(c >= u' ' && c != QChar(0x7F));
        }
        return 0;
    }
    FUZZ_CHECK(payload.size() <= kMaxPayloadBytes);
    if (const auto* notify = std::get_if<NotifyCommand>(&command)) {
        FUZZ_CHECK(notify->seconds >= kNotifyMinSeconds && notify->seconds <= kNotifyMaxSeconds);
        FUZZ_CHECK(!notify->text.isEmpty());
    }
    if (const auto* time = std::get_if<AlarmTimeCommand>(&command)) {
        FUZZ_CHECK(time->hour >= 0 && time->hour <= 23 && time->minute >= 0 && time->minute <= 59);
    }
    // What reaches the session holds no control character.
    QString text;
    if (const auto* t = std::get_if<TextCommand>(&command)) {
        text = t->text;
    } else if (const auto* n = std::get_if<NotifyCommand>(&command)) {
        text = n->text;
    }
    if (!text.isEmpty()) {
        const PreparedText prepared = prepareText(text);
        for (const char32_t c : prepared.text.toUcs4()) {
            FUZZ_CHECK(c >= 0x20 && c != 0x7F && (c < 0x80 || c > 0x9F));
        }
    }
    return 0;
}
