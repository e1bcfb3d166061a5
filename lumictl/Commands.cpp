#include "Commands.h"

#include <cstdio>

#include <QFile>

#include "ClockTransfer.h"
#include "Output.h"
#include "ReportCoding.h"
#include "TextTransfer.h"

namespace {

const QString kNoPanel = QStringLiteral("Pas de Journal lumineux connecté sur port USB.");
const QString kPanelFound = QStringLiteral("Journal lumineux connecté sur port USB.");

class Run {
public:
    Run(const Invocation& inv, Session& session, CliDialogs& dialogs, const Clock& clock,
        CommandOutput& output)
        : inv_(inv), session_(session), dialogs_(dialogs), clock_(clock), output_(output) {}

    int operator()();

private:
    void say(const QString& text) { output_.out += text.toUtf8() + '\n'; }
    void complain(const QString& text) { output_.err += "lumictl: " + text.toUtf8() + '\n'; }
    // Prints what the dialogs were told; after a failure the last error gets
    // the library's reason.
    void flushDialogs(bool failed);
    int failed() {
        flushDialogs(true);
        return kExitFailed;
    }

    int connect();
    std::optional<QString> message(int& exitCode);
    int send();
    int read();
    int clock();
    int writeClock(const PanelClock& record);
    int alarm();

