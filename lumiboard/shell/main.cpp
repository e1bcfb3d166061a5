#include <QApplication>

#include "AppSetup.h"
#include "QtDialogs.h"
#include "SystemSeams.h"
#include "Transfert.h"
#include "USB2Lib.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);  // the program takes no arguments of its own
    QApplication::setApplicationName(QStringLiteral("lumiboard"));
    QApplication::setDesktopFileName(QStringLiteral("lumiboard"));
    setUpApplication();

    QtDialogs dialogs;
    SystemClock clock;
    SystemBeeper beeper;
    Tmodul modul({dialogs, clock, beeper,
                  [](UsbApi& api, Dialogs& d) { return LoadUsbLibrary(api, d); }, QString()});
    routeAltKeys(app, modul);
    if (!modul.FormCreate()) {
        return 1;
    }
    dialogs.setParent(&modul);
    modul.show();
    return QApplication::exec();
}
