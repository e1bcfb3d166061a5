#pragma once

#include <QAbstractButton>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

// Alt+key goes to a window's buttons before its menu bar: Qt would call a key
// claimed by both ambiguous and do neither. Filters the shortcut events of the
// whole application (installed there by the program's set-up) and clicks the
// first enabled, visible, focusable button of the window whose caption marks
// the key.
class AltKeyRouter final : public QObject {
public:
    AltKeyRouter(QWidget* window, QList<QAbstractButton*> buttons);

    // Clicks the button marked with key; false when none takes it.
    bool route(int key) const;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    QList<QPointer<QAbstractButton>> buttons_;
};
