#pragma once

#include <QString>

// n letters running a to z and round again (from first), so a text cut or
// shifted in the wrong place shows.
inline QString letters(qsizetype n, char16_t first = u'a') {
    QString t;
    for (qsizetype i = 0; i < n; ++i) {
        t.append(QChar(char16_t(first + i % 26)));
    }
    return t;
}
