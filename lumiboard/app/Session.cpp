#include "Session.h"

#include "Cp1252.h"
#include "FunctionCodes.h"

Session::Session(SessionSeams seams)
    : PanelSession(std::move(seams)), preview_(seams_.clock, seams_.beeper, seams_.imageDir) {}

QString Session::beginStartUp() {
    // Before any dialog: the ticks that run while one is open find the reset state.
    preview_.reset();
    setAlarmArmed(false);
    return QString::fromLatin1(kWelcomeText);
}

CodeInsertion Session::insertCode(const QString& text, int caret, std::string_view itemName) const {
    const FunctionCode* entry = findFunctionCode(itemName);
    Q_ASSERT(entry != nullptr);
    const QString code = QString::fromLatin1(entry->code);
    // The next insertion lands right after this one.
    return {insertFunctionCode(text, caret, code), caret + static_cast<int>(code.size())};
}

void Session::setMessage(const QString& fieldText) {
    preview_.setText(cp1252::encode(fieldText));
}

std::optional<QString> Session::tick(QImage& canvas, QPoint origin) {
    return preview_.tick(canvas, origin);
}
