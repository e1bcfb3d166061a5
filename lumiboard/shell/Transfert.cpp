#include "Transfert.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcutEvent>
#include <QValidator>

#include <algorithm>
#include <string_view>

#include "Accelerators.h"
#include "AlarmSetting.h"
#include "ClockTransfer.h"
#include "Cp1252.h"
#include "FunctionCodes.h"
#include "MenuAccelerators.h"
#include "PictureButton.h"
#include "TextTransfer.h"

namespace {

constexpr char16_t kWindowTitle[] = u"Panneau à Leds - Voltamark";
// The client area a classic 561 x 317 frame leaves under its menu bar, with
// room below the 21-pixel fields at 245.
constexpr QSize kClientSize(553, 272);
const QColor kSilver(192, 192, 192);
const QColor kGreyedText(128, 128, 128);
constexpr int kFontPixels = 11;
constexpr int kEditHeight = 21;  // the font's cell height plus 8
constexpr int kTypingLimit = 200;
constexpr int kTimerIntervalMs = 50;
constexpr QPoint kLedOffset(15, 15);  // first LED inside the frame
constexpr QSize kLedArea(20 * 18, 10 * 18);

const QString kNoPanel = QStringLiteral("Pas de Journal lumineux connecté sur port USB.");
const QString kReadMemory = QStringLiteral("Lire la mémoire du Journal ?");
const QString kLibraryMissing = QStringLiteral("La librairie MPUSBAPI.DLL est introuvable !");

// The typing limit of the message field: the user cannot type past 200
// characters, while text put in by the program may be longer and can still
// be shortened.
class TypingLimit final : public QValidator {
public:
    TypingLimit(QLineEdit* edit, int limit) : QValidator(edit), limit_(limit) {
        // The line edit hands over the text as it would become; the length it
        // grows from is the last one it showed.
        connect(edit, &QLineEdit::textChanged, this,
                [this](const QString& text) { shown_ = text.size(); });
    }
    State validate(QString& input, int&) const override {
        return input.size() > limit_ && input.size() > shown_ ? Invalid : Acceptable;
    }

private:
    int limit_;
    qsizetype shown_ = 0;
};

// The window's client area: the silver background and the LED matrix, drawn
// from the picture the preview ticks paint into, so it survives being covered.
class Surface final : public QWidget {
public:
    Surface(const QImage& canvas, QWidget* parent) : QWidget(parent), canvas_(canvas) {
        setAutoFillBackground(true);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.drawImage(event->rect(), canvas_, event->rect());
    }

private:
    const QImage& canvas_;
};

QLabel* makeLabel(const QString& text, QRect geometry, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->adjustSize();
    label->move(geometry.topLeft());
    return label;
}

QLineEdit* makeEdit(const QString& text, QRect geometry, const QString& hint, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    geometry.setHeight(kEditHeight);
    edit->setGeometry(geometry);
    edit->setToolTip(hint);
    return edit;
}

// The menu's function code items come from the one table of codes.
const FunctionCode& functionCode(std::string_view itemName) {
    const auto* found =
        std::find_if(kFunctionCodes.begin(), kFunctionCodes.end(),
                     [itemName](const FunctionCode& f) { return itemName == f.itemName; });
    Q_ASSERT(found != kFunctionCodes.end());
    return *found;
}

QAction* addCodeItem(QMenu* menu, std::string_view itemName) {
    return menu->addAction(QString::fromUtf16(functionCode(itemName).caption));
}

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// Pressing the busy cursor for the length of one panel exchange.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

Tmodul::Tmodul(TmodulSeams seams, QWidget* parent)
    : QMainWindow(parent),
      seams_(std::move(seams)),
      preview_(seams_.clock, seams_.beeper, seams_.imageDir),
      canvas_(kClientSize, QImage::Format_ARGB32_Premultiplied),
      accelerators_(new MenuAccelerators(this)) {
    setObjectName(QStringLiteral("modul"));
    setWindowTitle(QString::fromUtf16(kWindowTitle));
    setWindowIcon(QIcon(usbTridentPicture(false)));
    canvas_.fill(Qt::transparent);

    // Where "MS Sans Serif" is missing, a sans serif of about its widths keeps
    // the layout's texts inside their fields; then the platform's own.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kFontPixels);
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kSilver);
    // Greyed items must stay readable on silver, as on the classic look.
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        palette.setColor(QPalette::Disabled, role, kGreyedText);
    }
    setPalette(palette);

    auto* surface = new Surface(canvas_, this);
    setCentralWidget(surface);
    buildControls(surface);
    buildMenus();
    wireEvents();
    nameControls();

    resize(kClientSize.width(), kClientSize.height() + MainMenu1->sizeHint().height());
    qApp->installEventFilter(this);

    Timer1->start();  // ticks from creation on, never stopped
}

