// Whole-process timings of lumictl against panelsim through the real library:
// `lumictl read`, `lumictl send` of 199 characters with and without --verify,
// `lumictl preview --at 100` and `send --for 0s` (a passing message that is
// put back at once), from spawn to exit.
//   build/bench/lumictl_time [runs]     (LUMI_BIN_DIR defaults to build/bin)

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QCoreApplication>

#include "PanelSimProcess.h"
#include "ProcessTiming.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    PanelSimProcess panel;
    if (!panel.ready()) {
        std::fprintf(stderr, "panelsim: %s\n", qPrintable(panel.errorText()));
        return 1;
    }
    const std::string lumictl = QDir(PanelSimProcess::binDir()).filePath("lumictl").toStdString();
    const std::string socket = panel.socketPath().toStdString();
    std::string text;
    for (int i = 0; i < 199; ++i) {
        text += static_cast<char>('a' + i % 26);
    }

    // The machine's own cost of a process, and of loading lumictl without a panel call.
    std::vector<double> empty, version, send, verified, read, preview, passing;
    for (int i = 0; i < runs; ++i) {
        empty.push_back(timeRun({"/bin/true"}));
        version.push_back(timeRun({lumictl, "--version"}));
        send.push_back(timeRun({lumictl, "--virtual", socket, "send", text}));
        verified.push_back(timeRun({lumictl, "--virtual", socket, "send", "--verify", text}));
        read.push_back(timeRun({lumictl, "--virtual", socket, "read"}));
        preview.push_back(timeRun({lumictl, "preview", "--at", "100", "#IBonjour #H"}));
        // A passing message: read, send, verify, no wait, read, restore, verify.
        passing.push_back(
            timeRun({lumictl, "--virtual", socket, "send", "--for", "0s", "Livraison"}));
    }
    const bool ok = report("/bin/true", empty) & report("lumictl --version", version) &
                    report("lumictl send (199)", send) & report("send --verify (199)", verified) &
                    report("lumictl read", read) & report("preview --at 100", preview) &
                    report("send --for 0s", passing);
    return ok ? 0 : 1;
}
