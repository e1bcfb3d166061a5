#include <QLineEdit>
#include <QtTest>

#include "TypingLimit.h"

// The typing limit alone, on a bare line edit.
class TestTypingLimit : public QObject {
    Q_OBJECT

private slots:
    void validate_data() {
        QTest::addColumn<QString>("shown");  // what the edit shows before the edit
        QTest::addColumn<int>("proposed");   // the length the edit would become
        QTest::addColumn<bool>("accepted");
        QTest::newRow("under the limit") << QString(4, u'a') << 5 << true;
        QTest::newRow("up to the limit") << QString(4, u'a') << 5 << true;
        QTest::newRow("past the limit") << QString(5, u'a') << 6 << false;
        QTest::newRow("long text shortened") << QString(8, u'a') << 7 << true;
        QTest::newRow("long text kept") << QString(8, u'a') << 8 << true;
        QTest::newRow("long text grown") << QString(8, u'a') << 9 << false;
    }
    void validate() {
        QFETCH(QString, shown);
        QFETCH(int, proposed);
        QFETCH(bool, accepted);
        QLineEdit edit;
        auto* limit = new TypingLimit(&edit, 5);
        edit.setText(shown);  // the program's own text is never refused
        QCOMPARE(edit.text(), shown);
        QString input(proposed, u'b');
        int pos = 0;
        QCOMPARE(limit->validate(input, pos) == QValidator::Acceptable, accepted);
    }

    void typingStopsAtTheLimit() {
        QLineEdit edit;
        edit.setValidator(new TypingLimit(&edit, 3));
        QTest::keyClicks(&edit, QStringLiteral("abcdef"));
        QCOMPARE(edit.text(), QStringLiteral("abc"));
    }
};

QTEST_MAIN(TestTypingLimit)
#include "tst_typinglimit.moc"
