// glyphsmith's rules with any numbers, NaN and infinities included: every
// result stays in its range and no conversion is left undefined.
#include <cmath>

#include "FuzzSupport.h"
#include "GridDrawing.h"
#include "core/CellGrid.h"
#include "core/ColumnCodes.h"
#include "core/GlyphRules.h"

using namespace glyph;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const auto size1 = in.take<double>();
    const auto x = in.take<double>();
    const auto y = in.take<double>();
    const Cell anyCell{in.take<int>(), in.take<int>()};
    const auto xoff = in.take<std::int16_t>();
    const auto yoff = in.take<std::int16_t>();
    const auto delta = in.take<int>();

    const auto rows = sampleRows(size1);
    FUZZ_CHECK(rows.size() <= kMaxSampleRows);
    FUZZ_CHECK(std::all_of(rows.begin(), rows.end(), [](double r) { return r >= 0; }));
    const int pixels = pointsToPixels(size1);
    FUZZ_CHECK(pixels >= kMinPixels && pixels <= kMaxPixels);
    FUZZ_CHECK(reportedSize(size1) == pixels * 0.75);
    if (const auto cell = cellAt(x, y)) {
        FUZZ_CHECK(cell->column >= 0 && cell->column < kGridColumns && cell->row >= 0 &&
                   cell->row < kGridRows);
    }
    const int whole = saturatedInt(x);
    FUZZ_CHECK(std::isnan(x) || std::fabs(static_cast<double>(whole)) <= std::fabs(x));
    const int shifted = int{shiftedOffset(yoff, delta)};
    FUZZ_CHECK(shifted ==
               std::clamp(std::int64_t{yoff} + delta, std::int64_t{-32768}, std::int64_t{32767}));

    QImage grid = makeGridImage(QColor(kOffFill));
    const Point centre = clickCentre(anyCell, xoff, yoff);
    drawCell(grid, centre, clickFill(isLit(grid, centre)));
    drawCell(grid, sampleCentre(anyCell.column, y), kBlack);
    const double sum = columnSum(grid, anyCell.column & 7, size1);
    // Past ten rows the fraction may round the sum up to 0x10000, never beyond.
    FUZZ_CHECK(sum >= 0xFC00 && sum <= 0x10000);
    FUZZ_CHECK(!formatWord(x).isEmpty());
    const QString text = codeText(grid, columnCount(in.restText()), size1);
    FUZZ_CHECK(text.isEmpty() || text.startsWith(QStringLiteral(" 0x")));
    FUZZ_CHECK(nextCode(previousCode(anyCell.row & 0xFF)) == (anyCell.row & 0xFF) ||
               (anyCell.row & 0xFF) < 14);
    return 0;
}
