#pragma once

#include <QList>
#include <QString>

#include "Dialogs.h"

// The dialogs seam of a command line: nothing pops up; every text is kept in
// order for the command to print once it knows whether the operation failed.
class CliDialogs final : public Dialogs {
public:
    enum class Kind { Error, Confirm, Message };
    struct Said {
        Kind kind;
        QString text;
    };
    QList<Said> said;

    void error(const QString& text) override { said.append({Kind::Error, text}); }
    void confirm(const QString& text) override { said.append({Kind::Confirm, text}); }
    // Nobody to ask: no question is ever put to a command line.
    bool askYesNo(const QString& text) override {
        said.append({Kind::Message, text});
        return false;
    }
    void message(const QString& text) override { said.append({Kind::Message, text}); }
    std::optional<QString> inputText(const QString&, const QString&, int) override {
        return std::nullopt;
    }
    void reportError(const QString& message) override {
        said.append({Kind::Error, errorReportText(message)});
    }

    bool saidError(const QString& text) const {
        for (const Said& s : said) {
            if (s.kind == Kind::Error && s.text == text) {
                return true;
            }
        }
        return false;
    }
};
