#pragma once

#include <optional>

#include <QString>

// Every modal dialog lumiboard shows goes through this seam, so tests can
// watch what the user would see and answer for them.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Error kind (error icon), one OK button.
    virtual void error(const QString& text) = 0;
    // Confirmation kind (question icon), one OK button: successes.
    virtual void confirm(const QString& text) = 0;
    // Confirmation kind with Yes (default) and No; Escape or closing counts as No.
    virtual bool askYesNo(const QString& text) = 0;
    // Plain message box, captioned with the application title, one OK button.
    virtual void message(const QString& text) = 0;
    // Text input with OK (default) and Cancel; nothing when left without OK.
    virtual std::optional<QString> inputText(const QString& title, const QString& prompt,
                                             int maxLength) = 0;
    // The application's standard error report: title caption, error icon, OK,
    // the message with a full stop appended when it lacks one.
    virtual void reportError(const QString& message) = 0;
};

// The text the standard error report shows for a message.
QString errorReportText(const QString& message);

// The application title, caption of plain message boxes and of the task bar entry.
inline constexpr char16_t kApplicationTitle[] = u"PANNEAU D`AFFICHAGE A LEDS USB";
