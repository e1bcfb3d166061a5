#include "GlyphModel.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "ColumnCodes.h"

namespace glyph {

namespace {

enum class Cover { None, Fill, Outline };

// Which part of a cell's circle covers a pixel, pixel for pixel as drawCell draws it.
Cover coverOf(Point centre, Point pixel) {
    const std::int64_t dx = std::int64_t{pixel.x} - centre.x;
    const std::int64_t dy = std::int64_t{pixel.y} - centre.y;
    if (dx < -kCellRadius || dx > kCellRadius || dy < -kCellRadius || dy > kCellRadius) {
        return Cover::None;
    }
    constexpr std::int64_t outer = (2 * kCellRadius + 1) * (2 * kCellRadius + 1);
    constexpr std::int64_t inner = (2 * kCellRadius - 1) * (2 * kCellRadius - 1);
    const std::int64_t d2 = 4 * (dx * dx + dy * dy);
    if (d2 <= inner) {
        return Cover::Fill;
    }
    return d2 <= outer ? Cover::Outline : Cover::None;
}

bool inDrawing(Point p) {
    return p.x >= 0 && p.y >= 0 && p.x < kGridImageWidth && p.y < kGridImageHeight;
}

// A circle part of which shows in the drawing.
bool touchesDrawing(Point centre) {
    return centre.x >= -kCellRadius && centre.y >= -kCellRadius &&
           centre.x < kGridImageWidth + kCellRadius && centre.y < kGridImageHeight + kCellRadius;
}

}  // namespace

GlyphModel::GlyphModel(CaptureFont font, QColor boxBackground)
    : font_(std::move(font)),
      boxBackground_(boxBackground),
      box_(makeCaptureImage(boxBackground)),
      rows_(sampleRows(font_.size())),
      rowCount_(static_cast<int>(rows_.size())),
      cells_(static_cast<std::size_t>(kModelColumns) * rows_.size(), false) {}

std::size_t GlyphModel::indexOf(int column, int sampleRow) const {
    return static_cast<std::size_t>(column) * static_cast<std::size_t>(rowCount_) +
           static_cast<std::size_t>(sampleRow);
}

Point GlyphModel::centreOf(int column, int sampleRow) const {
    return sampleCentre(column, rows_[static_cast<std::size_t>(sampleRow)]);
}

bool GlyphModel::cell(int column, int sampleRow) const {
    if (column < 0 || column >= kModelColumns || sampleRow < 0 || sampleRow >= rowCount_) {
        return false;
    }
    // The codes read the drawing: a centre it does not hold reads as off.
    return inDrawing(centreOf(column, sampleRow)) && cells_[indexOf(column, sampleRow)];
}

std::vector<int> GlyphModel::rowsNear(int y) const {
    // Row r's centre is 12r + 7 cut to a pixel, and r = S - i.
    std::vector<int> near;
    const double guess = std::floor(size() - (y - 7.0) / kPitch);
    for (double i = guess - 1; i <= guess + 1; ++i) {
        if (i >= 0 && i < rowCount_) {
            const int row = static_cast<int>(i);
            if (std::abs(centreOf(0, row).y - y) <= kCellRadius) {
                near.push_back(row);
            }
        }
    }
    return near;
}

bool GlyphModel::litAt(Point pixel) const {
    if (!inDrawing(pixel)) {
        return false;
    }
    for (auto mark = marks_.rbegin(); mark != marks_.rend(); ++mark) {
        switch (coverOf(mark->centre, pixel)) {
            case Cover::Outline:
                return true;
            case Cover::Fill:
                return mark->lit;
            case Cover::None:
                break;
        }
    }
    const int column = static_cast<int>(std::lround((pixel.x - 7.0) / kPitch));
    if (column < 0 || column >= std::min(capturedColumns_, kModelColumns)) {
        return false;
    }
    for (int row : rowsNear(pixel.y)) {
        switch (coverOf(centreOf(column, row), pixel)) {
            case Cover::Outline:
                return true;
            case Cover::Fill:
                return cells_[indexOf(column, row)];
            case Cover::None:
                break;
        }
    }
    return false;
}

void GlyphModel::start() {
    offsets_ = SamplingOffsets{0, 2};
    capture('A');
    computeCodes();
    lines_.append(QLatin1String(kTableHeader));
}

void GlyphModel::setColumns(int columns) {
    columns_ = std::clamp(columns, 0, kMaxColumns);
}

void GlyphModel::setCode(int code) {
    code_ = code & 0xFF;
}

void GlyphModel::stepForward() {
    setCode(nextCode(code_));
    capture();
    computeCodes();
}

void GlyphModel::stepBack() {
    setCode(previousCode(code_));
    capture();
    computeCodes();
}

void GlyphModel::shift(int delta) {
    offsets_.yoff = shiftedOffset(offsets_.yoff, delta);
    capture();
    computeCodes();
}

void GlyphModel::setOffsets(SamplingOffsets offsets) {
    offsets_ = offsets;
}

void GlyphModel::setFont(const CaptureFont& font) {
    font_ = font;
    bitmap_.reset();
    capture();
}

void GlyphModel::setBitmapFont(std::shared_ptr<const BitmapStrike> strike) {
    bitmap_ = std::move(strike);
    capture();
}

void GlyphModel::capture() {
    capture(code_);
}

void GlyphModel::capture(int code) {
    if (bitmap_) {
        drawBitmapGlyph(box_, boxBackground_, *bitmap_, code & 0xFF);
    } else {
        drawCharacter(box_, boxBackground_, font_, charForCode(code));
    }
    rows_ = sampleRows(size());
    rowCount_ = static_cast<int>(rows_.size());
    cells_.assign(static_cast<std::size_t>(kModelColumns) * rows_.size(), false);
    marks_.clear();
    capturedColumns_ = columns_;
    for (int c = 0; c < std::min(capturedColumns_, kModelColumns); ++c) {
        for (int i = 0; i < rowCount_; ++i) {
            const double r = rows_[static_cast<std::size_t>(i)];
            cells_[indexOf(c, i)] = isLit(box_, offsets_.xoff + c, pixelOf(offsets_.yoff + r));
        }
    }
}

bool GlyphModel::click(double x, double y) {
    const auto clicked = cellAt(x, y);
    if (!clicked) {
        return false;
    }
    // The point clicked decides, not the cell's centre: a click on the outline of
    // an unlit cell leaves it unlit.
    const bool lit = !litAt({pixelOf(x), pixelOf(y)});
    const Point centre = clickCentre(*clicked, offsets_.xoff, offsets_.yoff);
    // A circle covers the one drawn before at the same centre: only the last
    // counts, so clicks don't make the record grow.
    std::erase_if(marks_, [centre](const Mark& mark) { return mark.centre == centre; });
    marks_.push_back({centre, lit});
    // Cells are 12 pixels apart, so a circle covers at most one cell's centre.
    const int column = static_cast<int>(std::lround((centre.x - 7.0) / kPitch));
    if (column >= 0 && column < kModelColumns && touchesDrawing(centre)) {
        for (int row : rowsNear(centre.y)) {
            const Point sample = centreOf(column, row);
            const Cover cover = coverOf(centre, sample);
            if (cover != Cover::None && inDrawing(sample)) {
                cells_[indexOf(column, row)] = cover == Cover::Outline || lit;
            }
        }
    }
    return true;
}

void GlyphModel::computeCodes() {
    QString text;
    for (int c = 0; c < columns_; ++c) {
        double word = 0xFC00;
        double weight = 512;
        for (int i = 0; i < rowCount_; ++i) {
            if (!cell(c, i)) {
                word += weight;
            }
            weight /= 2;
        }
        text += QStringLiteral(" 0x");
        text += formatWord(word);
        text += c == 7 ? QStringLiteral("} },") : QStringLiteral(",");
    }
    codes_ = text;
}

QString GlyphModel::add() {
    const QString line = glyphLine(code_, codes_);
    lines_.append(line);
    return line;
}

void GlyphModel::clear() {
    lines_.clear();
}

void GlyphModel::setLines(QStringList lines) {
    lines_ = std::move(lines);
}

QByteArray GlyphModel::fileBytes() const {
    return glyph::fileBytes(lines_);
}

void GlyphModel::paint(GridDrawing& drawing) const {
    drawing.clear();
    for (int c = 0; c < std::min(capturedColumns_, kModelColumns); ++c) {
        for (int i = 0; i < rowCount_; ++i) {
            const Point centre = centreOf(c, i);
            if (touchesDrawing(centre)) {
                drawing.drawCell(centre, cells_[indexOf(c, i)] ? kBlack : kOffFill);
            }
        }
    }
    for (const Mark& mark : marks_) {
        drawing.drawCell(mark.centre, mark.lit ? kBlack : kOffFill);
    }
}

}  // namespace glyph
