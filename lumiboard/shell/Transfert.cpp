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
    return session_.bindLibrary();
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
    if (formShown_ || !session_.bound()) {
        return;  // once; and never without a bound library
    }
    formShown_ = true;
    texttxt->setText(session_.beginStartUp());
    const StartUp outcome = session_.finishStartUp();
    switch (outcome.kind) {
        case StartUp::Kind::NoPanel:
            showFromStart(hrtxt, outcome.time);
            showFromStart(datetxt, outcome.date);
            setPanelControlsEnabled(false);  // for good: nothing looks for a panel again
            break;
        case StartUp::Kind::ReadPanel:
            setPanelControlsEnabled(true);
            BitBtn1Click();
            m_lireheureClick();  // also after a failed text read
            break;
        case StartUp::Kind::Declined:
            break;
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
    const BusyCursor busy;
    session_.sendText(texttxt->text());
}

void Tmodul::m_sendtxtClick() {
    envcBtnClick();
}

void Tmodul::BitBtn1Click() {
    std::optional<QString> text;
    {
        const BusyCursor busy;
        text = session_.readText();
    }
    if (text) {
        texttxt->setText(*text);
    }
}

void Tmodul::m_liretexteClick() {
    BitBtn1Click();
}

void Tmodul::m_lireheureClick() {
    std::optional<ClockFields> shown;
    {
        const BusyCursor busy;
        shown = session_.readClock();
    }
    if (!shown) {
        return;
    }
    showFromStart(hrtxt, shown->time);
    showFromStart(datetxt, shown->date);
    revchk->setChecked(shown->alarmArmed);  // runs revchkClick when it changes
    showFromStart(revtxt, shown->alarm);
    m_alarm->setText(shown->alarmCaption);
}

void Tmodul::m_sendheurClick() {
    const BusyCursor busy;
    session_.writeClock();
}

void Tmodul::m_alarmClick() {
    const AlarmMenuOutcome outcome = session_.alarmMenu(m_alarm->text());
    if (outcome.caption) {
        m_alarm->setText(*outcome.caption);
    }
    if (outcome.summary) {
        timelbl->setText(*outcome.summary);
        timelbl->adjustSize();  // the left edge stays, the width follows the text
    }
    if (outcome.untickAlarmBox) {
        revchk->setChecked(false);  // runs revchkClick when it changes
    }
}

void Tmodul::revchkClick() {
    const bool armed = revchk->isChecked();
    session_.setAlarmArmed(armed);
    revtxt->setEnabled(armed);
}

void Tmodul::texttxtChange() {
    session_.setMessage(texttxt->text());
}

void Tmodul::Timer1Timer() {
    const QPoint origin = Bevel1->geometry().topLeft() + kLedOffset;
    const std::optional<QString> failure = session_.tick(canvas_, origin);
    // Only the LEDs the tick drew again are shown again.
    centralWidget()->update(session_.preview().changedArea());
    if (failure) {
        // Shown from an event of its own: a modal box opened inside this tick
        // would hold the timer, and the preview, until it is closed.
        QMetaObject::invokeMethod(
            this, [this, message = *failure] { session_.reportError(message); },
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
