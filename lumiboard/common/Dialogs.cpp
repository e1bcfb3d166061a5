#include "Dialogs.h"

QString errorReportText(const QString& message) {
    return message.endsWith(u'.') ? message : message + u'.';
}
