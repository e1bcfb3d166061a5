#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include <QImage>
#include <QPoint>
#include <QString>

#include "AlarmSetting.h"
#include "Beeper.h"
#include "Clock.h"
#include "Dialogs.h"
#include "PanelClock.h"
#include "PanelLink.h"
#include "Preview.h"
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

// How start-up ended after the presence test.
struct StartUp {
    enum class Kind { NoPanel, Declined, ReadPanel };
    Kind kind = Kind::Declined;
    // NoPanel only: the PC's time and date for the clock fields; the panel's
    // controls stay disabled for good.
    QString time;
    QString date;
};

// The message field after a function code went in, and where its caret goes.
struct CodeInsertion {
    QString text;
    int caret = 0;
};

// One run of the program against one panel: owns the program-wide state (the
// panel link with its pipes and reports, the panel clock record, the preview)
// and offers the operations behind the window's controls. Holds no widget.
class Session {
public:
    explicit Session(SessionSeams seams);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Binds the USB library; false (after the binding's messages) ends the
    // program. The panel operations need a bound library; they reach the
    // given panel instance (0 = the first attached).
    bool bindLibrary(std::uint32_t instance = 0);
    bool bound() const { return link_.has_value(); }
    bool panelPresent();
    // errno as the library left it after the last failed panel call; 0 for none.
    int lastLinkError() const { return link_ ? link_->lastError() : 0; }

    // Start-up, part one, before any dialog: resets the preview and the alarm
    // flag and returns the text the message field starts with.
    QString beginStartUp();
    // Part two: the presence test and its question. ReadPanel: the caller
    // enables the panel's controls, then reads the text and the clock.
    StartUp finishStartUp();

    // The message field's text to the panel (first 199 characters); the
    // outcome's dialog is shown. True when all of it went.
    bool sendText(const QString& fieldText);
    // The panel's text, or nothing after a failure (its dialog shown).
    std::optional<QString> readText();

    // Reads the panel's clock into the record; nothing after a failure.
    std::optional<ClockFields> readClock();
    // Writes the program's record, or one the caller sets (without taking it
    // as the program's record); true once the panel answered.
    bool writeClock();
    bool writeClock(const PanelClock& record);

    // The alarm menu item clicked while it shows currentCaption.
    AlarmMenuOutcome alarmMenu(const QString& currentCaption);
    // The alarm check box.
    void setAlarmArmed(bool armed);

    // The function code of a menu item put into text at caret.
    CodeInsertion insertCode(const QString& text, int caret, std::string_view itemName) const;

    // The message field changed: the preview scrolls the new text.
    void setMessage(const QString& fieldText);
    // One preview tick drawn on canvas with LED (0,0) at origin; the error
    // report's message when a picture could not be loaded (see Preview::tick).
    std::optional<QString> tick(QImage& canvas, QPoint origin);
    void reportError(const QString& message);

    const PanelClock& panelClock() const { return clock_; }
    const Preview& preview() const { return preview_; }

private:
    SessionSeams seams_;
    std::optional<PanelLink> link_;  // exists once the library is bound
    PanelClock clock_;
    Preview preview_;
};
