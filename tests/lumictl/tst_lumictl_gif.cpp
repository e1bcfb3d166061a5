// The scroll as an animated GIF: read back with giflib, every tick's picture
// is the engine's LED frame at that tick.
#include <gif_lib.h>

#include <QProcess>
#include <QRgb>
#include <QtTest>

#include <cstring>
#include <numeric>

#include "Arguments.h"
#include "BmpBuilder.h"
#include "FakeSeams.h"
#include "LedAnimation.h"
#include "LedPicture.h"
#include "Output.h"
#include "TerminalPreview.h"

Q_DECLARE_METATYPE(RgbPicture)

namespace {

RgbPicture picture(const QByteArray& data) {
    const auto read = readBmp(data);
    return read ? *read : RgbPicture{};
}

RgbPicture assetPicture(const char* name) {
    QFile file(QStringLiteral(LUMI_ASSETS_DIR "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? picture(file.readAll()) : RgbPicture{};
}

// A GIF read back whole and played as a browser plays it: each frame drawn
// over the canvas, its transparent pixels left alone, then disposed of.
struct PlayedGif {
    bool ok = false;
    bool loops = false;          // NETSCAPE2.0, loop count 0
    QList<QByteArray> pictures;  // RGB canvas as each frame shows it
    QList<int> delays;           // centiseconds
    int width = 0, height = 0;
};

struct Reader {
    QByteArray bytes;
    qsizetype at = 0;
};

int readBytes(GifFileType* gif, GifByteType* out, int size) {
    auto* reader = static_cast<Reader*>(gif->UserData);
    const qsizetype n = std::min<qsizetype>(size, reader->bytes.size() - reader->at);
    std::copy_n(reader->bytes.constData() + reader->at, n, out);
    reader->at += n;
    return int(n);
}

PlayedGif play(const QByteArray& bytes) {
    PlayedGif played;
    Reader reader{bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readBytes, &error);
    if (gif == nullptr) {
        return played;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &error);
        return played;
    }
    played.width = gif->SWidth;
    played.height = gif->SHeight;
    const auto colourAt = [gif](const SavedImage& image, int index) {
        const ColorMapObject* map =
            image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        return map->Colors[index];
    };
    QByteArray canvas(qsizetype{gif->SWidth} * gif->SHeight * 3, 0);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        for (int e = 0; e < image.ExtensionBlockCount; ++e) {
            const ExtensionBlock& block = image.ExtensionBlocks[e];
            if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 &&
                e + 1 < image.ExtensionBlockCount) {
                const ExtensionBlock& count = image.ExtensionBlocks[e + 1];
                played.loops = count.ByteCount == 3 && count.Bytes[0] == 1 && count.Bytes[1] == 0 &&
                               count.Bytes[2] == 0;
            }
        }
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, i, &control);
        const GifImageDesc& d = image.ImageDesc;
        const QByteArray before = canvas;
        for (int y = 0; y < d.Height; ++y) {
            for (int x = 0; x < d.Width; ++x) {
                const int index = image.RasterBits[y * d.Width + x];
                if (index == control.TransparentColor) {
                    continue;
                }
                const GifColorType c = colourAt(image, index);
                const qsizetype at = (qsizetype{d.Top + y} * gif->SWidth + d.Left + x) * 3;
                canvas[at] = char(c.Red);
                canvas[at + 1] = char(c.Green);
                canvas[at + 2] = char(c.Blue);
            }
        }
        played.pictures << canvas;
        played.delays << control.DelayTime;
        if (control.DisposalMode == DISPOSE_PREVIOUS) {
            canvas = before;
        } else if (control.DisposalMode == DISPOSE_BACKGROUND) {
            const GifColorType bg = gif->SColorMap->Colors[gif->SBackGroundColor];
            for (int y = d.Top; y < d.Top + d.Height; ++y) {
                for (int x = d.Left; x < d.Left + d.Width; ++x) {
                    const qsizetype at = (qsizetype{y} * gif->SWidth + x) * 3;
                    canvas[at] = char(bg.Red);
                    canvas[at + 1] = char(bg.Green);
                    canvas[at + 2] = char(bg.Blue);
                }
            }
        }
    }
    played.ok = true;
    DGifCloseFile(gif, &error);
    return played;
}

int totalDelay(const PlayedGif& played) {
    return std::accumulate(played.delays.cbegin(), played.delays.cend(), 0);
}

