#include "QtDialogs.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {

// A dialog that comes up in the middle of a panel exchange gets the ordinary
// cursor back while it is open.
class NormalCursor {
public:
    NormalCursor() : pushed_(QGuiApplication::overrideCursor() != nullptr) {
        if (pushed_) {
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        }
    }
    ~NormalCursor() {
        if (pushed_) {
            QGuiApplication::restoreOverrideCursor();
        }
    }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;

private:
    bool pushed_;
};

const QString kErrorCaption = QStringLiteral("Erreur");
const QString kConfirmCaption = QStringLiteral("Confirmation");

int show(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
         QMessageBox::StandardButtons buttons,
         QMessageBox::StandardButton defaultButton = QMessageBox::Ok,
         QMessageBox::StandardButton escapeButton = QMessageBox::Ok) {
    const NormalCursor cursor;
    QMessageBox box(icon, caption, text, buttons, parent);
    // What the user typed ("<b>12</b>:30") is shown as typed, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(escapeButton);
    return box.exec();
}

}  // namespace

void QtDialogs::error(const QString& text) {
    show(parent_, QMessageBox::Critical, kErrorCaption, text, QMessageBox::Ok);
}

void QtDialogs::confirm(const QString& text) {
    show(parent_, QMessageBox::Question, kConfirmCaption, text, QMessageBox::Ok);
}

bool QtDialogs::askYesNo(const QString& text) {
    // Closing the box or Escape answers No.
    return show(parent_, QMessageBox::Question, kConfirmCaption, text,
                QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                QMessageBox::No) == QMessageBox::Yes;
}

void QtDialogs::message(const QString& text) {
    show(parent_, QMessageBox::NoIcon, QString::fromUtf16(kApplicationTitle), text,
         QMessageBox::Ok);
}

std::optional<QString> QtDialogs::inputText(const QString& title, const QString& prompt,
                                            int maxLength) {
    const NormalCursor cursor;
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Cancel"));
    if (auto* edit = dialog.findChild<QLineEdit*>()) {
        edit->setMaxLength(maxLength);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue();
}

void QtDialogs::reportError(const QString& message) {
    show(parent_, QMessageBox::Critical, QString::fromUtf16(kApplicationTitle),
         errorReportText(message), QMessageBox::Ok);
}
