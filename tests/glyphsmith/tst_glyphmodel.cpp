#include <QTest>

#include "Commands.h"
#include "GlyphTexts.h"
#include "GridDrawing.h"
#include "core/ColumnCodes.h"
#include "core/FontsTable.h"
#include "core/GlyphModel.h"

using namespace glyph;

namespace {

using Clicks = QList<QPoint>;

CaptureFont fontAt(double points, const QString& family = QStringLiteral("DejaVu Sans")) {
    return CaptureFont::fromPoints(family, points, false, false);
}

// A started model on the space (nothing captured lit), with these settings.
GlyphModel blankModel(double points, int columns, std::int16_t yoff = 2) {
    GlyphModel model(fontAt(points));
    model.setColumns(columns);
    model.start();
    model.setOffsets({0, yoff});
    model.setCode(' ');
    model.capture();
    model.computeCodes();
    return model;
}

// The model's grid as the window paints it, read back pixel by pixel.
QString paintedCodes(const GlyphModel& model) {
    GridDrawing drawing(kFace);
    model.paint(drawing);
    return codeText(drawing.image(), model.columns(), model.size());
}

}  // namespace

class TestGlyphModel : public QObject {
    Q_OBJECT
private slots:
    void stepping_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<int>("to");
        QTest::newRow("> 65") << 65 << true << 66;
        QTest::newRow("> 255 wraps to 14") << 255 << true << 14;
        QTest::newRow("< 0 wraps to 255") << 0 << false << 255;
        QTest::newRow("< 14 reaches 13") << 14 << false << 13;
    }
    void stepping() {
        QFETCH(int, from);
        QFETCH(bool, forward);
        QFETCH(int, to);
        GlyphModel model(fontAt(8.25));
        model.start();
        model.setCode(from);
        forward ? model.stepForward() : model.stepBack();
        QCOMPARE(model.code(), to);
        // Stepping captures and computes: the codes are those of the new character.
        GlyphModel direct(fontAt(8.25));
        direct.start();
        direct.setCode(to);
        direct.capture();
        direct.computeCodes();
        QCOMPARE(model.codes(), direct.codes());
    }

    // Shifting moves the sampling window down a pixel: the glyph moves up a row.
    void shiftMovesTheGlyphUp() {
        GlyphModel model(fontAt(9));
        model.start();
        const GlyphModel before = model;
        model.shift(+1);
        QCOMPARE(model.offsets().yoff, std::int16_t{3});
        int lit = 0;
        for (int c = 0; c < 8; ++c) {
            for (int i = 1; i < model.sampleRowCount(); ++i) {
                QCOMPARE(model.cell(c, i), before.cell(c, i - 1));
                lit += model.cell(c, i) ? 1 : 0;
            }
        }
        QVERIFY(lit > 0);
        model.shift(-40000);
        QCOMPARE(model.offsets().yoff, std::int16_t{-32768});
    }

    // Clicks on the model, checked both by the codes and by the painted grid.
    void toggles_data() {
        QTest::addColumn<double>("points");
        QTest::addColumn<int>("yoff");
        QTest::addColumn<Clicks>("clicks");
        QTest::addColumn<QString>("word");
        QTest::newRow("8.25: row 0 lit") << 8.25 << 2 << Clicks{{7, 10}} << "FFFC";
        QTest::newRow("8.25: row 0 twice") << 8.25 << 2 << Clicks{{7, 10}, {7, 10}} << "FFFE";
        QTest::newRow("8.25: row 8 lit") << 8.25 << 2 << Clicks{{7, 106}} << "FDFE";
        QTest::newRow("8.25: row 9 is no bit") << 8.25 << 2 << Clicks{{7, 118}} << "FFFE";
        QTest::newRow("8.25: outline of an off cell") << 8.25 << 2 << Clicks{{12, 10}} << "FFFE";
        QTest::newRow("8.25: outline of a lit cell")
            << 8.25 << 2 << Clicks{{7, 10}, {12, 10}} << "FFFE";
        QTest::newRow("9: row 0 is bit 0") << 9.0 << 2 << Clicks{{7, 10}} << "FFFE";
        QTest::newRow("9: row 9 is bit 9") << 9.0 << 2 << Clicks{{7, 118}} << "FDFF";
        QTest::newRow("yoff 8 misses the centres") << 8.25 << 8 << Clicks{{7, 58}} << "FFFE";
        QTest::newRow("outside") << 8.25 << 2 << Clicks{{2, 10}, {99, 10}} << "FFFE";
    }
    void toggles() {
        QFETCH(double, points);
        QFETCH(int, yoff);
        QFETCH(Clicks, clicks);
        QFETCH(QString, word);
        GlyphModel model = blankModel(points, 1, static_cast<std::int16_t>(yoff));
        for (const QPoint& click : clicks) {
            model.click(click.x(), click.y());
        }
        model.computeCodes();
        QCOMPARE(model.codes(), " 0x" + word + ",");
        QCOMPARE(paintedCodes(model), model.codes());
    }

    // The model's codes against the grid drawn and read back pixel by pixel, the
    // way the window made them before it had a model.
    void codesMatchTheDrawnGrid_data() {
        QTest::addColumn<int>("columns");
        QTest::addColumn<double>("points");
        for (int columns : {5, 8, 10}) {
            for (double points : {8.25, 9.0, 9.75, 12.0}) {
                QTest::addRow("%d columns, %g pt", columns, points) << columns << points;
            }
        }
    }
    void codesMatchTheDrawnGrid() {
        QFETCH(int, columns);
        QFETCH(double, points);
        const CaptureFont font = fontAt(points);
        for (QChar ch : QStringLiteral("AgW# ")) {
            GlyphModel model(font);
            model.setColumns(columns);
            model.start();
            model.setCode(codeForChar(ch));
            model.capture();
            model.computeCodes();
            QImage box = makeCaptureImage(kFace);
            drawCharacter(box, kFace, font, ch);
            QImage grid = makeGridImage(kFace);
            copyToGrid(box, grid, kFace, columns, font.size(), {0, 2});
            QCOMPARE(model.codes(), codeText(grid, columns, font.size()));
            QCOMPARE(paintedCodes(model), model.codes());
            QCOMPARE(model.codes().count(u','), columns);
            QCOMPARE(model.codes().count(QStringLiteral("} },")), columns >= 8 ? 1 : 0);
        }
    }

    void blankWords_data() {
        QTest::addColumn<double>("points");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("codes");
        QTest::newRow("8.25 pt, 8") << 8.25 << 8 << repeatWord("FFFE", 8);
        QTest::newRow("9 pt, 5") << 9.0 << 5 << repeatWord("FFFF", 5);
        QTest::newRow("9.75 pt, 10") << 9.75 << 10 << repeatWord("FFFF", 10);
        QTest::newRow("12 pt rounds up, 8") << 12.0 << 8 << repeatWord("10000", 8);
        QTest::newRow("no columns") << 8.25 << 0 << QString();
    }
    void blankWords() {
        QFETCH(double, points);
        QFETCH(int, columns);
        QFETCH(QString, codes);
        QCOMPARE(blankModel(points, columns).codes(), codes);
    }

    // Adding takes the codes as last computed: a new font leaves them until then.
    void addTakesTheCodesShown() {
        GlyphModel model(fontAt(8.25));
        model.start();
        const QString startCodes = model.codes();
        model.setFont(fontAt(12));
        QCOMPARE(model.codes(), startCodes);
        QCOMPARE(model.add(), " { 65, {" + startCodes);
        model.computeCodes();
        QVERIFY(model.codes() != startCodes);
        model.clear();
        model.add();
        QCOMPARE(model.fileBytes(), (" { 65, {" + model.codes()).toLatin1() + "\r\n");
    }

    void readTable_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QList<int>>("badLines");
        const QByteArray h = "const rom chr car[255] = {\r\n";
        const QByteArray a =
            " { 65, { 0xFEFE, 0xFF1E, 0xFFA2, 0xFFB8, 0xFF86, 0xFF3E, 0xFEFE, "
            "0xFFFE} },\r\n";
        QTest::newRow("as written") << h + a + a << 3 << QList<int>{};
        QTest::newRow("empty file") << QByteArray() << 0 << QList<int>{};
        QTest::newRow("LF only, empty line")
            << QByteArray(h + "\n" + a).replace("\r", "") << 2 << QList<int>{};
        QTest::newRow("no columns, five, ten")
            << QByteArray(
                   " { 0, {\r\n { 7, { 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE,\r\n"
                   " { 9, { 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, "
                   "0xFFFF} }, 0x10000, 0xFC00,\r\n")
            << 3 << QList<int>{};
        QTest::newRow("code 256, leading zero")
            << h + " { 256, {\r\n { 065, {\r\n" + a << 2 << QList<int>{2, 3};
        QTest::newRow("lower-case, low word, 8th without close")
            << QByteArray(
                   " { 1, { 0xfffe,\r\n { 1, { 0xFBFF,\r\n { 1, { 0xFFFE, 0xFFFE, 0xFFFE, "
                   "0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE, 0xFFFE,\r\n")
            << 0 << QList<int>{1, 2, 3};
        QTest::newRow("trailing blank, closing line, Latin-1")
            << h + " { 1, {  \r\n};\r\n { 1, {\xe9\r\n"
            << 1 << QList<int>{2, 3, 4};
    }
    void readTable() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, lines);
        QFETCH(QList<int>, badLines);
        const TableRead read = glyph::readTable(bytes);
        QCOMPARE(read.lines.size(), lines);
        QList<int> bad;
        for (const auto& problem : read.problems) {
            bad.append(problem.line);
            QVERIFY(!glyphtext::lineProblem(problem.problem).isEmpty());
        }
        QCOMPARE(bad, badLines);
        for (const auto& glyph : read.glyphs) {
            QVERIFY(read.lines.contains(recordLine(glyph)));
        }
    }

    // Each fault of a line, as the window and glyphctl word it.
    void lineProblemsWorded_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("text");
        const QByteArray eight =
            " { 9, { 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF";
        QTest::newRow("no table line")
            << QByteArray("hello") << "ni la ligne de déclaration ni une ligne de caractère";
        QTest::newRow("Latin-1") << QByteArray(" { 1, {\xe9")
                                 << "caractère hors ASCII ou de contrôle";
        QTest::newRow("code 256") << QByteArray(" { 256, {")
                                  << "code de caractère illisible (0 à 255 attendu)";
        QTest::newRow("no brace") << QByteArray(" { 65 0xFFFF")
                                  << "« , { » attendu après le code 65";
        QTest::newRow("no 0x") << QByteArray(" { 65, { 0xFFFF, FFFF,")
                               << "colonne 2 : « 0x » attendu";
        QTest::newRow("low word") << QByteArray(" { 65, { 0xFBFF,")
                                  << "colonne 1 : mot hors de 0xFC00 à 0x10000";
        QTest::newRow("no comma") << QByteArray(" { 65, { 0xFFFF;") << "colonne 1 : « , » attendu";
        QTest::newRow("eighth not closed") << eight + ","
                                           << "colonne 8 : « } }, » attendu";
        QByteArray many = eight + "} },";
        for (int c = 8; c <= kMaxColumns; ++c) {
            many += " 0xFFFF,";
        }
        QTest::newRow("too many columns") << many << "plus de 999 colonnes";
    }
    void lineProblemsWorded() {
        QFETCH(QByteArray, line);
        QFETCH(QString, text);
        const TableRead read = glyph::readTable(line);
        QCOMPARE(read.problems.size(), std::size_t{1});
        QCOMPARE(glyphtext::lineProblem(read.problems.front().problem), text);
    }

    // Every line the tools write reads back to itself and shows its words.
    void writtenTablesReadBack_data() {
        QTest::addColumn<int>("columns");
        QTest::addColumn<double>("points");
        for (int columns : {0, 5, 8, 10, 26}) {
            for (double points : {8.25, 9.0, 12.0}) {
                QTest::addRow("%d columns, %g pt", columns, points) << columns << points;
            }
        }
    }
    void writtenTablesReadBack() {
        QFETCH(int, columns);
        QFETCH(double, points);
        CaptureOptions options;
        options.columns = columns;
        const std::vector<int> codes{0, 32, 65, 103, 128, 255};
        const QStringList lines = tableLines(fontAt(points), options, codes);
        QCOMPARE(lines.size(), 7);
        const TableRead read = glyph::readTable(fileBytes(lines));
        QVERIFY(read.problems.empty());
        QCOMPARE(read.lines, lines);
        QCOMPARE(read.glyphs.size(), codes.size());
        for (std::size_t g = 0; g < codes.size(); ++g) {
            const GlyphRecord& record = read.glyphs[g];
            QCOMPARE(record.code, codes[g]);
            QCOMPARE(recordLine(record), lines[static_cast<qsizetype>(g) + 1]);
            // Ten rows of one LED per column, lit where a word's bit is 0.
            const QStringList rows = drawGlyph(record).split(u'\n').mid(1, 10);
            QCOMPARE(rows.size(), 10);
            for (int r = 0; r < 10; ++r) {
                QCOMPARE(rows[r].size(), columns);
                for (int c = 0; c < columns; ++c) {
                    QCOMPARE(rows[r][c] == u'#', ((record.words[c] >> r) & 1U) == 0);
                }
            }
        }
    }
};

QTEST_MAIN(TestGlyphModel)
#include "tst_glyphmodel.moc"
