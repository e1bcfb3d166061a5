#pragma once

#include <QDateTime>
#include <QString>

// The PC's clock and the user's regional formats, behind one seam so tests
// can fix the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // The time in the user's long time format (hours, minutes, seconds; no time zone).
    virtual QString longTime(const QTime& time) const = 0;
    // The separator of the user's short date format ("/" under French settings).
    virtual QString dateSeparator() const = 0;
};

// Long time format of a locale with the time zone parts taken out: the panel
// has no time zone, and the fonts could not show one anyway.
QString longTimeFormatWithoutZone(const QString& localeFormat);
// First non-letter character between the parts of a date format, "/" by default.
QString dateSeparatorOf(const QString& localeDateFormat);
