#include <QtTest>

#include "Clock.h"

// The user's time and date formats, made fit for the panel.
class TestClockFormats : public QObject {
    Q_OBJECT
private slots:
    void longTimeWithoutZone_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("panel");
        QTest::newRow("French") << "HH:mm:ss"
                                << "HH:mm:ss";
        QTest::newRow("zone after") << "HH:mm:ss t"
                                    << "HH:mm:ss";
        QTest::newRow("long zone name") << "h:mm:ss AP tttt"
                                        << "h:mm:ss AP";
        QTest::newRow("zone in front") << "t HH:mm:ss"
                                       << "HH:mm:ss";
        QTest::newRow("quoted t stays") << "HH 'h' mm 'et' ss t"
                                        << "HH 'h' mm 'et' ss";
        QTest::newRow("only a zone") << "t"
                                     << "HH:mm:ss";
        QTest::newRow("empty") << ""
                               << "HH:mm:ss";
    }
    void longTimeWithoutZone() {
        QFETCH(QString, locale);
        QFETCH(QString, panel);
        QCOMPARE(longTimeFormatWithoutZone(locale), panel);
    }

    void dateSeparator_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("separator");
        QTest::newRow("French") << "dd/MM/yyyy"
                                << "/";
        QTest::newRow("German") << "dd.MM.yy"
                                << ".";
        QTest::newRow("ISO") << "yyyy-MM-dd"
                             << "-";
        QTest::newRow("blank before the dot") << "d . M . yyyy"
                                              << ".";
        QTest::newRow("quote not taken") << "d'.'MM'.'yyyy"
                                         << ".";
        QTest::newRow("leading punctuation skipped") << "/dd-MM"
                                                     << "-";
        QTest::newRow("no separator") << "ddMMyyyy"
                                      << "/";
        QTest::newRow("empty") << ""
                               << "/";
    }
    void dateSeparator() {
        QFETCH(QString, format);
        QFETCH(QString, separator);
        QCOMPARE(dateSeparatorOf(format), separator);
    }
};

QTEST_GUILESS_MAIN(TestClockFormats)
#include "tst_clockformats.moc"
