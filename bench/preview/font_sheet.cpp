// Renders both LED fonts (codes 32 to 126, or a range of them) to a PNG for
// looking over the glyphs:   build/bench/font_sheet fonts.png [first last]
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>

#include "Fonts.h"

namespace {

constexpr int kDot = 5;      // pixels per LED
constexpr int kPerRow = 12;  // characters per line of the sheet
constexpr int kLineGap = 3;  // LEDs between lines

int drawFont(QPainter& p, int top, int width, int first, int last) {
    const int cell = width * kDot;
    const int lineHeight = (10 + kLineGap) * kDot;
    for (int code = first; code <= last; ++code) {
        const int i = code - first;
        const int x0 = 10 + (i % kPerRow) * cell;
        const int y0 = top + (i / kPerRow) * lineHeight;
        for (int j = 0; j < width; ++j) {
            const std::uint16_t w = fontColumn(code, width, j);
            for (int r = 0; r < 10; ++r) {
                const bool lit = (w & (1u << r)) == 0;
                p.fillRect(x0 + j * kDot, y0 + r * kDot, kDot - 1, kDot - 1,
                           lit ? QColor(40, 90, 255) : QColor(215, 215, 215));
            }
        }
    }
    return top + ((last - first + kPerRow) / kPerRow) * lineHeight;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const char* out = argc > 1 ? argv[1] : "fonts.png";
    const int first = argc > 3 ? std::atoi(argv[2]) : 32;
    const int last = argc > 3 ? std::atoi(argv[3]) : 126;
    const int lines = (last - first + kPerRow) / kPerRow;
    QImage sheet(20 + kPerRow * 8 * kDot, 2 * lines * 13 * kDot + 40, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    const int next = drawFont(p, 10, kFontMaxiWidth, first, last);
    drawFont(p, next + 10, kFontMiniWidth, first, last);
    p.end();
    if (!sheet.save(QString::fromLocal8Bit(out))) {
        std::fprintf(stderr, "cannot write %s\n", out);
        return 1;
    }
    return 0;
}
