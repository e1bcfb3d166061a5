// panelsim-face: the LED face of a panelsim, started by "panelsim --show"
// with the feed on a descriptor. Not meant to be run by hand.
#include <fcntl.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "FaceWindow.h"
#include "PanelFace.h"
#include "ProgramSetup.h"
#include "SystemSeams.h"

int main(int argc, char* argv[]) {
    int feedFd = -1;
    QString programDir;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--feed") == 0) {
            feedFd = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--pictures-from") == 0) {
            programDir = QString::fromLocal8Bit(argv[i + 1]);
        }
    }
    if (feedFd < 0 || ::fcntl(feedFd, F_SETFL, O_NONBLOCK) != 0) {
        std::fprintf(stderr, "panelsim-face: lancé sans son flux ; lancez panelsim --show\n");
        return 2;
    }
    if (reportMissingDisplay("panelsim --show")) {
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("panelsim"));
    SystemClock clock;
    SystemBeeper beeper;
    PanelFace face(clock, beeper, programDir);
    FaceWindow window(face, feedFd);
    QObject::connect(&window, &FaceWindow::feedEnded, &app, &QApplication::quit);
    window.show();
    return QApplication::exec();
}
