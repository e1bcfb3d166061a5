#pragma once

#include <QByteArray>

#include "PanelClock.h"
#include "PanelLink.h"

// Command codes of the output report's byte 0, and the panel's acknowledgement.
inline constexpr std::uint8_t CMD_WRITE_TEXT = 0x58;
inline constexpr std::uint8_t CMD_READ_TEXT = 0x85;
inline constexpr std::uint8_t CMD_READ_CLOCK = 0x43;
inline constexpr std::uint8_t CMD_WRITE_CLOCK = 0x34;
inline constexpr std::uint8_t REPLY_ACK = 0xAA;

// Text characters one chunk carries (bytes 2..63), and the most a send takes.
inline constexpr qsizetype kChunkChars = 62;
inline constexpr qsizetype kMaxSentChars = 199;

// Fills out with the text chunk starting at offset (clearing bytes 2..63
// first) and returns how many characters it holds.
qsizetype encodeTextChunk(Report& out, const QByteArray& text, qsizetype offset);

// Requests that only write bytes 0 and 1; the rest of out keeps what it held.
void encodeReadText(Report& out);
void encodeReadClock(Report& out);

// Bytes 0..10 of the clock write; bytes 11..63 keep what they held.
void encodeWriteClock(Report& out, const PanelClock& clock);

// The stored text of a read-text reply: bytes 2.. up to the first zero byte.
QByteArray decodeTextReply(const Report& in);

// The clock layout of a read-clock reply (bytes 1..10).
struct ClockReply {
    PanelClock clock;  // alarmOn is 1 for any non-zero armed byte
    bool timeValid = true;
    bool dateValid = true;
};
ClockReply decodeClockReply(const Report& in);
