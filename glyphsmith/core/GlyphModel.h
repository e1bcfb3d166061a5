#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

#include "BitmapFont.h"
#include "Capture.h"
#include "CellGrid.h"
#include "GlyphRules.h"

// What the glyph editor edits, without a widget: the current character, the
// sampling offsets, the capture font, the column count, the cells of the grid as
// bits and the table lines. The window turns its events into these operations
// and paints the model; glyphctl drives the same operations, so both make the
// same lines.
namespace glyph {

// The grid's cells whose centres the drawing holds: 27 columns (centres 7 to 319).
inline constexpr int kModelColumns = (kGridImageWidth - 7 + kPitch - 1) / kPitch;

// A circle a click drew: its centre (it moves with the offsets) and its fill.
struct Mark {
    Point centre;
    bool lit;
    friend bool operator==(const Mark&, const Mark&) = default;
};

class GlyphModel {
public:
    // `boxBackground` is only what the capture box shows behind the glyph.
    explicit GlyphModel(CaptureFont font, QColor boxBackground = QColor(Qt::white));

    int code() const { return code_; }
    QChar character() const { return charForCode(code_); }
    SamplingOffsets offsets() const { return offsets_; }
    const CaptureFont& font() const { return font_; }
    // The bitmap font captured from instead of the capture font; null when none.
    const BitmapStrike* bitmapFont() const { return bitmap_.get(); }
    // S: the capture font's size, or the bitmap strike's rows less one.
    double size() const { return bitmap_ ? bitmap_->size() : font_.size(); }
    // Whether the bitmap font captured from has no glyph for the code.
    bool lacks(int code) const { return bitmap_ && !bitmap_->has(code); }
    int columns() const { return columns_; }
    // The capture box as last drawn.
    const QImage& captureBox() const { return box_; }
    // The codes as of the last computation; a capture leaves them alone.
    const QString& codes() const { return codes_; }
    const QStringList& lines() const { return lines_; }

    // Sample row i counts from the bottom one (r = S). A cell outside the drawing,
    // or beyond the columns captured and clicked, is off.
    bool cell(int column, int sampleRow) const;
    int sampleRowCount() const { return rowCount_; }
    int capturedColumns() const { return capturedColumns_; }
    const std::vector<Mark>& marks() const { return marks_; }
    // Whether the grid pixel shows black: the last circle drawn over it decides.
    bool litAt(Point pixel) const;

    // Start-up: offsets 0 and 2, "A" captured and coded, the declaration line.
    void start();
    void setColumns(int columns);
    void setCode(int code);  // the character only; nothing is captured
    void stepForward();      // ">": next code, captured and coded
    void stepBack();         // "<"
    void shift(int delta);   // yoff moved, captured and coded
    void setOffsets(SamplingOffsets offsets);
    // A new font is captured at once: the cells always belong to the font's size.
    // It is the capture source from then on, in place of any bitmap font.
    void setFont(const CaptureFont& font);
    // A bitmap font becomes the capture source, captured at once, until setFont.
    void setBitmapFont(std::shared_ptr<const BitmapStrike> strike);
    void capture();          // the current character
    void capture(int code);  // any character, the current one unchanged
    // A click at a grid point: the cell under it lit, or put out when the point
    // shows black. False when the point lies outside the clickable cells.
    bool click(double x, double y);
    void computeCodes();
    // The line for the current character with the codes as last computed.
    QString add();
    void clear();
    void setLines(QStringList lines);
    QByteArray fileBytes() const;

    // Draws the grid: the captured circles, then the clicks' circles.
    void paint(GridDrawing& drawing) const;

private:
    std::size_t indexOf(int column, int sampleRow) const;
    Point centreOf(int column, int sampleRow) const;
    // The sample row whose centre is nearest a grid y, when one lies within a cell's reach.
    std::vector<int> rowsNear(int y) const;

    CaptureFont font_;
    std::shared_ptr<const BitmapStrike> bitmap_;  // shared: a model is copied whole
    QColor boxBackground_;
    QImage box_;
    int code_ = 'A';
    SamplingOffsets offsets_;
    int columns_ = kGridColumns;
    std::vector<double> rows_;  // the sample rows of the captured size
    int rowCount_ = 0;
    int capturedColumns_ = 0;
    std::vector<bool> cells_;  // kModelColumns x rowCount_
    std::vector<Mark> marks_;
    QString codes_;
    QStringList lines_;
};

}  // namespace glyph
