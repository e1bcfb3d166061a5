#include "GlyphRules.h"

#include <QRegularExpression>

#include "Cp1252.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace glyph {

int columnCount(QStringView text) {
    static const QRegularExpression number(
        QStringLiteral(R"(^[ \t]*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?))"));
    const auto match = number.match(text.toString());
    if (!match.hasMatch()) {
        return 0;
    }
    bool ok = false;
    const double value = match.capturedView(1).toDouble(&ok);
    if (!ok && !std::isinf(value)) {
        return 0;
    }
    if (!(value >= 0)) {
        return 0;
    }
    return static_cast<int>(std::min(std::floor(value), double{kMaxColumns}));
}

std::vector<double> sampleRows(double size) {
    std::vector<double> rows;
    // Counted, not only stepped: past 2^53 "r - 1" is r again.
    for (double r = size; r >= 0 && rows.size() < kMaxSampleRows; r -= 1) {
        rows.push_back(r);
    }
    return rows;
}

int pointsToPixels(double points) {
    const double pixels = std::round(points * 96.0 / 72.0);
    if (std::isnan(pixels)) {
        return kMinPixels;
    }
    return static_cast<int>(std::clamp(pixels, double{kMinPixels}, double{kMaxPixels}));
}

double reportedSize(int pixels) {
    return pixels * 0.75;
}

int pixelOf(double position) {
    return saturatedInt(std::floor(position));
}

int saturatedInt(double value) {
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    // Nowhere (NaN) lands far outside every image, where everything reads as off.
    if (std::isnan(value)) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(std::clamp(std::trunc(value), lo, hi));
}

std::optional<Cell> cellAt(double x, double y) {
    const double c = std::floor((x - 3) / kPitch);
    const double k = std::floor((y - 3) / kPitch);
    // Written so that NaN falls outside too.
    if (!(c >= 0 && c < kGridColumns && k >= 0 && k < kGridRows)) {
        return std::nullopt;
    }
    return Cell{static_cast<int>(c), static_cast<int>(k)};
}

Point clickCentre(Cell cell, std::int16_t xoff, std::int16_t yoff) {
    // In doubles: any cell, not only the clickable ones, gives a centre without overflow.
    return {saturatedInt(double{kPitch} * cell.column + xoff + 7),
            saturatedInt(double{kPitch} * cell.row + yoff + 8)};
}

Point sampleCentre(int column, double row) {
    return {saturatedInt(double{kPitch} * column + 7), pixelOf(kPitch * row + 7)};
}

int nextCode(int code) {
    return code + 1 > 255 ? 14 : code + 1;
}

int previousCode(int code) {
    return code - 1 < 0 ? 255 : code - 1;
}

std::int16_t shiftedOffset(std::int16_t offset, int delta) {
    // In 64 bits: any delta, not only a click's, adds without overflow.
    const std::int64_t moved = std::clamp(std::int64_t{offset} + delta,
                                          std::int64_t{std::numeric_limits<std::int16_t>::min()},
                                          std::int64_t{std::numeric_limits<std::int16_t>::max()});
    return static_cast<std::int16_t>(moved);
}

QChar charForCode(int code) {
    if (code >= 0x80 && code <= 0x9F) {
        return cp1252::decodeByte(static_cast<unsigned char>(code));
    }
    return QChar(static_cast<char16_t>(code & 0xFF));
}

int codeForChar(QChar ch) {
    return cp1252::encodeChar(ch.unicode());
}

}  // namespace glyph