Tmodul::~Tmodul() {
    qApp->removeEventFilter(this);
}

void Tmodul::buildControls(QWidget* surface) {
    // Window-surface items first: they lie beneath every control.
    Label1 = makeLabel(QStringLiteral("Texte"), {8, 9, 27, 13}, surface);
    Bevel1 = new QFrame(surface);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Raised);
    Bevel1->setGeometry(16, 38, 390, 200);
    Bevel1->setAttribute(Qt::WA_TransparentForMouseEvents);
    timelbl = makeLabel(QStringLiteral("Heure"), {14, 250, 29, 13}, surface);
    timelbl->setAlignment(Qt::AlignCenter);
    timelbl->setAttribute(Qt::WA_TranslucentBackground);
    Label2 = makeLabel(QStringLiteral("Date"), {140, 250, 23, 13}, surface);
    Label3 = makeLabel(QStringLiteral("Réveil"), {304, 250, 30, 13}, surface);

    envcBtn = new PictureButton(QStringLiteral("&Envoyer"), usbTridentPicture(false),
                                PictureButton::Placement::LeftMargin, 13, 13, surface);
    envcBtn->setGeometry(424, 140, 110, 40);
    envcBtn->setToolTip(QStringLiteral("Envoyer le texte au panneau"));
    BitBtn1 = new PictureButton(QStringLiteral("&Lecture"), usbTridentPicture(true),
                                PictureButton::Placement::Centred, 0, 6, surface);
    BitBtn1->setGeometry(424, 198, 110, 40);
    BitBtn1->setToolTip(QStringLiteral("Relire le texte du panneau"));

    texttxt = makeEdit(QString(), {41, 5, 366, 21}, QString(), surface);
    texttxt->setMaxLength(32767);  // the typing limit is TypingLimit's, not a cut
    texttxt->setValidator(new TypingLimit(texttxt, kTypingLimit));
    hrtxt = makeEdit(QStringLiteral("00:00"), {55, 245, 50, 20},
                     QStringLiteral("Heure/minutes (ex:12:34)"), surface);
    datetxt = makeEdit(QStringLiteral("14/07/2009"), {168, 245, 80, 20}, QString(), surface);
    revtxt =
        makeEdit(QString(), {344, 245, 50, 20}, QStringLiteral("Heure réveil (ex.07:30)"), surface);
    revtxt->setEnabled(false);
    revchk = new QCheckBox(surface);
    revchk->setGeometry(288, 248, 17, 17);

    const QList<QWidget*> tabOrder = {envcBtn, BitBtn1, texttxt, hrtxt, datetxt, revtxt, revchk};
    for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i], tabOrder[i + 1]);
    }
    for (QWidget* label : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(timelbl),
                           static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label3)}) {
        label->setFocusPolicy(Qt::NoFocus);
    }

    Timer1 = new QTimer(this);
    Timer1->setInterval(kTimerIntervalMs);
    Timer1->setTimerType(Qt::PreciseTimer);
}

