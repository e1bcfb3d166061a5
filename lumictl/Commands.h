#pragma once

#include <chrono>
#include <functional>

#include <QByteArray>

#include "Arguments.h"
#include "Clock.h"
#include "PanelSession.h"
#include "USB2Lib.h"

// lumictl's exit codes.
enum ExitCode : int {
    kExitDone = 0,
    kExitFailed = 1,  // the panel failed the operation
    kExitUsage = 2,
    kExitNoPanel = 3,
    kExitNoLibrary = 4,
};

// What a command wrote, for the program to put on stdout and stderr (UTF-8).
struct CommandOutput {
    QByteArray out;
    QByteArray err;
    bool terminal = false;  // stdout is a terminal: panel text is shown safely
    bool colour = false;    // and it may be coloured (no NO_COLOR)
    // Where a scrolling preview goes as it runs; none: into out.
    std::function<void(const QByteArray&)> live;
};

// lumictl's version line.
QByteArray versionText();

// What a command reaches outside lumictl through, besides the panel.
struct CommandSeams {
    // Binds the USB library, when the command needs the panel.
    std::function<LibraryLoad()> loadLibrary;
    // The computer's clock: clock --sync, the drift, the preview's #H and #D.
    const Clock& clock;
    // lumictl's folder, whose data folder holds the LED pictures.
    QString programDir;
    // The virtual panel's socket the library is pointed at; empty: the USB panel.
    QString virtualSocket;
    // send --for: waits that long, or less when the user interrupts (Ctrl+C,
    // SIGTERM); none: no wait.
    std::function<void(std::chrono::seconds)> waitFor;
};

// Runs one command on the session. Returns the exit code.
int runCommand(const Invocation& inv, PanelSession& session, const CommandSeams& seams,
               CommandOutput& output);
