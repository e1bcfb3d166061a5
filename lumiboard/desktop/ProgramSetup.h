#pragma once

class QCoreApplication;

// What every window program of ours does before and after its QApplication
// exists: lumiboard, glyphsmith and the virtual panel's face alike.

// True when there is no screen to open a window on (no DISPLAY, no
// WAYLAND_DISPLAY, no platform chosen with QT_QPA_PLATFORM); then the program's
// one-line French message is on stderr. Asked before QApplication exists: Qt
// would abort in its platform plugin.
bool reportMissingDisplay(const char* program);

// Qt's own texts (Yes/No, the font and file dialogs) in French like the window,
// whatever the user's locale, where Qt's French translations are installed.
// Returns false when they are not.
bool installFrenchQtTexts(QCoreApplication& app);
