#include "QtSeams.h"

#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGuiApplication>
#include <QIntValidator>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>

namespace glyph {

QString styleOf(const FontChoice& choice) {
    const int weight = choice.bold ? QFont::Bold : QFont::Normal;
    const QStringList styles = QFontDatabase::styles(choice.family);
    for (const QString& style : styles) {
        // Oblique counts as italic here, as the dialog's own check box does.
        const QFont font = QFontDatabase::font(choice.family, style, 8);
        if (font.weight() == weight && (font.style() != QFont::StyleNormal) == choice.italic) {
            return style;
        }
    }
    return {};
}

QLineEdit* fontDialogSizeBox(const QFontDialog& dialog) {
    // The one field that takes whole numbers only.
    for (auto* edit : dialog.findChildren<QLineEdit*>()) {
        if (qobject_cast<const QIntValidator*>(edit->validator()) != nullptr) {
            return edit;
        }
    }
    return nullptr;
}

std::optional<FontChoice> QtFontChooser::chooseFont(const FontChoice& current) {
    QFont initial(current.family);
    initial.setPointSizeF(current.points);
    initial.setBold(current.bold);
    initial.setItalic(current.italic);
    // The dialog picks its style by name: a face whose regular style is not called
    // "Regular" (DejaVu's "Book") would otherwise open on its first one, Bold Oblique.
    const QString style = styleOf(current);
    if (!style.isEmpty()) {
        initial.setStyleName(style);
    }
    // The dialog lists every installed font, screen and printer alike.
    QFontDialog dialog(initial, parent_);
    dialog.setOption(QFontDialog::DontUseNativeDialog);  // its size box is reached below
    // The dialog keeps whole sizes and opens on 8 for 8.25: its size box is made
    // to read the size the capture box reports. Left as it is, that size is the
    // one chosen; a size typed or picked in the list is whole, as the dialog has it.
    QLineEdit* sizeBox = fontDialogSizeBox(dialog);
    const QString shownSize = QString::number(current.points);
    if (sizeBox != nullptr) {
        const QSignalBlocker quiet(sizeBox);
        sizeBox->setText(shownSize);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QFont chosen = dialog.selectedFont();
    double points =
        chosen.pointSizeF() > 0 ? chosen.pointSizeF() : chosen.pixelSize() * 72.0 / 96.0;
    if (sizeBox != nullptr && sizeBox->text() == shownSize) {
        points = current.points;
    }
    return FontChoice{chosen.family(), points, chosen.bold(), chosen.italic()};
}

std::unique_ptr<QMessageBox> makeMessageBox(QMessageBox::Icon icon, const QString& title,
                                            const QString& text, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(icon, title, QString(), QMessageBox::Ok, parent);
    // A path or a reason may hold "<": it is shown, not interpreted.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    return box;
}

std::unique_ptr<QMessageBox> makeErrorBox(const QString& text, QWidget* parent) {
    return makeMessageBox(QMessageBox::Critical, QStringLiteral("Erreur"), text, parent);
}

void QtMessages::exclamation(const QString& title, const QString& text) {
    makeMessageBox(QMessageBox::Warning, title, text, parent_)->exec();
}

void QtMessages::error(const QString& text) {
    makeErrorBox(text, parent_)->exec();
}

std::optional<QString> QtTableChooser::chooseTable(const QString& folder) {
    const QString path = QFileDialog::getOpenFileName(
        parent_, QStringLiteral("Ouvrir une table"), folder,
        QStringLiteral("Tables de fontes (*.txt);;Tous les fichiers (*)"));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

std::optional<QString> QtTableChooser::chooseFontFile(const QString& folder) {
    const QString path = QFileDialog::getOpenFileName(
        parent_, QStringLiteral("Ouvrir une police bitmap"), folder,
        QStringLiteral("Polices bitmap (*.bdf *.pcf *.pcf.gz *.otb);;Tous les fichiers (*)"));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
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
