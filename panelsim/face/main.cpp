// panelsim-face: the LED face of a panelsim, started by "panelsim --show"
// with the feed on a descriptor. Not meant to be run by hand.
#include <fcntl.h>

#include <QApplication>

#include <cerrno>
#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "ErrnoText.h"
#include "FaceOptions.h"
#include "FaceWindow.h"
#include "PanelFace.h"
#include "ProgramSetup.h"
#include "SystemSeams.h"

int main(int argc, char* argv[]) {
    const auto parsed = parseFaceOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* reason = std::get_if<std::string>(&parsed)) {
        std::fprintf(stderr, "panelsim-face: %s\n", reason->c_str());
        return 2;
    }
    const auto& options = std::get<FaceOptions>(parsed);
    const int feedFd = options.feedFd;
    const QString programDir = QString::fromLocal8Bit(options.picturesFrom);
    if (::fcntl(feedFd, F_SETFL, O_NONBLOCK) != 0) {
        std::fprintf(stderr, "panelsim-face: --feed %d : %s\n", feedFd, errnoText(errno).c_str());
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
