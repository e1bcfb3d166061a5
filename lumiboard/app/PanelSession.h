#pragma once

#include <functional>
#include <optional>

#include <QDateTime>
#include <QString>

#include "AlarmSetting.h"
#include "Clock.h"
#include "LinkOutcome.h"
#include "PanelClock.h"
#include "PanelLink.h"
#include "PanelLock.h"
#include "PanelMemory.h"
#include "PanelRules.h"
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

// A send followed by a read of the text back, the panel held for both:
// nothing acknowledges a chunk, only the read proves the text went.
struct VerifiedSend {
    SendOutcome sent;
    std::optional<LinkFailure> readBackFailure;  // the read after the send failed
    std::optional<qsizetype> difference;         // the first character that differs, from 1
    bool verified() const { return sent.ok() && !readBackFailure && !difference; }
};

// The panel's whole text, as far as it can be known: a read gives its first
// 62 characters, the record of our programs' last send the rest.
struct WholeText {
    PanelText read;           // the characters read, or the failure
    QString text;             // the whole text known; the read's when no record matches
    bool complete = false;    // text is all the panel holds
    bool fromRecord = false;  // the record of our last send says the rest
    bool ok() const { return read.ok(); }
};

// A passing message put on the panel: what it showed before, and the send.
struct PassingStart {
    WholeText earlier;  // failed: nothing was sent
    VerifiedSend sent;
    bool ok() const { return earlier.ok() && sent.verified(); }
};

// The end of a passing message: the earlier text put back, verified, unless
// the panel no longer shows the passing one (another send since wins).
struct PassingEnd {
    PanelText now;  // what the panel showed at the end, or the failure
    bool stillShown = false;
    VerifiedSend restored;  // when it still showed the passing message
    bool ok() const { return now.ok() && (!stillShown || restored.verified()); }
};

// A change of the panel's clock made on the panel's own record: read, changed,
// written, the panel held throughout, so the fields not changed stay the
// panel's and no other program's change falls in between.
struct ClockUpdate {
    std::optional<LinkFailure> notHeld;  // the panel could not be taken: nothing tried
    ClockRead read;                      // the panel's clock before; failed: nothing written
    std::optional<qint64> drift;         // of that read against the computer's clock
    bool leftAlone = false;              // within the drift allowed: not written
    std::optional<ClockWrite> write;     // the write, when one was made
    bool ok() const { return !notHeld && read.ok() && (leftAlone || (write && write->ok())); }
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

    // The panel's lock file (panelLockPath()); every exchange then takes its
    // turn with other programs. Empty: no lock.
    void setLockFile(const QString& path, std::chrono::milliseconds wait = kPanelLockWait);

    // Where the whole text of each send is recorded (panelMemoryPath()), so
    // that a read can be completed. Empty: no record.
    void setMemoryFile(const QString& path);

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
        // Why the panel was not held, as an exchange's failure.
        LinkFailure failure() const { return failure_; }

    private:
        PanelSession& session_;
        bool held_ = false;
        LinkFailure failure_;
    };

    Presence panelPresent();
    // The presence test of start-up; without a panel the record takes the
    // PC's time and date.
    StartUp startUp();

    // The message field's text to the panel (the first kMaxSentChars characters).
    SendOutcome sendText(const QString& fieldText, const WhileOpen<SendOutcome>& whileOpen = {});
    PanelText readText(const WhileOpen<TextRead>& whileOpen = {});
    // The text sent, then read back and compared with what a read can return.
    VerifiedSend sendVerified(const QString& text);
    // A read completed by the record when the record's start is what it read.
    WholeText readWholeText();
    // A passing message: the whole earlier text read, then text sent and
    // verified, under one hold. Nothing is held between start and end.
    PassingStart startPassing(const QString& text);
    // Puts start's earlier text back, verified, when the panel still shows
    // the passing text; under one hold.
    PassingEnd endPassing(const QString& passing, const WholeText& earlier);

    // Reads the panel's clock into the record and the alarm menu.
    ClockRead readClock(const WhileOpen<ClockRead>& whileOpen = {});
    // Writes the program's record, its time and date run on from the moment
    // they were read. Refused (Unknown) until a clock read has succeeded:
    // until then its time and date are nobody's.
    ClockWrite writeClock(const WhileOpen<ClockWrite>& whileOpen = {});
    // Writes a record the caller sets, as it is, without taking it as the
    // program's record.
    ClockWrite writeClock(const PanelClock& record, const WhileOpen<ClockWrite>& whileOpen = {});

    // The panel's clock set to the computer's, unless it is off by no more
    // than onlyPastSeconds (when given); the time is taken right before the
    // write, so the panel starts as close as it can.
    ClockUpdate syncClock(std::optional<qint64> onlyPastSeconds = std::nullopt);
    // The panel's clock set to a local date and time.
    ClockUpdate setClock(const QDateTime& at);
    // The panel's alarm changed as the window's alarm menu and check box do.
    ClockUpdate changeAlarm(const AlarmChange& change);
    // How far a clock read is off the computer's clock now.
    std::optional<qint64> drift(const ClockRead& read) const;

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
    SendOutcome sendHeld(const QByteArray& text, const Hold& hold,
                         const WhileOpen<SendOutcome>& whileOpen);
    // Reads the panel's clock, lets change() alter the record (false: leave it
    // as it is) and writes it, under one hold.
    ClockUpdate updateClock(const std::function<bool(PanelClock&, ClockUpdate&)>& change);
    // The record read from or written to the panel becomes the program's.
    void takeRecord(const PanelClock& record);

    const Clock& pcClock_;
    std::optional<PanelLock> lock_;
    std::optional<PanelMemory> memory_;
    std::chrono::milliseconds lockWait_ = kPanelLockWait;
    int holds_ = 0;                  // nested holds of the lock
    std::optional<PanelLink> link_;  // exists once the library is bound
    PanelClock clock_;
    std::optional<QDateTime> clockTakenAt_;  // when clock_'s time and date were read or taken
    bool alarmMenuArmed_ = false;
    QString alarmMenuEntry_;
};
