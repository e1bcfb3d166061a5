#include <QtTest>

#include <QImage>

#include "BmpBuilder.h"
#include "FakeSeams.h"
#include "Fonts.h"
#include "LedPicture.h"
#include "Output.h"
#include "TerminalPreview.h"

namespace {

// A reset engine on text, after ticks.
struct Scrolled {
    FixedClock clock;
    CountingBeeper beeper;
    PreviewEngine engine{clock, beeper};
    Scrolled(const QByteArray& text, int ticks) {
        engine.reset();
        engine.setText(text);
        for (int i = 0; i < ticks; ++i) {
            engine.tick();
        }
    }
};

}  // namespace

class TestLumictlPreview : public QObject {
    Q_OBJECT
private slots:
    // Each character holds two LEDs of a column; without colour lit ones are
    // drawn, unlit ones left blank.
    void terminalDrawingOfAKnownFrame() {
        const Scrolled s("\x7f", 0);  // nothing staged: all dark
        QCOMPARE(terminalFrame(s.engine, false),
                 QString(5, u'\n').replace("\n", QString(20, u' ') + u'\n'));
        // "I" in the large font, staged and moved fully into view.
        const Scrolled i("I", 20);
        const QStringList lines = terminalFrame(i.engine, false).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        for (int c = 0; c < PreviewEngine::kShownColumns; ++c) {
            for (int row = 0; row < 5; ++row) {
                const bool upper = i.engine.isLit(c, 2 * row);
                const bool lower = i.engine.isLit(c, 2 * row + 1);
                const QChar want = upper && lower ? QChar(0x2588)
                                   : upper        ? QChar(0x2580)
                                   : lower        ? QChar(0x2584)
                                                  : QChar(u' ');
                QCOMPARE(lines[row][c], want);
            }
        }
        QVERIFY2(terminalFrame(i.engine, false).contains(QChar(0x2588)), "the I is drawn");
        // In colour: every cell a half block with its two colours, each line reset.
        const QString colour = terminalFrame(i.engine, true);
        QCOMPARE(colour.count(QChar(0x2580)), 100);
        QCOMPARE(colour.count(QStringLiteral("\x1b[0m\n")), 5);
    }

    void onceRound_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("one letter") << QByteArray("A");
        QTest::newRow("codes") << QByteArray("#IAB#PC");
        QTest::newRow("time expands") << QByteArray("x#Hy");
    }
    // Once round: the text has been read whole and starts again just then.
    void onceRound() {
        QFETCH(QByteArray, text);
        FixedClock clock;
        const std::int64_t ticks = ticksOnceRound(text, clock, 100000);
        QVERIFY(ticks > text.size() * (kFontMiniWidth - 1));
        const Scrolled before(text, int(ticks - 1));
        const Scrolled after(text, int(ticks));
        QVERIFY(before.engine.msgpos() > 1 || before.engine.subpos() != 0);
        QCOMPARE(after.engine.msgpos(), 1);
        QCOMPARE(int(after.engine.subpos()), 0);
        // A longer text takes longer.
        QVERIFY(ticksOnceRound(text + text, clock, 100000) > ticks);
        QCOMPARE(ticksOnceRound(text, clock, 5), 5);
    }

    // The PNG is what the LED pictures make on the pitch, as any reader sees it.
    void pngOfTheLeds() {
        const auto unlit = readBmp(bmp(18, 18, qRgb(90, 90, 90)));
        const auto lit = readBmp(bmp(18, 18, qRgb(20, 60, 250)));
        QVERIFY(unlit && lit);
        const Scrolled i("I", 20);
        QImage png;
        QVERIFY(png.loadFromData(encodePng(ledFrame(i.engine, *unlit, *lit)), "PNG"));
        QCOMPARE(png.size(), QSize(360, 180));
        for (int c = 0; c < PreviewEngine::kShownColumns; ++c) {
            for (int r = 0; r < PreviewEngine::kRows; ++r) {
                const QRgb want = i.engine.isLit(c, r) ? qRgb(20, 60, 250) : qRgb(90, 90, 90);
                QCOMPARE(png.pixel(c * 18 + 9, r * 18 + 9), want);
            }
        }
    }

    void damagedPicturesAreRefused_data() {
        QTest::addColumn<QByteArray>("data");
        const QByteArray good = bmp(4, 4, qRgb(1, 2, 3));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut") << good.left(good.size() - 1);
        QTest::newRow("not a BMP") << QByteArray("PK").append(good.mid(2));
        QByteArray eightBits = good;
        eightBits[28] = 8;
        QTest::newRow("8 bits a pixel") << eightBits;
        QByteArray huge = good;
        huge[19] = char(0x7F);  // width past what an LED picture could be
        QTest::newRow("huge") << huge;
    }
    void damagedPicturesAreRefused() {
        QFETCH(QByteArray, data);
        QVERIFY(!readBmp(data));
    }
};

QTEST_GUILESS_MAIN(TestLumictlPreview)
#include "tst_lumictl_preview.moc"
