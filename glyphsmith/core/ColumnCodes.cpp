#include "ColumnCodes.h"

#include <cmath>

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
    const auto whole = static_cast<long long>(std::nearbyint(sum));
    return QString::number(whole, 16).toUpper();
}

QString codeText(const QImage& grid, int columns, double size) {
    QString text;
    for (int c = 0; c < columns; ++c) {
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
