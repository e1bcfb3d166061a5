#include <QList>
#include <QSet>
#include <QTest>

#include "Fonts.h"

namespace {

using Glyph = QList<quint16>;

Glyph glyph(int code, int width) {
    Glyph g;
    for (int j = 0; j < width; ++j) {
        g.append(fontColumn(code, width, j));
    }
    return g;
}

bool isBlank(int code, int width) {
    const Glyph g = glyph(code, width);
    return std::all_of(g.begin(), g.end(), [](quint16 w) { return w == 0xFFFF; });
}

bool lightsRow(int code, int width, int row) {
    const Glyph g = glyph(code, width);
    return std::any_of(g.begin(), g.end(), [row](quint16 w) { return (w & (1u << row)) == 0; });
}

QSet<int> codesOf(const QByteArray& chars) {
    QSet<int> s;
    for (const char c : chars) {
        s.insert(static_cast<unsigned char>(c));
    }
    return s;
}

Glyph words(std::initializer_list<quint16> l) {
    return Glyph(l);
}

}  // namespace

class TestFonts : public QObject {
    Q_OBJECT

private slots:
    void recordsCarryTheirCode() {
        for (int c = 0; c < kFontRecords; ++c) {
            QCOMPARE(fontmaxi[static_cast<std::size_t>(c * 9)], c);
            QCOMPARE(fontmini[static_cast<std::size_t>(c * 7)], c);
        }
    }

    void unusedBitsAreSet() {
        for (std::size_t i = 0; i < fontmaxi.size(); i += 1) {
            if (i % 9 != 0) {
                QVERIFY2((fontmaxi[i] & 0xFC00) == 0xFC00, qPrintable(QString::number(i)));
            }
        }
        for (std::size_t i = 0; i < fontmini.size(); i += 1) {
            if (i % 7 != 0) {
                QVERIFY2((fontmini[i] & 0xFC00) == 0xFC00, qPrintable(QString::number(i)));
            }
        }
    }

