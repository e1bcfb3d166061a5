#pragma once

#include <functional>
#include <optional>

#include <QDateTime>
#include <QString>

#include "AlarmSetting.h"
#include "Beeper.h"
#include "Clock.h"
#include "Dialogs.h"
#include "PanelClock.h"
#include "PanelLink.h"
#include "UsbApi.h"

// What a session reaches outside the program through. Tests replace each; a
// command line answers the dialogs by printing.
struct SessionSeams {
    Dialogs& dialogs;
    const Clock& clock;
    Beeper& beeper;
    // Binds the USB library into the api; false when it could not (the
    // binding has shown its message).
    std::function<bool(UsbApi&, Dialogs&)> loadUsbLibrary;
    // Folder of the LED pictures; empty for the working directory.
    QString imageDir;
};

// The panel's clock as the window's fields show it after a read.
struct ClockFields {
    QString time;             // "9:5:7"
    QString date;             // "14/7/2009"
    QString alarm;            // "7:30" when armed, " " otherwise
    bool alarmArmed = false;  // the alarm check box
    QString alarmCaption;     // the alarm menu item's caption
};
ClockFields clockFields(const PanelClock& clock);

// Puts a local date and time into the record's time and date fields; the
// alarm fields stay.
void setTimeAndDate(PanelClock& clock, const QDateTime& at);

// The record as the panel's clock reads it at now, when its time and date
// were read or taken at takenAt: both advanced by the time elapsed, across
// midnight and month ends. A record without a valid time and date is
// returned as it is.
PanelClock clockRunOn(const PanelClock& record, const QDateTime& takenAt, const QDateTime& now);

// How start-up ended after the presence test.
struct StartUp {
    enum class Kind { NoPanel, Declined, ReadPanel };
    Kind kind = Kind::Declined;
    // NoPanel only: the PC's time and date for the clock fields; the panel's
    // controls stay disabled for good.
    QString time;
    QString date;
};

// The panel side of a run of the program: owns the panel link with its pipes
// and reports and the panel clock record, and offers the operations that reach
// the panel or change the record. Qt Core only, so a command line that links
// it loads no graphics stack.
class PanelSession {
public:
    explicit PanelSession(SessionSeams seams);
    PanelSession(const PanelSession&) = delete;
    PanelSession& operator=(const PanelSession&) = delete;

    // Binds the USB library; false (after the binding's messages) ends the
    // program. The panel operations need a bound library; they reach the
    // given panel instance (0 = the first attached).
    bool bindLibrary(std::uint32_t instance = 0);
    bool bound() const { return link_.has_value(); }
    bool panelPresent();
    // errno as the library left it after the last exchange's failed call (a
    // failed open's, when a transfer then failed on its handle); 0 for none.
    int lastLinkError() const { return link_ ? link_->lastError() : 0; }

    // Part two of start-up: the presence test and its question. ReadPanel:
    // the caller enables the panel's controls, then reads the text and the
    // clock.
    StartUp finishStartUp();

    // The message field's text to the panel (first 199 characters); the
    // outcome's dialog is shown. True when all of it went.
    bool sendText(const QString& fieldText);
    // The panel's text, or nothing after a failure (its dialog shown).
    std::optional<QString> readText();

    // Reads the panel's clock into the record; nothing after a failure.
    std::optional<ClockFields> readClock();
    // Writes the program's record, its time and date run on from the moment
    // they were read, or one the caller sets (sent as it is, without taking
    // it as the program's record); true once the panel answered. The
    // program's record is refused until a clock read has succeeded: until
    // then its time and date are nobody's.
    bool writeClock();
    bool writeClock(const PanelClock& record);

    // The alarm menu item clicked while it shows currentCaption.
    AlarmMenuOutcome alarmMenu(const QString& currentCaption);
    // The alarm check box.
    void setAlarmArmed(bool armed);

    // The standard error report.
    void reportError(const QString& message);

    // True once the record's time and date came from the panel (or, without
    // a panel, from the PC at start-up).
    bool clockKnown() const { return clockTakenAt_.has_value(); }

    const PanelClock& panelClock() const { return clock_; }

protected:
    SessionSeams seams_;

private:
    std::optional<PanelLink> link_;  // exists once the library is bound
    PanelClock clock_;
    std::optional<QDateTime> clockTakenAt_;  // when clock_'s time and date were read or taken
};
