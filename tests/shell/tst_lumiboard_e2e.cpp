#include <QtTest>

#include "ClockTransfer.h"
#include "PanelSimProcess.h"
#include "PictureButton.h"
#include "RecordingDialogs.h"
#include "SystemSeams.h"
#include "TextTransfer.h"
#include "Transfert.h"
#include "USB2Lib.h"

// The window against panelsim through the real USB library, as a user runs it.
class TestLumiboardEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<PanelSimProcess> panel;
    SystemClock clock;
    SilentBeeper beeper;
    RecordingDialogs dialogs;
    UsbLibrary library;  // outlives every window

    LibraryLoad load() {
        return library.load(usbLibraryFileName(), {PanelSimProcess::binDir()}, QString());
    }

    std::unique_ptr<Tmodul> startWindow(bool readMemory) {
        dialogs.clear();
        dialogs.yesNoAnswers = {readMemory};
        auto w = std::make_unique<Tmodul>(TmodulSeams{
            dialogs, clock, beeper, [this] { return load(); }, PanelSimProcess::binDir(), {}});
        if (!w->FormCreate()) {
            return nullptr;
        }
        w->show();
        if (!QTest::qWaitFor([&] { return w->formShown(); })) {
            return nullptr;
        }
        return w;
    }

    // Fills the panel through the library, as an earlier session would have.
    void fillPanel(const QByteArray& text, const PanelClock& clock) {
        const LibraryLoad loaded = load();
        QVERIFY(loaded.ok());
        PanelLink link(loaded.api);
        QVERIFY(sendText(link, text).ok());
        QVERIFY(writeClock(link, clock).ok());
    }

private slots:
    // Every case gets a fresh panel of its own.
    void init() {
        panel = std::make_unique<PanelSimProcess>();
        QVERIFY2(panel->ready(), qPrintable(panel->errorText()));
        // Read by the library on every call.
        panel->select();
    }
    void cleanup() { panel.reset(); }

    void startUpWithYesReadsThePanelsTextAndClock() {
        PanelClock set;
        set.hour = 7;
        set.minute = 45;
        set.day = 3;
        set.month = 2;
        set.year = 2027;
        set.alarmHour = 6;
        set.alarmMinute = 5;
        set.alarmOn = 1;
        fillPanel(QByteArray("Bonjour \xE9t\xE9 #D"), set);
        if (QTest::currentTestFailed()) {
            return;
        }

        const auto w = startWindow(true);
        QVERIFY(w);
        QCOMPARE(dialogs.texts(), QStringList{"Lire la mémoire du Journal ?"});
        QCOMPARE(w->texttxt->text(), QStringLiteral("Bonjour été #D"));
        QVERIFY2(w->hrtxt->text().startsWith(QStringLiteral("7:45:")),
                 qPrintable(w->hrtxt->text()));
        QCOMPARE(w->datetxt->text(), QStringLiteral("3/2/2027"));
        QCOMPARE(w->revtxt->text(), QStringLiteral("6:5"));
        QVERIFY(w->revchk->isChecked());
        QCOMPARE(w->m_alarm->text(), QStringLiteral("&désactiver sonnerie de 6:5"));
    }

    void sendFromTheButtonAndReadBackFromTheMenu() {
        const auto w = startWindow(false);
        QVERIFY(w);
        w->texttxt->setText(QStringLiteral("Envoyé par le bouton"));
        QTest::mouseClick(w->envcBtn, Qt::LeftButton);
        QCOMPARE(dialogs.shown.last().text, QStringLiteral("Texte envoyé !"));
        w->texttxt->clear();
        w->m_liretexte->trigger();
        QCOMPARE(w->texttxt->text(), QStringLiteral("Envoyé par le bouton"));
    }

    void clockWrittenFromTheMenuReadsBack() {
        fillPanel("x", PanelClock{10, 0, 0, 1, 6, 2026, 6, 5, 1});
        if (QTest::currentTestFailed()) {
            return;
        }
        const auto w = startWindow(true);
        QVERIFY(w);
        // The panel's alarm is armed: the first click disarms.
        QVERIFY(w->m_alarm->text().startsWith(QStringLiteral("&désactiver")));
        w->m_alarm->trigger();
        dialogs.inputAnswers = {QStringLiteral("21:15")};
        w->m_alarm->trigger();
        w->m_sendheur->trigger();
        QCOMPARE(dialogs.shown.last().text, QStringLiteral("Heure / Date / Alarme mises à jour !"));
        w->revtxt->clear();
        w->m_lireheure->trigger();
        QCOMPARE(w->revtxt->text(), QStringLiteral("21:15"));
        QCOMPARE(w->m_alarm->text(), QStringLiteral("&désactiver sonnerie de 21:15"));
    }
};

QTEST_MAIN(TestLumiboardEndToEnd)
#include "tst_lumiboard_e2e.moc"
