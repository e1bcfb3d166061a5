#include "SystemErrors.h"

#include "ErrnoText.h"

QString systemErrorReason(int error) {
    return QString::fromStdString(errnoText(error));
}
