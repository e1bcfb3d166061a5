#pragma once

#include <QLineEdit>
#include <QValidator>

// The rules of the message field, kept by the field itself at every change:
// - it holds only what the panel can receive: a character outside the panel's
//   code page becomes '?' at once, typed, pasted or set by the program;
// - the user cannot type it past limit characters: an insertion keeps what
//   fits (the first characters of a paste); text put in by the program may be
//   longer and can still be shortened.
class TypingLimit final : public QValidator {
public:
    TypingLimit(QLineEdit* edit, int limit);
    State validate(QString& input, int& pos) const override;

private:
    QLineEdit* edit_;  // the parent, so it outlives the validator
    int limit_;
    QString shown_;  // what the edit last showed
};
