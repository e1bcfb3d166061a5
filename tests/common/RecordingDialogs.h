#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "Dialogs.h"

// Test double of the dialogs seam: records every dialog in order and answers
// questions and text inputs from scripted queues (Yes / OK by default).
class RecordingDialogs final : public Dialogs {
public:
    enum class Kind { Error, Confirm, Question, Message, Input, ErrorReport };
    struct Shown {
        Kind kind;
        QString text;
        QString title;  // inputs only
        int maxLength = 0;
    };

    QList<Shown> shown;
    QList<bool> yesNoAnswers;                    // taken in order; Yes when empty
    QList<std::optional<QString>> inputAnswers;  // taken in order; cancelled when empty

    void error(const QString& text) override { shown.append({Kind::Error, text, {}}); }
    void confirm(const QString& text) override { shown.append({Kind::Confirm, text, {}}); }
    bool askYesNo(const QString& text) override {
        shown.append({Kind::Question, text, {}});
        return yesNoAnswers.isEmpty() ? true : yesNoAnswers.takeFirst();
    }
    void message(const QString& text) override { shown.append({Kind::Message, text, {}}); }
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     int maxLength) override {
        shown.append({Kind::Input, prompt, title, maxLength});
        return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.takeFirst();
    }
    void reportError(const QString& message) override {
        shown.append({Kind::ErrorReport, errorReportText(message), {}});
    }

    QStringList texts() const {
        QStringList out;
        for (const auto& s : shown)
            out.append(s.text);
        return out;
    }
    void clear() { shown.clear(); }
};
