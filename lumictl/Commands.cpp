#include "Commands.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <QFile>
#include <QFileInfo>

#include "Cp1252.h"
#include "DataFiles.h"
#include "DoctorMachine.h"
#include "LedAnimation.h"
#include "LedGeometry.h"
#include "LedPicture.h"
#include "Output.h"
#include "TerminalPreview.h"
#include "WholeFile.h"

namespace {

class Run {
public:
    Run(const Invocation& inv, PanelSession& session, const CommandSeams& seams,
        CommandOutput& output)
        : inv_(inv), session_(session), seams_(seams), clock_(seams.clock), output_(output) {}

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
    int sendPassing(const QString& text);
    int read();
    // The panel's clock, its warnings said; a failure said too.
    ClockRead readClock();
    void sayClockWarnings(const ClockRead& read);
    int clock();
    int alarm();
    // A clock change's outcome said; the drift too when asked.
    int updated(const ClockUpdate& update, bool sayDrift = false);
    int preview();
    bool writePng(const PreviewEngine& engine);
    bool writeGif(PreviewEngine& engine, qint64 ticks);
    // lumiboard's two LED pictures, unlit then lit; a failure said.
    std::optional<std::array<RgbPicture, 2>> ledPictures();
    // The picture's bytes to the file, whole or not at all; a failure said.
    bool writeWhole(const QString& path, const QByteArray& bytes);
    void show(const QByteArray& bytes) {
        if (output_.live) {
            output_.live(bytes);
        } else {
            output_.out += bytes;
        }
    }

