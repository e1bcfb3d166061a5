#pragma once

#include <optional>
#include <variant>

#include <QString>

// The most characters the alarm entry takes.
inline constexpr int kAlarmEntryMaxLength = 255;

// A whole number as the user may type it: leading blanks, an optional sign,
// digits and nothing after them; nothing when the text is not one.
std::optional<int> parseWholeNumber(const QString& text);

// An alarm entry ("7:30") read into hour and minute, or why it is refused.
struct AlarmTime {
    quint8 hour;
    quint8 minute;
};
struct NotANumber {
    QString text;  // the hour or minute text that is not a whole number
};
struct OutOfRange {};  // no colon, hour past 23 or minute past 59
using AlarmEntry = std::variant<AlarmTime, NotANumber, OutOfRange>;
AlarmEntry parseAlarmEntry(const QString& entry);