void Tmodul::buildMenus() {
    MainMenu1 = new QMenuBar(this);
    setMenuBar(MainMenu1);
    const auto submenu = [](QMenu* menu, const QString& hint) {
        menu->menuAction()->setStatusTip(hint);  // kept as item data; no status area shows it
        return menu;
    };

    lire1 = submenu(MainMenu1->addMenu(QStringLiteral("&Lire")),
                    QStringLiteral("Pour lire la mémoire du journal lumineux"));
    m_liretexte = lire1->addAction(QStringLiteral("&Texte"));
    m_lireheure = lire1->addAction(QStringLiteral("&Heure/date/alarme"));

    Envoyer1 = submenu(MainMenu1->addMenu(QStringLiteral("&Envoyer")),
                       QStringLiteral("Pour mettre à jour le journal lumineux"));
    m_sendtxt = Envoyer1->addAction(QStringLiteral("&Texte"));
    m_sendheur = Envoyer1->addAction(QStringLiteral("&Heure/date/Alarme"));

    Alarme1 = submenu(MainMenu1->addMenu(QStringLiteral("Réveil")),
                      QStringLiteral("Régler l'heure de réveil"));
    m_alarm = Alarme1->addAction(QStringLiteral("Activer"));

    texte1 = submenu(MainMenu1->addMenu(QStringLiteral("&Insérer")),
                     QStringLiteral("Insérer des codes de fonctions dans le texte"));
    Inversevido1 = addCodeItem(texte1, "Inversevido1");
    Heure1 = addCodeItem(texte1, "Heure1");
    Date1 = addCodeItem(texte1, "Date1");
    emprature1 = addCodeItem(texte1, "emprature1");
    Fontemini1 = addCodeItem(texte1, "Fontemini1");
    Fontemaxi1 = addCodeItem(texte1, "Fontemaxi1");
    Vitesse11 = texte1->addMenu(QStringLiteral("-> Vitesse"));
    v0menu = addCodeItem(Vitesse11, "v0menu");
    v1menu = addCodeItem(Vitesse11, "v1menu");
    v2menu = addCodeItem(Vitesse11, "v2menu");
    v3menu = addCodeItem(Vitesse11, "v3menu");
    v4menu = addCodeItem(Vitesse11, "v4menu");
    Beep1 = addCodeItem(texte1, "Beep1");

    Quitter1 = MainMenu1->addAction(QStringLiteral("&Quitter"));

    for (QWidget* level : {static_cast<QWidget*>(MainMenu1), static_cast<QWidget*>(lire1),
                           static_cast<QWidget*>(Envoyer1), static_cast<QWidget*>(Alarme1),
                           static_cast<QWidget*>(texte1), static_cast<QWidget*>(Vitesse11)}) {
        accelerators_->watch(level);
    }
}

void Tmodul::nameControls() {
    const std::initializer_list<std::pair<QObject*, const char*>> named = {
        {envcBtn, "envcBtn"},         {BitBtn1, "BitBtn1"},
        {texttxt, "texttxt"},         {Label1, "Label1"},
        {MainMenu1, "MainMenu1"},     {lire1, "lire1"},
        {texte1, "texte1"},           {Vitesse11, "Vitesse11"},
        {Envoyer1, "Envoyer1"},       {Bevel1, "Bevel1"},
        {Timer1, "Timer1"},           {timelbl, "timelbl"},
        {Alarme1, "Alarme1"},         {hrtxt, "hrtxt"},
        {Label2, "Label2"},           {Label3, "Label3"},
        {datetxt, "datetxt"},         {revtxt, "revtxt"},
        {revchk, "revchk"},           {Quitter1, "Quitter1"},
        {m_sendtxt, "m_sendtxt"},     {m_sendheur, "m_sendheur"},
        {m_liretexte, "m_liretexte"}, {m_lireheure, "m_lireheure"},
        {m_alarm, "m_alarm"},         {Inversevido1, "Inversevido1"},
        {Heure1, "Heure1"},           {Date1, "Date1"},
        {emprature1, "emprature1"},   {Fontemini1, "Fontemini1"},
        {Fontemaxi1, "Fontemaxi1"},   {Beep1, "Beep1"},
        {v0menu, "v0menu"},           {v1menu, "v1menu"},
        {v2menu, "v2menu"},           {v3menu, "v3menu"},
        {v4menu, "v4menu"},
    };
    for (const auto& [object, name] : named) {
        object->setObjectName(QString::fromLatin1(name));
    }
}

