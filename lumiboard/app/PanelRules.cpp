#include "PanelRules.h"

#include <algorithm>

#include "ReportCoding.h"

std::optional<qint64> clockDrift(const ClockRead& read, const QDateTime& now) {
    const PanelClock& c = read.record;
    const QDate date(c.year, c.month, c.day);
    const QTime time(c.hour, c.minute, c.second);
    if (!read.ok() || !read.timeValid || !read.dateValid || !date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    // The panel keeps the computer's local time, as a sync sets it.
    return now.secsTo(QDateTime(date, time));
}

std::optional<qsizetype> readBackDifference(const QString& sent, const QString& readBack) {
    // A read returns one report's payload: the start of a longer text.
    const QString expected = sent.left(kMaxSentChars).left(kChunkChars);
    const qsizetype common = std::min(expected.size(), readBack.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (expected[i] != readBack[i]) {
            return i + 1;
        }
    }
    if (expected.size() != readBack.size()) {
        return common + 1;
    }
    return std::nullopt;
}

PanelAlarm panelAlarm(const PanelClock& clock) {
    return {clock.alarmHour, clock.alarmMinute, clock.alarmOn != 0};
}

void applyAlarmChange(PanelClock& clock, const AlarmChange& change) {
    if (const auto* time = std::get_if<AlarmTime>(&change)) {
        clock.alarmHour = time->hour;
        clock.alarmMinute = time->minute;
    }
    clock.alarmOn = std::holds_alternative<AlarmOff>(change) ? 0 : 1;
}
