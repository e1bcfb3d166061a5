#include "QtSeams.h"

#include <QClipboard>
#include <QFontDialog>
#include <QGuiApplication>
#include <QMessageBox>

namespace glyph {

std::optional<FontChoice> QtFontChooser::chooseFont(const FontChoice& current) {
    QFont initial(current.family);
    initial.setPointSizeF(current.points);
    initial.setBold(current.bold);
    initial.setItalic(current.italic);
    bool ok = false;
    // The dialog lists every installed font, screen and printer alike.
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent_);
    if (!ok) {
        return std::nullopt;
    }
    const double points =
        chosen.pointSizeF() > 0 ? chosen.pointSizeF() : chosen.pixelSize() * 72.0 / 96.0;
    return FontChoice{chosen.family(), points, chosen.bold(), chosen.italic()};
}

void QtMessages::exclamation(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent_);
    box.exec();
}

void QtMessages::error(const QString& text) {
    const QString title = parent_ ? parent_->windowTitle() : QString();
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent_);
    box.exec();
}

bool QtClipboard::setText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    clipboard->setText(text);
    // The platform gives no result of its own; reading back tells whether it took.
    return clipboard->text() == text;
}

}  // namespace glyph
