#include "PanelSession.h"

#include "ClockTransfer.h"
#include "Cp1252.h"
#include "LinkFailure.h"
#include "TextTransfer.h"

namespace {

constexpr char16_t kNoPanel[] = u"Pas de Journal lumineux connecté sur port USB.";
const QString kReadMemory = QStringLiteral("Lire la mémoire du Journal ?");
const QString kLibraryMissing = QStringLiteral("La librairie MPUSBAPI.DLL est introuvable !");

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

ClockFields clockFields(const PanelClock& clock) {
    ClockFields shown;
    shown.time = joined(u':', {clock.hour, clock.minute, clock.second});
    shown.date = joined(u'/', {clock.day, clock.month, clock.year});
    shown.alarmArmed = clock.alarmOn != 0;
    if (shown.alarmArmed) {
        shown.alarm = joined(u':', {clock.alarmHour, clock.alarmMinute});
        shown.alarmCaption = armedCaption(shown.alarm);
    } else {
        shown.alarm = QStringLiteral(" ");
        shown.alarmCaption = QString::fromUtf16(kDisarmedCaptionStored);
    }
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

PanelSession::PanelSession(SessionSeams seams) : seams_(std::move(seams)) {}

bool PanelSession::bindLibrary(std::uint32_t instance) {
    UsbApi api;
    if (!seams_.loadUsbLibrary(api, seams_.dialogs)) {
        seams_.dialogs.message(kLibraryMissing);
        return false;
    }
    link_.emplace(api, instance);
    return true;
}

bool PanelSession::panelPresent() {
    return link_->panelPresent();
}

StartUp PanelSession::finishStartUp() {
    StartUp outcome;
    if (!link_->panelPresent()) {
        // A panel this user may not open counts as none; say why.
        seams_.dialogs.confirm(failureText(link_->lastError(), kNoPanel));
        const QDateTime now = seams_.clock.now();
        const QString sep = seams_.clock.dateSeparator();
        outcome.kind = StartUp::Kind::NoPanel;
        outcome.time = seams_.clock.longTime(now.time());
        outcome.date = twoDigits(now.date().day()) + sep + twoDigits(now.date().month()) + sep +
                       QString::number(now.date().year());
        setTimeAndDate(clock_, now);
        clockTakenAt_ = now;
        return outcome;
    }
    outcome.kind =
        seams_.dialogs.askYesNo(kReadMemory) ? StartUp::Kind::ReadPanel : StartUp::Kind::Declined;
    return outcome;
}

bool PanelSession::sendText(const QString& fieldText) {
    return ::sendText(*link_, seams_.dialogs, cp1252::encode(fieldText));
}

std::optional<QString> PanelSession::readText() {
    const std::optional<QByteArray> text = ::readText(*link_, seams_.dialogs);
    if (!text) {
        return std::nullopt;
    }
    return cp1252::decode(*text);
}

std::optional<ClockFields> PanelSession::readClock() {
    if (!::readClock(*link_, seams_.dialogs, clock_)) {
        return std::nullopt;
    }
    clockTakenAt_ = seams_.clock.now();
    return clockFields(clock_);
}

bool PanelSession::writeClock() {
    if (!clockTakenAt_) {
        // Declined or failed start-up read: the record's zeros would set the
        // panel to 0:0:0 on 0/0/0.
        seams_.dialogs.error(QString::fromUtf16(kClockUnknown));
        return false;
    }
    return writeClock(clockRunOn(clock_, *clockTakenAt_, seams_.clock.now()));
}

bool PanelSession::writeClock(const PanelClock& record) {
    return ::writeClock(*link_, seams_.dialogs, record);
}

AlarmMenuOutcome PanelSession::alarmMenu(const QString& currentCaption) {
    return alarmMenuClick(currentCaption, seams_.dialogs, clock_);
}

void PanelSession::setAlarmArmed(bool armed) {
    clock_.alarmOn = armed ? 1 : 0;
}

void PanelSession::reportError(const QString& message) {
    seams_.dialogs.reportError(message);
}
