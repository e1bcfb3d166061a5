// lumictl: the panel from the command line, on lumiboard's own session core.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>

#include <unistd.h>

#include <QCoreApplication>

#include "Commands.h"
#include "SystemClock.h"
#include "USB2Lib.h"

namespace {

void write(std::FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

// The signals that end a passing message early: it still puts the earlier
// text back. Blocked from the start, so one that comes during the send is
// taken by the wait, not by the default action.
sigset_t endingSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void waitOrSignal(std::chrono::seconds duration) {
    const sigset_t set = endingSignals();
    const auto end = std::chrono::steady_clock::now() + duration;
    for (;;) {
        const auto left = end - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            return;
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{static_cast<time_t>(ns / 1000000000),
                               static_cast<long>(ns % 1000000000)};
        if (sigtimedwait(&set, nullptr, &timeout) > 0) {
            return;  // interrupted: the earlier text goes back at once
        }
        if (errno != EINTR && errno != EAGAIN) {
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Arguments are UTF-8, whatever the locale says.
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromUtf8(argv[i]);
    }
    const auto parsed = parseArguments(args);
    if (const auto* usage = std::get_if<UsageError>(&parsed)) {
        write(stderr, "lumictl: " + usage->message.toUtf8() + "\nEssayez « lumictl --help ».\n");
        return kExitUsage;
    }
    const Invocation& inv = std::get<Invocation>(parsed);
    if (inv.virtualSocket) {
        // Read by the library on every call.
        qputenv(MPUSBAPI_VIRTUAL_VARIABLE, inv.virtualSocket->toLocal8Bit());
    }

    if (inv.passFor) {
        const sigset_t set = endingSignals();
        sigprocmask(SIG_BLOCK, &set, nullptr);
    }

    // Only for the program's folder, where the USB library is looked for first.
    QCoreApplication app(argc, argv);
    const QString programDir = QCoreApplication::applicationDirPath();
    SystemClock clock;
    UsbLibrary usb;  // loaded once, kept until the process ends
    PanelSession session(clock);
    // One operation at a time per panel, with lumiboard and other lumictl runs.
    const QString socket = qEnvironmentVariable(MPUSBAPI_VIRTUAL_VARIABLE);
    session.setLockFile(panelLockPath(panelLockFolder(), socket, inv.instance));
    // The whole text of each send, for read --full and passing messages.
    session.setMemoryFile(panelMemoryPath(panelMemoryFolder(), socket, inv.instance));
    CommandOutput output;
    output.terminal = isatty(fileno(stdout)) != 0;
    output.colour =
        output.terminal && qEnvironmentVariableIsEmpty("NO_COLOR") && qgetenv("TERM") != "dumb";
    output.live = [](const QByteArray& bytes) {
        write(stdout, bytes);
        std::fflush(stdout);
    };
    const int code =
        runCommand(inv, session,
                   {[&usb, &programDir] { return usb.load(usbLibraryFileName(), {}, programDir); },
                    clock, programDir, socket, waitOrSignal},
                   output);
    if (!(inv.quiet && code == kExitDone)) {
        write(stdout, output.out);
    }
    write(stderr, output.err);
    return code;
}
