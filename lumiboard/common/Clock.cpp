#include "Clock.h"

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
