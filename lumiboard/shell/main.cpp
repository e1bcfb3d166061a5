#include <QApplication>

#include "AppSetup.h"
#include "DataFiles.h"
#include "QtDialogs.h"
#include "SystemSeams.h"
#include "Transfert.h"
#include "USB2Lib.h"

int main(int argc, char* argv[]) {
    if (reportMissingDisplay("lumiboard")) {
        return 1;
    }
    QApplication app(argc, argv);  // the program takes no arguments of its own
    QApplication::setApplicationName(QStringLiteral("lumiboard"));
    QApplication::setDesktopFileName(QStringLiteral("lumiboard"));
    setUpApplication();
    installFrenchQtTexts(app);  // without them, Qt's buttons stay English

    // Files are looked for beside the program (and in its data folder once
    // installed); the pictures first in the working folder.
    const QString programDir = runningProgramDir();
    QtDialogs dialogs;
    SystemClock clock;
    SystemBeeper beeper;
    UsbLibrary usb;  // loaded once, kept until the process ends
    // Every exchange takes its turn with lumictl on the same panel, and each
    // send is recorded whole for lumictl's passing messages.
    const QString socket = qEnvironmentVariable(MPUSBAPI_VIRTUAL_VARIABLE);
    Tmodul modul({dialogs, clock, beeper,
                  [&usb, programDir] { return usb.load(usbLibraryFileName(), {}, programDir); },
                  QString(), programDir, panelLockPath(panelLockFolder(), socket, 0),
                  panelMemoryPath(panelMemoryFolder(), socket, 0)});
    routeAltKeys(app, modul);
    if (!modul.FormCreate()) {
        return 1;
    }
    dialogs.setParent(&modul);
    modul.show();
    return QApplication::exec();
}
