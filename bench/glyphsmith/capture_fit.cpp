// How well a face stands in for "Tahoma" at the start capture: for each face given
// (default: the installed candidates), how many printable ASCII characters drawn at
// 11 px keep every black pixel inside the sampled window (8 columns from xoff 0,
// the 9 sample rows from yoff 2), with the characters that do not.
//   build/bench/capture_fit ["Face" ...]
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QTextStream>

#include "core/Capture.h"
#include "core/GlyphRules.h"

namespace {

struct Fit {
    int whole = 0;
    QString outside;
    QString aboveTop;  // ink above the top sample row
    QString wider;     // ink right of the eighth column
    QString below;     // ink below the bottom sample row (descenders)
    int widest = 0;    // columns used, over all characters
    int capTop = 0;    // first black row of "H"
    int ascTop = 0;    // first black row of "d"
};

int firstBlackRow(const QImage& box) {
    for (int y = 0; y < box.height(); ++y) {
        for (int x = 0; x < box.width(); ++x) {
            if ((box.pixel(x, y) & 0xFFFFFF) == 0) {
                return y;
            }
        }
    }
    return -1;
}

Fit measure(const glyph::CaptureFont& font) {
    const QColor face(0xF0, 0xF0, 0xF0);
    const glyph::SamplingOffsets offsets;
    const auto rows = glyph::sampleRows(font.size());
    QImage box = glyph::makeCaptureImage(face);
    Fit fit;
    for (int code = 33; code <= 126; ++code) {
        glyph::drawCharacter(box, face, font, QChar(code));
        bool inside = true;
        bool top = false;
        bool right = false;
        bool bottom = false;
        for (int y = 0; y < box.height(); ++y) {
            for (int x = 0; x < box.width(); ++x) {
                if ((box.pixel(x, y) & 0xFFFFFF) != 0) {
                    continue;
                }
                fit.widest = std::max(fit.widest, x + 1);
                bool sampledRow = false;
                for (double r : rows) {
                    sampledRow = sampledRow || glyph::pixelOf(offsets.yoff + r) == y;
                }
                inside = inside && sampledRow && x >= offsets.xoff && x < offsets.xoff + 8;
                top = top || y < glyph::pixelOf(offsets.yoff + rows.back());
                bottom = bottom || y > glyph::pixelOf(offsets.yoff + rows.front());
                right = right || x >= offsets.xoff + 8;
            }
        }
        if (inside) {
            ++fit.whole;
        } else {
            fit.outside += QChar(code);
        }
        if (top) {
            fit.aboveTop += QChar(code);
        }
        if (right) {
            fit.wider += QChar(code);
        }
        if (bottom) {
            fit.below += QChar(code);
        }
        if (code == 'H') {
            fit.capTop = firstBlackRow(box);
        } else if (code == 'd') {
            fit.ascTop = firstBlackRow(box);
        }
    }
    return fit;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QStringList faces = app.arguments().mid(1);
    // "--file PATH" adds a font file that fontconfig does not list.
    while (faces.size() >= 2 && faces.front() == QLatin1String("--file")) {
        QFontDatabase::addApplicationFont(faces.at(1));
        faces = faces.mid(2);
    }
    if (faces.isEmpty()) {
        faces = {QStringLiteral("Tahoma"),
                 QStringLiteral("DejaVu Sans"),
                 QStringLiteral("DejaVu Sans Condensed"),
                 QStringLiteral("Liberation Sans"),
                 QStringLiteral("Liberation Sans Narrow"),
                 QStringLiteral("Noto Sans"),
                 QStringLiteral("Open Sans"),
                 QStringLiteral("PT Sans"),
                 QStringLiteral("Ubuntu")};
    }
    QTextStream out(stdout);
    for (const QString& name : faces) {
        const auto font = glyph::CaptureFont::fromPoints(name, 8.25, false, false);
        const QString used = QFontInfo(font.font()).family();
        const Fit fit = measure(font);
        out << name << " -> " << used << ": " << fit.whole << "/94 whole, H top row " << fit.capTop
            << ", d top row " << fit.ascTop << ", widest " << fit.widest
            << " columns\n    outside: " << fit.outside << "\n    cut at the top: " << fit.aboveTop
            << "\n    wider than 8 columns: " << fit.wider
            << "\n    below the window: " << fit.below << "\n";
    }
    return 0;
}
