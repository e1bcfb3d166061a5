#include "ColumnCodes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "CellGrid.h"
#include "GlyphRules.h"

namespace glyph {

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
