#include <QFile>
#include <QFontDatabase>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "BinDir.h"
#include "FakeServices.h"
#include "Form1.h"
#include "core/ColumnCodes.h"
#include "core/GlyphRules.h"

namespace {

struct Run {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

Run glyphctl(const QStringList& args, const QString& folder = {}) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QDir(builtBinDir()).filePath(QStringLiteral("glyphctl")), args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// What the window makes by stepping from its start to `from` and adding each
// character up to `to`, with a font chosen first when one is given.
QStringList windowLines(const std::optional<glyph::FontChoice>& font, int from, int to,
                        const QString& fontFile = {}) {
    FakeFontChooser fonts;
    FakeMessages messages;
    FakeClipboard clipboard;
    FakeTableChooser tables;
    QTemporaryDir dir;
    Form1 form({fonts, messages, clipboard, tables, dir.path(), dir.path()});
    form.show();
    if (font) {
        fonts.answer = font;
        form.fontCmd_Click();
    }
    if (!fontFile.isEmpty()) {
        form.loadBitmapFont(fontFile);
    }
    const auto code = [&form] { return glyph::codeForChar(form.currentChar().front()); };
    do {
        form.backcmd_Click();
    } while (code() != from);
    while (true) {
        form.stocmd_Click();
        if (code() == to) {
            break;
        }
        form.Command1_Click();
    }
    return form.lines();
}

}  // namespace

class TestGlyphctl : public QObject {
    Q_OBJECT
private slots:
    void tableIsWhatTheWindowAdds_data() {
        QTest::addColumn<QString>("family");  // empty: the start settings
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("start settings, printable ASCII") << "" << 8.25 << false << 32 << 126;
        QTest::newRow("DejaVu Sans 12 bold, A-B") << "DejaVu Sans" << 12.0 << true << 65 << 66;
        QTest::newRow("Liberation Serif 9, A-B") << "Liberation Serif" << 9.0 << false << 65 << 66;
    }
    void tableIsWhatTheWindowAdds() {
        QFETCH(QString, family);
        QFETCH(double, points);
        QFETCH(bool, bold);
        QFETCH(int, from);
        QFETCH(int, to);
        if (!family.isEmpty() && !QFontDatabase::families().contains(family)) {
            QSKIP(qPrintable(family + " is not installed"));
        }
        std::optional<glyph::FontChoice> font;
        QStringList args{"table", "--range", QStringLiteral("%1-%2").arg(from).arg(to)};
        if (!family.isEmpty()) {
            font = glyph::FontChoice{family, points, bold, false};
            args << "--font" << family << "--size" << QString::number(points);
            if (bold) {
                args << "--bold";
            }
        }
        const QByteArray window = glyph::fileBytes(windowLines(font, from, to));
        QTemporaryDir dir;
        const QString file = dir.filePath("t.txt");
        const Run first = glyphctl(args + QStringList{"-o", file});
        QCOMPARE(first.code, 0);
        QCOMPARE(first.err, QByteArray());
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), window);
        // Run again, to standard output: the same bytes.
        const Run second = glyphctl(args);
        QCOMPARE(second.out, window);
        // And shown back: one drawing of eleven lines per character.
        const Run shown = glyphctl({"show", file});
        QCOMPARE(shown.code, 0);
        QCOMPARE(shown.out.count('\n'), 11 * (to - from + 1) + (to - from));
    }

    // A pixel font's table: what the window makes with the same file, byte for byte.
    void fontFileTableIsWhatTheWindowAdds() {
        const QString font = "/usr/share/fonts/X11/misc/6x10.pcf.gz";
        QVERIFY2(QFile::exists(font), "xfonts-base is missing: scripts/deps.sh installs it");
        QTemporaryDir dir;
        const QString file = dir.filePath("fonts.txt");
        const Run run = glyphctl({"table", "--font-file", font, "--range", "32-126", "-o", file});
        QCOMPARE(run.code, 0);
        QCOMPARE(run.err, QByteArray());
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), glyph::fileBytes(windowLines(std::nullopt, 32, 126, font)));
        // The "A" of 6x10, exactly: its rows are the panel's ten.
        const Run shown = glyphctl({"show", "--font-file", font, "A"});
        QCOMPARE(shown.out, QByteArray("65 « A » : 0xFF07, 0xFFDB, 0xFFDD, 0xFFDB, 0xFF07, "
                                       "0xFFFF, 0xFFFF, 0xFFFF\n"
                                       "........\n..#.....\n.#.#....\n#...#...\n#...#...\n"
                                       "#####...\n#...#...\n#...#...\n........\n........\n"));
        // Characters the font lacks are named on one line; the table is still made.
        const Run lacking = glyphctl({"table", "--font-file", font, "--range", "126-129"});
        QCOMPARE(lacking.code, 0);
        QCOMPARE(lacking.out.count('\n'), 5);
        QCOMPARE(
            QString::fromUtf8(lacking.err),
            "glyphctl: " + font + " : caractères absents de la police, laissés vides : 127, 129\n");
    }

    void charsFromAMessage() {
        QTemporaryDir dir;
        QFile message(dir.filePath("message.txt"));
        QVERIFY(message.open(QIODevice::WriteOnly));
        message.write("Été : BAB\r\n");
        message.close();
        const Run run = glyphctl({"table", "--chars-from", message.fileName()});
        QCOMPARE(run.code, 0);
        QStringList codes;
        for (const QByteArray& line : run.out.split('\n').mid(1)) {
            if (!line.isEmpty()) {
                codes << QString::fromLatin1(line.mid(3, line.indexOf(',') - 3));
            }
        }
        // Once each, in code order; the line end is no character of the message.
        QCOMPARE(codes, (QStringList{"32", "58", "65", "66", "116", "201", "233"}));
    }

    // "show NAME": a file of that name is a table; else one character is drawn.
    void showNameIsAFileOrACharacter_data() {
        QTest::addColumn<QByteArray>("file");  // what the file "A" holds; "<none>": no file
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");  // the drawing's first line, or the error's end
        QTest::newRow("no such file: the character")
            << QByteArray("<none>") << 0 << QString("65 « A » :");
        QTest::newRow("a table named A") << QByteArray(" { 66, { 0xFFFF, 0xFFFE,\r\n") << 0
                                         << QString("66 « B » : 0xFFFF, 0xFFFE");
        QTest::newRow("an empty file named A")
            << QByteArray() << 2 << QString("A : aucune ligne de table\n");
        QTest::newRow("blank lines only")
            << QByteArray("\r\n\n") << 2 << QString("A : aucune ligne de table\n");
    }
    void showNameIsAFileOrACharacter() {
        QFETCH(QByteArray, file);
        QFETCH(int, code);
        QFETCH(QString, says);
        QTemporaryDir dir;
        if (file != "<none>") {
            QFile table(dir.filePath("A"));
            QVERIFY(table.open(QIODevice::WriteOnly));
            table.write(file);
        }
        const Run run = glyphctl({"show", "A"}, dir.path());
        QCOMPARE(run.code, code);
        if (code != 0) {
            QCOMPARE(run.out, QByteArray());
            QCOMPARE(QString::fromUtf8(run.err), "glyphctl: " + says);
            return;
        }
        QCOMPARE(run.err, QByteArray());
        QVERIFY2(run.out.startsWith(says.toUtf8()), run.out.constData());
        if (file == "<none>") {
            // The character is drawn as its table line would show it.
            QCOMPARE(run.out, glyphctl({"show", "--chars", "A"}).out);
        }
    }

    // A broken UTF-8 sequence is refused wherever it stands, the file's end included.
    void charsFromRefusesBrokenUtf8_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("stray byte mid-file") << QByteArray(
            "A\xC3"
            "B\n");
        QTest::newRow("two-byte sequence cut at the end") << QByteArray("AB\xC3");
        QTest::newRow("three-byte sequence cut at the end") << QByteArray("AB\xE2\x82");
    }
    void charsFromRefusesBrokenUtf8() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QFile message(dir.filePath("message.txt"));
        QVERIFY(message.open(QIODevice::WriteOnly));
        message.write(content);
        message.close();
        const QString out = dir.filePath("out.txt");
        const Run run = glyphctl({"table", "--chars-from", message.fileName(), "-o", out});
        QCOMPARE(run.code, 2);
        QCOMPARE(run.err,
                 "glyphctl: " + message.fileName().toUtf8() + " : le texte n'est pas en UTF-8\n");
        QVERIFY(!QFile::exists(out));
    }

    void badInputIsRefused_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("unknown face")
            << QStringList{"table", "--font", "No Such Face", "--range", "65-66"}
            << "police inconnue";
        QTest::newRow("size 0") << QStringList{"table", "--size", "0", "--range", "65-66"}
                                << "taille";
        QTest::newRow("size 1000")
            << QStringList{"table", "--size", "1000", "--range", "65-66"} << "taille";
        QTest::newRow("empty range") << QStringList{"table", "--range", ""} << "plage vide";
        QTest::newRow("reversed range") << QStringList{"table", "--range", "66-65"} << "à l'envers";
        QTest::newRow("range past 255") << QStringList{"table", "--range", "250-300"} << "0 à 255";
        QTest::newRow("200 columns")
            << QStringList{"table", "--columns", "200", "--range", "65-66"} << "colonnes";
        QTest::newRow("outside the code page")
            << QStringList{"table", "--chars", "ab☃"} << "caractère 3 (U+2603)";
        QTest::newRow("no characters") << QStringList{"table"} << "caractères attendus";
        QTest::newRow("unknown command") << QStringList{"tables"} << "commande inconnue";
        QTest::newRow("damaged table") << QStringList{"show", "DAMAGED"} << "DAMAGED:3 : colonne 2";
        const QString misc = "/usr/share/fonts/X11/misc/";
        QTest::newRow("font file not a font")
            << QStringList{"table", "--font-file", "DAMAGED", "--range", "65-66"}
            << "DAMAGED : ce n'est pas une police lisible";
        QTest::newRow("font file an outline font")
            << QStringList{"table", "--font-file",
                           "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "--range", "65-66"}
            << "sans taille bitmap ; prenez-la avec --font";
        QTest::newRow("font file of 20 rows")
            << QStringList{"show", "--font-file", misc + "10x20.pcf.gz", "A"} << "20 rangées";
        QTest::newRow("font file missing")
            << QStringList{"show", "--font-file", "/nonexistent.pcf", "A"} << "fichier introuvable";
        QTest::newRow("--font and --font-file")
            << QStringList{"table",   "--font", "DejaVu Sans", "--font-file", misc + "6x10.pcf.gz",
                           "--range", "65-66"}
            << "pas les deux";
        QTest::newRow("--bold with --font-file")
            << QStringList{"table",   "--bold", "--font-file", misc + "6x10.pcf.gz",
                           "--range", "65-66"}
            << "--bold et --italic ne vont pas avec --font-file";
    }
    void badInputIsRefused() {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        QTemporaryDir dir;
        QFile damaged(dir.filePath("damaged.txt"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("const rom chr car[255] = {\r\n { 65, {\r\n { 66, { 0xFFFE, 0xFFFE\r\n");
        damaged.close();
        args.replaceInStrings("DAMAGED", damaged.fileName());
        says.replace("DAMAGED", damaged.fileName());
        const QString out = dir.filePath("out.txt");
        if (args.front() == u"table") {
            args << "-o" << out;
        }
        const Run run = glyphctl(args);
        QCOMPARE(run.code, 2);
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.startsWith("glyphctl: ") && QString::fromUtf8(run.err).contains(says),
                 run.err.constData());
        QVERIFY(!QFile::exists(out));
    }

    void helpAndVersion() {
        const Run help = glyphctl({"--help"});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.startsWith("Usage : glyphctl table"));
        const Run version = glyphctl({"--version"});
        QCOMPARE(version.out, QByteArray("glyphctl 1.0\n"));
    }
};

QTEST_MAIN(TestGlyphctl)
#include "tst_glyphctl.moc"
