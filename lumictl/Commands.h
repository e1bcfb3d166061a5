#pragma once

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
};

// lumictl's version line.
QByteArray versionText();

// Runs one command on the session, binding the library through loadLibrary
// when the command needs the panel; clock is the PC's, for clock --sync.
// Returns the exit code.
int runCommand(const Invocation& inv, PanelSession& session,
               const std::function<LibraryLoad()>& loadLibrary, const Clock& clock,
               CommandOutput& output);
