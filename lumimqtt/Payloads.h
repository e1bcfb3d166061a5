#pragma once

#include <variant>

#include <QByteArray>
#include <QString>

#include "Topics.h"

// The most a command payload may weigh: anything heavier is refused before
// it is decoded (the panel takes 199 characters).
inline constexpr qsizetype kMaxPayloadBytes = 64 * 1024;
// A passing message: plain text shows this long; JSON says its own time
// within the bounds.
inline constexpr int kNotifyDefaultSeconds = 30;
inline constexpr int kNotifyMinSeconds = 1;
inline constexpr int kNotifyMaxSeconds = 24 * 3600;

struct TextCommand {
    QString text;  // as received: controls and unsendable characters still in
};
struct NotifyCommand {
    QString text;
    int seconds = kNotifyDefaultSeconds;
};
struct SyncCommand {};
struct AlarmSwitchCommand {
    bool on = false;
};
struct AlarmTimeCommand {
    int hour = 0;
    int minute = 0;
};

// Why a payload is refused; nothing goes to the panel.
struct PayloadRefusal {
    enum class Why {
        TooLarge,
        NotUtf8,
        Empty,
        NotifyShape,     // JSON, but not {"message": text, "seconds": whole number}
        NotifyDuration,  // outside kNotifyMinSeconds .. kNotifyMaxSeconds
        AlarmTime,       // not HH:MM
        Switch,          // neither ON nor OFF
        Button,          // not PRESS
    };
    Why why = Why::Empty;
    QString detail;  // what was wrong, for the log and the error topic
};

using Command = std::variant<TextCommand, NotifyCommand, SyncCommand, AlarmSwitchCommand,
                             AlarmTimeCommand, PayloadRefusal>;

// A payload received on a command topic, decoded and checked.
Command decodeCommand(CommandKind kind, const QByteArray& payload);

// The refusal in words (French, one line).
QString refusalText(const PayloadRefusal& refusal);

// A text as the bridge hands it to the session: control characters dropped
// (a remote sender has no business with the firmware's controls), the rest
// admitted with each missing character given its nearest spelling or "?".
struct PreparedText {
    QString text;
    qsizetype dropped = 0;         // control characters taken out
    qsizetype transliterated = 0;  // characters given their nearest spelling
    qsizetype replaced = 0;        // characters that became "?"
};
PreparedText prepareText(const QString& received);
