#include "Capture.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "CellGrid.h"
#include "GlyphRules.h"

namespace glyph {

CaptureFont CaptureFont::fromPoints(const QString& family, double points, bool bold, bool italic) {
    return {family, pointsToPixels(points), bold, italic};
}

QStringList standInFamilies() {
    return {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans Narrow")};
}

QString pickStartFamily(const QStringList& installed) {
    const QString start = QLatin1String(kStartFamily);
    if (installed.contains(start, Qt::CaseInsensitive)) {
        return start;
    }
    for (const QString& family : standInFamilies()) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            return family;
        }
    }
    return {};
}

CaptureFont startFont() {
    CaptureFont font;
    font.family = pickStartFamily(QFontDatabase::families());
    if (font.family.isEmpty()) {
        // Whatever the system puts in its place, named as it is.
        font.family = QFontInfo(CaptureFont{}.font()).family();
    }
    return font;
}

QFont CaptureFont::font() const {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    f.setStyleStrategy(QFont::NoAntialias);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QImage makeCaptureImage(QColor background) {
    QImage image(kCaptureWidth, kCaptureHeight, QImage::Format_RGB32);
    image.fill(background);
    return image;
}

void drawCharacter(QImage& box, QColor background, const CaptureFont& font, QChar ch) {
    box.fill(background);
    QPainter painter(&box);
    const QFont f = font.font();
    painter.setFont(f);
    painter.setPen(Qt::black);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    // The top of the text line sits on the box's top edge.
    painter.drawText(QPointF(0, QFontMetrics(f).ascent()), QString(ch));
}

void copyToGrid(const QImage& box, GridDrawing& grid, int columns, double size,
                SamplingOffsets offsets) {
    grid.clear();
    const auto rows = sampleRows(size);
    for (int c = 0; c < std::min(columns, kMaxColumns); ++c) {
        for (double r : rows) {
            const bool lit = isLit(box, offsets.xoff + c, pixelOf(offsets.yoff + r));
            grid.drawCell(sampleCentre(c, r), lit ? kBlack : kOffFill);
        }
    }
}

void copyToGrid(const QImage& box, QImage& grid, QColor gridBackground, int columns, double size,
                SamplingOffsets offsets) {
    GridDrawing drawing(gridBackground);
    copyToGrid(box, drawing, columns, size, offsets);
    grid = drawing.image();
}

}  // namespace glyph
