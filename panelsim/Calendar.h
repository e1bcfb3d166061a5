// Calendar arithmetic of the panel's clock: fields to a plain count of
// seconds and back, proleptic Gregorian, no time zones.
#pragma once

#include <cstdint>

namespace panelsim {

// The panel's clock and alarm as they travel in bytes 1..10 of a report.
struct ClockFields {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int day = 1;
    int month = 1;
    int year = 2000;
    std::uint8_t alarmHour = 0;
    std::uint8_t alarmMinute = 0;
    std::uint8_t alarmOn = 0;
    bool operator==(const ClockFields&) const = default;
};

// Wall-clock time as a plain count of seconds since 1970-01-01 and back. Out
// of range fields carry over the way a calendar does (31/02 is 3/03 or 2/03,
// hour 24 is the next day); the alarm fields are not part of the count.
std::int64_t secondsFromFields(const ClockFields& f);
ClockFields fieldsFromSeconds(std::int64_t seconds);
// The clock keeps to years 0..65535, what the two year bytes can carry.
std::int64_t clampToClockRange(std::int64_t seconds);

}  // namespace panelsim
