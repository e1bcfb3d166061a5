#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

#include "Seams.h"

// Test doubles of the window's seams: they record what the window asks for and
// answer from a script, so no modal dialog ever opens.
struct FakeFontChooser final : glyph::FontChooser {
    std::optional<glyph::FontChoice> answer;  // nothing = cancelled
    QList<glyph::FontChoice> asked;
    std::optional<glyph::FontChoice> chooseFont(const glyph::FontChoice& current) override {
        asked.append(current);
        return answer;
    }
};

struct FakeMessages final : glyph::Messages {
    struct Shown {
        bool error;
        QString title;
        QString text;
    };
    QList<Shown> shown;
    void exclamation(const QString& title, const QString& text) override {
        shown.append({false, title, text});
    }
    void error(const QString& text) override { shown.append({true, {}, text}); }
};

struct FakeClipboard final : glyph::Clipboard {
    bool works = true;
    QStringList texts;
    bool setText(const QString& text) override {
        if (works) {
            texts.append(text);
        }
        return works;
    }
};

struct FakeTableChooser final : glyph::TableChooser {
    std::optional<QString> answer;  // nothing = cancelled
    QStringList asked;
    std::optional<QString> chooseTable(const QString& folder) override {
        asked.append(folder);
        return answer;
    }
    std::optional<QString> fontAnswer;  // nothing = cancelled
    QStringList fontAsked;
    std::optional<QString> chooseFontFile(const QString& folder) override {
        fontAsked.append(folder);
        return fontAnswer;
    }
};
