#pragma once

#include "Clock.h"

// The real clock, with the system locale (Qt Core only, so a command line can
// use it without widgets).
class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    QString longTime(const QTime& time) const override;
    QString dateSeparator() const override;
};