void Tmodul::wireEvents() {
    connect(envcBtn, &QPushButton::clicked, this, &Tmodul::envcBtnClick);
    connect(BitBtn1, &QPushButton::clicked, this, &Tmodul::BitBtn1Click);
    connect(texttxt, &QLineEdit::textChanged, this, &Tmodul::texttxtChange);
    connect(revchk, &QCheckBox::toggled, this, &Tmodul::revchkClick);
    connect(Timer1, &QTimer::timeout, this, &Tmodul::Timer1Timer);

    const std::initializer_list<std::pair<QAction*, void (Tmodul::*)()>> items = {
        {m_liretexte, &Tmodul::m_liretexteClick},
        {m_lireheure, &Tmodul::m_lireheureClick},
        {m_sendtxt, &Tmodul::m_sendtxtClick},
        {m_sendheur, &Tmodul::m_sendheurClick},
        {m_alarm, &Tmodul::m_alarmClick},
        {Inversevido1, &Tmodul::Inversevido1Click},
        {Heure1, &Tmodul::Heure1Click},
        {Date1, &Tmodul::Date1Click},
        {emprature1, &Tmodul::emprature1Click},
        {Fontemini1, &Tmodul::Fontemini1Click},
        {Fontemaxi1, &Tmodul::Fontemaxi1Click},
        {v0menu, &Tmodul::v0menuClick},
        {v1menu, &Tmodul::v1menuClick},
        {v2menu, &Tmodul::v2menuClick},
        {v3menu, &Tmodul::v3menuClick},
        {v4menu, &Tmodul::v4menuClick},
        {Beep1, &Tmodul::Beep1Click},
        {Quitter1, &Tmodul::Quitter1Click},
    };
    for (const auto& [action, handler] : items) {
        connect(action, &QAction::triggered, this, handler);
    }
}

