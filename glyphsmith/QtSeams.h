#pragma once

#include <QFontDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <memory>

#include "Seams.h"

// The real dialogs and clipboard.
namespace glyph {

// A message box with one OK button that shows its text as it is, never as markup.
std::unique_ptr<QMessageBox> makeMessageBox(QMessageBox::Icon icon, const QString& title,
                                            const QString& text, QWidget* parent);
// The font database's name of the choice's style ("Book", "Bold Italic"); empty when
// the face has none that matches.
QString styleOf(const FontChoice& choice);

// The size field of Qt's own font dialog; null should a later Qt build it otherwise.
QLineEdit* fontDialogSizeBox(const QFontDialog& dialog);

// The error box: captioned "Erreur", as every error of the program.
std::unique_ptr<QMessageBox> makeErrorBox(const QString& text, QWidget* parent);

class QtFontChooser final : public FontChooser {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    std::optional<FontChoice> chooseFont(const FontChoice& current) override;

private:
    QPointer<QWidget> parent_;
};

class QtMessages final : public Messages {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    void exclamation(const QString& title, const QString& text) override;
    void error(const QString& text) override;

private:
    QPointer<QWidget> parent_;
};

class QtTableChooser final : public TableChooser {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    std::optional<QString> chooseTable(const QString& folder) override;
    std::optional<QString> chooseFontFile(const QString& folder) override;

private:
    QPointer<QWidget> parent_;
};

class QtClipboard final : public Clipboard {
public:
    bool setText(const QString& text) override;
};

}  // namespace glyph
