// Whole-process start-up of lumiboard's window, offscreen: from the moment a
// process is started to the window shown and its first preview tick after the
// start-up, and the resident memory then. Runs itself as a child many times.
//   build/bench/startup_time [runs]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QProcess>

#include "AppSetup.h"
#include "SystemSeams.h"
#include "Transfert.h"
#include "USB2Lib.h"

namespace {

double monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

// Answers every question with No and shows nothing, so start-up never waits.
class SilentDialogs final : public Dialogs {
public:
    void error(const QString&) override {}
    void confirm(const QString&) override {}
    bool askYesNo(const QString&) override { return false; }
    void message(const QString&) override {}
    std::optional<QString> inputText(const QString&, const QString&, int) override { return {}; }
    void reportError(const QString&) override {}
};

int child(int argc, char* argv[], const QString& binDir) {
    QApplication app(argc, argv);
    setUpApplication();
    SilentDialogs dialogs;
    SystemClock clock;
    SilentBeeper beeper;
    UsbLibrary usb;
    Tmodul modul({dialogs, clock, beeper,
                  [&] { return usb.load(usbLibraryFileName(), {binDir}, binDir); }, binDir,
                  binDir});
    if (!modul.FormCreate()) {
        return 2;
    }
    modul.show();
    QObject::connect(modul.Timer1, &QTimer::timeout, &app, [&] {
        if (modul.formShown()) {
            std::printf("%.3f %ld\n", monotonicMs(), residentKb());
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
    });
    return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    const QString binDir = qEnvironmentVariableIsSet("LUMI_BIN_DIR")
                               ? qEnvironmentVariable("LUMI_BIN_DIR")
                               : QDir(QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath())
                                     .absoluteFilePath(QStringLiteral("../bin"));
    if (argc > 1 && std::string(argv[1]) == "--child") {
        return child(argc, argv, binDir);
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    std::vector<double> times;
    std::vector<long> rss;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        const double started = monotonicMs();
        process.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--child")});
        if (!process.waitForFinished(10000) || process.exitCode() != 0) {
            std::fprintf(stderr, "run %d failed: %s\n", i,
                         process.readAllStandardError().constData());
            return 1;
        }
        double shownAt = 0;
        long kb = 0;
        if (std::sscanf(process.readAllStandardOutput().constData(), "%lf %ld", &shownAt, &kb) !=
            2) {
            std::fprintf(stderr, "run %d printed nothing\n", i);
            return 1;
        }
        times.push_back(shownAt - started);
        rss.push_back(kb);
    }
    std::sort(times.begin(), times.end());
    std::sort(rss.begin(), rss.end());
    std::printf("runs %d: start to window and first tick: median %.1f ms, min %.1f, max %.1f\n",
                runs, times[times.size() / 2], times.front(), times.back());
    std::printf("resident memory after start-up: median %.1f MB, max %.1f MB\n",
                static_cast<double>(rss[rss.size() / 2]) / 1024.0,
                static_cast<double>(rss.back()) / 1024.0);
    return 0;
}
