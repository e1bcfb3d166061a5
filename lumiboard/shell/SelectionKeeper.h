#pragma once

#include <QLineEdit>
#include <QObject>

// Keeps a line edit's caret and selection while the menu bar has the focus.
// Opening a menu from the keyboard (Alt+I) moves the focus to the menu bar,
// and the edit drops its selection on the way out; the menu's items, which
// insert at the caret or in front of the selection, must find both as they
// were when the menu opened. Back from the menu bar, the edit gets them again.
class SelectionKeeper final : public QObject {
public:
    explicit SelectionKeeper(QLineEdit* edit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* edit_;  // the parent
    QString text_;     // the text when the focus left, to restore only on the same text
    int anchor_ = -1;  // -1: nothing kept
    int cursor_ = 0;
};
