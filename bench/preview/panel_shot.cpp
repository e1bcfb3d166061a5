// Paints the simulated panel after some ticks, to look at the LED pictures:
//   build/bench/panel_shot panel.png [ticks] [text]
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>

#include "Preview.h"
#include "SystemClock.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const char* out = argc > 1 ? argv[1] : "panel.png";
    const int ticks = argc > 2 ? std::atoi(argv[2]) : 120;
    SystemClock clock;
    SilentBeeper beeper;
    Preview preview(clock, beeper, QStringLiteral(LUMI_ASSETS_DIR), QString());
    preview.reset();
    if (argc > 3) {
        preview.setText(QByteArray(argv[3]));
    }
    QImage canvas(390, 200, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(QColor(192, 192, 192));
    for (int i = 0; i < ticks; ++i) {
        if (const auto error = preview.tick(canvas, QPoint(15, 15))) {
            std::fprintf(stderr, "LED picture unusable: %s\n", qPrintable(error->path));
            return 1;
        }
    }
    return canvas.save(QString::fromLocal8Bit(out)) ? 0 : 1;
}
