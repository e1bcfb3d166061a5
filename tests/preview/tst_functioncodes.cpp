#include <QSet>
#include <QTest>

#include "FakeSeams.h"
#include "FunctionCodes.h"
#include "PreviewEngine.h"

class TestFunctionCodes : public QObject {
    Q_OBJECT

private slots:
    void tableFollowsTheMenu() {
        QString codes;
        QString speeds;
        QSet<QString> items;
        for (const FunctionCode& f : kFunctionCodes) {
            const QString text = functionCodeText(f);
            QCOMPARE(text.size(), 2);
            QCOMPARE(text[0], u'#');
            codes += text[1];
            if (f.menu == CodeMenu::Speed) {
                speeds += text[1];
            }
            items.insert(QString::fromLatin1(f.itemName));
        }
        QCOMPARE(codes, QStringLiteral("IHDTPN01234B"));
        QCOMPARE(speeds, QStringLiteral("01234"));
        QCOMPARE(items.size(), 12);
        QCOMPARE(QString::fromUtf16(kFunctionCodes[0].caption), QStringLiteral("-> Inverse vidéo"));
        QCOMPARE(QString::fromUtf16(kFunctionCodes[3].caption), QStringLiteral("-> Température"));
        QCOMPARE(QString::fromLatin1(kFunctionCodes[6].itemName), QStringLiteral("v0menu"));
        QCOMPARE(QString::fromUtf16(kFunctionCodes[6].caption), QStringLiteral("0 (très lent)"));
        QCOMPARE(QString::fromUtf16(kFunctionCodes[10].caption), QStringLiteral("4 (rapide)"));
        QCOMPARE(QString::fromUtf16(kFunctionCodes[11].caption), QStringLiteral("-> Beep"));
    }

    // What the preview does for each code character: those the preview
    // imitates, and the panel's own that it passes over.
    void effects_data() {
        QTest::addColumn<char>("letter");
        QTest::addColumn<int>("effect");
        QTest::newRow("I") << 'I' << int(CodeEffect::Inverse);
        QTest::newRow("H") << 'H' << int(CodeEffect::Time);
        QTest::newRow("D") << 'D' << int(CodeEffect::Date);
        QTest::newRow("P") << 'P' << int(CodeEffect::FontMini);
        QTest::newRow("N") << 'N' << int(CodeEffect::FontMaxi);
        QTest::newRow("B") << 'B' << int(CodeEffect::Beep);
        QTest::newRow("T") << 'T' << int(CodeEffect::None);
        QTest::newRow("speed 3") << '3' << int(CodeEffect::None);
        QTest::newRow("lower case i") << 'i' << int(CodeEffect::None);
        QTest::newRow("not a code") << 'Z' << int(CodeEffect::None);
        QTest::newRow("zero byte") << '\0' << int(CodeEffect::None);
    }
    void effects() {
        QFETCH(char, letter);
        QFETCH(int, effect);
        QCOMPARE(int(codeEffect(letter)), effect);
    }

    void insertsAtCaret_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("expected");
        QTest::newRow("start") << "Bonjour" << 0 << "#IBonjour";
        QTest::newRow("end") << "Bonjour" << 7 << "Bonjour#I";
        QTest::newRow("middle") << "Bonjour" << 3 << "Bon#Ijour";
        QTest::newRow("empty field") << "" << 0 << "#I";
        // A selection's start: the code goes in front, the selected text stays.
        QTest::newRow("selection njo") << "Bonjour" << 2 << "Bo#Injour";
        QTest::newRow("accented text") << "Réveil à 7h" << 8 << "Réveil à#I 7h";
        QTest::newRow("caret past the end") << "ab" << 9 << "ab#I";
        QTest::newRow("negative caret") << "ab" << -1 << "#Iab";
    }
    void insertsAtCaret() {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QString, expected);
        QCOMPARE(insertFunctionCode(text, caret, QStringLiteral("#I")), expected);
    }

    void fullFieldStillTakesTheCode() {
        const QString full(200, QLatin1Char('x'));
        const QString out = insertFunctionCode(full, 100, QStringLiteral("#B"));
        QCOMPARE(out.size(), 202);
        QCOMPARE(out.mid(100, 2), QStringLiteral("#B"));
        QCOMPARE(out.left(100) + out.mid(102), full);
    }

    void previewCopyFollowsTheField_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("msgtxt");
        QTest::newRow("text") << QByteArray("#IAB") << QByteArray("#IAB");
        QTest::newRow("cleared") << QByteArray() << QByteArray(" ");
        QTest::newRow("code only") << QByteArray("#H") << QByteArray("#H");
    }
    void previewCopyFollowsTheField() {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, msgtxt);
        FixedClock clock;
        CountingBeeper beeper;
        PreviewEngine engine(clock, beeper);
        engine.reset();
        for (int i = 0; i < 30; ++i) {
            engine.tick();
        }
        const int pos = engine.msgpos();
        engine.setText(field);
        QCOMPARE(engine.msgtxt(), msgtxt);
        QCOMPARE(engine.msgpos(), pos);  // the scroll goes on where it was
    }
};

QTEST_GUILESS_MAIN(TestFunctionCodes)
#include "tst_functioncodes.moc"
