#include <QtTest>

#include "Accelerators.h"

Q_DECLARE_METATYPE(QList<QString>)

class TestAccelerators : public QObject {
    Q_OBJECT
private slots:
    void level_data() {
        QTest::addColumn<QList<QString>>("captions");
        QTest::addColumn<QList<QString>>("expected");

        QTest::newRow("menu bar") << QList<QString>{"&Lire", "&Envoyer", "Réveil", "&Insérer",
                                                    "&Quitter"}
                                  << QList<QString>{"&Lire", "&Envoyer", "&Réveil", "&Insérer",
                                                    "&Quitter"};
        QTest::newRow("insert menu: maxi takes its o")
            << QList<QString>{"-> Inverse vidéo", "-> Heure",      "-> Date",    "-> Température",
                              "-> Fonte mini",    "-> Fonte maxi", "-> Vitesse", "-> Beep"}
            << QList<QString>{"-> &Inverse vidéo", "-> &Heure",      "-> &Date",
                              "-> &Température",   "-> &Fonte mini", "-> F&onte maxi",
                              "-> &Vitesse",       "-> &Beep"};
        QTest::newRow("speeds take their digits")
            << QList<QString>{"0 (très lent)", "1 (lent)", "2 (normal)", "3 (normal+)",
                              "4 (rapide)"}
            << QList<QString>{"&0 (très lent)", "&1 (lent)", "&2 (normal)", "&3 (normal+)",
                              "&4 (rapide)"};
        QTest::newRow("marked key taken earlier loses its mark")
            << QList<QString>{"&Texte", "&Tout"} << QList<QString>{"&Texte", "T&out"};
        QTest::newRow("marked items win over earlier unmarked ones")
            << QList<QString>{"Texte", "&Tout"} << QList<QString>{"T&exte", "&Tout"};
        QTest::newRow("lower case counts as upper case")
            << QList<QString>{"&abc", "Axe"} << QList<QString>{"&abc", "A&xe"};
        QTest::newRow("retry places unplaced items first")
            << QList<QString>{"AB", "A"} << QList<QString>{"A&B", "&A"};
        QTest::newRow("no free key leaves the caption alone")
            << QList<QString>{"A", "A"} << QList<QString>{"&A", "A"};
        QTest::newRow("double ampersand is a literal, not a mark")
            << QList<QString>{"&&Z", "Z"} << QList<QString>{"&&&Z", "Z"};
        QTest::newRow("accented letters are no candidates")
            << QList<QString>{"été"} << QList<QString>{"é&té"};
        QTest::newRow("separators and empty captions stay")
            << QList<QString>{"-", "", "Quitter"} << QList<QString>{"-", "", "&Quitter"};
        QTest::newRow("already marked level is a fixed point")
            << QList<QString>{"&désactiver sonnerie de 7:5"}
            << QList<QString>{"&désactiver sonnerie de 7:5"};
        QTest::newRow("a mark on U+0000 is a mark: nothing added, pass after pass")
            << QList<QString>{QStringLiteral("A&") + QChar(0) + QStringLiteral("B")}
            << QList<QString>{QStringLiteral("A&") + QChar(0) + QStringLiteral("B")};
        QTest::newRow("alarm captions") << QList<QString>{"désactiver sonnerie de 12:34"}
                                        << QList<QString>{"&désactiver sonnerie de 12:34"};
    }
    void level() {
        QFETCH(QList<QString>, captions);
        QFETCH(QList<QString>, expected);
        QList<MenuCaption> items;
        for (const auto& c : captions) {
            items.append({c, true});
        }
        QCOMPARE(assignAccelerators(items), expected);
    }

    void hiddenItemsTakeNoKey() {
        const QList<QString> out = assignAccelerators({{"Alpha", false}, {"Apex", true}});
        QCOMPARE(out, (QList<QString>{"Alpha", "&Apex"}));
    }

    void markedKey_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QChar>("key");
        QTest::newRow("plain") << "&Envoyer" << QChar(u'E');
        QTest::newRow("lower") << "L&ecture" << QChar(u'E');
        QTest::newRow("literal only") << "A&&B" << QChar();
        QTest::newRow("none") << "Texte" << QChar();
        QTest::newRow("trailing ampersand") << "Texte&" << QChar();
    }
    void markedKey() {
        QFETCH(QString, caption);
        QFETCH(QChar, key);
        QCOMPARE(::markedKey(caption), key);
    }
};

QTEST_GUILESS_MAIN(TestAccelerators)
#include "tst_accelerators.moc"
