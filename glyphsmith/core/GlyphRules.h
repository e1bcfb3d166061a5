#pragma once

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The small rules of the glyph editor: column count, sample rows, font size as the
// capture box reports it, grid click mapping, character stepping, offsets.
namespace glyph {

// Pitch of the grid cells and radius of their circles, in grid pixels.
inline constexpr int kPitch = 12;
inline constexpr int kCellRadius = 5;
// The clickable part of the grid.
inline constexpr int kGridColumns = 8;
inline constexpr int kGridRows = 10;
// Keeps a runaway column count ("99999999") from freezing the window.
inline constexpr int kMaxColumns = 999;
// The capture box's font sizes, in pixels; the largest reports 3072 points.
inline constexpr int kMinPixels = 1;
inline constexpr int kMaxPixels = 4096;
// More sample rows than the largest size gives (3073); only a size no font has
// (a huge or infinite one) is cut short here.
inline constexpr std::size_t kMaxSampleRows = 4096;

// N from the text of the column count field: the whole part of the number at its
// start (blanks before it skipped); no number or a negative one gives 0.
int columnCount(QStringView text);

// S, S - 1, S - 2, ... down to the last value still >= 0, at most kMaxSampleRows of
// them; none for NaN.
std::vector<double> sampleRows(double size);

// A point size as the capture box reports it at 96 dpi: the whole number of pixels
// the size becomes (points * 96 / 72, rounded), then that height * 0.75.
int pointsToPixels(double points);
double reportedSize(int pixels);
inline double reportedSize(double points) {
    return reportedSize(pointsToPixels(points));
}

// The pixel holding a real position: positions with a fraction are cut to the pixel
// that contains them.
int pixelOf(double position);

// A real value cut to a whole number (towards 0) and held in int's range; NaN gives
// int's minimum, a position outside everything.
int saturatedInt(double value);

struct Cell {
    int column;
    int row;
    friend bool operator==(const Cell&, const Cell&) = default;
};

// The clickable cell under a grid point, none outside the 8 x 10 cells.
std::optional<Cell> cellAt(double x, double y);

// Centre of the circle a click in `cell` draws; it moves with the offsets.
struct Point {
    int x;
    int y;
    friend bool operator==(const Point&, const Point&) = default;
};
Point clickCentre(Cell cell, std::int16_t xoff, std::int16_t yoff);

// Centre of the cell of column c and sample row r (captured and read back).
Point sampleCentre(int column, double row);

// ">" runs 14..255 and wraps to 14; "<" runs down to 0 and wraps to 255.
int nextCode(int code);
int previousCode(int code);

// yoff moved by delta, held inside the 16-bit range.
std::int16_t shiftedOffset(std::int16_t offset, int delta);

// The character a code stands for in the Western single-byte code page.
QChar charForCode(int code);
// The code of a character in that code page; -1 when it has none.
int codeForChar(QChar ch);

}  // namespace glyph
