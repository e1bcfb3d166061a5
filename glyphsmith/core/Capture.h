#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "CellGrid.h"
#include "GlyphRules.h"

// Capture of a character from a system font: the character is drawn in the capture
// box, then a window of the box's pixels becomes the cells of the grid.
namespace glyph {

// Drawing area of the capture box (30 x 28 with its border).
inline constexpr int kCaptureWidth = 26;
inline constexpr int kCaptureHeight = 24;

// The capture font as the capture box holds it: its size is a whole number of
// pixels, as the system keeps it; `size()` is the point size the box reports.
struct CaptureFont {
    QString family = QStringLiteral("Tahoma");
    int pixels = 11;  // 8.25 points at 96 dpi
    bool bold = false;
    bool italic = false;

    static CaptureFont fromPoints(const QString& family, double points, bool bold, bool italic);
    double size() const { return reportedSize(pixels); }
    // Drawn without smoothing, so a glyph's pixels are pure black.
    QFont font() const;

    friend bool operator==(const CaptureFont&, const CaptureFont&) = default;
};

// The start face and the faces that stand in for it where it is missing, closest
// first: narrow humanist sans whose 11-pixel glyphs fit the sampled window as the
// start face's do.
inline constexpr char kStartFamily[] = "Tahoma";
QStringList standInFamilies();

// The start face if installed, else the first installed stand-in; empty when none is.
QString pickStartFamily(const QStringList& installed);

// The capture font at start (8.25 points, regular) on the face really drawn with,
// so the font dialog opens on it.
CaptureFont startFont();

struct SamplingOffsets {
    std::int16_t xoff = 0;
    std::int16_t yoff = 2;
};

QImage makeCaptureImage(QColor background);

// Clears the box to its background and draws ch at (0, 0) in black, background
// transparent.
void drawCharacter(QImage& box, QColor background, const CaptureFont& font, QChar ch);

// Clears the grid and draws one circle per sample: column c, sample row r reads the
// box pixel (xoff + c, yoff + r) and draws the cell at (12c + 7, 12r + 7), black when
// that pixel is black, grey otherwise.
void copyToGrid(const QImage& box, GridDrawing& grid, int columns, double size,
                SamplingOffsets offsets);
// The same on a plain image, filled with gridBackground first.
void copyToGrid(const QImage& box, QImage& grid, QColor gridBackground, int columns, double size,
                SamplingOffsets offsets);

}  // namespace glyph
