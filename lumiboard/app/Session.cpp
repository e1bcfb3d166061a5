#include "Session.h"

#include "ClockTransfer.h"
#include "Cp1252.h"
#include "FunctionCodes.h"
#include "TextTransfer.h"

namespace {

const QString kNoPanel = QStringLiteral("Pas de Journal lumineux connecté sur port USB.");
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

Session::Session(SessionSeams seams)
    : seams_(std::move(seams)), preview_(seams_.clock, seams_.beeper, seams_.imageDir) {}

bool Session::bindLibrary(std::uint32_t instance) {
    UsbApi api;
    if (!seams_.loadUsbLibrary(api, seams_.dialogs)) {
        seams_.dialogs.message(kLibraryMissing);
        return false;
    }
    link_.emplace(api, instance);
    return true;
}

bool Session::panelPresent() {
    return link_->panelPresent();
}

QString Session::beginStartUp() {
    // Before any dialog: the ticks that run while one is open find the reset state.
    preview_.reset();
    clock_.alarmOn = 0;
    return QString::fromLatin1(kWelcomeText);
}

StartUp Session::finishStartUp() {
    StartUp outcome;
    if (!link_->panelPresent()) {
        seams_.dialogs.confirm(kNoPanel);
        const QDateTime now = seams_.clock.now();
        const QString sep = seams_.clock.dateSeparator();
        outcome.kind = StartUp::Kind::NoPanel;
        outcome.time = seams_.clock.longTime(now.time());
        outcome.date = twoDigits(now.date().day()) + sep + twoDigits(now.date().month()) + sep +
                       QString::number(now.date().year());
        setTimeAndDate(clock_, now);
        return outcome;
    }
    outcome.kind =
        seams_.dialogs.askYesNo(kReadMemory) ? StartUp::Kind::ReadPanel : StartUp::Kind::Declined;
    return outcome;
}

bool Session::sendText(const QString& fieldText) {
    return ::sendText(*link_, seams_.dialogs, cp1252::encode(fieldText));
}

std::optional<QString> Session::readText() {
    const std::optional<QByteArray> text = ::readText(*link_, seams_.dialogs);
    if (!text) {
        return std::nullopt;
    }
    return cp1252::decode(*text);
}

std::optional<ClockFields> Session::readClock() {
    if (!::readClock(*link_, seams_.dialogs, clock_)) {
        return std::nullopt;
    }
    return clockFields(clock_);
}

bool Session::writeClock() {
    return writeClock(clock_);
}

bool Session::writeClock(const PanelClock& record) {
    return ::writeClock(*link_, seams_.dialogs, record);
}

AlarmMenuOutcome Session::alarmMenu(const QString& currentCaption) {
    return alarmMenuClick(currentCaption, seams_.dialogs, clock_);
}

void Session::setAlarmArmed(bool armed) {
    clock_.alarmOn = armed ? 1 : 0;
}

CodeInsertion Session::insertCode(const QString& text, int caret, std::string_view itemName) const {
    const FunctionCode* entry = findFunctionCode(itemName);
    Q_ASSERT(entry != nullptr);
    const QString code = QString::fromLatin1(entry->code);
    // The next insertion lands right after this one.
    return {insertFunctionCode(text, caret, code), caret + static_cast<int>(code.size())};
}

void Session::setMessage(const QString& fieldText) {
    preview_.setText(cp1252::encode(fieldText));
}

std::optional<QString> Session::tick(QImage& canvas, QPoint origin) {
    return preview_.tick(canvas, origin);
}

void Session::reportError(const QString& message) {
    seams_.dialogs.reportError(message);
}
