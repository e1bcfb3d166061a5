#include "Clock.h"

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

QString longTimeFormatWithoutZone(const QString& localeFormat) {
    QString out;
    bool quoted = false;
    for (const QChar c : localeFormat) {
        if (c == u'\'') {
            quoted = !quoted;
        }
        if (!quoted && c == u't') {
            continue;
        }
        out.append(c);
    }
    out = out.trimmed();
    return out.isEmpty() ? QStringLiteral("HH:mm:ss") : out;
}

QString dateSeparatorOf(const QString& localeDateFormat) {
    bool seenField = false;
    for (const QChar c : localeDateFormat) {
        if (c.isLetter()) {
            seenField = true;
        } else if (seenField && c != u'\'' && !c.isSpace()) {
            return QString(c);
        }
    }
    return QStringLiteral("/");
}
