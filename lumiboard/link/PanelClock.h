#pragma once

#include <QtGlobal>

// The program's copy of the panel's clock, date and alarm. One record for the
// whole program, all zero at start; the year is kept in full (2009).
struct PanelClock {
    quint8 hour = 0, minute = 0, second = 0;
    quint16 day = 0, month = 0, year = 0;
    quint8 alarmHour = 0, alarmMinute = 0, alarmOn = 0;
};
