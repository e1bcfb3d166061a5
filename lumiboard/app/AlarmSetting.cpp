#include "AlarmSetting.h"

#include <limits>

std::optional<int> parseWholeNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - u'0');
        if (value > qint64{std::numeric_limits<int>::max()} + 1) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

AlarmEntry parseAlarmEntry(const QString& entry) {
    const qsizetype colon = entry.indexOf(u':');
    if (colon < 0) {
        return OutOfRange{};
    }
    const QString hourText = entry.left(colon);
    // Only two characters after the colon count: "12:34:56" is 12:34.
    const QString minuteText = entry.mid(colon + 1, 2);
    const auto hour = parseWholeNumber(hourText);
    if (!hour) {
        return NotANumber{hourText};
    }
    const auto minute = parseWholeNumber(minuteText);
    if (!minute) {
        return NotANumber{minuteText};
    }
    // Refused rather than cut to 8 bits, which would arm the panel for a
    // time nobody typed.
    if (*hour < 0 || *hour > 23 || *minute < 0 || *minute > 59) {
        return OutOfRange{};
    }
    return AlarmTime{static_cast<quint8>(*hour), static_cast<quint8>(*minute)};
}