    const Invocation& inv_;
    PanelSession& session_;
    const CommandSeams& seams_;
    const Clock& clock_;
    CommandOutput& output_;
};

// Binds the library and tests the panel's presence: kExitDone when the panel
// can be talked to.
int Run::connect() {
    const LibraryLoad load = seams_.loadLibrary();
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
        complain(noPanelMessage(presence.error, seams_.virtualSocket));
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
        errno = 0;  // Qt keeps a failed open's reason only as English text
        const bool opened = inv_.source == TextSource::Stdin
                                ? file.open(stdin, QIODevice::ReadOnly)
                                : (file.setFileName(inv_.fileName), file.open(QIODevice::ReadOnly));
        // One byte past the limit tells a text that is too long from one that fits.
        const QByteArray bytes = opened ? file.read(kMaxInputBytes + 1) : QByteArray();
        const QString source =
            inv_.source == TextSource::Stdin ? QStringLiteral("l'entrée standard") : inv_.fileName;
        if (!opened || file.error() != QFileDevice::NoError) {
            // Qt refuses a folder itself and leaves errno alone.
            const int error = errno == 0 && QFileInfo(inv_.fileName).isDir() ? EISDIR : errno;
            complain(unreadableInputMessage(source, systemErrorReason(error)));
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
    const TextAdmission admitted =
        admitText(text, inv_.replace ? Unsendable::Replace : Unsendable::Refuse, inv_.translit);
    if (const auto* refused = std::get_if<RefusedCharacter>(&admitted)) {
        complain(refusalMessage(*refused));
        return std::nullopt;
    }
    exitCode = kExitDone;
    return std::get<AdmittedText>(admitted).text;
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
    if (inv_.passFor) {
        return sendPassing(*text);
    }
    std::optional<VerifiedSend> checked;
    if (inv_.verify) {
        checked = session_.sendVerified(*text);
    }
    const SendOutcome sent = checked ? checked->sent : session_.sendText(*text);
    if (sent.failure) {
        code = failed(Operation::Send, *sent.failure);
        if (sent.failure->chunks > 1) {
            // Chunks before the failed one may have gone: the panel's text may be half new.
            complain(sendInterruptedMessage());
        }
        return code;
    }
    if (checked && checked->readBackFailure) {
        complain(verifyFailedMessage(*checked->readBackFailure));
        return kExitFailed;
    }
    if (checked && checked->difference) {
        complain(verifyMismatchMessage(*checked->difference));
    }
    const std::optional<bool> verified =
        checked ? std::optional<bool>(checked->verified()) : std::nullopt;
    // The cut is said on stderr, so stdout keeps the plain confirmation.
    if (inv_.json) {
        output_.out += sendJson(sent, verified);
    } else if (verified.value_or(true)) {
        say(textSentMessage());
    }
    if (sent.cutChars > 0) {
        complain(textCutMessage(sent.cutChars));
    }
    return verified.value_or(true) ? kExitDone : kExitFailed;
}

// The message shows for a while, then the panel gets its earlier text back;
// the wait holds no lock, so other programs may use the panel meanwhile.
int Run::sendPassing(const QString& text) {
    const PassingStart start = session_.startPassing(text);
    if (!start.earlier.ok()) {
        return failed(Operation::ReadText, *start.earlier.read.failure);
    }
    const SendOutcome& sent = start.sent.sent;
    if (sent.failure) {
        const int code = failed(Operation::Send, *sent.failure);
        if (sent.failure->chunks > 1) {
            complain(sendInterruptedMessage());
        }
        return code;
    }
    if (start.sent.readBackFailure) {
        complain(verifyFailedMessage(*start.sent.readBackFailure));
    } else if (start.sent.difference) {
        complain(verifyMismatchMessage(*start.sent.difference));
    }
    if (sent.cutChars > 0) {
        complain(textCutMessage(sent.cutChars));
    }
    if (!inv_.json && !inv_.quiet) {
        show(passingMessage(*inv_.passFor).toUtf8() + '\n');
    }
    if (seams_.waitFor) {
        seams_.waitFor(*inv_.passFor);
    }
    const PassingEnd end = session_.endPassing(text, start.earlier);
    if (inv_.json) {
        output_.out += passingJson(start, end);
    }
    if (!end.now.ok() || (end.stillShown && !end.restored.sent.ok())) {
        failed(Operation::Send, end.now.ok() ? *end.restored.sent.failure : *end.now.failure);
        complain(restoreFailedMessage(start.earlier.text));
        return kExitFailed;
    }
    if (!end.stillShown) {
        complain(notRestoredMessage());
        return kExitDone;
    }
    if (!end.restored.verified()) {
        if (end.restored.readBackFailure) {
            complain(verifyFailedMessage(*end.restored.readBackFailure));
        } else {
            complain(verifyMismatchMessage(*end.restored.difference));
        }
        complain(restoreFailedMessage(start.earlier.text));
        return kExitFailed;
    }
    if (!inv_.json) {
        say(restoredMessage(start.earlier));
    }
    return kExitDone;
}

int Run::read() {
    if (inv_.full) {
        const WholeText whole = session_.readWholeText();
        if (!whole.ok()) {
            return failed(Operation::ReadText, *whole.read.failure);
        }
        if (inv_.json) {
            output_.out += wholeTextJson(whole.text, whole.complete);
        } else {
            say(output_.terminal ? terminalSafe(whole.text) : whole.text);
            if (!whole.complete) {
                complain(notWholeMessage());
            }
        }
        return kExitDone;
    }
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

ClockRead Run::readClock() {
    const ClockRead read = session_.readClock();
    if (read.failure) {
        failed(Operation::ReadClock, *read.failure);
    } else {
        sayClockWarnings(read);
    }
    return read;
}

void Run::sayClockWarnings(const ClockRead& read) {
    for (const QString& warning : clockWarnings(read)) {
        complain(warning);
    }
}

int Run::clock() {
    if (inv_.clockAction == ClockAction::Show) {
        const ClockRead read = readClock();
        if (read.failure) {
            return kExitFailed;
        }
        const std::optional<qint64> drift = session_.drift(read);
        if (inv_.json) {
            output_.out += clockJson(read.record, read.timeValid, read.dateValid, drift);
        } else {
            say(isoDateTime(read.record));
            say(alarmText(read.record));
            if (drift) {
                say(driftMessage(*drift));
            }
        }
        return kExitDone;
    }
    if (inv_.clockAction == ClockAction::Set) {
        return updated(session_.setClock(inv_.clockValue));
    }
    const auto onlyPast =
        inv_.ifDriftOver ? std::optional<qint64>(*inv_.ifDriftOver) : std::nullopt;
    return updated(session_.syncClock(onlyPast), true);
}

int Run::alarm() {
    switch (inv_.alarmAction) {
        case AlarmAction::At:
            return updated(session_.changeAlarm(inv_.alarmTime));
        case AlarmAction::On:
            return updated(session_.changeAlarm(AlarmOn{}));
        case AlarmAction::Off:
            break;
    }
    return updated(session_.changeAlarm(AlarmOff{}));
}

int Run::updated(const ClockUpdate& update, bool sayDrift) {
    if (update.notHeld) {
        return failed(Operation::WriteClock, *update.notHeld);
    }
    if (update.read.failure) {
        return failed(Operation::ReadClock, *update.read.failure);
    }
    sayClockWarnings(update.read);
    if (update.leftAlone) {
        say(syncSkippedMessage(update.drift.value_or(0)));
        return kExitDone;
    }
    if (sayDrift && update.drift) {
        say(driftMessage(*update.drift));
    }
    const ClockWrite& written = *update.write;
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

// The message as the panel would scroll it, drawn in the terminal: one
// column every tick, or the one frame after --at ticks.
int Run::preview() {
    int code = kExitDone;
    const std::optional<QString> text = message(code);
    if (!text) {
        return code;
    }
    const QByteArray bytes = cp1252::encode(*text);
    TerminalBell bell(inv_.bell);
    PreviewEngine engine(clock_, bell);
    engine.reset();
    engine.setText(bytes);
    if (inv_.atTick) {
        for (qint64 i = 0; i < *inv_.atTick; ++i) {
            engine.tick();
        }
        if (inv_.pngFile) {
            return writePng(engine) ? kExitDone : kExitFailed;
        }
        show(terminalFrame(engine, output_.colour).toUtf8());
        return kExitDone;
    }
    constexpr qint64 kMostTicks = 24 * 3600 * 1000 / kPreviewTickMs;
    const qint64 ticks = inv_.seconds ? qint64{*inv_.seconds} * 1000 / kPreviewTickMs
                                      : ticksOnceRound(bytes, clock_, kMostTicks);
    if (inv_.gifFile) {
        return writeGif(engine, ticks) ? kExitDone : kExitFailed;
    }
    const auto start = std::chrono::steady_clock::now();
    for (qint64 tick = 0; tick <= ticks; ++tick) {
        QByteArray frame;
        if (tick > 0) {
            // On a terminal the frame is drawn over the last one.
            frame = output_.terminal ? QByteArrayLiteral("\x1b[5A") : QByteArrayLiteral("\n");
        }
        frame += terminalFrame(engine, output_.colour).toUtf8();
        if (bell.takeRing()) {
            frame += '\a';
        }
        show(frame);
        if (tick == ticks) {
            break;
        }
        std::this_thread::sleep_until(start +
                                      std::chrono::milliseconds((tick + 1) * kPreviewTickMs));
        engine.tick();
    }
    return kExitDone;
}

std::optional<std::array<RgbPicture, 2>> Run::ledPictures() {
    std::array<RgbPicture, 2> leds;
    const std::array<const char*, 2> names = {kUnlitLedFile, kLitLedFile};
    for (std::size_t i = 0; i < leds.size(); ++i) {
        const QString path = firstExistingFile(
            dataFileCandidates(QString::fromLatin1(names[i]), QString(), seams_.programDir));
        QFile file(path);
        const auto picture =
            file.open(QIODevice::ReadOnly) ? readBmp(file.readAll()) : std::nullopt;
        if (!picture) {
            complain(unreadablePictureMessage(path));
            return std::nullopt;
        }
        leds[i] = *picture;
    }
    return leds;
}

bool Run::writeWhole(const QString& path, const QByteArray& bytes) {
    const wholefile::Outcome written = wholefile::writeWhole(path, bytes);
    if (!written.ok()) {
        complain(unwritableFileMessage(path, wholefile::failureReason(written)));
        return false;
    }
    return true;
}

// The frame as a picture of the LEDs, made of lumiboard's own LED pictures.
bool Run::writePng(const PreviewEngine& engine) {
    const auto leds = ledPictures();
    return leds && writeWhole(*inv_.pngFile, encodePng(ledFrame(engine, (*leds)[0], (*leds)[1])));
}

// The scroll over ticks ticks as an animated picture of the same LEDs.
bool Run::writeGif(PreviewEngine& engine, qint64 ticks) {
    const auto leds = ledPictures();
    if (!leds) {
        return false;
    }
    const LedAnimation animation = encodeLedGif(engine, ticks, (*leds)[0], (*leds)[1]);
    if (!animation.ok()) {
        complain(animation.tooLarge ? gifTooLargeMessage(kMostGifBytes)
                                    : gifFailedMessage(animation.giflibError));
        return false;
    }
    if (animation.approximated) {
        complain(gifApproximatedMessage());
    }
    return writeWhole(*inv_.gifFile, animation.gif);
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
        case Command::Preview:
            return preview();
        case Command::Doctor:
            return runDoctor(inv_, session_, seams_, output_);
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
                say(panelFoundMessage(seams_.virtualSocket));
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

int runCommand(const Invocation& inv, PanelSession& session, const CommandSeams& seams,
               CommandOutput& output) {
    return Run(inv, session, seams, output)();
}
