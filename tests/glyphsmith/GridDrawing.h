#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <algorithm>

#include "core/CellGrid.h"
#include "core/ColumnCodes.h"
#include "core/GlyphRules.h"

// The tests' reference model of the column codes: read from the grid's
// pixels, as the window showed them, where the model computes from its cells.
namespace glyph {

// 0xFC00 plus the weight of every sample row whose cell centre on the grid is not
// black; the bottom row weighs 512, each row above half the one below.
inline double columnSum(const QImage& grid, int column, double size) {
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

// " 0x<word>" per column, "} }," after the eighth column, "," after the others.
inline QString codeText(const QImage& grid, int columns, double size) {
    QString text;
    for (int c = 0; c < std::min(columns, kMaxColumns); ++c) {
        text += QStringLiteral(" 0x");
        text += formatWord(columnSum(grid, c, size));
        text += c == 7 ? QStringLiteral("} },") : QStringLiteral(",");
    }
    return text;
}

}  // namespace glyph

// Grids drawn by the tests: every sample cell of `columns` columns, lit where
// lit(column, k) says, k counting the sample rows from the bottom one (r = S).
inline const QColor kFace(0xEF, 0xEF, 0xEF);

template <typename LitFn>
QImage drawnGrid(int columns, double size, LitFn lit) {
    QImage grid = glyph::makeGridImage(kFace);
    for (int c = 0; c < columns; ++c) {
        int k = 0;
        for (double r : glyph::sampleRows(size)) {
            glyph::drawCell(grid, glyph::sampleCentre(c, r),
                            lit(c, k) ? glyph::kBlack : glyph::kOffFill);
            ++k;
        }
    }
    return grid;
}

inline QString repeatWord(const QString& word, int count) {
    QString out;
    for (int c = 0; c < count; ++c) {
        out +=
            QStringLiteral(" 0x") + word + (c == 7 ? QStringLiteral("} },") : QStringLiteral(","));
    }
    return out;
}
