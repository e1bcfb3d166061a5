#include "MenuAccelerators.h"

#include <QAction>
#include <QActionEvent>
#include <QMenu>

#include "Accelerators.h"

void MenuAccelerators::apply(QWidget* level) {
    // Setting a caption re-enters through QAction::changed; the second pass
    // finds every mark in place and changes nothing.
    const QList<QAction*> actions = level->actions();
    QList<MenuCaption> captions;
    for (const QAction* action : actions) {
        captions.append(
            {action->isSeparator() ? QStringLiteral("-") : action->text(), action->isVisible()});
    }
    const QList<QString> marked = assignAccelerators(captions);
    for (qsizetype i = 0; i < actions.size(); ++i) {
        if (!actions[i]->isSeparator() && actions[i]->text() != marked[i]) {
            actions[i]->setText(marked[i]);
        }
    }
}

void MenuAccelerators::watch(QWidget* level) {
    level->installEventFilter(this);
    for (QAction* action : level->actions()) {
        follow(level, action);
    }
    if (auto* menu = qobject_cast<QMenu*>(level)) {
        connect(menu, &QMenu::aboutToShow, this, [menu] { apply(menu); });
    }
    apply(level);
}

void MenuAccelerators::follow(QWidget* level, QAction* action) {
    static constexpr char kFollowed[] = "lumiAcceleratorsFollowed";
    if (action->property(kFollowed).toBool()) {
        return;
    }
    action->setProperty(kFollowed, true);
    connect(action, &QAction::changed, level, [level] { apply(level); });
}

bool MenuAccelerators::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ActionAdded || event->type() == QEvent::ActionRemoved) {
        auto* level = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::ActionAdded) {
            follow(level, static_cast<QActionEvent*>(event)->action());
        }
        apply(level);
    }
    return QObject::eventFilter(watched, event);
}
