#pragma once

#include <QPointer>
#include <QWidget>

#include "Seams.h"

// The real dialogs and clipboard.
namespace glyph {

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

class QtClipboard final : public Clipboard {
public:
    bool setText(const QString& text) override;
};

}  // namespace glyph