    const Invocation& inv_;
    Session& session_;
    CliDialogs& dialogs_;
    const Clock& clock_;
    CommandOutput& output_;
};

void Run::flushDialogs(bool failed) {
    qsizetype lastError = -1;
    for (qsizetype i = 0; i < dialogs_.said.size(); ++i) {
        if (dialogs_.said[i].kind == CliDialogs::Kind::Error) {
            lastError = i;
        }
    }
    const QString reason = failed ? failureReason(session_.lastLinkError()) : QString();
    for (qsizetype i = 0; i < dialogs_.said.size(); ++i) {
        const CliDialogs::Said& s = dialogs_.said[i];
        if (s.kind == CliDialogs::Kind::Confirm) {
            say(s.text);
        } else if (i == lastError && !reason.isEmpty()) {
            complain(s.text + QStringLiteral(" (") + reason + u')');
        } else {
            complain(s.text);
        }
    }
    dialogs_.said.clear();
}

// Binds the library and tests the panel's presence: kExitDone when the panel
// can be talked to.
int Run::connect() {
    if (!session_.bindLibrary(inv_.instance)) {
        flushDialogs(false);
        return kExitNoLibrary;
    }
    if (!session_.panelPresent()) {
        const QString reason = failureReason(session_.lastLinkError());
        if (inv_.command == Command::Status && inv_.json) {
            output_.out += statusJson(false, inv_.instance);
        }
        complain(reason.isEmpty() ? kNoPanel : kNoPanel + QStringLiteral(" (") + reason + u')');
        return kExitNoPanel;
    }
    return kExitDone;
}

// The text to send, checked before the panel is touched; nothing with
// exitCode set when it cannot be sent.
std::optional<QString> Run::message(int& exitCode) {
    exitCode = kExitUsage;
    QString text = inv_.text;
    if (inv_.source != TextSource::Words) {
        QFile file;
        const bool opened = inv_.source == TextSource::Stdin
                                ? file.open(stdin, QIODevice::ReadOnly)
                                : (file.setFileName(inv_.fileName), file.open(QIODevice::ReadOnly));
        const QByteArray bytes = opened ? file.readAll() : QByteArray();
        if (!opened || file.error() != QFileDevice::NoError) {
            complain(QStringLiteral("lecture impossible de %1 : %2")
                         .arg(inv_.source == TextSource::Stdin ? QStringLiteral("l'entrée standard")
                                                               : inv_.fileName,
                              file.errorString()));
            return std::nullopt;
        }
        text = oneLine(QString::fromUtf8(bytes));
    }
    if (text.isEmpty()) {
        complain(QString::fromUtf16(kNoTextToSend));
        return std::nullopt;
    }
    auto checked = panelText(text, inv_.replace);
    if (const auto* refused = std::get_if<RefusedCharacter>(&checked)) {
        complain(refusalMessage(*refused));
        return std::nullopt;
    }
    exitCode = kExitDone;
    return std::get<QString>(checked);
}

int Run::send() {
    int code = kExitDone;
    const std::optional<QString> text = message(code);
    if (!text) {
        return code;
    }
    if ((code = connect()) != kExitDone) {
        return code;
    }
    if (!session_.sendText(*text)) {
        const int code = failed();
        if (text->size() > kChunkChars) {
            // Chunks before the failed one have gone: the panel's text may be half new.
            complain(QStringLiteral("envoi interrompu : le panneau peut garder le début du texte"));
        }
        return code;
    }
    // The truncation is said on stderr, so stdout keeps the plain confirmation.
    dialogs_.said.clear();
    say(QString::fromUtf16(kTextSent));
    if (text->size() > kMaxSentChars) {
        complain(QStringLiteral("texte coupé : seuls les %1 premiers caractères ont été envoyés, "
                                "%2 laissés de côté")
                     .arg(kMaxSentChars)
                     .arg(text->size() - kMaxSentChars));
    }
    return kExitDone;
}

int Run::read() {
    const std::optional<QString> text = session_.readText();
    if (!text) {
        return failed();
    }
    flushDialogs(false);
    if (inv_.json) {
        output_.out += textJson(*text);
    } else {
        say(*text);
    }
    return kExitDone;
}

int Run::writeClock(const PanelClock& record) {
    if (!session_.writeClock(record)) {
        return failed();
    }
    flushDialogs(false);
    return kExitDone;
}

int Run::clock() {
    // Even a write reads first: the panel's alarm is kept as it is.
    if (!session_.readClock()) {
        return failed();
    }
    const bool timeValid = !dialogs_.saidError(QString::fromUtf16(kPanelTimeWrong));
    const bool dateValid = !dialogs_.saidError(QString::fromUtf16(kPanelDateWrong));
    flushDialogs(false);
    PanelClock record = session_.panelClock();
    if (inv_.clockAction == ClockAction::Show) {
        if (inv_.json) {
            output_.out += clockJson(record, timeValid, dateValid);
        } else {
            say(isoDateTime(record));
            say(alarmText(record));
        }
        return kExitDone;
    }
    // Taken last, right before the write, so the panel starts as close as it can.
    const QDateTime at = inv_.clockAction == ClockAction::Sync ? clock_.now() : inv_.clockValue;
    setTimeAndDate(record, at);
    return writeClock(record);
}

int Run::alarm() {
    if (!session_.readClock()) {
        return failed();
    }
    flushDialogs(false);
    PanelClock record = session_.panelClock();
    switch (inv_.alarmAction) {
        case AlarmAction::At:
            record.alarmHour = inv_.alarmTime.hour;
            record.alarmMinute = inv_.alarmTime.minute;
            record.alarmOn = 1;
            break;
        case AlarmAction::On:
            record.alarmOn = 1;
            break;
        case AlarmAction::Off:
            record.alarmOn = 0;
            break;
    }
    return writeClock(record);
}

int Run::operator()() {
    switch (inv_.command) {
        case Command::Help:
            output_.out += usageText().toUtf8();
            return kExitDone;
        case Command::Version:
            output_.out += versionText();
            return kExitDone;
        case Command::Send:
            return send();
        default:
            break;
    }
    if (const int code = connect(); code != kExitDone) {
        return code;
    }
    switch (inv_.command) {
        case Command::Status:
            if (inv_.json) {
                output_.out += statusJson(true, inv_.instance);
            } else {
                say(kPanelFound);
            }
            return kExitDone;
        case Command::Read:
            return read();
        case Command::Clock:
            return clock();
        case Command::Alarm:
            return alarm();
        default:
            return kExitUsage;
    }
}

}  // namespace

QByteArray versionText() {
    return QByteArrayLiteral("lumictl " LUMICTL_VERSION "\n");
}

int runCommand(const Invocation& inv, Session& session, CliDialogs& dialogs, const Clock& clock,
               CommandOutput& output) {
    return Run(inv, session, dialogs, clock, output)();
}