QString lumictlPath() {
    return qEnvironmentVariable("LUMI_BIN_DIR") + QStringLiteral("/lumictl");
}

}  // namespace

class TestLumictlGif : public QObject {
    Q_OBJECT
private slots:
    void framesAreTheEngines_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint64>("ticks");  // 0: once round
        QTest::addColumn<RgbPicture>("unlit");
        QTest::addColumn<RgbPicture>("lit");
        QTest::addColumn<int>(
            "tolerance");  // 0: exact colours; else quantised, off by that at most
        const RgbPicture grey = assetPicture("led_gris.bmp");
        const RgbPicture blue = assetPicture("led_bleu.bmp");
        QTest::newRow("lumiboard's LEDs")
            << QByteArray("Bonjour !") << qint64{0} << grey << blue << 0;
        // Codes stage blank columns: runs of identical frames.
        QTest::newRow("codes, inverse, small font")
            << QByteArray("#IAB#PC##d") << qint64{0} << grey << blue << 0;
        QTest::newRow("longer than a pass") << QByteArray("A") << qint64{100} << grey << blue << 0;
        QTest::newRow("one tick") << QByteArray("A") << qint64{1} << grey << blue << 0;
        // Dark for longer than one GIF delay can hold (655.35 s).
        QTest::newRow("dark for 700 s") << QByteArray(" ") << qint64{14000} << grey << blue << 0;
        const auto flat = [](QRgb c) { return [c](int, int) { return c; }; };
        QTest::newRow("pictures smaller than the pitch")
            << QByteArray("Hi") << qint64{0} << picture(bmp(11, 7, flat(qRgb(80, 80, 80))))
            << picture(bmp(5, 16, flat(qRgb(0, 40, 255)))) << 0;
        QTest::newRow("pictures larger than the pitch")
            << QByteArray("Hi") << qint64{0}
            << picture(bmp(25, 30, [](int x, int y) { return qRgb(x / 4 * 50, y / 4 * 40, 3); }))
            << picture(bmp(20, 19, [](int x, int y) { return qRgb(7, x / 3 * 30, y / 5 * 60); }))
            << 0;
        // More colours than a palette holds: giflib's quantiser, near colours.
        QTest::newRow("324 colours each")
            << QByteArray("Hi") << qint64{40}
            << picture(bmp(18, 18, [](int x, int y) { return qRgb(x * 14, y * 14, (x + y) * 7); }))
            << picture(
                   bmp(18, 18, [](int x, int y) { return qRgb(255 - x * 3, 100 + y * 5, 240); }))
            << 32;
    }
    void framesAreTheEngines() {
        QFETCH(QByteArray, text);
        QFETCH(qint64, ticks);
        QFETCH(RgbPicture, unlit);
        QFETCH(RgbPicture, lit);
        QFETCH(int, tolerance);
        QVERIFY(unlit.width > 0 && lit.width > 0);
        FixedClock clock;
        if (ticks == 0) {
            ticks = ticksOnceRound(text, clock, 100000);
        }
        SilentBeeper silent;
        PreviewEngine engine(clock, silent);
        engine.reset();
        engine.setText(text);
        const LedAnimation animation = encodeLedGif(engine, ticks, unlit, lit);
        QVERIFY(animation.ok());
        QCOMPARE(animation.approximated, tolerance > 0);
        const PlayedGif played = play(animation.gif);
        QVERIFY(played.ok);
        QVERIFY(played.loops);
        QCOMPARE(played.pictures.size(), animation.frames);
        QCOMPARE(QSize(played.width, played.height), QSize(360, 180));
        QCOMPARE(totalDelay(played), int(ticks * 5));

        // Each frame is shown for its delay: every tick in it is the engine's frame.
        PreviewEngine reference(clock, silent);
        reference.reset();
        reference.setText(text);
        qint64 tick = 0;
        for (qsizetype f = 0; f < played.pictures.size(); ++f) {
            QVERIFY(played.delays[f] > 0 && played.delays[f] <= 65535);
            QCOMPARE(played.delays[f] % 5, 0);
            for (int shown = 0; shown < played.delays[f]; shown += 5, ++tick) {
                if (tick > 0) {
                    reference.tick();
                }
                const QByteArray want = ledFrame(reference, unlit, lit).rgb;
                int worst = 0;
                for (qsizetype i = 0; tolerance > 0 && i < want.size(); ++i) {
                    worst =
                        std::max(worst, std::abs(quint8(want[i]) - quint8(played.pictures[f][i])));
                }
                if (tolerance == 0 ? played.pictures[f] != want : worst > tolerance) {
                    QFAIL(qPrintable(
                        QStringLiteral("frame %1 differs from tick %2").arg(f).arg(tick)));
                }
            }
            // Two frames in a row differ, or the delay was full.
            if (f > 0 && played.pictures[f] == played.pictures[f - 1]) {
                QCOMPARE(played.delays[f - 1], 65535);
            }
        }
        QCOMPARE(tick, ticks);
    }

    // Past the bound on its size the animation stops, and says why.
    void tooLargeIsSaid() {
        FixedClock clock;
        SilentBeeper silent;
        PreviewEngine engine(clock, silent);
        engine.reset();
        engine.setText("Bonjour !");
        const LedAnimation whole =
            encodeLedGif(engine, 200, assetPicture("led_gris.bmp"), assetPicture("led_bleu.bmp"));
        QVERIFY(whole.ok() && !whole.tooLarge);
        engine.reset();
        engine.setText("Bonjour !");
        const LedAnimation cut = encodeLedGif(engine, 200, assetPicture("led_gris.bmp"),
                                              assetPicture("led_bleu.bmp"), whole.gif.size() - 1);
        QVERIFY(!cut.ok());
        QVERIFY(cut.tooLarge);
        QCOMPARE(cut.giflibError, E_GIF_ERR_WRITE_FAILED);
    }

    void arguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("gif");  // empty: a usage error
        QTest::newRow("once round") << QStringList{"preview", "--gif", "a.gif", "x"} << "a.gif";
        QTest::newRow("with seconds")
            << QStringList{"preview", "--seconds", "2", "--gif=b.gif", "x"} << "b.gif";
        QTest::newRow("with --at")
            << QStringList{"preview", "--at", "3", "--gif", "a.gif", "x"} << "";
        QTest::newRow("with --png")
            << QStringList{"preview", "--at", "3", "--png", "a.png", "--gif", "a.gif", "x"} << "";
        QTest::newRow("not for send") << QStringList{"send", "--gif", "a.gif", "x"} << "";
        QTest::newRow("no file") << QStringList{"preview", "x", "--gif"} << "";
    }
    void arguments() {
        QFETCH(QStringList, args);
        QFETCH(QString, gif);
        const auto parsed = parseArguments(args);
        if (gif.isEmpty()) {
            QVERIFY(std::holds_alternative<UsageError>(parsed));
        } else {
            QVERIFY(std::holds_alternative<Invocation>(parsed));
            QCOMPARE(std::get<Invocation>(parsed).gifFile.value_or(QString()), gif);
        }
    }

    // The program: once round or --seconds, the bytes in the file; --at
    // and --gif are a usage error and write nothing.
    void programWritesTheScroll_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("centiseconds");
        FixedClock clock;
        QTest::newRow("once round")
            << QStringList{"Bonjour"} << 0 << int(ticksOnceRound("Bonjour", clock, 100000) * 5);
        QTest::newRow("--seconds 2") << QStringList{"--seconds", "2", "Bonjour"} << 0 << 200;
        QTest::newRow("--at") << QStringList{"--at", "3", "Bonjour"} << 2 << 0;
    }
    void programWritesTheScroll() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(int, centiseconds);
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("b.gif"));
        QProcess lumictl;
        lumictl.start(lumictlPath(), QStringList{"preview", "--gif", name} + args);
        QVERIFY(lumictl.waitForFinished(20000));
        QCOMPARE(lumictl.readAllStandardOutput(), QByteArray());
        QCOMPARE(lumictl.exitCode(), exitCode);
        if (exitCode != 0) {
            QVERIFY(lumictl.readAllStandardError().contains("--gif"));
            QVERIFY(!QFile::exists(name));
            return;
        }
        QCOMPARE(lumictl.readAllStandardError(), QByteArray());
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const PlayedGif played = play(file.readAll());
        QVERIFY(played.ok);
        QCOMPARE(totalDelay(played), centiseconds);
    }
};

QTEST_GUILESS_MAIN(TestLumictlGif)
#include "tst_lumictl_gif.moc"
