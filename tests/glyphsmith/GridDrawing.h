#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include "core/CellGrid.h"
#include "core/GlyphRules.h"

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
