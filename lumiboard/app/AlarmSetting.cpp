#include "AlarmSetting.h"

#include <limits>

QString armedCaption(const QString& timeText) {
    return QStringLiteral("désactiver sonnerie de ") + timeText;
}

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

namespace {

QString n(unsigned value) {
    return QString::number(value);
}

QString summary(const PanelClock& c) {
    QString s = QStringLiteral("Heure ") + n(c.hour) + u':' + n(c.minute) + u':' + n(c.second);
    s += QStringLiteral("    Date ") + n(c.day) + u'/' + n(c.month) + u'/' + n(c.year);
    s += QStringLiteral("    Réveil activé ") + n(c.alarmHour) + u':' + n(c.alarmMinute);
    return s;
}

}  // namespace

AlarmMenuOutcome alarmMenuClick(const QString& currentCaption, Dialogs& dialogs,
                                PanelClock& clock) {
    AlarmMenuOutcome outcome;
    if (currentCaption != QString::fromUtf16(kDisarmedCaption)) {
        // Disarmed means disarmed: a later clock write must not send the
        // alarm armed while the menu says it is off.
        outcome.caption = QString::fromUtf16(kDisarmedCaption);
        outcome.untickAlarmBox = true;
        clock.alarmOn = 0;
        return outcome;
    }
    const auto entry = dialogs.inputText(QString::fromUtf16(kAlarmTitle),
                                         QString::fromUtf16(kAlarmPrompt), kAlarmEntryMaxLength);
    if (!entry) {
        return outcome;
    }
    const AlarmEntry parsed = parseAlarmEntry(*entry);
    if (const auto* bad = std::get_if<NotANumber>(&parsed)) {
        dialogs.reportError(QStringLiteral("'%1' is not a valid integer value").arg(bad->text));
        return outcome;
    }
    if (std::holds_alternative<OutOfRange>(parsed)) {
        dialogs.message(QString::fromUtf16(kAlarmEntryWrong));
        return outcome;
    }
    const auto& time = std::get<AlarmTime>(parsed);
    clock.alarmHour = time.hour;
    clock.alarmMinute = time.minute;
    clock.alarmOn = 1;
    outcome.caption = armedCaption(*entry);
    outcome.summary = summary(clock);
    return outcome;
}
