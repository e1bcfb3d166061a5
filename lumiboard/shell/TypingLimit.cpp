#include "TypingLimit.h"

TypingLimit::TypingLimit(QLineEdit* edit, int limit) : QValidator(edit), limit_(limit) {
    // The line edit hands over the text as it would become; the length it
    // grows from is the last one it showed.
    connect(edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { shown_ = text.size(); });
}

QValidator::State TypingLimit::validate(QString& input, int&) const {
    return input.size() > limit_ && input.size() > shown_ ? Invalid : Acceptable;
}
