// The panel's rules that every front end calls: what a text may carry, the
// read-back comparison, the clock's drift and the alarm change.
#include <QDateTime>
#include <QtTest>

#include "PanelRules.h"
#include "TextAdmission.h"

class TestPanelRules : public QObject {
    Q_OBJECT
private slots:
    void panelTextCheck_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QString>("sent");  // empty: refused; "?" only where replaced
        QTest::addColumn<int>("position");
        QTest::newRow("Western text") << "Café #I 20€ “ok” Œ" << false << "Café #I 20€ “ok” Œ" << 0;
        QTest::newRow("arrow refused") << "a→b" << false << "" << 2;
        QTest::newRow("arrow replaced") << "a→b" << true << "a?b" << 0;
        // One character outside the 16-bit plane counts once, and becomes one "?".
        QTest::newRow("emoji position") << "ab😀c→" << false << "" << 3;
        QTest::newRow("emoji replaced") << "ab😀c" << true << "ab?c" << 0;
        QTest::newRow("zero would end the text")
            << QString("ab") + QChar(0) + "c" << false << "" << 3;
        QTest::newRow("Cyrillic replaced") << "Привет!" << true << QString("??????") + "!" << 0;
        // Escape sequences would reach whoever reads the panel's text on a terminal.
        QTest::newRow("ESC refused") << "a\x1b]0;x\ab" << false << "" << 2;
        QTest::newRow("ESC and BEL replaced") << "a\x1b]0;x\ab" << true << "a?]0;x?b" << 0;
        QTest::newRow("tab refused") << "a\tb" << false << "" << 2;
        QTest::newRow("DEL refused") << "ab\x7f" << false << "" << 3;
        QTest::newRow("C1 CSI refused") << QString("a") + QChar(0x9B) + "2J" << false << "" << 2;
    }

    void panelTextCheck() {
        QFETCH(QString, text);
        QFETCH(bool, replace);
        QFETCH(QString, sent);
        QFETCH(int, position);
        const auto checked = admitText(text, replace ? Unsendable::Replace : Unsendable::Refuse);
        if (sent.isEmpty()) {
            const auto* refused = std::get_if<RefusedCharacter>(&checked);
            QVERIFY(refused != nullptr);
            QCOMPARE(int(refused->position), position);
            // A control is named as one, not as a character missing from the code page.
            const char32_t c = refused->character;
            QCOMPARE(refused->control, c < 0x20 || (c >= 0x7F && c <= 0x9F));
        } else {
            QCOMPARE(std::get<AdmittedText>(checked).text, sent);
            QCOMPARE(std::get<AdmittedText>(checked).replaced, qsizetype(sent.count(u'?')));
        }
    }

    void verifyComparison_data() {
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("readBack");
        QTest::addColumn<int>("differs");  // 0: the same
        QTest::newRow("same") << "Bonjour #H"
                              << "Bonjour #H" << 0;
        QTest::newRow("changed") << "Bonjour"
                                 << "Bonsoir" << 4;
        QTest::newRow("shorter on the panel") << "Bonjour"
                                              << "Bon" << 4;
        QTest::newRow("longer on the panel") << "Bon"
                                             << "Bonjour" << 4;
        QTest::newRow("199: the first 62 read back")
            << QString(199, u'a') << QString(62, u'a') << 0;
        QTest::newRow("250: the same") << QString(250, u'b') << QString(62, u'b') << 0;
        QTest::newRow("62nd differs") << QString(100, u'c') << QString(61, u'c') + u'd' << 62;
    }
    void verifyComparison() {
        QFETCH(QString, sent);
        QFETCH(QString, readBack);
        QFETCH(int, differs);
        const auto at = readBackDifference(sent, readBack);
        QCOMPARE(at.value_or(0), qsizetype(differs));
    }

    void drift_data() {
        QTest::addColumn<QDateTime>("panel");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("seconds");
        const QDateTime now(QDate(2026, 12, 8), QTime(12, 0, 0));
        QTest::newRow("ahead") << now.addSecs(12) << true << qint64(12);
        QTest::newRow("behind") << now.addSecs(-3600) << true << qint64(-3600);
        QTest::newRow("on time") << now << true << qint64(0);
        QTest::newRow("time out of range") << now << false << qint64(0);
    }
    void drift() {
        QFETCH(QDateTime, panel);
        QFETCH(bool, valid);
        QFETCH(qint64, seconds);
        ClockRead read;
        read.record = PanelClock{quint8(panel.time().hour()),
                                 quint8(panel.time().minute()),
                                 quint8(panel.time().second()),
                                 quint16(panel.date().day()),
                                 quint16(panel.date().month()),
                                 quint16(panel.date().year()),
                                 0,
                                 0,
                                 0};
        read.timeValid = valid;
        const auto drift = clockDrift(read, QDateTime(QDate(2026, 12, 8), QTime(12, 0, 0)));
        QCOMPARE(drift.has_value(), valid);
        if (valid) {
            QCOMPARE(*drift, seconds);
        }
        // A record that cannot be a date has no drift, valid flags or not.
        read.record.month = 13;
        read.timeValid = true;
        QVERIFY(!clockDrift(read, QDateTime::currentDateTime()));
    }

    void alarmChange_data() {
        QTest::addColumn<int>("change");  // 0: 6:45, 1: on, 2: off
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("on");
        QTest::newRow("a time arms it") << 0 << 6 << 45 << 1;
        QTest::newRow("on keeps the time") << 1 << 7 << 30 << 1;
        QTest::newRow("off keeps the time") << 2 << 7 << 30 << 0;
    }
    void alarmChange() {
        QFETCH(int, change);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(int, on);
        const std::array<AlarmChange, 3> changes{AlarmTime{6, 45}, AlarmOn{}, AlarmOff{}};
        PanelClock clock{9, 5, 0, 14, 7, 2009, 7, 30, 0};
        if (change == 2) {
            clock.alarmOn = 1;
        }
        applyAlarmChange(clock, changes[std::size_t(change)]);
        QCOMPARE(int(clock.alarmHour), hour);
        QCOMPARE(int(clock.alarmMinute), minute);
        QCOMPARE(int(clock.alarmOn), on);
        QCOMPARE(int(clock.hour), 9);  // the clock itself stays
    }
};

QTEST_GUILESS_MAIN(TestPanelRules)
#include "tst_panelrules.moc"
