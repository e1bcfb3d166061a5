#pragma once

#include <optional>
#include <variant>

#include <QDateTime>
#include <QString>

#include "AlarmSetting.h"
#include "LinkOutcome.h"
#include "PanelClock.h"

// How far the panel's clock is ahead of the computer's (negative: behind), in
// seconds; nothing when the read failed or its time or date is not a valid one.
std::optional<qint64> clockDrift(const ClockRead& read, const QDateTime& now);

// The first character, from 1, where the panel's text read back differs from
// what was sent, compared over what a read returns (the start of the text a
// send takes); none when they agree.
std::optional<qsizetype> readBackDifference(const QString& sent, const QString& readBack);

// The panel's alarm as a record holds it: any non-zero switch byte arms it.
struct PanelAlarm {
    int hour = 0;
    int minute = 0;
    bool armed = false;
};
PanelAlarm panelAlarm(const PanelClock& clock);

// A change of the panel's alarm: a time (which also arms it), on, or off.
struct AlarmOn {};
struct AlarmOff {};
using AlarmChange = std::variant<AlarmTime, AlarmOn, AlarmOff>;
// The alarm fields of the record changed as the window's alarm menu and check
// box change them.
void applyAlarmChange(PanelClock& clock, const AlarmChange& change);
