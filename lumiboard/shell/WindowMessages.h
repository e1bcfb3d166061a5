#pragma once

#include <optional>

#include <QString>

#include "AlarmSetting.h"
#include "Dialogs.h"
#include "LedPictures.h"
#include "LinkOutcome.h"
#include "PanelClock.h"
#include "USB2Lib.h"

// What the window tells the user about each outcome, and in which dialog: the
// one home of its French texts. An exchange's failures and warnings are told
// while its pipes are still open (the whileOpen calls, handed to the session
// as its callbacks), its successes once they are closed (the after calls).
class WindowMessages {
public:
    explicit WindowMessages(Dialogs& dialogs) : dialogs_(dialogs) {}

    // The USB library could not be bound: the binding's message, then the
    // program's own; the program ends.
    void libraryNotBound(const LibraryLoad& load);

    // Start-up.
    void noPanel(int error);
    bool askReadMemory();

    void whileOpen(const SendOutcome& outcome);
    void afterSend(const SendOutcome& outcome);
    void whileOpen(const TextRead& outcome);
    void whileOpen(const ClockRead& outcome);
    void whileOpen(const ClockWrite& outcome);
    void afterClockWrite(const ClockWrite& outcome);

    // The alarm menu: the time asked for, and why an entry was refused.
    std::optional<QString> askAlarmEntry();
    void alarmRefused(const AlarmEntry& entry);

    // An LED picture the preview could not load, in the standard error report.
    void pictureFailed(const LedPictureFailure& failure);
    static QString pictureFailureText(const LedPictureFailure& failure);

    // The alarm menu item's caption, from its state.
    static QString alarmCaption(bool armed, const QString& entry);
    // timelbl's summary after arming: the record's time, date and alarm.
    static QString clockSummary(const PanelClock& clock);

private:
    Dialogs& dialogs_;
};
