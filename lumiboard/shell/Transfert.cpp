// The window's handlers: each reads its controls, calls the session and
// writes the outcome back.
#include "Transfert.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include "PictureButton.h"

namespace {

// A display field shows the start of its text, even when it is too long to
// show whole (a 12-hour long time); setText leaves the caret at the end.
void showFromStart(QLineEdit* field, const QString& text) {
    field->setText(text);
    field->setCursorPosition(0);
}

constexpr QPoint kLedOffset(15, 15);  // first LED inside the frame

// Pressing the busy cursor for the length of one panel exchange.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

bool Tmodul::FormCreate() {
    const LibraryLoad load = loadUsbLibrary_();
    if (!load.ok()) {
        messages_.libraryNotBound(load);
        return false;
    }
    session_.panel().bind(load.api);
    return true;
}

void Tmodul::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (showScheduled_) {
        return;
    }
    showScheduled_ = true;
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    // After the window is up, so the start-up questions stand over it.
    QMetaObject::invokeMethod(this, &Tmodul::FormShow, Qt::QueuedConnection);
}

void Tmodul::FormShow() {
    if (formShown_ || !session_.panel().bound()) {
        return;  // once; and never without a bound library
    }
    formShown_ = true;
    texttxt->setText(session_.beginStartUp());
    const StartUp outcome = session_.panel().startUp();
    if (!outcome.presence.present) {
        messages_.noPanel(outcome.presence.error);
        showFromStart(hrtxt, outcome.time);
        showFromStart(datetxt, outcome.date);
        setPanelControlsEnabled(false);  // for good: nothing looks for a panel again
        return;
    }
    if (messages_.askReadMemory()) {
        setPanelControlsEnabled(true);
        BitBtn1Click();
        m_lireheureClick();  // also after a failed text read
    }
}

void Tmodul::setPanelControlsEnabled(bool enabled) {
    Envoyer1->menuAction()->setEnabled(enabled);
    lire1->menuAction()->setEnabled(enabled);
    envcBtn->setEnabled(enabled);
    BitBtn1->setEnabled(enabled);
}

void Tmodul::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void Tmodul::FormClose() {
    QCoreApplication::quit();
}

void Tmodul::Quitter1Click() {
    close();
}

void Tmodul::envcBtnClick() {
    SendOutcome outcome;
    {
        const BusyCursor busy;
        outcome = session_.panel().sendText(
            texttxt->text(), [this](const SendOutcome& o) { messages_.whileOpen(o); });
    }
    messages_.afterSend(outcome);
}

void Tmodul::m_sendtxtClick() {
    envcBtnClick();
}

void Tmodul::BitBtn1Click() {
    PanelText read;
    {
        const BusyCursor busy;
        read = session_.panel().readText([this](const TextRead& o) { messages_.whileOpen(o); });
    }
    if (read.ok()) {
        texttxt->setText(read.text);
    }
}

void Tmodul::m_liretexteClick() {
    BitBtn1Click();
}

void Tmodul::m_lireheureClick() {
    ClockRead read;
    {
        const BusyCursor busy;
        read = session_.panel().readClock([this](const ClockRead& o) { messages_.whileOpen(o); });
    }
    if (!read.ok()) {
        return;
    }
    const ClockFields shown = clockFields(session_.panel().panelClock());
    showFromStart(hrtxt, shown.time);
    showFromStart(datetxt, shown.date);
    revchk->setChecked(shown.alarmArmed);  // runs revchkClick when it changes
    showFromStart(revtxt, shown.alarm);
    showAlarmMenu();
}

void Tmodul::m_sendheurClick() {
    ClockWrite outcome;
    {
        const BusyCursor busy;
        outcome =
            session_.panel().writeClock([this](const ClockWrite& o) { messages_.whileOpen(o); });
    }
    messages_.afterClockWrite(outcome);
}

void Tmodul::showAlarmMenu() {
    const PanelSession& panel = session_.panel();
    m_alarm->setText(WindowMessages::alarmCaption(panel.alarmMenuArmed(), panel.alarmMenuEntry()));
}

void Tmodul::m_alarmClick() {
    PanelSession& panel = session_.panel();
    if (panel.alarmMenuArmed()) {
        panel.disarmFromMenu();
        showAlarmMenu();
        revchk->setChecked(false);  // runs revchkClick when it changes
        return;
    }
    const std::optional<QString> entry = messages_.askAlarmEntry();
    if (!entry) {
        return;
    }
    const AlarmEntry armed = panel.armFromMenu(*entry);
    if (!std::holds_alternative<AlarmTime>(armed)) {
        messages_.alarmRefused(armed);
        return;
    }
    showAlarmMenu();
    timelbl->setText(WindowMessages::clockSummary(panel.panelClock()));
    timelbl->adjustSize();  // the left edge stays, the width follows the text
    // The mirror of disarming: box, field, caption and record say the same.
    revchk->setChecked(true);  // runs revchkClick when it changes
    showFromStart(revtxt, alarmTimeText(panel.panelClock()));
}

void Tmodul::revchkClick() {
    const bool armed = revchk->isChecked();
    session_.panel().setAlarmArmed(armed);
    revtxt->setEnabled(armed);
    showAlarmMenu();
}

void Tmodul::texttxtChange() {
    session_.setMessage(texttxt->text());
}

void Tmodul::Timer1Timer() {
    const QPoint origin = Bevel1->geometry().topLeft() + kLedOffset;
    const std::optional<LedPictureFailure> failure = session_.tick(canvas_, origin);
    // Only the LEDs the tick drew again are shown again.
    centralWidget()->update(session_.preview().changedArea());
    if (failure) {
        // Shown from an event of its own: a modal box opened inside this tick
        // would hold the timer, and the preview, until it is closed.
        QMetaObject::invokeMethod(
            this, [this, failure = *failure] { messages_.pictureFailed(failure); },
            Qt::QueuedConnection);
    }
}

void Tmodul::insertCode(std::string_view itemName) {
    const int caret =
        texttxt->hasSelectedText() ? texttxt->selectionStart() : texttxt->cursorPosition();
    const CodeInsertion inserted = session_.insertCode(texttxt->text(), caret, itemName);
    texttxt->setText(inserted.text);
    texttxt->setCursorPosition(inserted.caret);
}
