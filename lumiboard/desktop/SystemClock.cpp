#include "SystemClock.h"

#include <QLocale>

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
}

QString SystemClock::longTime(const QTime& time) const {
    const QLocale locale = QLocale::system();
    return locale.toString(time, longTimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat)));
}

QString SystemClock::dateSeparator() const {
    return dateSeparatorOf(QLocale::system().dateFormat(QLocale::ShortFormat));
}
