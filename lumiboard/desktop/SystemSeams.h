#pragma once

#include "Beeper.h"
#include "Clock.h"

// The real clock, with the system locale.
class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    QString longTime(const QTime& time) const override;
    QString dateSeparator() const override;
};

// The desktop's alert sound.
class SystemBeeper final : public Beeper {
public:
    void beep() override;
};
