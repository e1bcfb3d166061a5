#include "Commands.h"

#include <cstdio>

#include <QFile>

#include "Output.h"

namespace {

class Run {
public:
    Run(const Invocation& inv, PanelSession& session,
        const std::function<LibraryLoad()>& loadLibrary, const Clock& clock, CommandOutput& output)
        : inv_(inv), session_(session), loadLibrary_(loadLibrary), clock_(clock), output_(output) {}

    int operator()();

private:
    void say(const QString& text) { output_.out += text.toUtf8() + '\n'; }
    void complain(const QString& text) { output_.err += "lumictl: " + text.toUtf8() + '\n'; }
    int failed(Operation operation, const LinkFailure& failure) {
        complain(failureMessage(operation, failure));
        return kExitFailed;
    }

    int connect();
    std::optional<QString> message(int& exitCode);
    int send();
    int read();
    // The panel's clock, its warnings said; a failure said too.
    ClockRead readClock();
    int clock();
    int writeClock(const PanelClock& record);
    int alarm();

    const Invocation& inv_;
    PanelSession& session_;
    const std::function<LibraryLoad()>& loadLibrary_;
    const Clock& clock_;
    CommandOutput& output_;
};

// Binds the library and tests the panel's presence: kExitDone when the panel
// can be talked to.
int Run::connect() {
    const LibraryLoad load = loadLibrary_();
    if (!load.ok()) {
        for (const QString& line : libraryMessages(load)) {
            complain(line);
        }
        return kExitNoLibrary;
    }
    session_.bind(load.api, inv_.instance);
    const Presence presence = session_.panelPresent();
    if (!presence.present) {
        if (inv_.command == Command::Status && inv_.json) {
            output_.out += statusJson(false, inv_.instance);
        }
        complain(noPanelMessage(presence.error));
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
        // One byte past the limit tells a text that is too long from one that fits.
        const QByteArray bytes = opened ? file.read(kMaxInputBytes + 1) : QByteArray();
        const QString source =
            inv_.source == TextSource::Stdin ? QStringLiteral("l'entrée standard") : inv_.fileName;
        if (!opened || file.error() != QFileDevice::NoError) {
            complain(unreadableInputMessage(source, file.errorString()));
            return std::nullopt;
        }
        if (bytes.size() > kMaxInputBytes) {
            complain(inputTooLongMessage(source));
            return std::nullopt;
        }
        text = oneLine(QString::fromUtf8(bytes));
    }
    if (text.isEmpty()) {
        complain(noTextMessage());
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
    const SendOutcome sent = session_.sendText(*text);
    if (sent.failure) {
        code = failed(Operation::Send, *sent.failure);
        if (sent.failure->chunks > 1) {
            // Chunks before the failed one may have gone: the panel's text may be half new.
            complain(sendInterruptedMessage());
        }
        return code;
    }
    // The cut is said on stderr, so stdout keeps the plain confirmation.
    say(textSentMessage());
    if (sent.cutChars > 0) {
        complain(textCutMessage(sent.cutChars));
    }
    return kExitDone;
}

int Run::read() {
    const PanelText read = session_.readText();
    if (read.failure) {
        return failed(Operation::ReadText, *read.failure);
    }
    if (inv_.json) {
        output_.out += textJson(read.text);
    } else {
        say(output_.terminal ? terminalSafe(read.text) : read.text);
    }
    return kExitDone;
}

int Run::writeClock(const PanelClock& record) {
    const ClockWrite written = session_.writeClock(record);
    if (written.failure) {
        const int code = failed(Operation::WriteClock, *written.failure);
        if (written.failure->step != LinkFailure::Step::Open) {
            // The request may have left: a stalled panel applies it when it wakes.
            complain(clockMayBeWrittenMessage());
        }
        return code;
    }
    say(clockWrittenMessage());
    return kExitDone;
}

ClockRead Run::readClock() {
    const ClockRead read = session_.readClock();
    if (read.failure) {
        failed(Operation::ReadClock, *read.failure);
        return read;
    }
    for (const QString& warning : clockWarnings(read)) {
        complain(warning);
    }
    return read;
}

int Run::clock() {
    // A write reads first, the panel held throughout: the panel's alarm is
    // kept as it is, and no other program's change falls in between.
    std::optional<PanelSession::Hold> hold;
    if (inv_.clockAction != ClockAction::Show) {
        hold.emplace(session_);
        if (!hold->held()) {
            return failed(Operation::WriteClock, panelBusy());
        }
    }
    const ClockRead read = readClock();
    if (read.failure) {
        return kExitFailed;
    }
    PanelClock record = read.record;
    if (inv_.clockAction == ClockAction::Show) {
        if (inv_.json) {
            output_.out += clockJson(record, read.timeValid, read.dateValid);
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
    const PanelSession::Hold hold(session_);
    if (!hold.held()) {
        return failed(Operation::WriteClock, panelBusy());
    }
    const ClockRead read = readClock();
    if (read.failure) {
        return kExitFailed;
    }
    PanelClock record = read.record;
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
                say(panelFoundMessage());
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

int runCommand(const Invocation& inv, PanelSession& session,
               const std::function<LibraryLoad()>& loadLibrary, const Clock& clock,
               CommandOutput& output) {
    return Run(inv, session, loadLibrary, clock, output)();
}
