// Whole-process timing of glyphctl, Qt's start-up included: `glyphctl table
// --range 32-126` (printable ASCII at the start settings), and the same from the
// 6x10 pixel font (`--font-file`), from spawn to exit.
//   build/bench/glyphctl_time [runs]     (11 by default; LUMI_BIN_DIR defaults to build/bin)

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QCoreApplication>

#include <QDir>

#include "BinDir.h"
#include "ProcessTiming.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    const std::string glyphctl = QDir(builtBinDir()).filePath("glyphctl").toStdString();

    // The machine's own cost of a process, and of glyphctl without Qt Gui.
    // xfonts-base's 6x10, as gzipped PCF.
    const std::string pixelFont = "/usr/share/fonts/X11/misc/6x10.pcf.gz";
    std::vector<double> empty, version, table, bitmap;
    for (int i = 0; i < runs; ++i) {
        empty.push_back(timeRun({"/bin/true"}));
        version.push_back(timeRun({glyphctl, "--version"}));
        table.push_back(timeRun({glyphctl, "table", "--range", "32-126"}));
        bitmap.push_back(
            timeRun({glyphctl, "table", "--font-file", pixelFont, "--range", "32-126"}));
    }
    const bool ok = report("/bin/true", empty) & report("glyphctl --version", version) &
                    report("glyphctl table --range 32-126", table) &
                    report("  ... --font-file 6x10.pcf.gz", bitmap);
    return ok ? 0 : 1;
}