    void tellingRecords_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<Glyph>("maxi");
        QTest::addColumn<Glyph>("mini");
        const quint16 F = 0xFFFF;
        QTest::newRow("space") << 0x20 << words({F, F, F, F, F, F, F, F})
                               << words({F, F, F, F, F, F});
        QTest::newRow("#") << 0x23
                           << words({F, 0xFFBB, 0xFE00, 0xFE00, 0xFFBB, 0xFE00, 0xFE00, 0xFFBB})
                           << words({F, 0xFFDB, 0xFE00, 0xFFDB, 0xFE00, 0xFFDB});
        QTest::newRow("0") << 0x30 << words({F, F, 0xFF01, 0xFE00, 0xFEDE, 0xFEEE, 0xFE00, 0xFF01})
                           << words({0xFF01, 0xFEFE, 0xFEFE, 0xFEFE, 0xFF01, F});
        QTest::newRow("1") << 0x31 << words({F, 0xFFFB, 0xFFFB, 0xFFF9, 0xFE00, 0xFE00, F, F})
                           << words({F, 0xFEFD, 0xFEFD, 0xFE00, 0xFEFF, F});
        QTest::newRow(":") << 0x3A << words({F, F, F, 0xFE73, 0xFE73, 0xFE73, F, F})
                           << words({F, 0xFE73, 0xFE73, F, F, F});
        QTest::newRow("A") << 0x41 << words({F, 0xFE03, 0xFE01, 0xFFDC, 0xFFDC, 0xFE01, 0xFE03, F})
                           << words({0xFE01, 0xFFDE, 0xFFDE, 0xFFDE, 0xFE01, F});
        QTest::newRow("g") << 0x67 << words({F, 0xFD87, 0xFD03, 0xFD7B, 0xFD7B, 0xFC03, 0xFE03, F})
                           << words({0xFF01, 0xFEFE, 0xFEFE, 0xFEEE, 0xFE0E, F});
        QTest::newRow("~") << 0x7E
                           << words(
                                  {0xFFF9, 0xFFFC, 0xFFFE, 0xFFFC, 0xFFF9, 0xFFFB, 0xFFF9, 0xFFFC})
                           << words({F, F, F, F, F, F});
    }
    void tellingRecords() {
        QFETCH(int, code);
        QFETCH(Glyph, maxi);
        QFETCH(Glyph, mini);
        QCOMPARE(glyph(code, 8), maxi);
        QCOMPARE(glyph(code, 6), mini);
    }

    void controlCodesAreBlank() {
        for (int c = 0; c < 32; ++c) {
            QVERIFY(isBlank(c, 8));
            QVERIFY(isBlank(c, 6));
        }
    }

    void blankPrintables_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<QByteArray>("blanks");
        QTest::newRow("fontmaxi") << 8 << QByteArray(" ^_`{|}");
        QTest::newRow("fontmini") << 6 << QByteArray(" %.@[\\]^_`{|}~");
    }
    void blankPrintables() {
        QFETCH(int, width);
        QFETCH(QByteArray, blanks);
        const QSet<int> expected = codesOf(blanks);
        for (int c = 32; c <= 126; ++c) {
            QVERIFY2(isBlank(c, width) == expected.contains(c),
                     qPrintable(QStringLiteral("code 0x%1").arg(c, 2, 16)));
        }
    }

    void onlyDescendersLightRowNine_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<QByteArray>("descenders");
        QTest::newRow("fontmaxi") << 8 << QByteArray("$%(),./;Q[\\]gjpqy");
        QTest::newRow("fontmini") << 6 << QByteArray("$(),;Qq");
    }
    void onlyDescendersLightRowNine() {
        QFETCH(int, width);
        QFETCH(QByteArray, descenders);
        const QSet<int> expected = codesOf(descenders);
        for (int c = 0; c <= 126; ++c) {
            QVERIFY2(lightsRow(c, width, 9) == expected.contains(c),
                     qPrintable(QStringLiteral("'%1'").arg(QChar(c))));
        }
    }

    void spacingColumn_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("column");
        QTest::addColumn<QByteArray>("exceptions");
        QTest::newRow("fontmaxi, left") << 8 << 0 << QByteArray("$%@~");
        QTest::newRow("fontmini, right") << 6 << 5 << QByteArray("#$&*+/4");
    }
    void spacingColumn() {
        QFETCH(int, width);
        QFETCH(int, column);
        QFETCH(QByteArray, exceptions);
        const QSet<int> expected = codesOf(exceptions);
        for (int c = 0; c <= 126; ++c) {
            const bool lit = fontColumn(c, width, column) != 0xFFFF;
            QVERIFY2(lit == expected.contains(c), qPrintable(QStringLiteral("'%1'").arg(QChar(c))));
        }
    }

    void miniHasCapitalsOnly() {
        for (int c = 'a'; c <= 'z'; ++c) {
            QCOMPARE(glyph(c, 6), glyph(c - 'a' + 'A', 6));
        }
        QCOMPARE(glyph('0', 6), glyph('O', 6));
    }

    void maxiGlyphsAreDistinct() {
        QHash<Glyph, int> seen;
        for (int c = 33; c <= 126; ++c) {
            if (isBlank(c, 8)) {
                continue;
            }
            const Glyph g = glyph(c, 8);
            QVERIFY2(!seen.contains(g),
                     qPrintable(
                         QStringLiteral("'%1' repeats '%2'").arg(QChar(c), QChar(seen.value(g)))));
            seen.insert(g, c);
        }
    }

    // One cap height and one baseline: every capital and digit spans rows 0 to 8.
    void capitalsAndDigitsShareTheLine() {
        for (const int width : {8, 6}) {
            for (int c = 33; c <= 126; ++c) {
                if (!QChar(c).isUpper() && !QChar(c).isDigit()) {
                    continue;
                }
                const QString what = QStringLiteral("'%1' width %2").arg(QChar(c)).arg(width);
                QVERIFY2(lightsRow(c, width, 0), qPrintable(what));
                QVERIFY2(lightsRow(c, width, 8), qPrintable(what));
            }
        }
    }

    void tildeIsAWaveOnTop() {
        for (int r = 0; r < 10; ++r) {
            QCOMPARE(lightsRow('~', 8, r), r <= 2);
        }
    }

    void lookupFollowsTheRecordLayout() {
        QCOMPARE(fontColumn('A', 8, 1), fontmaxi[0x41 * 9 + 2]);
        QCOMPARE(fontColumn('A', 6, 0), fontmini[0x41 * 7 + 1]);
        QCOMPARE(fontColumn('~', 8, 7), fontmaxi[0x7E * 9 + 8]);
        // Outside the tables reads blank, never beyond them.
        QCOMPARE(fontColumn(127, 8, 0), quint16(0xFFFF));
        QCOMPARE(fontColumn(255, 6, 0), quint16(0xFFFF));
        QCOMPARE(fontColumn(-1, 8, 0), quint16(0xFFFF));
        QCOMPARE(fontColumn('A', 8, 8), quint16(0xFFFF));
        QCOMPARE(fontColumn('A', 7, 0), quint16(0xFFFF));
    }
};

QTEST_GUILESS_MAIN(TestFonts)
#include "tst_fonts.moc"
