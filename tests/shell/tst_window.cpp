#include <QtTest>

#include "AppSetup.h"
#include "BinDir.h"
#include "FakeSeams.h"
#include "FirmwareUsb.h"
#include "PictureButton.h"
#include "Preview.h"
#include "RecordingDialogs.h"
#include "Transfert.h"

namespace {

using Kind = RecordingDialogs::Kind;

const QColor kSilver(192, 192, 192);  // the window's background

// Dialogs whose standard error report stays open, as a real box does, while
// the test looks at the window: during runs the event loop until it returns.
class OpenReportDialogs final : public Dialogs {
public:
    RecordingDialogs rec;
    std::function<void()> during;

    void error(const QString& text) override { rec.error(text); }
    void confirm(const QString& text) override { rec.confirm(text); }
    bool askYesNo(const QString& text) override { return rec.askYesNo(text); }
    void message(const QString& text) override { rec.message(text); }
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     int maxLength) override {
        return rec.inputText(title, prompt, maxLength);
    }
    void reportError(const QString& message) override {
        rec.reportError(message);
        if (during) {
            during();
        }
    }
};

panelsim::Report report(std::initializer_list<int> bytes) {
    panelsim::Report r{};
    std::size_t i = 0;
    for (const int b : bytes) {
        r[i++] = static_cast<std::uint8_t>(b);
    }
    return r;
}

}  // namespace

class TestWindow : public QObject {
    Q_OBJECT

    FixedClock clock;
    CountingBeeper beeper;
    std::unique_ptr<FirmwareUsb> usb;
    std::unique_ptr<RecordingDialogs> dialogs;
    std::unique_ptr<Tmodul> modul;

