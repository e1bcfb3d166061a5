#pragma once

#include <QObject>
#include <QWidget>

// Keeps the accelerators of a menu bar or menu level in place: applied now,
// whenever an item's caption changes, and each time a submenu opens.
class MenuAccelerators final : public QObject {
    Q_OBJECT
public:
    explicit MenuAccelerators(QObject* parent = nullptr) : QObject(parent) {}

    // level is a QMenuBar or a QMenu.
    void watch(QWidget* level);
    static void apply(QWidget* level);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QWidget* level, QAction* action);
};
