#include <QList>
#include <QTest>

#include "FakeSeams.h"
#include "Fonts.h"
#include "PreviewEngine.h"

namespace {

using Columns = QList<quint16>;
constexpr quint16 kBlank = 0xFFFF;
constexpr quint16 kInv = 0xFFFF;

// The columns of a text as they enter at the right edge, one per tick.
Columns cols(const QByteArray& text, int width = 8, quint16 mask = 0) {
    Columns out;
    for (const char ch : text) {
        for (int j = 0; j < width; ++j) {
            out.append(fontColumn(static_cast<unsigned char>(ch), width, j) ^ mask);
        }
    }
    return out;
}
Columns gap(int n) {
    return Columns(n, kBlank);
}
// The blank character staged at the end of each pass.
Columns endOfPass(int width = 8, quint16 mask = 0) {
    return Columns(width, kBlank ^ mask);
}

struct Rig {
    FixedClock clock;
    CountingBeeper beeper;
    PreviewEngine engine{clock, beeper};

    // Start-up, then the field's text; the reading starts at its first character.
    explicit Rig(const QByteArray& text) {
        engine.reset();
        engine.setText(text);
    }
    // The column that enters at the right edge after each of n ticks.
    Columns run(int n) {
        Columns out;
        for (int i = 0; i < n; ++i) {
            engine.tick();
            out.append(engine.ledcols()[20]);
        }
        return out;
    }
    // The stream from the first character read (the 9th tick) on.
    Columns stream(int n) {
        run(8);
        return run(n);
    }
};

}  // namespace

class TestPreviewEngine : public QObject {
    Q_OBJECT

private slots:
    void firstCharacterTiming() {
        FixedClock clock;
        CountingBeeper beeper;
        PreviewEngine engine(clock, beeper);
        engine.reset();
        for (int i = 0; i < 8; ++i) {
            engine.tick();
        }
        for (int k = 0; k < PreviewEngine::kWords; ++k) {
            QCOMPARE(engine.ledcols()[static_cast<std::size_t>(k)], kBlank);
        }
        engine.tick();  // 9th: "J" staged in words 20 to 27
        for (int j = 0; j < 8; ++j) {
            QCOMPARE(engine.ledcols()[static_cast<std::size_t>(20 + j)], fontColumn('J', 8, j));
        }
        // Drawn at the 10th tick: its blank first column at the right edge.
        QCOMPARE(engine.shownColumn(19), kBlank);
        engine.tick();
        // Drawn at the 11th tick: the first lit column.
        QVERIFY(engine.shownColumn(19) != kBlank);
        QCOMPARE(engine.shownColumn(19), fontColumn('J', 8, 1));
        for (int c = 0; c < 19; ++c) {
            QCOMPARE(engine.shownColumn(c), kBlank);
        }
    }

