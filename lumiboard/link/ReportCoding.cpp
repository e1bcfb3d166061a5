#include "ReportCoding.h"

#include <algorithm>

qsizetype encodeTextChunk(Report& out, const QByteArray& text, qsizetype offset) {
    std::fill(out.begin() + 2, out.end(), std::uint8_t{0});
    out[0] = CMD_WRITE_TEXT;
    // A sent text never exceeds kMaxSentChars characters, so the offset fits a byte.
    out[1] = static_cast<std::uint8_t>(offset);
    const qsizetype count = std::min(kChunkChars, text.size() - offset);
    for (qsizetype i = 0; i < count; ++i) {
        out[static_cast<std::size_t>(2 + i)] = static_cast<std::uint8_t>(text[offset + i]);
    }
    return count;
}

void encodeReadText(Report& out) {
    out[0] = CMD_READ_TEXT;
    out[1] = 0;
}

void encodeReadClock(Report& out) {
    out[0] = CMD_READ_CLOCK;
    out[1] = 0;
}

void encodeWriteClock(Report& out, const PanelClock& clock) {
    out[0] = CMD_WRITE_CLOCK;
    out[1] = clock.hour;
    out[2] = clock.minute;
    out[3] = clock.second;
    out[4] = static_cast<std::uint8_t>(clock.day & 0xFF);
    out[5] = static_cast<std::uint8_t>(clock.month & 0xFF);
    out[6] = static_cast<std::uint8_t>(clock.year >> 8);
    out[7] = static_cast<std::uint8_t>(clock.year & 0xFF);
    out[8] = clock.alarmHour;
    out[9] = clock.alarmMinute;
    out[10] = clock.alarmOn;
}

QByteArray decodeTextReply(const Report& in) {
    const auto begin = in.begin() + 2;
    const auto end = std::find(begin, in.end(), std::uint8_t{0});
    return QByteArray(reinterpret_cast<const char*>(&*begin), end - begin);
}

ClockReply decodeClockReply(const Report& in) {
    ClockReply r;
    r.clock.hour = in[1];
    r.clock.minute = in[2];
    r.clock.second = in[3];
    r.clock.day = in[4];
    r.clock.month = in[5];
    r.clock.year = static_cast<quint16>(in[6] * 256 + in[7]);
    r.clock.alarmHour = in[8];
    r.clock.alarmMinute = in[9];
    r.clock.alarmOn = in[10] != 0 ? 1 : 0;
    r.timeValid = r.clock.hour <= 23 && r.clock.minute <= 59 && r.clock.second <= 59;
    // Day or month 0 is let through: only values past the top are refused.
    r.dateValid = r.clock.month <= 12 && r.clock.day <= 31;
    return r;
}
