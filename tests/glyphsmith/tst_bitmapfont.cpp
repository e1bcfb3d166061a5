#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <functional>
#include <memory>

#include "Commands.h"
#include "GlyphTexts.h"
#include "core/BitmapFont.h"
#include "core/FontsTable.h"
#include "core/GlyphModel.h"
#include "core/GlyphRules.h"

using namespace glyph;

namespace {

const QString kMisc = QStringLiteral("/usr/share/fonts/X11/misc/");

// A glyph of the test's own BDF: its box (BBX) and its rows, '#' lit.
struct TestGlyph {
    int code;  // Windows-1252
    char32_t unicode;
    int width, height, xoff, yoff;
    QStringList rows;
};

// Ascent 8, descent 2: a 10-row strike. "j" reaches left of the origin.
const QList<TestGlyph> kGlyphs{
    {65,
     U'A',
     6,
     10,
     0,
     -2,
     {"......", "..#...", ".#.#..", "#...#.", "#...#.", "#####.", "#...#.", "#...#.", "......",
      "......"}},
    {128,
     U'€',
     6,
     10,
     0,
     -2,
     {"......", "..###.", ".#....", "####..", ".#....", "####..", ".#....", "..###.", "......",
      "......"}},
    {46, U'.', 2, 2, 1, 0, {"##", "##"}},
    {106, U'j', 3, 9, -1, -2, {"..#", "...", ".##", "..#", "..#", "..#", "..#", "#.#", ".#."}},
};

QByteArray bdfOf(const QList<TestGlyph>& glyphs, int ascent = 8, int descent = 2,
                 const QByteArray& registry = "ISO10646\"\nCHARSET_ENCODING \"1") {
    QByteArray bdf =
        "STARTFONT 2.1\nFONT -test-pixel-medium-r-normal--10-100-75-75-c-60-iso10646-1\n"
        "SIZE 10 75 75\nFONTBOUNDINGBOX 6 10 -1 -2\nSTARTPROPERTIES 4\n";
    bdf += "FONT_ASCENT " + QByteArray::number(ascent) + "\nFONT_DESCENT " +
           QByteArray::number(descent) + "\n";
    bdf += "CHARSET_REGISTRY \"" + registry + "\"\nENDPROPERTIES\n";
    bdf += "CHARS " + QByteArray::number(glyphs.size()) + "\n";
    for (const TestGlyph& g : glyphs) {
        bdf += "STARTCHAR c" + QByteArray::number(g.code) + "\nENCODING " +
               QByteArray::number(static_cast<uint>(g.unicode)) + "\nSWIDTH 600 0\nDWIDTH 6 0\n";
        bdf += QStringLiteral("BBX %1 %2 %3 %4\nBITMAP\n")
                   .arg(g.width)
                   .arg(g.height)
                   .arg(g.xoff)
                   .arg(g.yoff)
                   .toLatin1();
        for (const QString& row : g.rows) {
            uint bits = 0;
            for (int x = 0; x < row.size(); ++x) {
                bits |= (row[x] == u'#' ? 1U : 0U) << (7 - x);
            }
            bdf += QByteArray::number(bits, 16).rightJustified(2, '0') + "\n";
        }
        bdf += "ENDCHAR\n";
    }
    return bdf + "ENDFONT\n";
}

// The column words of ten sampled rows from lit pixels (row 0 at the top):
// bit r set where row r is off.
QList<std::uint32_t> wordsOf(const std::function<bool(int, int)>& lit, int columns) {
    QList<std::uint32_t> words;
    for (int c = 0; c < columns; ++c) {
        std::uint32_t word = 0xFC00;
        for (int r = 0; r < 10; ++r) {
            word |= lit(c, r) ? 0U : 1U << r;
        }
        words.append(word);
    }
    return words;
}

QList<std::uint32_t> wordsOfLine(const QString& line) {
    const auto record = parseGlyphLine(line);
    const auto* read = std::get_if<GlyphRecord>(&record);
    return read ? QList<std::uint32_t>(read->words.begin(), read->words.end())
                : QList<std::uint32_t>{};
}

std::shared_ptr<const BitmapStrike> strikeOf(FontRead read) {
    auto* strike = std::get_if<BitmapStrike>(&read);
    return strike ? std::make_shared<const BitmapStrike>(std::move(*strike)) : nullptr;
}

}  // namespace

