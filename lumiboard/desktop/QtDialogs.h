#pragma once

#include <QPointer>
#include <QWidget>

#include "Dialogs.h"

// The real dialogs: QMessageBox and QInputDialog, modal to the main window.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void error(const QString& text) override;
    void confirm(const QString& text) override;
    bool askYesNo(const QString& text) override;
    void message(const QString& text) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     int maxLength) override;
    void reportError(const QString& message) override;

private:
    QPointer<QWidget> parent_;
};