    // A window bound to the in-process panel; shown and started up when asked.
    Tmodul& start(bool present, std::optional<bool> readMemory = {}, bool show = true) {
        usb->present = present;
        if (readMemory) {
            dialogs->yesNoAnswers = {*readMemory};
        }
        modul = std::make_unique<Tmodul>(TmodulSeams{
            *dialogs, clock, beeper, [this] { return usb->loaded(); }, builtBinDir(), {}});
        routeAltKeys(*QCoreApplication::instance(), *modul);
        [&] { QVERIFY(modul->FormCreate()); }();
        if (show) {
            modul->show();
            [&] { QTRY_VERIFY(modul->formShown()); }();
        }
        return *modul;
    }

private slots:
    void initTestCase() { setUpApplication(); }
    void init() {
        clock.at = QDateTime(QDate(2009, 7, 14), QTime(9, 5, 7));
        clock.longTimeText.reset();
        usb = std::make_unique<FirmwareUsb>();
        dialogs = std::make_unique<RecordingDialogs>();
    }
    void cleanup() {
        modul.reset();
        dialogs.reset();
        usb.reset();
    }

    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hint");
        QTest::newRow("envcBtn") << "envcBtn" << QRect(424, 140, 110, 40) << "&Envoyer"
                                 << "Envoyer le texte au panneau";
        QTest::newRow("BitBtn1") << "BitBtn1" << QRect(424, 198, 110, 40) << "&Lecture"
                                 << "Relire le texte du panneau";
        QTest::newRow("texttxt") << "texttxt" << QRect(41, 5, 366, 21) << ""
                                 << "";
        QTest::newRow("hrtxt") << "hrtxt" << QRect(55, 245, 50, 21) << "00:00"
                               << "Heure/minutes (ex:12:34)";
        QTest::newRow("datetxt") << "datetxt" << QRect(168, 245, 80, 21) << "14/07/2009"
                                 << "";
        QTest::newRow("revtxt") << "revtxt" << QRect(344, 245, 50, 21) << ""
                                << "Heure réveil (ex.07:30)";
        QTest::newRow("revchk") << "revchk" << QRect(288, 248, 17, 17) << ""
                                << "";
        QTest::newRow("Bevel1") << "Bevel1" << QRect(16, 38, 390, 200) << ""
                                << "";
    }
    void layout() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(QString, hint);
        Tmodul& w = start(false, {}, false);
        auto* widget = w.findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), geometry);
        QCOMPARE(widget->toolTip(), hint);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            QCOMPARE(edit->text(), text);
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            QCOMPARE(button->text(), text);
        }
        // Resizing keeps every control where it was.
        w.resize(900, 700);
        QCOMPARE(widget->geometry(), geometry);
    }

    void windowFacts() {
        Tmodul& w = start(false);
        QCOMPARE(w.windowTitle(), QStringLiteral("Panneau à Leds - Voltamark"));
        QCOMPARE(w.centralWidget()->size(), QSize(553, 272));
        QVERIFY(w.hrtxt->geometry().bottom() < w.centralWidget()->height());
        QCOMPARE(w.palette().color(QPalette::Window), QColor(192, 192, 192));
        QCOMPARE(w.font().pixelSize(), 11);
        QCOMPARE(w.Label1->text(), QStringLiteral("Texte"));
        QCOMPARE(w.Label1->pos(), QPoint(8, 9));
        QCOMPARE(w.Label3->text(), QStringLiteral("Réveil"));
        QCOMPARE(w.timelbl->text(), QStringLiteral("Heure"));
        QVERIFY(!w.revtxt->isEnabled());
        QVERIFY(!w.revchk->isChecked());
        QCOMPARE(w.Timer1->interval(), 50);
        QCOMPARE(w.Timer1->timerType(), Qt::PreciseTimer);
        QVERIFY2(w.Timer1->isActive(), "ticks from creation, before the window shows");
        QCOMPARE(w.envcBtn->nextInFocusChain(), w.BitBtn1);
        QCOMPARE(w.BitBtn1->nextInFocusChain(), w.texttxt);
        QCOMPARE(w.texttxt->nextInFocusChain(), w.hrtxt);
        QCOMPARE(w.hrtxt->nextInFocusChain(), w.datetxt);
        QCOMPARE(w.datetxt->nextInFocusChain(), w.revtxt);
        QCOMPARE(w.revtxt->nextInFocusChain(), w.revchk);
        QCOMPARE(w.lire1->menuAction()->statusTip(),
                 QStringLiteral("Pour lire la mémoire du journal lumineux"));
        QCOMPARE(w.Alarme1->menuAction()->statusTip(), QStringLiteral("Régler l'heure de réveil"));
    }

    void menuAccelerators_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Réveil") << "Alarme1"
                                << "&Réveil";
        QTest::newRow("Activer") << "m_alarm"
                                 << "&Activer";
        QTest::newRow("maxi gets its o") << "Fontemaxi1"
                                         << "-> F&onte maxi";
        QTest::newRow("mini") << "Fontemini1"
                              << "-> &Fonte mini";
        QTest::newRow("inverse") << "Inversevido1"
                                 << "-> &Inverse vidéo";
        QTest::newRow("speed 4") << "v4menu"
                                 << "&4 (rapide)";
        QTest::newRow("beep") << "Beep1"
                              << "-> &Beep";
        QTest::newRow("quit") << "Quitter1"
                              << "&Quitter";
    }
    void menuAccelerators() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        Tmodul& w = start(false, {}, false);
        auto* action = w.findChild<QAction*>(name);
        if (action == nullptr) {
            auto* menu = w.findChild<QMenu*>(name);
            QVERIFY(menu);
            action = menu->menuAction();
        }
        QCOMPARE(action->text(), caption);
    }

    void captionSetLaterGetsItsMark() {
        Tmodul& w = start(false, {}, false);
        w.m_alarm->setText(QStringLiteral("Activer"));
        QCOMPARE(w.m_alarm->text(), QStringLiteral("&Activer"));
        w.m_alarm->setText(QStringLiteral("désactiver sonnerie de 7:30"));
        QCOMPARE(w.m_alarm->text(), QStringLiteral("&désactiver sonnerie de 7:30"));
    }

    void startWithoutPanel() {
        Tmodul& w = start(false);
        QCOMPARE(dialogs->shown.size(), 1);
        QCOMPARE(dialogs->shown[0].kind, Kind::Confirm);
        QCOMPARE(dialogs->shown[0].text,
                 QStringLiteral("Pas de Journal lumineux connecté sur port USB."));
        QCOMPARE(w.texttxt->text(), QStringLiteral("Journal Lumineux - Voltamark 2009  "));
        QCOMPARE(w.hrtxt->text(), QStringLiteral("09:05:07"));
        QCOMPARE(w.datetxt->text(), QStringLiteral("14/07/2009"));
        const PanelClock& c = w.panelClock();
        QCOMPARE(std::tuple(c.hour, c.minute, c.second, c.day, c.month, c.year, c.alarmOn),
                 std::tuple(quint8(9), quint8(5), quint8(7), quint16(14), quint16(7), quint16(2009),
                            quint8(0)));
        QVERIFY(!w.envcBtn->isEnabled());
        QVERIFY(!w.BitBtn1->isEnabled());
        QVERIFY(!w.Envoyer1->menuAction()->isEnabled());
        QVERIFY(!w.lire1->menuAction()->isEnabled());
        QCOMPARE(usb->opens, 0);

        // A panel plugged in later changes nothing: the test is never repeated.
        usb->present = true;
        w.hide();
        QSignalSpy ticks(w.Timer1, &QTimer::timeout);
        w.show();
        // Ticks come after the queued start-up a show would schedule.
        QTRY_VERIFY(ticks.count() >= 2);
        QVERIFY(!w.envcBtn->isEnabled());
        QCOMPARE(dialogs->shown.size(), 1);
    }

    // A 12-hour long time is wider than hrtxt: its start must show.
    void longTimeShowsItsStart() {
        clock.longTimeText = QStringLiteral("09:05:07 AM");
        Tmodul& w = start(false);
        QCOMPARE(w.hrtxt->text(), QStringLiteral("09:05:07 AM"));
        QCOMPARE(w.hrtxt->cursorPosition(), 0);
        QCOMPARE(w.datetxt->cursorPosition(), 0);
    }

    void startWithPanelAnswerNo() {
        Tmodul& w = start(true, false);
        QCOMPARE(dialogs->texts(), QStringList{"Lire la mémoire du Journal ?"});
        QCOMPARE(dialogs->shown[0].kind, Kind::Question);
        QCOMPARE(w.texttxt->text(), QStringLiteral("Journal Lumineux - Voltamark 2009  "));
        QCOMPARE(w.hrtxt->text(), QStringLiteral("00:00"));
        QCOMPARE(w.datetxt->text(), QStringLiteral("14/07/2009"));
        QVERIFY(w.envcBtn->isEnabled());
        QVERIFY(w.Envoyer1->menuAction()->isEnabled());
        QCOMPARE(usb->opens, 0);
        QCOMPARE(w.panelClock().year, quint16(0));
    }

    void startWithPanelAnswerYesReadsTextAndClock() {
        // What the panel holds before the program starts.
        usb->firmware.handle(report({0x58, 0, 'B', 'o', 'n', 'j', 'o', 'u', 'r', 0xE9}));
        usb->firmware.handle(report({0x34, 23, 59, 59, 31, 12, 0x07, 0xD9, 7, 30, 1}));
        Tmodul& w = start(true, true);
        QCOMPARE(dialogs->texts(), QStringList{"Lire la mémoire du Journal ?"});
        QCOMPARE(w.texttxt->text(), QStringLiteral("Bonjouré"));
        // The panel's clock runs on from 23:59:59; the date is read with it.
        QVERIFY(w.hrtxt->text() == "23:59:59" || w.hrtxt->text().startsWith("0:0:"));
        QVERIFY(w.datetxt->text() == "31/12/2009" || w.datetxt->text() == "1/1/2010");
        QCOMPARE(w.revtxt->text(), QStringLiteral("7:30"));
        QVERIFY(w.revchk->isChecked());
        QVERIFY(w.revtxt->isEnabled());
        QCOMPARE(w.m_alarm->text(), QStringLiteral("&désactiver sonnerie de 7:30"));
        QCOMPARE(w.panelClock().alarmOn, quint8(1));
        QVERIFY2(usb->openPipes.empty(), "every pipe closed after the start-up reads");
    }

    void startWithSilentPanelShowsBothReadErrors() {
        usb->silent = true;
        start(true, true);
        QCOMPARE(dialogs->texts(),
                 (QStringList{"Lire la mémoire du Journal ?",
                              "Ré-essayez, ou Débranchez & rebranchez la carte !",
                              "Erreur lecture usb - Débranchez & rebranchez la carte !"}));
        QCOMPARE(dialogs->shown[1].kind, Kind::Error);
        QCOMPARE(dialogs->shown[2].kind, Kind::Error);
    }

    void sendThenReadBackThroughTheButtons() {
        Tmodul& w = start(true, false);
        w.texttxt->setText(QStringLiteral("Café #I chaud"));
        QTest::mouseClick(w.envcBtn, Qt::LeftButton);
        QCOMPARE(dialogs->shown.last().kind, Kind::Confirm);
        QCOMPARE(dialogs->shown.last().text, QStringLiteral("Texte envoyé !"));
        w.texttxt->setText(QStringLiteral("autre chose"));
        QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
        QCOMPARE(w.texttxt->text(), QStringLiteral("Café #I chaud"));
        QVERIFY(usb->openPipes.empty());
        QVERIFY2(QGuiApplication::overrideCursor() == nullptr, "busy cursor restored");
    }

    void altKeysClickTheButtonsFirst() {
        Tmodul& w = start(true, false);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.texttxt->setFocus();
        w.texttxt->setText(QStringLiteral("AB"));
        QTest::keyClick(&w, Qt::Key_E, Qt::AltModifier);
        QTRY_COMPARE(usb->writes, 1);
        QCOMPARE(dialogs->shown.last().text, QStringLiteral("Texte envoyé !"));
        QVERIFY2(!w.Envoyer1->isVisible(), "Alt+E does not open the menu Envoyer");
        QCOMPARE(w.texttxt->text(), QStringLiteral("AB"));

        w.texttxt->setText(QStringLiteral("zz"));
        QTest::keyClick(&w, Qt::Key_L, Qt::AltModifier);
        QTRY_COMPARE(w.texttxt->text(), QStringLiteral("AB"));
        QVERIFY(!w.lire1->isVisible());
    }

    void disabledButtonsIgnoreAltKeys() {
        Tmodul& w = start(false);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QSignalSpy clicks(w.envcBtn, &QAbstractButton::clicked);
        QSignalSpy envoyer(w.Envoyer1, &QMenu::aboutToShow);
        QTest::keyClick(&w, Qt::Key_E, Qt::AltModifier);
        // Alt+I, which opens "&Insérer", is handled after Alt+E: once it shows,
        // Alt+E has had whatever effect it would have had.
        QTest::keyClick(&w, Qt::Key_I, Qt::AltModifier);
        QTRY_VERIFY(w.texte1->isVisible());
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(envoyer.count(), 0);
        QCOMPARE(usb->writes, 0);
        QTest::keyClick(w.texte1, Qt::Key_Escape);
    }

    void clockReadThenAlarmThenWrite() {
        usb->firmware.handle(report({0x34, 9, 5, 0, 14, 7, 0x07, 0xD9, 0, 0, 0}));
        Tmodul& w = start(true, false);
        w.m_lireheure->trigger();
        QVERIFY(w.hrtxt->text().startsWith(QStringLiteral("9:5:")));
        QCOMPARE(w.hrtxt->cursorPosition(), 0);
        QCOMPARE(w.m_alarm->text(), QStringLiteral("&Activer"));
        QVERIFY(!w.revchk->isChecked());

        dialogs->inputAnswers = {QStringLiteral("7:30")};
        w.m_alarm->trigger();
        QCOMPARE(dialogs->shown.last().kind, Kind::Input);
        QCOMPARE(dialogs->shown.last().title, QStringLiteral("Réveil"));
        QCOMPARE(dialogs->shown.last().maxLength, 255);
        QCOMPARE(w.m_alarm->text(), QStringLiteral("&désactiver sonnerie de 7:30"));
        QVERIFY(w.timelbl->text().endsWith(QStringLiteral("Réveil activé 7:30")));
        QCOMPARE(w.timelbl->pos(), QPoint(14, 250));
        QVERIFY2(w.revchk->isChecked(), "arming from the menu ticks the box");
        QCOMPARE(w.revtxt->text(), QStringLiteral("7:30"));

        w.m_sendheur->trigger();
        QCOMPARE(dialogs->shown.last().text,
                 QStringLiteral("Heure / Date / Alarme mises à jour !"));
        const auto reply = usb->firmware.handle(report({0x43, 0}));
        QVERIFY(reply);
        QCOMPARE((*reply)[8], 7);
        QCOMPARE((*reply)[9], 30);
        QCOMPARE((*reply)[10], 1);

        // Disarming from the menu does not ask, and the next write sends the
        // alarm off.
        const auto before = dialogs->shown.size();
        w.m_alarm->trigger();
        QCOMPARE(w.m_alarm->text(), QStringLiteral("&Activer"));
        QCOMPARE(dialogs->shown.size(), before);
        QCOMPARE(w.panelClock().alarmOn, quint8(0));
        w.m_sendheur->trigger();
        const auto disarmed = usb->firmware.handle(report({0x43, 0}));
        QVERIFY(disarmed);
        QCOMPARE((*disarmed)[10], 0);
        QCOMPARE((*disarmed)[8], 7);  // the alarm time stays
    }

    void disarmingFromTheMenuUnticksTheBox() {
        usb->firmware.handle(report({0x34, 9, 5, 0, 14, 7, 0x07, 0xD9, 6, 5, 1}));
        Tmodul& w = start(true, true);
        QVERIFY(w.revchk->isChecked());
        QVERIFY(w.revtxt->isEnabled());
        w.m_alarm->trigger();
        QCOMPARE(w.m_alarm->text(), QStringLiteral("&Activer"));
        QVERIFY(!w.revchk->isChecked());
        QVERIFY(!w.revtxt->isEnabled());
        QCOMPARE(w.panelClock().alarmOn, quint8(0));
        QCOMPARE(w.revtxt->text(), QStringLiteral("6:5"));  // shown as read
    }

    // Box, field, caption and record agree whichever way the alarm is armed
    // or disarmed. Steps: "menu" (a click; with an entry when it asks), "box".
    void alarmMenuAndBoxAgree_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("armed");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expectedEntry");  // the armed caption's time
        const auto row = [](const char* name, const QStringList& steps, bool armed,
                            const QString& field, const QString& entry) {
            QTest::newRow(name) << steps << armed << field << entry;
        };
        row("menu arms", {"menu 7:30"}, true, "7:30", "7:30");
        row("menu disarms", {"menu 7:30", "menu"}, false, "7:30", "");
        row("menu re-arms", {"menu 7:30", "menu", "menu 06:05"}, true, "6:5", "06:05");
        row("box disarms", {"menu 7:30", "box"}, false, "7:30", "");
        row("box re-arms", {"menu 7:30", "box", "box"}, true, "7:30", "7:30");
        row("box arms the menu", {"box"}, true, "", "0:0");
        row("box then menu disarms", {"box", "menu"}, false, "", "");
        row("box, menu, menu arms", {"box", "menu", "menu 8:15"}, true, "8:15", "8:15");
    }
    void alarmMenuAndBoxAgree() {
        QFETCH(QStringList, steps);
        QFETCH(bool, armed);
        QFETCH(QString, field);
        QFETCH(QString, expectedEntry);
        Tmodul& w = start(false);
        for (const QString& step : steps) {
            if (step == "box") {
                w.revchk->click();
            } else {
                dialogs->inputAnswers = {step.section(u' ', 1)};
                w.m_alarm->trigger();
            }
        }
        QCOMPARE(w.revchk->isChecked(), armed);
        QCOMPARE(w.revtxt->isEnabled(), armed);
        QCOMPARE(w.revtxt->text(), field);
        QCOMPARE(w.panelClock().alarmOn, quint8(armed ? 1 : 0));
        // The menu offers what a click would do next.
        QCOMPARE(w.m_alarm->text(),
                 armed ? "&désactiver sonnerie de " + expectedEntry : QStringLiteral("&Activer"));
    }

    void refusedAlarmEntriesChangeNothing_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no colon") << "1230"
                                  << "Heure incorrecte !";
        QTest::newRow("hour 25") << "25:00"
                                 << "Heure incorrecte !";
        QTest::newRow("letters") << "ab:10"
                                 << "'ab' is not a valid integer value.";
        QTest::newRow("empty minute") << "12:"
                                      << "'' is not a valid integer value.";
    }
    void refusedAlarmEntriesChangeNothing() {
        QFETCH(QString, entry);
        QFETCH(QString, shown);
        Tmodul& w = start(false);
        dialogs->inputAnswers = {entry};
        w.m_alarm->trigger();
        QCOMPARE(dialogs->shown.last().text, shown);
        QCOMPARE(w.m_alarm->text(), QStringLiteral("&Activer"));
        QCOMPARE(w.timelbl->text(), QStringLiteral("Heure"));
        QCOMPARE(w.panelClock().alarmOn, quint8(0));
        QCOMPARE(w.panelClock().alarmHour, quint8(0));
    }

    void checkBoxSwitchesTheAlarm() {
        Tmodul& w = start(false);
        w.revchk->click();
        QCOMPARE(w.panelClock().alarmOn, quint8(1));
        QVERIFY(w.revtxt->isEnabled());
        // The menu follows: its next click disarms, for the time the record holds.
        QCOMPARE(w.m_alarm->text(), QStringLiteral("&désactiver sonnerie de 0:0"));
        w.revchk->click();
        QCOMPARE(w.panelClock().alarmOn, quint8(0));
        QVERIFY(!w.revtxt->isEnabled());
        QCOMPARE(w.m_alarm->text(), QStringLiteral("&Activer"));
    }

    void insertion_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("selection");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("expected");
        QTest::newRow("start") << "abc" << 0 << 0 << "Inversevido1"
                               << "#Iabc";
        QTest::newRow("end") << "abc" << 3 << 0 << "Beep1"
                             << "abc#B";
        QTest::newRow("middle") << "abc" << 1 << 0 << "v3menu"
                                << "a#3bc";
        QTest::newRow("empty field") << "" << 0 << 0 << "Date1"
                                     << "#D";
        QTest::newRow("selection stays") << "abcdef" << 2 << 3 << "Fontemaxi1"
                                         << "ab#Ncdef";
        QTest::newRow("full field still takes it")
            << QString(200, u'x') << 200 << 0 << "Heure1" << QString(200, u'x') + "#H";
    }
    void insertion() {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(int, selection);
        QFETCH(QString, item);
        QFETCH(QString, expected);
        Tmodul& w = start(false);
        w.texttxt->setText(text);
        if (selection > 0) {
            w.texttxt->setSelection(caret, selection);
        } else {
            w.texttxt->setCursorPosition(caret);
        }
        w.findChild<QAction*>(item)->trigger();
        QCOMPARE(w.texttxt->text(), expected);
    }

    // Opening "&Insérer" from the keyboard moves the focus to the menu bar,
    // and the field once lost its selection before the item read it.
    void keyboardInsertionKeepsTheSelection_data() {
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("expected");
        QTest::newRow("selection") << 1 << 3 << "a#Ibcd";
        QTest::newRow("selected backwards") << 3 << 1 << "a#Ibcd";
        QTest::newRow("caret only") << 2 << 2 << "ab#Icd";
    }
    void keyboardInsertionKeepsTheSelection() {
        QFETCH(int, anchor);
        QFETCH(int, cursor);
        QFETCH(QString, expected);
        Tmodul& w = start(false);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.texttxt->setFocus();
        // "abcd" with the caret and selection of the row, then Alt+I.
        const auto openMenuFromTheKeyboard = [&] {
            w.texttxt->setText(QStringLiteral("abcd"));
            w.texttxt->setSelection(anchor, cursor - anchor);
            if (anchor == cursor) {
                w.texttxt->setCursorPosition(cursor);
            }
            QTest::keyClick(&w, Qt::Key_I, Qt::AltModifier);
            return QTest::qWaitFor([&] { return w.texte1->isVisible(); });
        };
        QVERIFY(openMenuFromTheKeyboard());
        QTest::keyClick(w.texte1, Qt::Key_I);
        QTRY_COMPARE(w.texttxt->text(), expected);

        // Leaving the menu with Escape gives the selection back as it was.
        QVERIFY(openMenuFromTheKeyboard());
        QTest::keyClick(w.texte1, Qt::Key_Escape);
        QTest::keyClick(w.MainMenu1, Qt::Key_Escape);
        QTRY_COMPARE(QApplication::focusWidget(), w.texttxt);
        QCOMPARE(w.texttxt->cursorPosition(), cursor);
        QCOMPARE(w.texttxt->selectionStart(), anchor == cursor ? -1 : std::min(anchor, cursor));
    }

    void typingStopsAt200ButProgramTextMayBeLonger() {
        Tmodul& w = start(false);
        w.texttxt->clear();
        w.texttxt->setFocus();
        QTest::keyClicks(w.texttxt, QString(205, u'a'));
        QCOMPARE(w.texttxt->text().size(), 200);
        w.texttxt->setText(QString(202, u'b'));
        QCOMPARE(w.texttxt->text().size(), 202);
        QTest::keyClick(w.texttxt, Qt::Key_Backspace);
        QCOMPARE(w.texttxt->text().size(), 201);
        QTest::keyClick(w.texttxt, Qt::Key_C);
        QCOMPARE(w.texttxt->text().size(), 201);
    }

    void disabledAlarmFieldIsSkippedByTab() {
        Tmodul& w = start(false);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.datetxt->setFocus();
        QTest::keyClick(w.datetxt, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.revchk);
    }

    void ticksBeforeStartUpDoNothing() {
        Tmodul& w = start(false, {}, false);
        QSignalSpy ticks(w.Timer1, &QTimer::timeout);
        QTRY_VERIFY(ticks.count() >= 4);  // several ticks before FormShow
        QVERIFY(dialogs->shown.isEmpty());
        QCOMPARE(w.preview().engine().shifts(), quint64(0));
        // Where the first LED will be, the window still shows its silver.
        QCOMPARE(w.centralWidget()->grab().toImage().pixelColor(31 + 9, 53 + 9), kSilver);
    }

    void ticksDrawTheMatrixInsideTheFrame() {
        Tmodul& w = start(false);
        const QImage unlit(QDir(builtBinDir()).filePath("led_gris.bmp"));
        QVERIFY(!unlit.isNull());
        const QPoint centre(unlit.width() / 2, unlit.height() / 2);
        // The first LED at the frame's corner + 15, the last one 19 and 9 pitches on.
        QTRY_COMPARE(w.ledCanvas().pixel(QPoint(31, 53) + centre), unlit.pixel(centre));
        // As the screen shows it: the LEDs, and silver in the frame's margin
        // around them and beyond the layout of a window made larger.
        w.resize(700, 450);
        const QImage shot = w.centralWidget()->grab().toImage();
        QCOMPARE(shot.pixel(QPoint(31, 53) + centre), unlit.pixel(centre));
        QCOMPARE(shot.pixel(QPoint(31 + 19 * 18, 53 + 9 * 18) + centre), unlit.pixel(centre));
        for (const QPoint outside : {QPoint(24, 45), QPoint(31 + 20 * 18 + 5, 140),
                                     QPoint(200, 53 + 10 * 18 + 2), QPoint(650, 400)}) {
            QCOMPARE(shot.pixelColor(outside), kSilver);
        }
    }

    // The background under the matrix follows the window's colour, and the
    // LEDs are back at the next tick.
    void matrixBackgroundFollowsThePalette() {
        Tmodul& w = start(false);
        w.Timer1->stop();  // the test ticks by itself
        w.Timer1Timer();
        QPalette palette = w.palette();
        palette.setColor(QPalette::Window, Qt::darkGreen);
        w.setPalette(palette);
        w.Timer1Timer();
        const QImage unlit(QDir(builtBinDir()).filePath("led_gris.bmp"));
        const QPoint centre(unlit.width() / 2, unlit.height() / 2);
        const QImage shot = w.centralWidget()->grab().toImage();
        QCOMPARE(shot.pixelColor(24, 45), QColor(Qt::darkGreen));
        QCOMPARE(shot.pixel(QPoint(31 + 19 * 18, 53 + 9 * 18) + centre), unlit.pixel(centre));
    }

    // The picture report once came from inside the tick, so the preview
    // froze while it was open, even after the file was back.
    void previewGoesOnWhileThePictureReportIsOpen() {
        QTemporaryDir pictures;
        const QDir from(builtBinDir());
        for (const char* name : {kUnlitLedFile, kLitLedFile}) {
            QVERIFY(QFile::copy(from.filePath(name), pictures.filePath(name)));
        }
        OpenReportDialogs open;
        usb->present = false;
        modul = std::make_unique<Tmodul>(TmodulSeams{
            open, clock, beeper, [this] { return usb->loaded(); }, pictures.path(), {}});
        Tmodul& w = *modul;
        QVERIFY(w.FormCreate());
        w.show();
        QTRY_VERIFY(w.preview().engine().shifts() > 2);

        QFile unlit(pictures.filePath(kUnlitLedFile));
        QVERIFY(unlit.open(QIODevice::ReadWrite));
        const QByteArray whole = unlit.readAll();
        QVERIFY(unlit.resize(100));
        unlit.close();
        bool wentOn = false;
        bool tickedWhileOpen = false;
        int reportsWhileOpen = -1;
        open.during = [&] {
            // Failing ticks meanwhile: still the one report.
            QSignalSpy ticks(w.Timer1, &QTimer::timeout);
            tickedWhileOpen = QTest::qWaitFor([&] { return ticks.count() >= 6; });
            reportsWhileOpen = int(open.rec.shown.size());
            QVERIFY(unlit.open(QIODevice::WriteOnly | QIODevice::Truncate));
            unlit.write(whole);
            unlit.close();
            const quint64 shifts = w.preview().engine().shifts();
            wentOn = QTest::qWaitFor([&] { return w.preview().engine().shifts() > shifts + 3; });
        };
        QTRY_VERIFY(reportsWhileOpen >= 0);
        QCOMPARE(open.rec.texts().mid(1), QStringList{"Bitmap image is not valid."});
        QCOMPARE(open.rec.shown.last().kind, Kind::ErrorReport);
        QVERIFY(tickedWhileOpen);
        QCOMPARE(reportsWhileOpen, 2);  // the no-panel notice and this report
        QVERIFY2(wentOn, "the preview goes on while the report is open");
        modul.reset();
    }

    // "&Quitter" and closing the window both hide it and end the event loop.
    void quitAndCloseEndTheSameWay_data() {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("&Quitter") << true;
        QTest::newRow("window closed") << false;
    }
    void quitAndCloseEndTheSameWay() {
        QFETCH(bool, fromMenu);
        Tmodul& w = start(false);
        QTimer::singleShot(0, &w, [&w, fromMenu] {
            if (fromMenu) {
                w.Quitter1->trigger();
            } else {
                w.close();
            }
        });
        // Left running, the loop would end only here, with another code.
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!w.isVisible());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
