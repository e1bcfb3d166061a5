#include <QFontInfo>
#include <QTest>

#include <cmath>
#include <limits>
#include <set>

#include "GridDrawing.h"
#include "core/Capture.h"
#include "core/CellGrid.h"
#include "core/ColumnCodes.h"
#include "core/GlyphRules.h"

using namespace glyph;

namespace {

QString codesOfCapture(const CaptureFont& font, QChar ch, int columns = 8,
                       SamplingOffsets offsets = {}) {
    QImage box = makeCaptureImage(kFace);
    drawCharacter(box, kFace, font, ch);
    QImage grid = makeGridImage(kFace);
    copyToGrid(box, grid, kFace, columns, font.size(), offsets);
    return codeText(grid, columns, font.size());
}

const QString kDejaVu = QStringLiteral("DejaVu Sans");

}  // namespace

class TestGlyphCore : public QObject {
    Q_OBJECT
private slots:
    // The grid drawn again at a screen scale: at 1 the very image that is read
    // back; at other scales every cell of the capture drawn alike, one pitch apart.
    void gridAtScale_data() {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<int>("pitch");  // device pixels between cells
        QTest::newRow("1") << 1.0 << 12;
        QTest::newRow("1.25") << 1.25 << 15;
        QTest::newRow("1.5") << 1.5 << 18;
        QTest::newRow("2") << 2.0 << 24;
    }
    void gridAtScale() {
        QFETCH(double, ratio);
        QFETCH(int, pitch);
        GridDrawing grid(kFace);
        QImage box = makeCaptureImage(kFace);
        drawCharacter(box, kFace, CaptureFont::fromPoints(kDejaVu, 8.25, false, false), u'A');
        copyToGrid(box, grid, 8, 8.25, {});
        grid.drawCell(clickCentre({0, 0}, 0, 2), clickFill(isLit(grid.image(), 7, 10)));
        const QSize view(kGridViewWidth, kGridViewHeight);
        const QImage shown = grid.render(view, ratio);
        QCOMPARE(shown.size(), view * ratio);
        if (ratio == 1) {
            QCOMPARE(shown, grid.image().copy(QRect(QPoint(0, 0), view)));
            return;
        }
        // Cells of one fill look alike, a whole pitch apart.
        const auto cellAt = [&](int c, int k) {
            const Point centre = sampleCentre(c, 8.25 - k);
            // The circle alone, clear of its neighbours.
            const QPoint at(int(std::floor((centre.x - 5) * ratio)),
                            int(std::floor((centre.y - 5) * ratio)));
            return shown.copy(QRect(at, QSize(11, 11) * ratio));
        };
        const QImage first = cellAt(0, 0);
        int alike = 0;
        for (int c = 0; c < 8; ++c) {
            for (int k = 0; k < 9; ++k) {
                if (grid.image().pixel(sampleCentre(c, 8.25 - k).x, sampleCentre(c, 8.25 - k).y) ==
                    grid.image().pixel(sampleCentre(0, 8.25).x, sampleCentre(0, 8.25).y)) {
                    QCOMPARE(cellAt(c, k), first);
                    ++alike;
                }
            }
        }
        QVERIFY(alike > 20);
        QCOMPARE(int(std::lround((sampleCentre(1, 0).x - sampleCentre(0, 0).x) * ratio)), pitch);
        // Hard edges: the fills and the outline, nothing in between.
        std::set<QRgb> colours;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                colours.insert(shown.pixel(x, y));
            }
        }
        QCOMPARE(colours, (std::set<QRgb>{kBlack, kOffFill, kFace.rgb()}));
    }

    // What a click draws over a cell replaces it in the record, so it stays small.
    void gridRecordKeepsTheLastCircleAtACentre() {
        GridDrawing grid(kFace);
        for (int i = 0; i < 100; ++i) {
            grid.drawCell({7, 10}, clickFill(isLit(grid.image(), 7, 10)));
        }
        QCOMPARE(grid.cells().size(), std::size_t(1));
        QCOMPARE(grid.cells().front().fill, kOffFill);  // an even number of clicks
        grid.clear();
        QVERIFY(grid.cells().empty());
        QCOMPARE(grid.render({20, 20}, 2).pixel(20, 20), kFace.rgb());
    }

    void columnCount_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("default") << "8" << 8;
        QTest::newRow("fraction cut") << "8.9" << 8;
        QTest::newRow("blanks before") << "  \t5" << 5;
        QTest::newRow("text after") << "10 cols" << 10;
        QTest::newRow("plus sign") << "+3" << 3;
        QTest::newRow("exponent") << "1e1" << 10;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("not a number") << "abc" << 0;
        QTest::newRow("negative") << "-3" << 0;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("half") << ".5" << 0;
        QTest::newRow("runaway") << "99999999999" << kMaxColumns;
    }
    void columnCount() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(glyph::columnCount(text), expected);
    }

    void sizeAndRows_data() {
        QTest::addColumn<double>("points");
        QTest::addColumn<double>("size");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("lowestCentre");
        QTest::newRow("8.25 pt") << 8.25 << 8.25 << 9 << 106;
        QTest::newRow("8 pt") << 8.0 << 8.25 << 9 << 106;
        QTest::newRow("9 pt") << 9.0 << 9.0 << 10 << 115;
        QTest::newRow("10 pt") << 10.0 << 9.75 << 10 << 124;
        QTest::newRow("12 pt") << 12.0 << 12.0 << 13 << 151;
    }
    void sizeAndRows() {
        QFETCH(double, points);
        QFETCH(double, size);
        QFETCH(int, rows);
        QFETCH(int, lowestCentre);
        QCOMPARE(reportedSize(points), size);
        const auto samples = sampleRows(size);
        QCOMPARE(int(samples.size()), rows);
        QCOMPARE(samples.front(), size);
        QVERIFY(samples.back() >= 0 && samples.back() < 1);
        QCOMPARE(sampleCentre(0, samples.front()).y, lowestCentre);
    }

    void samplePositionsTruncate() {
        // 9.75 points: the row 0.75 reads pixel row yoff + 0, not yoff + 1.
        QCOMPARE(pixelOf(2 + 0.75), 2);
        QCOMPARE(sampleCentre(0, 0.75).y, 16);
        QCOMPARE(pixelOf(-0.75), -1);
    }

    void cellAt_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<int>("column");  // -1: no cell
        QTest::addColumn<int>("row");
        QTest::newRow("left of the grid") << 2.0 << 50.0 << -1 << -1;
        QTest::newRow("ninth column") << 99.0 << 50.0 << -1 << -1;
        QTest::newRow("above the grid") << 50.0 << 2.9 << -1 << -1;
        QTest::newRow("eleventh row") << 50.0 << 123.0 << -1 << -1;
        QTest::newRow("first cell corner") << 3.0 << 3.0 << 0 << 0;
        QTest::newRow("last cell corner") << 98.9 << 122.9 << 7 << 9;
        QTest::newRow("middle") << 40.0 << 70.0 << 3 << 5;
    }
    void cellAt() {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(int, column);
        QFETCH(int, row);
        const auto cell = glyph::cellAt(x, y);
        if (column < 0) {
            QVERIFY(!cell.has_value());
        } else {
            QVERIFY(cell.has_value());
            QCOMPARE(*cell, (Cell{column, row}));
        }
    }

    void clickCentreFollowsOffsets() {
        QCOMPARE(clickCentre({0, 0}, 0, 2), (Point{7, 10}));
        QCOMPARE(clickCentre({0, 0}, 0, 2), sampleCentre(0, 0.25));
        QCOMPARE(clickCentre({2, 4}, 0, 3), (Point{31, 12 * 4 + 11}));
    }

    void stepping_data() {
        QTest::addColumn<bool>("forward");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("> 65") << true << 65 << 66;
        QTest::newRow("> 255 wraps to 14") << true << 255 << 14;
        QTest::newRow("> 13") << true << 13 << 14;
        QTest::newRow("< 0 wraps to 255") << false << 0 << 255;
        QTest::newRow("< 14") << false << 14 << 13;
        QTest::newRow("< 255") << false << 255 << 254;
    }
    void stepping() {
        QFETCH(bool, forward);
        QFETCH(int, from);
        QFETCH(int, to);
        QCOMPARE(forward ? nextCode(from) : previousCode(from), to);
    }

    void offsetStaysInSixteenBits() {
        QCOMPARE(shiftedOffset(2, 1), std::int16_t{3});
        QCOMPARE(shiftedOffset(2, -1), std::int16_t{1});
        QCOMPARE(shiftedOffset(32767, 1), std::int16_t{32767});
        QCOMPARE(shiftedOffset(-32768, -1), std::int16_t{-32768});
        // Deltas that would overflow an int sum (undefined before).
        QCOMPARE(shiftedOffset(-32768, std::numeric_limits<int>::min()), std::int16_t{-32768});
        QCOMPARE(shiftedOffset(32767, std::numeric_limits<int>::max()), std::int16_t{32767});
    }

    void westernCodePage() {
        QCOMPARE(charForCode(0x80), QChar(0x20AC));
        QCOMPARE(charForCode(0x9F), QChar(0x0178));
        QCOMPARE(charForCode(0xE9), QChar(0x00E9));
        QCOMPARE(charForCode(65), QChar(u'A'));
        for (int code = 0; code < 256; ++code) {
            QCOMPARE(codeForChar(charForCode(code)), code);
        }
        QCOMPARE(codeForChar(QChar(0x0080)), -1);
        QCOMPARE(codeForChar(QChar(0x4E2D)), -1);
    }

    void columnWords_data() {
        QTest::addColumn<double>("size");
        QTest::addColumn<QString>("pattern");  // which sample rows are lit
        QTest::addColumn<QString>("word");
        QTest::newRow("9 rows, all off") << 8.25 << "none"
                                         << "FFFE";
        QTest::newRow("9 rows, all lit") << 8.25 << "all"
                                         << "FC00";
        QTest::newRow("9 rows, top lit") << 8.25 << "top"
                                         << "FFFC";
        QTest::newRow("9 rows, bottom lit") << 8.25 << "bottom"
                                            << "FDFE";
        QTest::newRow("10 rows, all off") << 9.0 << "none"
                                          << "FFFF";
        QTest::newRow("10 rows, all lit") << 9.0 << "all"
                                          << "FC00";
        QTest::newRow("10 rows, top lit") << 9.0 << "top"
                                          << "FFFE";
        QTest::newRow("10 rows, bottom lit") << 9.0 << "bottom"
                                             << "FDFF";
        QTest::newRow("10 rows from 9.75, all off") << 9.75 << "none"
                                                    << "FFFF";
        QTest::newRow("13 rows, all off") << 12.0 << "none"
                                          << "10000";
        QTest::newRow("13 rows, all lit") << 12.0 << "all"
                                          << "FC00";
        // 64512 + 1023.875 - 0.125 - 0.25 - 0.5: the three upper rows lit
        QTest::newRow("13 rows, top three lit") << 12.0 << "top3"
                                                << "FFFF";
    }
    void columnWords() {
        QFETCH(double, size);
        QFETCH(QString, pattern);
        QFETCH(QString, word);
        const int rows = int(sampleRows(size).size());
        const QImage grid = drawnGrid(8, size, [&](int, int k) {
            return pattern == "all" || (pattern == "top" && k == rows - 1) ||
                   (pattern == "bottom" && k == 0) || (pattern == "top3" && k >= rows - 3);
        });
        QCOMPARE(codeText(grid, 8, size), repeatWord(word, 8));
    }

    void roundingHalfToEven_data() {
        QTest::addColumn<double>("sum");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 65534.0 << "FFFE";
        QTest::newRow("half up to even") << 65535.5 << "10000";
        QTest::newRow("half down to even") << 65534.5 << "FFFE";
        QTest::newRow("above half") << 65534.625 << "FFFF";
        QTest::newRow("below half") << 65534.375 << "FFFE";
    }
    void roundingHalfToEven() {
        QFETCH(double, sum);
        QFETCH(QString, text);
        QCOMPARE(formatWord(sum), text);
    }

    void clickRowClearsBit_data() {
        QTest::addColumn<double>("size");
        QTest::addColumn<int>("yoff");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("word");
        for (int k = 0; k < 9; ++k) {
            QTest::addRow("8.25 pt, row %d", k) << 8.25 << 2 << k << (0xFFFE & ~(1 << (k + 1)));
        }
        QTest::newRow("8.25 pt, row 9") << 8.25 << 2 << 9 << 0xFFFE;
        QTest::newRow("9 pt, row 0") << 9.0 << 2 << 0 << 0xFFFE;
        QTest::newRow("9 pt, row 9") << 9.0 << 2 << 9 << 0xFDFF;
        // Shifted far enough, the click disc covers no sample point.
        QTest::newRow("yoff 8, row 4") << 8.25 << 8 << 4 << 0xFFFE;
    }
    void clickRowClearsBit() {
        QFETCH(double, size);
        QFETCH(int, yoff);
        QFETCH(int, row);
        QFETCH(int, word);
        QImage grid = drawnGrid(8, size, [](int, int) { return false; });
        const Point centre = clickCentre({3, row}, 0, static_cast<std::int16_t>(yoff));
        QVERIFY(!isLit(grid, centre));
        drawCell(grid, centre, clickFill(false));
        QCOMPARE(formatWord(columnSum(grid, 3, size)), QString::number(word, 16).toUpper());
        QCOMPARE(formatWord(columnSum(grid, 2, size)), formatWord(columnSum(grid, 4, size)));
    }

    void clickTogglesAndOutlineStays() {
        QImage grid = drawnGrid(8, 8.25, [](int, int) { return false; });
        const Point centre = clickCentre({1, 1}, 0, 2);
        drawCell(grid, centre, clickFill(isLit(grid, centre)));
        QVERIFY(isLit(grid, centre));
        drawCell(grid, centre, clickFill(isLit(grid, centre)));
        QVERIFY(!isLit(grid, centre));
        QCOMPARE(grid.pixel(centre.x, centre.y), kOffFill);
        // The outline is black, so a click landing on it chooses grey: the cell stays off.
        QVERIFY(isLit(grid, centre.x + kCellRadius, centre.y));
        QCOMPARE(clickFill(isLit(grid, centre.x + kCellRadius, centre.y)), kOffFill);
    }

    void separators_data() {
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("text");
        const QString w = QStringLiteral(" 0xFFFE,");
        QTest::newRow("none") << 0 << QString();
        QTest::newRow("five") << 5 << w.repeated(5);
        QTest::newRow("eight") << 8 << w.repeated(7) + " 0xFFFE} },";
        QTest::newRow("ten") << 10 << w.repeated(7) + " 0xFFFE} }," + w.repeated(2);
    }
    void separators() {
        QFETCH(int, columns);
        QFETCH(QString, text);
        // The grid drawn has no cells at all beyond column 8: background reads off.
        const QImage grid = drawnGrid(std::min(columns, 8), 8.25, [](int, int) { return false; });
        QCOMPARE(codeText(grid, columns, 8.25), text);
    }

    void glyphLines_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("codes");
        QTest::addColumn<QString>("line");
        const QString empty = repeatWord("FFFE", 8);
        QTest::newRow("space") << 32 << empty
                               << " { 32, { 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, "
                                  "0xFFFE, 0xFFFE} },";
        QTest::newRow("A") << 65 << empty << " { 65, {" + empty;
        QTest::newRow("code 0") << 0 << empty << " { 0, {" + empty;
        QTest::newRow("no codes") << 255 << QString() << " { 255, {";
    }
    void glyphLines() {
        QFETCH(int, code);
        QFETCH(QString, codes);
        QFETCH(QString, line);
        QCOMPARE(glyphLine(code, codes), line);
    }

    void fileBytes_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty list") << QStringList() << QByteArray();
        QTest::newRow("header and two")
            << QStringList{kTableHeader, " { 65, { 0x1}", " { 66, { 0x2}"}
            << QByteArray("const rom chr car[255] = {\r\n { 65, { 0x1}\r\n { 66, { 0x2}\r\n");
        QTest::newRow("empty lines skipped")
            << QStringList{"", "a", "", "b", ""} << QByteArray("a\r\nb\r\n");
    }
    void fileBytes() {
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, bytes);
        QCOMPARE(glyph::fileBytes(lines), bytes);
    }

    // Any real, however wild, gives a defined whole number: no cast of NaN or of a
    // value out of range, no endless or runaway row list.
    void wildRealsGiveDefinedResults_data() {
        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
        constexpr double inf = std::numeric_limits<double>::infinity();
        constexpr int intMin = std::numeric_limits<int>::min();
        constexpr int intMax = std::numeric_limits<int>::max();
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("pixel");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("rows");
        QTest::newRow("NaN") << nan << intMin << kMinPixels << "0" << 0;
        QTest::newRow("+inf") << inf << intMax << kMaxPixels << "7FFFFFFFFFFFFFFF"
                              << int(kMaxSampleRows);
        QTest::newRow("-inf") << -inf << intMin << kMinPixels << "-8000000000000000" << 0;
        QTest::newRow("1e300") << 1e300 << intMax << kMaxPixels << "7FFFFFFFFFFFFFFF"
                               << int(kMaxSampleRows);
        QTest::newRow("-1e300") << -1e300 << intMin << kMinPixels << "-8000000000000000" << 0;
        QTest::newRow("2^31") << 2147483648.0 << intMax << kMaxPixels << "80000000"
                              << int(kMaxSampleRows);
        QTest::newRow("2^63") << 9223372036854775808.0 << intMax << kMaxPixels << "7FFFFFFFFFFFFFFF"
                              << int(kMaxSampleRows);
        QTest::newRow("largest real size") << 3072.0 << 3072 << kMaxPixels << "C00" << 3073;
    }
    void wildRealsGiveDefinedResults() {
        QFETCH(double, value);
        QFETCH(int, pixel);
        QFETCH(int, pixels);
        QFETCH(QString, word);
        QFETCH(int, rows);
        QCOMPARE(pixelOf(value), pixel);
        QCOMPARE(pointsToPixels(value), pixels);
        QCOMPARE(formatWord(value), word);
        QCOMPARE(int(sampleRows(value).size()), rows);
        QVERIFY(!glyph::cellAt(value, 50).has_value());
        QVERIFY(!glyph::cellAt(50, value).has_value());
        // Centres far outside draw nothing and read as off.
        const Point far = sampleCentre(std::numeric_limits<int>::max(), value);
        QCOMPARE(far.x, std::numeric_limits<int>::max());
        QImage grid = makeGridImage(kFace);
        const QImage before = grid;
        drawCell(grid, far, kBlack);
        drawCell(grid, {std::numeric_limits<int>::min(), far.y}, kBlack);
        QCOMPARE(grid, before);
        QVERIFY(!isLit(grid, far));
        // A column far out, at any size, sums to a defined word.
        const QString farWord = formatWord(columnSum(grid, std::numeric_limits<int>::max(), value));
        QVERIFY2(farWord == "FC00" || farWord.startsWith("FF") || farWord == "10000",
                 qPrintable(farWord));
    }

    void cellsBeyondTheGridStayInRange() {
        constexpr int intMax = std::numeric_limits<int>::max();
        QCOMPARE(clickCentre({intMax, intMax}, 32767, 32767), (Point{intMax, intMax}));
        QCOMPARE(clickCentre({-intMax, 0}, -32768, 0).x, std::numeric_limits<int>::min());
        // A runaway column count is held to the field's own limit.
        const QImage grid = makeGridImage(kFace);
        QCOMPARE(codeText(grid, std::numeric_limits<int>::max(), 8.25).count(u','), kMaxColumns);
    }

    void startFace_data() {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("face");
        QTest::newRow("Tahoma there") << QStringList{"DejaVu Sans Condensed", "tahoma"} << "Tahoma";
        QTest::newRow("closest stand-in")
            << QStringList{"Liberation Sans Narrow", "DejaVu Sans Condensed"}
            << "DejaVu Sans Condensed";
        QTest::newRow("next stand-in")
            << QStringList{"DejaVu Sans", "Liberation Sans Narrow"} << "Liberation Sans Narrow";
        QTest::newRow("none") << QStringList{"DejaVu Sans"} << "";
    }
    void startFace() {
        QFETCH(QStringList, installed);
        QFETCH(QString, face);
        QCOMPARE(pickStartFamily(installed), face);
    }

    void startFontIsDrawnAsNamed() {
        const CaptureFont font = startFont();
        QCOMPARE(font.size(), 8.25);
        QCOMPARE(QFontInfo(font.font()).family(), font.family);
        // The stand-in keeps the letters' tops and the common widths inside the window:
        // ascenders, "#" and "&" were cut with the platform's default sans.
        if (font.family == QLatin1String("DejaVu Sans Condensed")) {
            for (QChar ch : QStringLiteral("bdfhklH#&")) {
                QImage box = makeCaptureImage(kFace);
                drawCharacter(box, kFace, font, ch);
                for (int y = 0; y < box.height(); ++y) {
                    for (int x = 0; x < box.width(); ++x) {
                        const bool outside = y < 2 || y > 10 || x > 7;
                        QVERIFY2(!(outside && (box.pixel(x, y) & 0xFFFFFF) == 0),
                                 qPrintable(QString(ch)));
                    }
                }
            }
        }
    }

    void captureLightsTheGlyph() {
        const auto font = CaptureFont::fromPoints(kDejaVu, 8.25, false, false);
        QCOMPARE(font.pixels, 11);
        const QString a = codesOfCapture(font, u'A');
        QVERIFY2(a != repeatWord("FFFE", 8), qPrintable(a));
        QCOMPARE(codesOfCapture(font, u' '), repeatWord("FFFE", 8));
        // Only pure black is drawn: no grey from smoothing anywhere in the box.
        QImage box = makeCaptureImage(kFace);
        drawCharacter(box, kFace, font, u'A');
        int black = 0;
        for (int y = 0; y < box.height(); ++y) {
            for (int x = 0; x < box.width(); ++x) {
                const QRgb p = box.pixel(x, y);
                QVERIFY(p == kFace.rgb() || (p & 0xFFFFFF) == 0);
                black += (p & 0xFFFFFF) == 0;
            }
        }
        QVERIFY(black > 5);
    }

    void captureDrawsSampleRows_data() {
        QTest::addColumn<double>("points");
        QTest::addColumn<int>("rows");
        QTest::newRow("8.25 pt") << 8.25 << 9;
        QTest::newRow("9 pt") << 9.0 << 10;
    }
    void captureDrawsSampleRows() {
        QFETCH(double, points);
        QFETCH(int, rows);
        const auto font = CaptureFont::fromPoints(kDejaVu, points, false, false);
        QImage box = makeCaptureImage(kFace);
        drawCharacter(box, kFace, font, u'A');
        QImage grid = makeGridImage(kFace);
        copyToGrid(box, grid, kFace, 8, font.size(), {});
        // Down column 0: one run of 11 drawn pixels per sample row, centred on the row's
        // centre, background between and below them.
        QList<int> centres;
        int runStart = -1;
        for (int y = 0; y <= grid.height(); ++y) {
            const bool drawn = y < grid.height() && grid.pixel(7, y) != kFace.rgb();
            if (drawn && runStart < 0) {
                runStart = y;
            } else if (!drawn && runStart >= 0) {
                QCOMPARE(y - runStart, 2 * kCellRadius + 1);
                centres.append(runStart + kCellRadius);
                runStart = -1;
            }
        }
        QList<int> expected;
        for (double r : sampleRows(font.size())) {
            expected.append(sampleCentre(0, r).y);
        }
        QCOMPARE(centres.size(), rows);
        QCOMPARE(centres, QList<int>(expected.rbegin(), expected.rend()));
    }

    void boldChangesTheCapture() {
        const auto regular = CaptureFont::fromPoints(kDejaVu, 12, false, false);
        const auto bold = CaptureFont::fromPoints(kDejaVu, 12, true, false);
        QVERIFY(codesOfCapture(regular, u'A') != codesOfCapture(bold, u'A'));
    }

    void shiftMovesTheGlyph() {
        const auto font = CaptureFont::fromPoints(kDejaVu, 8.25, false, false);
        const QString start = codesOfCapture(font, u'H', 8, {0, 2});
        QVERIFY(start != codesOfCapture(font, u'H', 8, {0, 3}));
        // Far outside the box everything reads off.
        QCOMPARE(codesOfCapture(font, u'H', 8, {0, 32767}), repeatWord("FFFE", 8));
        QCOMPARE(codesOfCapture(font, u'H', 8, {0, -32768}), repeatWord("FFFE", 8));
    }
};

QTEST_MAIN(TestGlyphCore)
#include "tst_glyphcore.moc"
