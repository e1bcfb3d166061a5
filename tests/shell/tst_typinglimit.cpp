#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QtTest>

#include "TypingLimit.h"

namespace {

// Types text key by key, whatever its characters (QTest's keyClicks takes
// Latin-1 only).
void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

}  // namespace

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

    // The program's own longer text once left the edit taking every keystroke.
    void typingStaysLimitedAfterTheProgramsText() {
        QLineEdit edit;
        edit.setValidator(new TypingLimit(&edit, 200));
        QTest::keyClicks(&edit, QString(199, u'a'));
        edit.setText(edit.text() + QStringLiteral("#I"));  // as an insertion does
        QCOMPARE(edit.text().size(), 201);
        QTest::keyClicks(&edit, QString(60, u'b'));
        QCOMPARE(edit.text().size(), 201);
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QTest::keyClicks(&edit, QStringLiteral("cd"));
        QCOMPARE(edit.text(), QString(199, u'a') + QStringLiteral("c"));
    }

    void pasteKeepsWhatFits_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("start");   // caret, or selection start
        QTest::addColumn<int>("length");  // selected characters
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("caret");
        const QString a195(195, u'a');
        const QString a200(200, u'a');
        QTest::newRow("fits whole") << QString(190, u'a') << 190 << 0 << "0123456789"
                                    << QString(190, u'a') + "0123456789" << 200;
        QTest::newRow("first characters at the end")
            << a195 << 195 << 0 << "0123456789" << a195 + "01234" << 200;
        QTest::newRow("first characters in the middle")
            << a195 << 10 << 0 << "0123456789" << QString(10, u'a') + "01234" + QString(185, u'a')
            << 15;
        QTest::newRow("over a selection") << a200 << 0 << 3 << "0123456789"
                                          << "012" + QString(197, u'a') << 3;
        QTest::newRow("full field") << a200 << 100 << 0 << "xy" << a200 << 100;
        QTest::newRow("longer program text")
            << QString(202, u'a') << 0 << 0 << "xy" << QString(202, u'a') << 0;
        QTest::newRow("longer program text over a selection")
            << QString(202, u'a') << 0 << 2 << "xyz"
            << "xy" + QString(200, u'a') << 2;
        QTest::newRow("outside the code page")
            << "ab" << 1 << 0 << QString::fromUtf16(u"ő€\U0001F600é")
            << QString::fromUtf16(u"a?€?éb") << 5;
    }
    void pasteKeepsWhatFits() {
        QFETCH(QString, before);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QString, pasted);
        QFETCH(QString, after);
        QFETCH(int, caret);
        QLineEdit edit;
        edit.setValidator(new TypingLimit(&edit, 200));
        edit.setText(before);
        edit.setSelection(start, length);
        if (length == 0) {
            edit.setCursorPosition(start);
        }
        QGuiApplication::clipboard()->setText(pasted);
        edit.paste();
        QCOMPARE(edit.text(), after);
        QCOMPARE(edit.cursorPosition(), caret);
    }

    // The field holds what the panel receives, whoever puts the text in.
    void charactersOutsideTheCodePageBecomeQuestionMarks() {
        QLineEdit edit;
        edit.setValidator(new TypingLimit(&edit, 5));
        typeText(&edit, QString::fromUtf16(u"aőé€"));
        QCOMPARE(edit.text(), QString::fromUtf16(u"a?é€"));
        QCOMPARE(edit.cursorPosition(), 4);
        edit.setText(QString::fromUtf16(u"Ωmega \U0001F600 ok"));
        QCOMPARE(edit.text(), QStringLiteral("?mega ? ok"));
    }
};

QTEST_MAIN(TestTypingLimit)
#include "tst_typinglimit.moc"
