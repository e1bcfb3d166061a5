#pragma once

#include <QLineEdit>
#include <QValidator>

// The typing limit of a line edit: the user cannot type past limit characters,
// while text put in by the program may be longer and can still be shortened.
class TypingLimit final : public QValidator {
public:
    TypingLimit(QLineEdit* edit, int limit);
    State validate(QString& input, int& pos) const override;

private:
    int limit_;
    qsizetype shown_ = 0;  // the length the edit last showed
};
