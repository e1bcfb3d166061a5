// lumictl: the panel from the command line, on lumiboard's own session core.
#include <cstdio>

#include <unistd.h>

#include <QCoreApplication>

#include "Commands.h"
#include "SystemClock.h"
#include "USB2Lib.h"

namespace {

void write(std::FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
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

    // Only for the program's folder, where the USB library is looked for first.
    QCoreApplication app(argc, argv);
    const QString programDir = QCoreApplication::applicationDirPath();
    SystemClock clock;
    UsbLibrary usb;  // loaded once, kept until the process ends
    PanelSession session(clock);
    // One operation at a time per panel, with lumiboard and other lumictl runs.
    session.setLockFile(panelLockPath(
        panelLockFolder(), qEnvironmentVariable(MPUSBAPI_VIRTUAL_VARIABLE), inv.instance));
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
                    clock, programDir, qEnvironmentVariable(MPUSBAPI_VIRTUAL_VARIABLE)},
                   output);
    if (!(inv.quiet && code == kExitDone)) {
        write(stdout, output.out);
    }
    write(stderr, output.err);
    return code;
}
