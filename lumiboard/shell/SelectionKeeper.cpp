#include "SelectionKeeper.h"

#include <QFocusEvent>

SelectionKeeper::SelectionKeeper(QLineEdit* edit) : QObject(edit), edit_(edit) {
    edit->installEventFilter(this);
}

bool SelectionKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_ ||
        (event->type() != QEvent::FocusOut && event->type() != QEvent::FocusIn)) {
        return false;
    }
    if (static_cast<QFocusEvent*>(event)->reason() != Qt::MenuBarFocusReason) {
        anchor_ = -1;
        return false;
    }
    if (event->type() == QEvent::FocusOut) {
        // Seen before the edit deselects.
        text_ = edit_->text();
        cursor_ = edit_->cursorPosition();
        anchor_ = cursor_;
        if (edit_->hasSelectedText()) {
            const int start = edit_->selectionStart();
            anchor_ = cursor_ == start ? start + edit_->selectionLength() : start;
        }
        return false;
    }
    if (anchor_ >= 0 && edit_->text() == text_) {
        edit_->setSelection(anchor_, cursor_ - anchor_);
        if (anchor_ == cursor_) {
            edit_->setCursorPosition(cursor_);
        }
    }
    anchor_ = -1;
    return false;
}
