#include "PanelSession.h"

#include <cstdlib>

#include "ClockTransfer.h"
#include "Cp1252.h"
#include "ReportCoding.h"
#include "TextTransfer.h"

namespace {

QString joined(QChar sep, std::initializer_list<unsigned> numbers) {
    QString out;
    for (const unsigned n : numbers) {
        if (!out.isEmpty()) {
            out += sep;
        }
        out += QString::number(n);
    }
    return out;
}

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString alarmTimeText(const PanelClock& clock) {
    return joined(u':', {clock.alarmHour, clock.alarmMinute});
}

ClockFields clockFields(const PanelClock& clock) {
    ClockFields shown;
    shown.time = joined(u':', {clock.hour, clock.minute, clock.second});
    shown.date = joined(u'/', {clock.day, clock.month, clock.year});
    shown.alarmArmed = clock.alarmOn != 0;
    shown.alarm = shown.alarmArmed ? alarmTimeText(clock) : QStringLiteral(" ");
    return shown;
}

void setTimeAndDate(PanelClock& clock, const QDateTime& at) {
    clock.hour = static_cast<quint8>(at.time().hour());
    clock.minute = static_cast<quint8>(at.time().minute());
    clock.second = static_cast<quint8>(at.time().second());
    clock.day = static_cast<quint16>(at.date().day());
    clock.month = static_cast<quint16>(at.date().month());
    clock.year = static_cast<quint16>(at.date().year());
}

PanelClock clockRunOn(const PanelClock& record, const QDateTime& takenAt, const QDateTime& now) {
    const QDate date(record.year, record.month, record.day);
    const QTime time(record.hour, record.minute, record.second);
    if (!date.isValid() || !time.isValid()) {
        return record;  // nothing to run on from: an out-of-range reply goes back as read
    }
    // The panel's clock knows no time zone: counted in UTC, it never meets a
    // summer-time gap.
    PanelClock out = record;
    setTimeAndDate(out, QDateTime(date, time, Qt::UTC).addMSecs(takenAt.msecsTo(now)));
    return out;
}

PanelSession::PanelSession(const Clock& clock) : pcClock_(clock) {}

void PanelSession::setLockFile(const QString& path, std::chrono::milliseconds wait) {
    lockWait_ = wait;
    lock_.reset();
    if (!path.isEmpty()) {
        lock_.emplace(path);
    }
}

void PanelSession::setMemoryFile(const QString& path) {
    memory_.reset();
    if (!path.isEmpty()) {
        memory_.emplace(path);
    }
}

PanelSession::Hold::Hold(PanelSession& session) : session_(session) {
    if (session_.holds_ == 0 && session_.lock_) {
        const PanelLock::Result result = session_.lock_->acquire(session_.lockWait_);
        if (result != PanelLock::Result::Held) {
            failure_ = panelBusy(result == PanelLock::Result::Unusable ? session_.lock_->problem()
                                                                       : std::nullopt);
            return;
        }
    }
    ++session_.holds_;
    held_ = true;
}

PanelSession::Hold::~Hold() {
    if (held_ && --session_.holds_ == 0 && session_.lock_) {
        session_.lock_->release();
    }
}

void PanelSession::bind(const UsbApi& api, std::uint32_t instance) {
    link_.emplace(api, instance);
}

Presence PanelSession::panelPresent() {
    Presence presence;
    presence.present = link_->panelPresent();
    presence.error = presence.present ? 0 : link_->lastError();
    return presence;
}

StartUp PanelSession::startUp() {
    StartUp outcome;
    outcome.presence = panelPresent();
    if (!outcome.presence.present) {
        const QDateTime now = pcClock_.now();
        const QString sep = pcClock_.dateSeparator();
        outcome.time = pcClock_.longTime(now.time());
        outcome.date = twoDigits(now.date().day()) + sep + twoDigits(now.date().month()) + sep +
                       QString::number(now.date().year());
        setTimeAndDate(clock_, now);
        clockTakenAt_ = now;
    }
    return outcome;
}

SendOutcome PanelSession::sendText(const QString& fieldText,
                                   const WhileOpen<SendOutcome>& whileOpen) {
    const Hold hold(*this);
    return sendHeld(cp1252::encode(fieldText), hold, whileOpen);
}

SendOutcome PanelSession::sendHeld(const QByteArray& text, const Hold& hold,
                                   const WhileOpen<SendOutcome>& whileOpen) {
    if (!hold.held() && !text.isEmpty()) {
        SendOutcome outcome;
        outcome.cutChars = std::max<qsizetype>(0, text.size() - kMaxSentChars);
        outcome.failure = hold.failure();
        tellWhileOpen(whileOpen, outcome);  // the window says it like any failure
        return outcome;
    }
    const SendOutcome sent = ::sendText(*link_, text, whileOpen);
    if (memory_) {
        if (sent.ok()) {
            memory_->record(cp1252::decode(text.left(kMaxSentChars)));
        } else if (sent.sentChars > 0) {
            memory_->forget();  // half new, half old: nobody knows the rest
        }
    }
    return sent;
}

PanelText PanelSession::readText(const WhileOpen<TextRead>& whileOpen) {
    // A read takes its turn too: the panel answers one program at a time.
    const Hold hold(*this);
    if (!hold.held()) {
        TextRead refused;
        refused.failure = hold.failure();
        tellWhileOpen(whileOpen, refused);
        return {QString(), refused.failure};
    }
    const TextRead read = ::readText(*link_, whileOpen);
    return {read.ok() ? cp1252::decode(read.text) : QString(), read.failure};
}

VerifiedSend PanelSession::sendVerified(const QString& text) {
    VerifiedSend outcome;
    const Hold hold(*this);
    outcome.sent = sendHeld(cp1252::encode(text), hold, {});
    if (!outcome.sent.ok()) {
        return outcome;
    }
    const PanelText back = readText();
    if (back.failure) {
        outcome.readBackFailure = back.failure;
    } else {
        outcome.difference = readBackDifference(text, back.text);
    }
    return outcome;
}

WholeText PanelSession::readWholeText() {
    WholeText whole;
    const Hold hold(*this);
    if (!hold.held()) {
        whole.read.failure = hold.failure();
        return whole;
    }
    whole.read = readText();
    if (!whole.read.ok()) {
        return whole;
    }
    whole.text = whole.read.text;
    if (const auto recorded =
            wholeTextFromRecord(whole.read.text, memory_ ? memory_->recorded() : std::nullopt)) {
        whole.text = *recorded;
        whole.fromRecord = true;
    }
    // A read shorter than a report's payload is the whole text.
    whole.complete = whole.fromRecord || whole.read.text.size() < kChunkChars;
    return whole;
}

PassingStart PanelSession::startPassing(const QString& text) {
    PassingStart start;
    const Hold hold(*this);
    if (!hold.held()) {
        start.earlier.read.failure = hold.failure();
        return start;
    }
    start.earlier = readWholeText();
    if (start.earlier.ok()) {
        start.sent = sendVerified(text);
    }
    return start;
}

PassingEnd PanelSession::endPassing(const QString& passing, const WholeText& earlier) {
    PassingEnd end;
    const Hold hold(*this);
    if (!hold.held()) {
        end.now.failure = hold.failure();
        return end;
    }
    end.now = readText();
    if (!end.now.ok()) {
        return end;
    }
    end.stillShown = !readBackDifference(passing, end.now.text);
    if (end.stillShown) {
        end.restored = sendVerified(earlier.text);
    }
    return end;
}

void PanelSession::takeRecord(const PanelClock& record) {
    clock_ = record;
    clockTakenAt_ = pcClock_.now();
    alarmMenuArmed_ = clock_.alarmOn != 0;
    alarmMenuEntry_ = alarmMenuArmed_ ? alarmTimeText(clock_) : QString();
}

ClockRead PanelSession::readClock(const WhileOpen<ClockRead>& whileOpen) {
    const Hold hold(*this);
    if (!hold.held()) {
        ClockRead refused;
        refused.failure = hold.failure();
        tellWhileOpen(whileOpen, refused);
        return refused;
    }
    const ClockRead read = ::readClock(*link_, whileOpen);
    if (read.ok()) {
        takeRecord(read.record);
    }
    return read;
}

std::optional<qint64> PanelSession::drift(const ClockRead& read) const {
    return clockDrift(read, pcClock_.now());
}

ClockUpdate PanelSession::updateClock(
    const std::function<bool(PanelClock&, ClockUpdate&)>& change) {
    ClockUpdate outcome;
    const Hold hold(*this);
    if (!hold.held()) {
        outcome.notHeld = hold.failure();
        return outcome;
    }
    outcome.read = readClock();
    if (!outcome.read.ok()) {
        return outcome;
    }
    outcome.drift = drift(outcome.read);
    PanelClock record = outcome.read.record;
    if (!change(record, outcome)) {
        outcome.leftAlone = true;
        return outcome;
    }
    outcome.write = writeClock(record);
    if (outcome.write->ok()) {
        takeRecord(record);
    }
    return outcome;
}

ClockUpdate PanelSession::syncClock(std::optional<qint64> onlyPastSeconds) {
    return updateClock([this, onlyPastSeconds](PanelClock& record, const ClockUpdate& read) {
        if (onlyPastSeconds && read.drift && std::abs(*read.drift) <= *onlyPastSeconds) {
            return false;
        }
        setTimeAndDate(record, pcClock_.now());
        return true;
    });
}

ClockUpdate PanelSession::setClock(const QDateTime& at) {
    return updateClock([&at](PanelClock& record, const ClockUpdate&) {
        setTimeAndDate(record, at);
        return true;
    });
}

ClockUpdate PanelSession::changeAlarm(const AlarmChange& change) {
    return updateClock([&change](PanelClock& record, const ClockUpdate&) {
        applyAlarmChange(record, change);
        return true;
    });
}

ClockWrite PanelSession::writeClock(const WhileOpen<ClockWrite>& whileOpen) {
    if (!clockTakenAt_) {
        // Declined or failed start-up read: the record's zeros would set the
        // panel to 0:0:0 on 0/0/0.
        ClockWrite refused;
        refused.result = ClockWrite::Result::Unknown;
        return refused;
    }
    return writeClock(clockRunOn(clock_, *clockTakenAt_, pcClock_.now()), whileOpen);
}

ClockWrite PanelSession::writeClock(const PanelClock& record,
                                    const WhileOpen<ClockWrite>& whileOpen) {
    const Hold hold(*this);
    if (!hold.held()) {
        ClockWrite outcome;
        outcome.result = ClockWrite::Result::Failed;
        outcome.failure = hold.failure();
        tellWhileOpen(whileOpen, outcome);
        return outcome;
    }
    return ::writeClock(*link_, record, whileOpen);
}

void PanelSession::disarmFromMenu() {
    alarmMenuArmed_ = false;
    alarmMenuEntry_.clear();
    applyAlarmChange(clock_, AlarmOff{});
}

AlarmEntry PanelSession::armFromMenu(const QString& entry) {
    const AlarmEntry parsed = parseAlarmEntry(entry);
    if (const auto* time = std::get_if<AlarmTime>(&parsed)) {
        applyAlarmChange(clock_, *time);
        alarmMenuArmed_ = true;
        alarmMenuEntry_ = entry;
    }
    return parsed;
}

void PanelSession::setAlarmArmed(bool armed) {
    applyAlarmChange(clock_, armed ? AlarmChange(AlarmOn{}) : AlarmChange(AlarmOff{}));
    // The menu follows the box: one alarm, one state wherever it is switched.
    if (armed && !alarmMenuArmed_) {
        alarmMenuEntry_ = alarmTimeText(clock_);
    } else if (!armed) {
        alarmMenuEntry_.clear();
    }
    alarmMenuArmed_ = armed;
}
