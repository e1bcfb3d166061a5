#include "Session.h"

#include "Cp1252.h"
#include "FunctionCodes.h"

Session::Session(const Clock& clock, Beeper& beeper, const QString& imageDir,
                 const QString& programDir)
    : panel_(clock), preview_(clock, beeper, imageDir, programDir) {}

QString Session::beginStartUp() {
    // Before any dialog: the ticks that run while one is open find the reset state.
    preview_.reset();
    panel_.setAlarmArmed(false);
    return QString::fromLatin1(kWelcomeText);
}

CodeInsertion Session::insertCode(const QString& text, int caret, std::string_view itemName) const {
    const FunctionCode* entry = findFunctionCode(itemName);
    Q_ASSERT(entry != nullptr);
    const QString code = functionCodeText(*entry);
    // The next insertion lands right after this one.
    return {insertFunctionCode(text, caret, code), caret + static_cast<int>(code.size())};
}

void Session::setMessage(const QString& fieldText) {
    preview_.setText(cp1252::encode(fieldText));
}

std::optional<LedPictureFailure> Session::tick(QImage& canvas, QPoint origin) {
    return preview_.tick(canvas, origin);
}