class TestBitmapFont : public QObject {
    Q_OBJECT
private slots:
    // A BDF written here from known rows: each glyph sampled is those rows, placed
    // on the baseline by its box, the strike's leftmost pixel ("j") at column 0.
    void bdfGlyphsAreTheirRows() {
        const auto strike = strikeOf(readBitmapFont(bdfOf(kGlyphs)));
        QVERIFY(strike);
        QCOMPARE(strike->height(), 10);
        QCOMPARE(strike->size(), 9.0);
        QCOMPARE(strike->left, -1);
        CaptureOptions options;
        std::vector<int> codes;
        for (const TestGlyph& g : kGlyphs) {
            codes.push_back(g.code);
        }
        codes.push_back('B');  // not in the font
        const QStringList lines = tableLines(CaptureFont{}, options, codes, strike);
        QCOMPARE(lines.size(), qsizetype(kGlyphs.size() + 2));
        for (qsizetype i = 0; i < kGlyphs.size(); ++i) {
            const TestGlyph& g = kGlyphs[i];
            const int top = 8 - (g.yoff + g.height);
            const int left = g.xoff + 1;
            const auto lit = [&](int c, int r) {
                const int x = c - left;
                const int y = r - top;
                return x >= 0 && y >= 0 && x < g.width && y < g.height && g.rows[y][x] == u'#';
            };
            QCOMPARE(wordsOfLine(lines[i + 1]), wordsOf(lit, 8));
        }
        // The missing character: an empty glyph, and the strike says so.
        QVERIFY(!strike->has('B'));
        QCOMPARE(wordsOfLine(lines.back()), QList<std::uint32_t>(8, 0xFFFF));
    }

    // A font in another encoding than Unicode is read by the code itself.
    void otherEncodingReadByCode() {
        const auto strike = strikeOf(readBitmapFont(
            bdfOf({{65, U'A', 2, 2, 0, 0, {"#.", ".#"}}, {200, char32_t{200}, 1, 1, 0, 0, {"#"}}},
                  8, 2, "KOI8\"\nCHARSET_ENCODING \"R")));
        QVERIFY(strike);
        QVERIFY(strike->has(65));
        QVERIFY(strike->has(200));
        QVERIFY(!strike->has(66));
        QCOMPARE(strike->glyphs[65]->pixels, (std::vector<bool>{true, false, false, true}));
    }

    // The arrows move a bitmap glyph as they move a capture: one row per step.
    void offsetsMoveTheGlyph() {
        const auto strike = strikeOf(readBitmapFont(bdfOf(kGlyphs)));
        QVERIFY(strike);
        GlyphModel model{CaptureFont{}};
        model.setBitmapFont(strike);
        model.start();
        const GlyphModel before = model;
        model.shift(+1);
        for (int c = 0; c < 8; ++c) {
            for (int i = 1; i < model.sampleRowCount(); ++i) {
                QCOMPARE(model.cell(c, i), before.cell(c, i - 1));
            }
        }
        // Choosing a font again ends the bitmap source.
        model.setFont(CaptureFont::fromPoints(QStringLiteral("DejaVu Sans"), 9, false, false));
        QVERIFY(model.bitmapFont() == nullptr);
    }

    // Every printable character of 6x10 as FreeType itself renders the strike.
    void pcfGlyphsAreFreeTypesRendering() {
        const QString path = kMisc + "6x10.pcf.gz";
        QVERIFY2(QFile::exists(path), "xfonts-base is missing: scripts/deps.sh installs it");
        const auto strike = strikeOf(loadBitmapFont(path));
        QVERIFY(strike);
        QCOMPARE(strike->height(), 10);

        FT_Library library = nullptr;
        QCOMPARE(FT_Init_FreeType(&library), 0);
        FT_Face face = nullptr;
        QCOMPARE(FT_New_Face(library, QFile::encodeName(path).constData(), 0, &face), 0);
        QCOMPARE(FT_Set_Pixel_Sizes(face, 0, 10), 0);
        const int ascent = static_cast<int>(face->size->metrics.ascender >> 6);
        struct Rendered {
            int code, left, top, width, rows;
            QList<bool> bits;
        };
        QList<Rendered> rendered;
        int minLeft = 0;
        for (int code = 32; code < 256; ++code) {
            const QChar ch = charForCode(code);
            if (!ch.isPrint() || FT_Get_Char_Index(face, ch.unicode()) == 0) {
                continue;
            }
            QCOMPARE(FT_Load_Char(face, ch.unicode(), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO), 0);
            const FT_Bitmap& b = face->glyph->bitmap;
            Rendered r{code,
                       face->glyph->bitmap_left,
                       face->glyph->bitmap_top,
                       static_cast<int>(b.width),
                       static_cast<int>(b.rows),
                       {}};
            for (int y = 0; y < r.rows; ++y) {
                for (int x = 0; x < r.width; ++x) {
                    r.bits.append((b.buffer[y * b.pitch + x / 8] >> (7 - x % 8)) & 1);
                }
            }
            if (r.width > 0) {
                minLeft = std::min(minLeft, r.left);
            }
            rendered.append(r);
        }
        FT_Done_Face(face);
        FT_Done_FreeType(library);
        QVERIFY(rendered.size() > 180);

        CaptureOptions options;
        std::vector<int> codes;
        for (const Rendered& r : rendered) {
            codes.push_back(r.code);
        }
        const QStringList lines = tableLines(CaptureFont{}, options, codes, strike);
        for (qsizetype i = 0; i < rendered.size(); ++i) {
            const Rendered& g = rendered[i];
            const auto lit = [&](int c, int row) {
                const int x = c - (g.left - minLeft);
                const int y = row - (ascent - g.top);
                return x >= 0 && y >= 0 && x < g.width && y < g.rows && g.bits[y * g.width + x];
            };
            QVERIFY2(wordsOfLine(lines[i + 1]) == wordsOf(lit, 8), qPrintable(lines[i + 1]));
        }
    }

