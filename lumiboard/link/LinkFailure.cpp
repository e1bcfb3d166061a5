#include "LinkFailure.h"

#include <cerrno>

QString failureText(const PanelLink& link, const char16_t* text) {
    return failureText(link.lastError(), text);
}

QString failureText(int error, const char16_t* text) {
    QString shown = QString::fromUtf16(text);
    if (error == EACCES) {
        shown += u'\n' + QString::fromUtf16(kNoAccessLine);
    }
    return shown;
}