bool Tmodul::FormCreate() {
    UsbApi api;
    if (!seams_.loadUsbLibrary(api, seams_.dialogs)) {
        seams_.dialogs.message(kLibraryMissing);
        return false;
    }
    link_.emplace(api);
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
    if (formShown_ || !link_) {
        return;  // once; and never without a bound library
    }
    formShown_ = true;
    // Before any dialog: the ticks that run while one is open find the reset state.
    preview_.reset();
    clock_.alarmOn = 0;
    texttxt->setText(QString::fromLatin1(kWelcomeText));

    if (!link_->panelPresent()) {
        seams_.dialogs.confirm(kNoPanel);
        const QDateTime now = seams_.clock.now();
        const QString sep = seams_.clock.dateSeparator();
        hrtxt->setText(seams_.clock.longTime(now.time()));
        datetxt->setText(twoDigits(now.date().day()) + sep + twoDigits(now.date().month()) + sep +
                         QString::number(now.date().year()));
        clock_.hour = static_cast<quint8>(now.time().hour());
        clock_.minute = static_cast<quint8>(now.time().minute());
        clock_.second = static_cast<quint8>(now.time().second());
        clock_.day = static_cast<quint16>(now.date().day());
        clock_.month = static_cast<quint16>(now.date().month());
        clock_.year = static_cast<quint16>(now.date().year());
        setPanelControlsEnabled(false);  // for good: nothing looks for a panel again
        return;
    }
    if (seams_.dialogs.askYesNo(kReadMemory)) {
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
    const BusyCursor busy;
    sendText(*link_, seams_.dialogs, cp1252::encode(texttxt->text()));
}

void Tmodul::m_sendtxtClick() {
    envcBtnClick();
}

void Tmodul::BitBtn1Click() {
    std::optional<QByteArray> text;
    {
        const BusyCursor busy;
        text = readText(*link_, seams_.dialogs);
    }
    if (text) {
        texttxt->setText(cp1252::decode(*text));
    }
}

void Tmodul::m_liretexteClick() {
    BitBtn1Click();
}

void Tmodul::m_lireheureClick() {
    std::optional<ClockView> view;
    {
        const BusyCursor busy;
        view = readClock(*link_, seams_.dialogs, clock_);
    }
    if (!view) {
        return;
    }
    hrtxt->setText(view->hrtxt);
    datetxt->setText(view->datetxt);
    revchk->setChecked(view->alarmArmed);  // runs revchkClick when it changes
    revtxt->setText(view->revtxt);
    m_alarm->setText(view->alarmCaption);
}

void Tmodul::m_sendheurClick() {
    const BusyCursor busy;
    writeClock(*link_, seams_.dialogs, clock_);
}

void Tmodul::m_alarmClick() {
    const AlarmMenuOutcome outcome = alarmMenuClick(m_alarm->text(), seams_.dialogs, clock_);
    if (outcome.caption) {
        m_alarm->setText(*outcome.caption);
    }
    if (outcome.summary) {
        timelbl->setText(*outcome.summary);
        timelbl->adjustSize();  // the left edge stays, the width follows the text
    }
}

void Tmodul::revchkClick() {
    if (revchk->isChecked()) {
        clock_.alarmOn = 1;
        revtxt->setEnabled(true);
    } else {
        revtxt->setEnabled(false);
        clock_.alarmOn = 0;
    }
}

void Tmodul::texttxtChange() {
    preview_.setText(cp1252::encode(texttxt->text()));
}

void Tmodul::Timer1Timer() {
    const QPoint origin = Bevel1->geometry().topLeft() + kLedOffset;
    const std::optional<QString> failure = preview_.tick(canvas_, origin);
    centralWidget()->update(QRect(origin, kLedArea));
    if (failure) {
        seams_.dialogs.reportError(*failure);
    }
}

void Tmodul::insertCode(const char* codeText) {
    const QString code = QString::fromLatin1(codeText);
    const int caret =
        texttxt->hasSelectedText() ? texttxt->selectionStart() : texttxt->cursorPosition();
    texttxt->setText(insertFunctionCode(texttxt->text(), caret, code));
    // The next insertion lands right after this one.
    texttxt->setCursorPosition(caret + static_cast<int>(code.size()));
}

void Tmodul::Inversevido1Click() {
    insertCode(functionCode("Inversevido1").code);
}
void Tmodul::Heure1Click() {
    insertCode(functionCode("Heure1").code);
}
void Tmodul::Date1Click() {
    insertCode(functionCode("Date1").code);
}
void Tmodul::emprature1Click() {
    insertCode(functionCode("emprature1").code);
}
void Tmodul::Fontemini1Click() {
    insertCode(functionCode("Fontemini1").code);
}
void Tmodul::Fontemaxi1Click() {
    insertCode(functionCode("Fontemaxi1").code);
}
void Tmodul::v0menuClick() {
    insertCode(functionCode("v0menu").code);
}
void Tmodul::v1menuClick() {
    insertCode(functionCode("v1menu").code);
}
void Tmodul::v2menuClick() {
    insertCode(functionCode("v2menu").code);
}
void Tmodul::v3menuClick() {
    insertCode(functionCode("v3menu").code);
}
void Tmodul::v4menuClick() {
    insertCode(functionCode("v4menu").code);
}
void Tmodul::Beep1Click() {
    insertCode(functionCode("Beep1").code);
}

bool Tmodul::routeAltKeyToButton(int key) {
    for (PictureButton* button : {envcBtn, BitBtn1}) {
        const QChar mark = markedKey(button->text());
        if (!mark.isNull() && mark.unicode() == key && button->isEnabled() && button->isVisible() &&
            button->focusPolicy() != Qt::NoFocus) {
            button->click();
            return true;
        }
    }
    return false;
}

bool Tmodul::eventFilter(QObject* watched, QEvent* event) {
    // Alt+key goes to the window's buttons before the menu bar: Qt would call
    // a key claimed by both ambiguous and do neither.
    if (event->type() == QEvent::Shortcut) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window() == this) {
            const QKeySequence seq = static_cast<QShortcutEvent*>(event)->key();
            if (seq.count() == 1 && seq[0].keyboardModifiers() == Qt::AltModifier &&
                routeAltKeyToButton(seq[0].key())) {
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
