#include <QtTest>

#include "ClockTransfer.h"
#include "PanelSimProcess.h"
#include "PictureButton.h"
#include "RecordingDialogs.h"
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

    std::unique_ptr<Tmodul> startWindow(bool readMemory) {
        dialogs.clear();
        dialogs.yesNoAnswers = {readMemory};
        auto w = std::make_unique<Tmodul>(TmodulSeams{
            dialogs, clock, beeper,
            [](UsbApi& api, Dialogs& d) {
                return LoadUsbLibrary(api, d, usbLibraryFileName(), {PanelSimProcess::binDir()});
            },
            PanelSimProcess::binDir()});
        if (!w->FormCreate()) {
            return nullptr;
        }
        w->show();
        if (!QTest::qWaitFor([&] { return w->formShown(); })) {
            return nullptr;
        }
        return w;
    }

private slots:
    void initTestCase() {
        panel = std::make_unique<PanelSimProcess>();
        QVERIFY2(panel->ready(), qPrintable(panel->errorText()));
        // The library picks its backend from the environment at its first call.
        qputenv("MPUSBAPI_VIRTUAL", panel->socketPath().toLocal8Bit());
    }
    void cleanupTestCase() { panel.reset(); }

    void startUpWithYesReadsThePanelsTextAndClock() {
        // Fill the panel through the library first, as an earlier session would have.
        UsbApi api;
        QVERIFY(LoadUsbLibrary(api, dialogs, usbLibraryFileName(), {PanelSimProcess::binDir()}));
        PanelLink link(api);
        sendText(link, dialogs, QByteArray("Bonjour \xE9t\xE9 #D"));
        PanelClock set;
        set.hour = 7;
        set.minute = 45;
        set.day = 3;
        set.month = 2;
        set.year = 2027;
        set.alarmHour = 6;
        set.alarmMinute = 5;
        set.alarmOn = 1;
        writeClock(link, dialogs, set);

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
        const auto w = startWindow(true);
        QVERIFY(w);
        // The panel's alarm is armed from the previous case: the first click disarms.
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
