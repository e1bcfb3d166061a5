#pragma once

#include <QString>

#include <optional>

class QWidget;

// What the window needs from outside the program; tests replace each one.
namespace glyph {

// What the font dialog hands back.
struct FontChoice {
    QString family;
    double points = 0;
    bool bold = false;
    bool italic = false;
};

class FontChooser {
public:
    virtual ~FontChooser() = default;
    // Shows the font dialog modally, starting on `current`; nothing when cancelled.
    virtual std::optional<FontChoice> chooseFont(const FontChoice& current) = 0;
};

class Messages {
public:
    virtual ~Messages() = default;
    // Modal box with an exclamation icon and an OK button.
    virtual void exclamation(const QString& title, const QString& text) = 0;
    // Modal error box with an OK button.
    virtual void error(const QString& text) = 0;
};

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces the clipboard's text; false when the clipboard did not take it.
    virtual bool setText(const QString& text) = 0;
};

class TableChooser {
public:
    virtual ~TableChooser() = default;
    // Shows the open-file dialog modally, starting in `folder`; nothing when cancelled.
    virtual std::optional<QString> chooseTable(const QString& folder) = 0;
    // The same for a bitmap font file.
    virtual std::optional<QString> chooseFontFile(const QString& folder) = 0;
};

struct Services {
    FontChooser& fonts;
    Messages& messages;
    Clipboard& clipboard;
    TableChooser& tables;
    QString programFolder;  // where "fonts.txt" is written when it may be
    QString workingFolder;  // where it goes otherwise
};

}  // namespace glyph