    void scroll_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Columns>("expected");
        QTest::newRow("passes joined by one blank")
            << QByteArray("AB") << cols("AB") + endOfPass() + cols("AB");
        QTest::newRow("code gap of 16 columns")
            << QByteArray("A#TB") << cols("A") + gap(16) + cols("B") + endOfPass() + cols("A");
        QTest::newRow("code gap stays blank under inverse video")
            << QByteArray("#IA#TB")
            << gap(16) + cols("A", 8, kInv) + gap(16) + cols("B", 8, kInv) + endOfPass(8, kInv);
        QTest::newRow("#I alternates between passes")
            << QByteArray("#IA")
            << gap(16) + cols("A", 8, kInv) + endOfPass(8, kInv) + gap(16) + cols("A") +
                   endOfPass() + gap(16) + cols("A", 8, kInv);
        QTest::newRow("#P: small font from then on, also next pass")
            << QByteArray("AB#PCD")
            << cols("AB") + gap(16) + cols("CD", 6) + endOfPass(6) + cols("AB", 6) + gap(12) +
                   cols("CD", 6) + endOfPass(6);
        QTest::newRow("#N back to the large font")
            << QByteArray("#PA#NB") << gap(16) + cols("A", 6) + gap(12) + cols("B") + endOfPass();
        QTest::newRow("## passed over")
            << QByteArray("A##B") << cols("A") + gap(16) + cols("B") + endOfPass() + cols("A");
        QTest::newRow("#a passed over")
            << QByteArray("A#aB") << cols("A") + gap(16) + cols("B") + endOfPass() + cols("A");
        QTest::newRow("speed and temperature codes do nothing")
            << QByteArray("A#0#4#TB") << cols("A") + gap(48) + cols("B") + endOfPass();
        QTest::newRow("text ending in # has no end blank")
            << QByteArray("AB#") << cols("AB") + gap(16) + cols("AB") + gap(16) + cols("A");
        QTest::newRow("control character ends the pass")
            << QByteArray(
                   "A\x01"
                   "B")
            << cols("A") + endOfPass() + cols("A") + endOfPass();
        QTest::newRow("codes above 126 show as spaces") << QByteArray(
                                                               "A\xE9\x7F\xFF"
                                                               "B")
                                                        << cols("A   B") + endOfPass();
        QTest::newRow("#D on 14 July 2009")
            << QByteArray("#DX") << gap(16) + cols("mardi 14 juillet 2009X") + endOfPass();
        QTest::newRow("#H in the small font")
            << QByteArray("#P#HX") << gap(16) + gap(12) + cols("14:32:05X", 6) + endOfPass(6);
        QTest::newRow("cleared field keeps the matrix dark") << QByteArray() << gap(8 * 5);
        QTest::newRow("cleared field fully lit under inverse video")
            << QByteArray("#I") << gap(16) + endOfPass(8, kInv) + gap(16) + endOfPass();
    }
    void scroll() {
        QFETCH(QByteArray, text);
        QFETCH(Columns, expected);
        Rig rig(text);
        QCOMPARE(rig.stream(static_cast<int>(expected.size())), expected);
    }

    void clearedFieldUnderInverseVideoStaysLit() {
        Rig rig("#I");
        rig.stream(24);  // "#I" read, mask on, end of pass shown
        rig.engine.setText(QByteArray());
        // The lone blank and the end of each pass, all staged fully lit.
        QCOMPARE(rig.run(8 * 6), Columns(8 * 6, kBlank ^ kInv));
    }

    void welcomeTextHasThreeBlanksBetweenPasses() {
        Rig rig(kWelcomeText);
        const QByteArray text(kWelcomeText);
        const Columns stream = rig.stream(8 * (static_cast<int>(text.size()) + 2));
        QCOMPARE(stream, cols(text) + endOfPass() + cols("J"));
        QCOMPARE(stream.mid(8 * (text.size() - 2), 24), gap(24));
    }

    void shorterTextMidPassEndsThePass() {
        Rig rig("ABCDEFGH");
        Columns stream = rig.stream(8 * 4);  // A to D staged
        QCOMPARE(rig.engine.msgpos(), 5);
        rig.engine.setText("XY");
        stream += rig.run(8 * 4);
        QCOMPARE(stream, cols("ABCD") + endOfPass() + cols("XY") + endOfPass());
    }

    void changedTextGoesOnAtThePosition() {
        Rig rig("ABCDEFGH");
        Columns stream = rig.stream(8 * 2);
        rig.engine.setText("abcdefgh");
        stream += rig.run(8 * 2);
        QCOMPARE(stream, cols("ABcd"));
    }

    void pendingCodeSurvivesATextChange() {
        Rig rig("AB#");
        rig.stream(8 * 3);  // "#" read
        QVERIFY(rig.engine.codeflag());
        rig.engine.setText("abcIX");
        const Columns stream = rig.run(8 * 2);
        // "I" taken as the code character: the next character comes inverted.
        QCOMPARE(stream.mid(8), cols("X", 8, kInv));
    }

    void wordsBeyondTheStageStayBlank() {
        Rig rig("#IAb#P~g#D\xC9#H\x01");
        for (int i = 0; i < 2000; ++i) {
            rig.engine.tick();
            for (int k = 28; k <= 30; ++k) {
                QCOMPARE(rig.engine.ledcols()[static_cast<std::size_t>(k)], kBlank);
            }
        }
    }

    void beepOncePerPass() {
        Rig rig("A#BC");
        rig.stream(8 * 4);
        QCOMPARE(rig.beeper.beeps, 1);
        rig.run(8 * 2);  // end of pass, "A"
        QCOMPARE(rig.beeper.beeps, 1);
        rig.run(8 * 2);  // "#B" again
        QCOMPARE(rig.beeper.beeps, 2);
    }

    void expansionIsTakenWhenTheCodeIsRead() {
        Rig rig("#HX");
        rig.run(8 + 16);
        rig.clock.at = rig.clock.at.addSecs(1);
        QCOMPARE(rig.engine.subtxt(), QByteArray("14:32:05"));
        rig.run(8 * 12);  // the expansion, "X", end of pass, then "#H" again
        QCOMPARE(rig.engine.subtxt(), QByteArray("14:32:06"));
    }

    void oddExpansions_data() {
        QTest::addColumn<QString>("longTime");
        QTest::addColumn<Columns>("expected");
        QTest::newRow("accented letter shows as a space")
            << QStringLiteral("9 h 5 é") << gap(16) + cols("9 h 5  X") + endOfPass();
        QTest::newRow("empty expansion shows nothing")
            << QStringLiteral("") << gap(16) + cols("X") + endOfPass();
        QTest::newRow("# in an expansion is a code")
            << QStringLiteral("1#I2") << gap(16) + cols("1") + gap(16) + cols("2X", 8, kInv);
    }
    void oddExpansions() {
        QFETCH(QString, longTime);
        QFETCH(Columns, expected);
        Rig rig("#HX");
        rig.clock.longTimeText = longTime;
        QCOMPARE(rig.stream(static_cast<int>(expected.size())), expected);
    }

    void overlongExpansionStaysInBounds() {
        Rig rig("#HX");
        rig.clock.longTimeText = QString(300, QLatin1Char('7'));
        const Columns stream = rig.stream(16 + 8 * 256);
        // 255 characters fit the 8-bit position; then the text goes on.
        QCOMPARE(stream.mid(16, 8 * 255), cols(QByteArray(255, '7')));
        QCOMPARE(stream.mid(16 + 8 * 255), cols("X"));
    }

    void ticksBeforeStartUpDoNothing() {
        FixedClock clock;
        CountingBeeper beeper;
        PreviewEngine engine(clock, beeper);
        engine.setText("#BAB");
        for (int i = 0; i < 100; ++i) {
            engine.tick();
        }
        QCOMPARE(engine.shifts(), quint64(0));
        QCOMPARE(beeper.beeps, 0);
        for (int c = 0; c < PreviewEngine::kShownColumns; ++c) {
            QCOMPARE(engine.shownColumn(c), kBlank);
        }
        engine.reset();
        QCOMPARE(engine.msgtxt(), QByteArray(kWelcomeText));
        engine.tick();
        QCOMPARE(engine.shifts(), quint64(1));
    }

    void resetKeepsPendingCodeButRestoresTheRest() {
        Rig rig("#IAB#P#");
        rig.stream(8 * 6 + 1);  // up to the last "#"
        QVERIFY(rig.engine.codeflag());
        rig.engine.reset();
        QCOMPARE(rig.engine.fontwidth(), 8);
        QCOMPARE(rig.engine.invmask(), quint16(0));
        QCOMPARE(rig.engine.msgpos(), 1);
        QCOMPARE(rig.engine.colcount(), 8);
        QVERIFY(rig.engine.codeflag());
    }
};

QTEST_GUILESS_MAIN(TestPreviewEngine)
#include "tst_previewengine.moc"
