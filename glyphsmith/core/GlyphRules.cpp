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
    for (double r = size; r >= 0; r -= 1) {
        rows.push_back(r);
    }
    return rows;
}

int pointsToPixels(double points) {
    const double pixels = std::round(points * 96.0 / 72.0);
    return static_cast<int>(std::clamp(pixels, 1.0, 4096.0));
}

double reportedSize(int pixels) {
    return pixels * 0.75;
}

int pixelOf(double position) {
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(std::floor(position), lo, hi));
}

std::optional<Cell> cellAt(double x, double y) {
    const double c = std::floor((x - 3) / kPitch);
    const double k = std::floor((y - 3) / kPitch);
    if (c < 0 || c >= kGridColumns || k < 0 || k >= kGridRows) {
        return std::nullopt;
    }
    return Cell{static_cast<int>(c), static_cast<int>(k)};
}

Point clickCentre(Cell cell, std::int16_t xoff, std::int16_t yoff) {
    return {kPitch * cell.column + xoff + 7, kPitch * cell.row + yoff + 8};
}

Point sampleCentre(int column, double row) {
    return {kPitch * column + 7, pixelOf(kPitch * row + 7)};
}

int nextCode(int code) {
    return code + 1 > 255 ? 14 : code + 1;
}

int previousCode(int code) {
    return code - 1 < 0 ? 255 : code - 1;
}

std::int16_t shiftedOffset(std::int16_t offset, int delta) {
    const int moved = std::clamp(int{offset} + delta, int{std::numeric_limits<std::int16_t>::min()},
                                 int{std::numeric_limits<std::int16_t>::max()});
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
