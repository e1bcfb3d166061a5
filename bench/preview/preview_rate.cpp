// Drives Preview::tick from a 50 ms precise timer, as the window does, and
// counts the columns shifted:   build/bench/preview_rate [seconds, default 30]
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "Preview.h"
#include "SystemClock.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;

    SystemClock clock;
    SilentBeeper beeper;
    Preview preview(clock, beeper, QStringLiteral(LUMI_ASSETS_DIR), QString());
    preview.reset();
    QImage canvas(422, 300, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);

    int errors = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (preview.tick(canvas, QPoint(31, 53))) {
            ++errors;
        }
    });
    QElapsedTimer elapsed;
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    timer.start();
    elapsed.start();
    app.exec();

    const double secs = static_cast<double>(elapsed.nsecsElapsed()) / 1e9;
    const auto columns = preview.engine().shifts();
    const double rate = static_cast<double>(columns) / secs;
    std::printf("%llu columns in %.3f s: %.3f columns/s (%+.2f %% from 20), %d load errors\n",
                static_cast<unsigned long long>(columns), secs, rate, (rate / 20.0 - 1.0) * 100.0,
                errors);
    return errors == 0 ? 0 : 1;
}