    void chooseStrike_data() {
        QTest::addColumn<QList<int>>("heights");  // pixel sizes alike
        QTest::addColumn<double>("wanted");       // 0: none asked
        QTest::addColumn<int>("chosen");
        QTest::newRow("nearest ten rows") << QList<int>{8, 12, 10, 14} << 0.0 << 2;
        QTest::newRow("tie goes to the smaller") << QList<int>{11, 9} << 0.0 << 1;
        QTest::newRow("only one") << QList<int>{20} << 0.0 << 0;
        QTest::newRow("nearest size asked") << QList<int>{8, 12, 16} << 13.0 << 1;
        QTest::newRow("asked past the largest") << QList<int>{8, 12, 16} << 72.0 << 2;
    }
    void chooseStrike() {
        QFETCH(QList<int>, heights);
        QFETCH(double, wanted);
        QFETCH(int, chosen);
        std::vector<StrikeSize> sizes;
        for (int h : heights) {
            sizes.push_back({h, static_cast<double>(h)});
        }
        const auto got =
            glyph::chooseStrike(sizes, wanted > 0 ? std::optional(wanted) : std::nullopt);
        QVERIFY(got);
        QCOMPARE(static_cast<int>(*got), chosen);
        QVERIFY(!glyph::chooseStrike({}, std::nullopt));
    }

    // What is refused, and how the window and glyphctl word it.
    void badFontsRefused_data() {
        QTest::addColumn<QString>("file");  // a name made below, or a path
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("says");
        QTest::newRow("missing") << "missing.pcf" << int(FontFault::File) << "fichier introuvable";
        QTest::newRow("a folder") << "folder.bdf" << int(FontFault::File)
                                  << "ce n'est pas un fichier ordinaire";
        QTest::newRow("over 32 MiB") << "huge.pcf" << int(FontFault::File)
                                     << "fichier trop grand pour une police (32 Mio au plus)";
        QTest::newRow("not a font") << "text.bdf" << int(FontFault::NotAFont)
                                    << "ce n'est pas une police lisible (BDF, PCF ou OTB attendu)";
        QTest::newRow("an outline font")
            << "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf" << int(FontFault::OutlineOnly)
            << "police vectorielle, sans taille bitmap";
        QTest::newRow("20 rows") << kMisc + "10x20.pcf.gz" << int(FontFault::StrikeTooTall)
                                 << "taille bitmap de 20 rangées, 16 au plus";
        QTest::newRow("17 rows") << "tall.bdf" << int(FontFault::StrikeTooTall)
                                 << "taille bitmap de 17 rangées, 16 au plus";
    }
    void badFontsRefused() {
        QFETCH(QString, file);
        QFETCH(int, fault);
        QFETCH(QString, says);
        QTemporaryDir dir;
        QString path = file.startsWith(u'/') ? file : dir.filePath(file);
        if (file == u"folder.bdf") {
            QVERIFY(QDir(dir.path()).mkdir(file));
        } else if (file == u"huge.pcf") {
            QFile huge(path);
            QVERIFY(huge.open(QIODevice::WriteOnly));
            QVERIFY(huge.resize(kMaxFontFileBytes + 1));
        } else if (file == u"text.bdf" || file == u"tall.bdf") {
            QFile text(path);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write(file == u"tall.bdf" ? bdfOf(kGlyphs, 15, 2) : QByteArray("hello\n"));
        }
        if (file.startsWith(u'/')) {
            QVERIFY2(QFile::exists(path), qPrintable(path + " is not installed"));
        }
        const FontRead read = loadBitmapFont(path);
        const auto* problem = std::get_if<FontProblem>(&read);
        QVERIFY(problem);
        QCOMPARE(int(problem->fault), fault);
        QCOMPARE(glyphtext::fontProblem(*problem), says);
    }

    // Fonts named by their file name are taken when dropped; other files are tables.
    void fontNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("font");
        QTest::newRow("bdf") << "a.bdf" << true;
        QTest::newRow("PCF.GZ") << "/x/6X10.PCF.GZ" << true;
        QTest::newRow("otb") << "ter.otb" << true;
        QTest::newRow("table") << "fonts.txt" << false;
        QTest::newRow("gz alone") << "fonts.txt.gz" << false;
    }
    void fontNames() {
        QFETCH(QString, name);
        QFETCH(bool, font);
        QCOMPARE(isBitmapFontName(name), font);
    }

    void missingCodesAsRanges() {
        QCOMPARE(glyphtext::codeList({1, 2, 3, 127, 129, 143, 144}),
                 QStringLiteral("1-3, 127, 129, 143-144"));
    }
};

QTEST_MAIN(TestBitmapFont)
#include "tst_bitmapfont.moc"
