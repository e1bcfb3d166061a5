#pragma once

#include <optional>

#include <QDateTime>
#include <QString>

#include "Beeper.h"
#include "Clock.h"

// A clock stopped at 14 July 2009, 14:32:05, with a settable long time text.
class FixedClock final : public Clock {
public:
    QDateTime at{QDate(2009, 7, 14), QTime(14, 32, 5)};
    std::optional<QString> longTimeText;  // none: "HH:mm:ss"

    QDateTime now() const override { return at; }
    QString longTime(const QTime& time) const override {
        return longTimeText ? *longTimeText : time.toString(QStringLiteral("HH:mm:ss"));
    }
    QString dateSeparator() const override { return QStringLiteral("/"); }
};

class CountingBeeper final : public Beeper {
public:
    int beeps = 0;
    void beep() override { ++beeps; }
};
