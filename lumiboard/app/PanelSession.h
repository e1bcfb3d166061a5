#pragma once

#include <optional>

#include <QDateTime>
#include <QString>

#include "AlarmSetting.h"
#include "Clock.h"
#include "LinkOutcome.h"
#include "PanelClock.h"
#include "PanelLink.h"
#include "PanelLock.h"
#include "UsbApi.h"

// The panel's clock as the window's fields show it after a read.
struct ClockFields {
    QString time;             // "9:5:7"
    QString date;             // "14/7/2009"
    QString alarm;            // "7:30" when armed, " " otherwise
    bool alarmArmed = false;  // the alarm check box
};
ClockFields clockFields(const PanelClock& clock);

// The alarm time as the panel's fields show it: "7:30", "6:5".
QString alarmTimeText(const PanelClock& clock);

// Puts a local date and time into the record's time and date fields; the
// alarm fields stay.
void setTimeAndDate(PanelClock& clock, const QDateTime& at);

// The record as the panel's clock reads it at now, when its time and date
// were read or taken at takenAt: both advanced by the time elapsed, across
// midnight and month ends. A record without a valid time and date is
// returned as it is.
PanelClock clockRunOn(const PanelClock& record, const QDateTime& takenAt, const QDateTime& now);

// The presence test: whether the panel is there, and the library's reason
// when it is not (EACCES: there, but this user may not open it).
struct Presence {
    bool present = false;
    int error = 0;
};

// How start-up went at the presence test.
struct StartUp {
    Presence presence;
    // No panel: the PC's time and date for the clock fields (also taken into
    // the record); the panel's controls stay disabled for good.
    QString time;
    QString date;
};

// A text read, as the message field takes it.
struct PanelText {
    QString text;
    std::optional<LinkFailure> failure;
    bool ok() const { return !failure; }
};

// The panel side of a run of a program: owns the panel link with its pipes
// and reports, the panel clock record and the alarm as the menu holds it, and
// offers the operations that reach the panel or change the record. Each
// operation returns what happened; how a person is told is the caller's. Qt
// Core only, so a command line that links it loads no graphics stack.
class PanelSession {
public:
    explicit PanelSession(const Clock& clock);
    PanelSession(const PanelSession&) = delete;
    PanelSession& operator=(const PanelSession&) = delete;

    // Takes the bound USB library; the panel operations need it. They reach
    // the given panel instance (0 = the first attached).
    void bind(const UsbApi& api, std::uint32_t instance = 0);
    bool bound() const { return link_.has_value(); }

    // The panel's lock file (panelLockPath()); the sends and clock writes then
    // take their turn with other programs. Empty: no lock.
    void setLockFile(const QString& path, std::chrono::milliseconds wait = kPanelLockWait);

    // The panel held across several operations (a clock read, then the write
    // built on it), so no other program of ours comes in between. Operations
    // inside a hold take no lock of their own.
    class Hold {
    public:
        explicit Hold(PanelSession& session);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        // False when another program kept the panel past the wait.
        bool held() const { return held_; }

    private:
        PanelSession& session_;
        bool held_ = false;
    };

    Presence panelPresent();
    // The presence test of start-up; without a panel the record takes the
    // PC's time and date.
    StartUp startUp();

    // The message field's text to the panel (the first kMaxSentChars characters).
    SendOutcome sendText(const QString& fieldText, const WhileOpen<SendOutcome>& whileOpen = {});
    PanelText readText(const WhileOpen<TextRead>& whileOpen = {});

    // Reads the panel's clock into the record and the alarm menu.
    ClockRead readClock(const WhileOpen<ClockRead>& whileOpen = {});
    // Writes the program's record, its time and date run on from the moment
    // they were read. Refused (Unknown) until a clock read has succeeded:
    // until then its time and date are nobody's.
    ClockWrite writeClock(const WhileOpen<ClockWrite>& whileOpen = {});
    // Writes a record the caller sets, as it is, without taking it as the
    // program's record.
    ClockWrite writeClock(const PanelClock& record, const WhileOpen<ClockWrite>& whileOpen = {});

    // The alarm menu item: armed, and the entry it was armed with (as typed,
    // or as a clock read showed the panel's alarm time).
    bool alarmMenuArmed() const { return alarmMenuArmed_; }
    const QString& alarmMenuEntry() const { return alarmMenuEntry_; }
    // Disarming from the menu disarms: a later clock write must not send the
    // alarm armed while the menu says it is off.
    void disarmFromMenu();
    // Arms the alarm with the entry when the whole of it is a time of day;
    // otherwise changes nothing and says why.
    AlarmEntry armFromMenu(const QString& entry);
    // The alarm check box: arms or disarms the record and the menu alike
    // (an armed menu keeps the entry it was armed with).
    void setAlarmArmed(bool armed);

    // True once the record's time and date came from the panel (or, without
    // a panel, from the PC at start-up).
    bool clockKnown() const { return clockTakenAt_.has_value(); }
    const PanelClock& panelClock() const { return clock_; }

private:
    const Clock& pcClock_;
    std::optional<PanelLock> lock_;
    std::chrono::milliseconds lockWait_ = kPanelLockWait;
    int holds_ = 0;                  // nested holds of the lock
    std::optional<PanelLink> link_;  // exists once the library is bound
    PanelClock clock_;
    std::optional<QDateTime> clockTakenAt_;  // when clock_'s time and date were read or taken
    bool alarmMenuArmed_ = false;
    QString alarmMenuEntry_;
};
