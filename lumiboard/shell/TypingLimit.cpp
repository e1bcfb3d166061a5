#include "TypingLimit.h"

#include <algorithm>

#include "Cp1252.h"

TypingLimit::TypingLimit(QLineEdit* edit, int limit)
    : QValidator(edit), edit_(edit), limit_(limit) {
    // The line edit hands over the text as it would become; the text it
    // changes from is the last one it showed.
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { shown_ = text; });
}

QValidator::State TypingLimit::validate(QString& input, int& pos) const {
    // The edit validates its own text after every change. Setting the text
    // from the program clears its undo history, while an edit by the user
    // always leaves a step to undo; a text other than the edit's own is a
    // question about a user's edit.
    const bool byProgram = !edit_->isUndoAvailable() && input == edit_->text();

    const QString receivable = cp1252::receivable(input);
    if (receivable != input) {
        pos = static_cast<int>(cp1252::receivable(input.left(pos)).size());
        input = receivable;
    }
    if (byProgram) {
        // Refusing it would also leave the edit taking every later keystroke.
        return Acceptable;
    }
    const qsizetype allowed = std::max<qsizetype>(limit_, shown_.size());
    const qsizetype excess = input.size() - allowed;
    if (excess <= 0) {
        return Acceptable;
    }
    // The characters just put in end at the caret: keep the first of them.
    if (pos < excess) {
        return Invalid;
    }
    QString kept = input;
    kept.remove(pos - excess, excess);
    if (kept == shown_) {
        return Invalid;  // nothing of it fits; refusing keeps the undo history
    }
    input = kept;
    pos -= static_cast<int>(excess);
    return Acceptable;
}
