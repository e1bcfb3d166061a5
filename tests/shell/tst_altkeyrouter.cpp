#include <QPushButton>
#include <QShortcutEvent>
#include <QtTest>

#include "AltKeyRouter.h"

// Alt+key routing, on a bare window with two buttons.
class TestAltKeyRouter : public QObject {
    Q_OBJECT

    struct Window {
        QWidget window;
        QPushButton* send = new QPushButton(QStringLiteral("&Envoyer"), &window);
        QPushButton* read = new QPushButton(QStringLiteral("&Lecture"), &window);
        AltKeyRouter* router = new AltKeyRouter(&window, {send, read});
        int sends = 0;
        int reads = 0;
        Window() {
            QObject::connect(send, &QPushButton::clicked, [this] { ++sends; });
            QObject::connect(read, &QPushButton::clicked, [this] { ++reads; });
            window.show();
        }
        // A shortcut event for key as the application delivers it to watched.
        bool deliver(QObject* watched, const QKeySequence& key) {
            QShortcutEvent event(key, 0);
            return router->eventFilter(watched, &event);
        }
    };

private slots:
    void route_data() {
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<int>("sends");
        QTest::addColumn<int>("reads");
        QTest::newRow("Alt+E") << QKeySequence(Qt::ALT | Qt::Key_E) << true << 1 << 0;
        QTest::newRow("Alt+L") << QKeySequence(Qt::ALT | Qt::Key_L) << true << 0 << 1;
        QTest::newRow("unmarked key") << QKeySequence(Qt::ALT | Qt::Key_X) << false << 0 << 0;
        QTest::newRow("no Alt") << QKeySequence(Qt::Key_E) << false << 0 << 0;
        QTest::newRow("Ctrl+Alt") << QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_E) << false << 0
                                  << 0;
        QTest::newRow("two keys") << QKeySequence(Qt::ALT | Qt::Key_E, Qt::ALT | Qt::Key_L) << false
                                  << 0 << 0;
    }
    void route() {
        QFETCH(QKeySequence, key);
        QFETCH(bool, taken);
        QFETCH(int, sends);
        QFETCH(int, reads);
        Window w;
        QCOMPARE(w.deliver(w.read, key), taken);
        QCOMPARE(w.sends, sends);
        QCOMPARE(w.reads, reads);
    }

    void buttonsThatCannotTakeItLetItPass() {
        Window w;
        w.send->setEnabled(false);
        QVERIFY(!w.deliver(&w.window, QKeySequence(Qt::ALT | Qt::Key_E)));
        w.read->setFocusPolicy(Qt::NoFocus);
        QVERIFY(!w.deliver(&w.window, QKeySequence(Qt::ALT | Qt::Key_L)));
        QCOMPARE(w.sends + w.reads, 0);
    }

    void otherWindowsAreLeftAlone() {
        Window w;
        QWidget other;
        QVERIFY(!w.deliver(&other, QKeySequence(Qt::ALT | Qt::Key_E)));
        QVERIFY(!w.deliver(this, QKeySequence(Qt::ALT | Qt::Key_E)));  // not a widget
        QCOMPARE(w.sends, 0);
    }
};

QTEST_MAIN(TestAltKeyRouter)
#include "tst_altkeyrouter.moc"
