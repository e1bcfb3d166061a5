#include "AltKeyRouter.h"

#include <QShortcutEvent>

#include "Accelerators.h"

AltKeyRouter::AltKeyRouter(QWidget* window, QList<QAbstractButton*> buttons)
    : QObject(window), window_(window) {
    for (QAbstractButton* button : buttons) {
        buttons_.append(button);
    }
}

bool AltKeyRouter::route(int key) const {
    for (const QPointer<QAbstractButton>& button : buttons_) {
        if (button.isNull()) {
            continue;
        }
        const QChar mark = markedKey(button->text());
        if (!mark.isNull() && mark.unicode() == key && button->isEnabled() && button->isVisible() &&
            button->focusPolicy() != Qt::NoFocus) {
            button->click();
            return true;
        }
    }
    return false;
}

bool AltKeyRouter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && window_ != nullptr && widget->window() == window_) {
            const QKeySequence seq = static_cast<QShortcutEvent*>(event)->key();
            if (seq.count() == 1 && seq[0].keyboardModifiers() == Qt::AltModifier &&
                route(seq[0].key())) {
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}
