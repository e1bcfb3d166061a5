#include "ColumnCodes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "CellGrid.h"
#include "GlyphRules.h"

namespace glyph {

double columnSum(const QImage& grid, int column, double size) {
    double word = 0xFC00;
    double weight = 512;
    for (double r : sampleRows(size)) {
        if (!isLit(grid, sampleCentre(column, r))) {
            word += weight;
        }
        weight /= 2;
    }
    return word;
}

QString formatWord(double sum) {
    // nearbyint rounds a half to the even neighbour in the default rounding mode.
    const double rounded = std::nearbyint(sum);
    // Real sums lie between 0xFC00 and 0x10000; anything else is held in long long's
    // range (2^63 itself is not in it), NaN being 0.
    constexpr double limit = 9223372036854775808.0;  // 2^63
    long long whole = 0;
    if (std::isnan(rounded)) {
        whole = 0;
    } else if (rounded >= limit) {
        whole = std::numeric_limits<long long>::max();
    } else if (rounded < -limit) {
        whole = std::numeric_limits<long long>::min();
    } else {
        whole = static_cast<long long>(rounded);
    }
    return QString::number(whole, 16).toUpper();
}

QString codeText(const QImage& grid, int columns, double size) {
    QString text;
    for (int c = 0; c < std::min(columns, kMaxColumns); ++c) {
        text += QStringLiteral(" 0x");
        text += formatWord(columnSum(grid, c, size));
        text += c == 7 ? QStringLiteral("} },") : QStringLiteral(",");
    }
    return text;
}

QString glyphLine(int code, const QString& codeText) {
    return QStringLiteral(" { %1, {").arg(code) + codeText;
}

QByteArray fileBytes(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        if (!line.isEmpty()) {
            bytes += line.toLatin1();
            bytes += kLineEnd;
        }
    }
    return bytes;
}

}  // namespace glyph
