// The window's layout: each control is created, named and connected here, in
// one place.
#include <QIcon>
#include <QPaintEvent>
#include <QPainter>

#include "AltKeyRouter.h"
#include "FunctionCodes.h"
#include "MenuAccelerators.h"
#include "PictureButton.h"
#include "SelectionKeeper.h"
#include "Transfert.h"
#include "TypingLimit.h"

namespace {

constexpr char16_t kWindowTitle[] = u"Panneau à Leds - Voltamark";
// The client area a classic 561 x 317 frame leaves under its menu bar, with
// room below the 21-pixel fields at 245.
constexpr QSize kClientSize(553, 272);
const QColor kSilver(192, 192, 192);
const QColor kGreyedText(128, 128, 128);
constexpr int kFontPixels = 11;
constexpr int kEditHeight = 21;    // the font's cell height plus 8
constexpr int kTypingLimit = 200;  // characters the user may type; a send takes fewer

// The client area in the screen's own pixels, filled with the window's
// background: an opaque picture is copied to the screen as it is, where a
// see-through one would be blended over a background fill at every repaint.
QImage blankCanvas(qreal devicePixelRatio, const QColor& background) {
    QImage canvas(kClientSize * devicePixelRatio, QImage::Format_RGB32);
    canvas.setDevicePixelRatio(devicePixelRatio);
    canvas.fill(background);
    return canvas;
}

// The window's client area: the silver background and the LED matrix, drawn
// from the picture the preview ticks paint into, so it survives being covered.
// The picture follows the pixel ratio of the screen the window is on and the
// window's background colour; a new one is blank until the next tick draws
// the whole matrix on it.
class Surface final : public QWidget {
public:
    Surface(QImage& canvas, QWidget* parent) : QWidget(parent), canvas_(canvas) {
        // The canvas covers every pixel it is drawn on: no fill beneath it.
        setAttribute(Qt::WA_OpaquePaintEvent);
        canvas_ = blankCanvas(devicePixelRatioF(), background());
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (canvas_.devicePixelRatio() != devicePixelRatioF()) {
            canvas_ = blankCanvas(devicePixelRatioF(), background());
        }
        QPainter painter(this);
        painter.setClipRegion(event->region());
        painter.drawImage(QPoint(0, 0), canvas_);
        // A window made larger than the layout shows its background there.
        const QRegion beyond = event->region() - QRect(QPoint(0, 0), kClientSize);
        for (const QRect& rect : beyond) {
            painter.fillRect(rect, background());
        }
    }

    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::PaletteChange) {
            canvas_ = blankCanvas(devicePixelRatioF(), background());
            update();
        }
        QWidget::changeEvent(event);
    }

private:
    QColor background() const { return palette().color(QPalette::Window); }

    QImage& canvas_;
};

PictureSource tridentSource(bool mirrored) {
    return [mirrored](qreal ratio) { return usbTridentPicture(mirrored, ratio); };
}

template <typename T>
T* named(T* object, const char* name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

QLabel* makeLabel(const char* name, const QString& text, QRect geometry, QWidget* parent) {
    auto* label = named(new QLabel(text, parent), name);
    label->setGeometry(geometry);
    label->adjustSize();
    label->move(geometry.topLeft());
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QLineEdit* makeEdit(const char* name, const QString& text, QRect geometry, const QString& hint,
                    QWidget* parent) {
    auto* edit = named(new QLineEdit(text, parent), name);
    geometry.setHeight(kEditHeight);
    edit->setGeometry(geometry);
    edit->setToolTip(hint);
    return edit;
}

QMenu* makeMenu(QMenuBar* bar, const char* name, const QString& caption, const QString& hint) {
    QMenu* menu = named(bar->addMenu(caption), name);
    menu->menuAction()->setStatusTip(hint);  // kept as item data; no status area shows it
    return menu;
}

}  // namespace

Tmodul::Tmodul(TmodulSeams seams, QWidget* parent)
    : QMainWindow(parent),
      loadUsbLibrary_(std::move(seams.loadUsbLibrary)),
      messages_(seams.dialogs),
      session_(seams.clock, seams.beeper, seams.imageDir, seams.programDir),
      accelerators_(new MenuAccelerators(this)) {
    session_.panel().setLockFile(seams.panelLockFile);
    session_.panel().setMemoryFile(seams.panelMemoryFile);
    setObjectName(QStringLiteral("modul"));
    setWindowTitle(QString::fromUtf16(kWindowTitle));
    setWindowIcon(QIcon(usbTridentPicture(false)));

    // "MS Sans Serif" falls back as the program's set-up arranged it.
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
    altKeys_ = new AltKeyRouter(this, {envcBtn, BitBtn1});

    resize(kClientSize.width(), kClientSize.height() + MainMenu1->sizeHint().height());
    Timer1->start();  // ticks from creation on, never stopped
}

Tmodul::~Tmodul() = default;

void Tmodul::buildControls(QWidget* surface) {
    // Window-surface items first: they lie beneath every control.
    Label1 = makeLabel("Label1", QStringLiteral("Texte"), {8, 9, 27, 13}, surface);
    Bevel1 = named(new QFrame(surface), "Bevel1");
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Raised);
    Bevel1->setGeometry(16, 38, 390, 200);
    Bevel1->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The frame draws on its edges only: the LEDs inside repaint without it.
    Bevel1->setMask(QRegion(Bevel1->rect()) - QRegion(Bevel1->contentsRect()));
    timelbl = makeLabel("timelbl", QStringLiteral("Heure"), {14, 250, 29, 13}, surface);
    timelbl->setAlignment(Qt::AlignCenter);
    timelbl->setAttribute(Qt::WA_TranslucentBackground);
    Label2 = makeLabel("Label2", QStringLiteral("Date"), {140, 250, 23, 13}, surface);
    Label3 = makeLabel("Label3", QStringLiteral("Réveil"), {304, 250, 30, 13}, surface);

    envcBtn = named(new PictureButton(QStringLiteral("&Envoyer"), tridentSource(false),
                                      PictureButton::Placement::LeftMargin, 13, 13, surface),
                    "envcBtn");
    envcBtn->setGeometry(424, 140, 110, 40);
    envcBtn->setToolTip(QStringLiteral("Envoyer le texte au panneau"));
    connect(envcBtn, &QPushButton::clicked, this, &Tmodul::envcBtnClick);

    BitBtn1 = named(new PictureButton(QStringLiteral("&Lecture"), tridentSource(true),
                                      PictureButton::Placement::Centred, 0, 6, surface),
                    "BitBtn1");
    BitBtn1->setGeometry(424, 198, 110, 40);
    BitBtn1->setToolTip(QStringLiteral("Relire le texte du panneau"));
    connect(BitBtn1, &QPushButton::clicked, this, &Tmodul::BitBtn1Click);

    texttxt = makeEdit("texttxt", QString(), {41, 5, 366, 21}, QString(), surface);
    texttxt->setMaxLength(32767);  // the typing limit is TypingLimit's, not a cut
    texttxt->setValidator(new TypingLimit(texttxt, kTypingLimit));
    new SelectionKeeper(texttxt);  // the insertions find it as the menu opened
    connect(texttxt, &QLineEdit::textChanged, this, &Tmodul::texttxtChange);

    hrtxt = makeEdit("hrtxt", QStringLiteral("00:00"), {55, 245, 50, 20},
                     QStringLiteral("Heure/minutes (ex:12:34)"), surface);
    datetxt =
        makeEdit("datetxt", QStringLiteral("14/07/2009"), {168, 245, 80, 20}, QString(), surface);
    revtxt = makeEdit("revtxt", QString(), {344, 245, 50, 20},
                      QStringLiteral("Heure réveil (ex.07:30)"), surface);
    revtxt->setEnabled(false);

    revchk = named(new QCheckBox(surface), "revchk");
    revchk->setGeometry(288, 248, 17, 17);
    connect(revchk, &QCheckBox::toggled, this, &Tmodul::revchkClick);

    const QList<QWidget*> tabOrder = {envcBtn, BitBtn1, texttxt, hrtxt, datetxt, revtxt, revchk};
    for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i], tabOrder[i + 1]);
    }

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(kPreviewTickMs);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &Tmodul::Timer1Timer);
}

void Tmodul::buildMenus() {
    MainMenu1 = named(new QMenuBar(this), "MainMenu1");
    setMenuBar(MainMenu1);
    const auto item = [this](QMenu* menu, const char* name, const QString& caption,
                             void (Tmodul::*handler)()) {
        QAction* action = named(menu->addAction(caption), name);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    lire1 = makeMenu(MainMenu1, "lire1", QStringLiteral("&Lire"),
                     QStringLiteral("Pour lire la mémoire du journal lumineux"));
    m_liretexte = item(lire1, "m_liretexte", QStringLiteral("&Texte"), &Tmodul::m_liretexteClick);
    m_lireheure =
        item(lire1, "m_lireheure", QStringLiteral("&Heure/date/alarme"), &Tmodul::m_lireheureClick);

    Envoyer1 = makeMenu(MainMenu1, "Envoyer1", QStringLiteral("&Envoyer"),
                        QStringLiteral("Pour mettre à jour le journal lumineux"));
    m_sendtxt = item(Envoyer1, "m_sendtxt", QStringLiteral("&Texte"), &Tmodul::m_sendtxtClick);
    m_sendheur = item(Envoyer1, "m_sendheur", QStringLiteral("&Heure/date/Alarme"),
                      &Tmodul::m_sendheurClick);

    Alarme1 = makeMenu(MainMenu1, "Alarme1", QStringLiteral("Réveil"),
                       QStringLiteral("Régler l'heure de réveil"));
    m_alarm =
        item(Alarme1, "m_alarm", WindowMessages::alarmCaption(false, {}), &Tmodul::m_alarmClick);

    texte1 = makeMenu(MainMenu1, "texte1", QStringLiteral("&Insérer"),
                      QStringLiteral("Insérer des codes de fonctions dans le texte"));
    // The function code items, in the order of the one table; the speeds'
    // submenu stands where its first item comes.
    Vitesse11 = nullptr;
    for (const FunctionCode& code : kFunctionCodes) {
        QMenu* menu = texte1;
        if (code.menu == CodeMenu::Speed) {
            if (Vitesse11 == nullptr) {
                Vitesse11 = named(texte1->addMenu(QStringLiteral("-> Vitesse")), "Vitesse11");
            }
            menu = Vitesse11;
        }
        QAction* action = named(menu->addAction(QString::fromUtf16(code.caption)), code.itemName);
        const char* name = code.itemName;
        connect(action, &QAction::triggered, this, [this, name] { insertCode(name); });
    }
    const auto codeItem = [this](const char* name) {
        return findChild<QAction*>(QString::fromLatin1(name));
    };
    Inversevido1 = codeItem("Inversevido1");
    Heure1 = codeItem("Heure1");
    Date1 = codeItem("Date1");
    emprature1 = codeItem("emprature1");
    Fontemini1 = codeItem("Fontemini1");
    Fontemaxi1 = codeItem("Fontemaxi1");
    v0menu = codeItem("v0menu");
    v1menu = codeItem("v1menu");
    v2menu = codeItem("v2menu");
    v3menu = codeItem("v3menu");
    v4menu = codeItem("v4menu");
    Beep1 = codeItem("Beep1");

    Quitter1 = named(MainMenu1->addAction(QStringLiteral("&Quitter")), "Quitter1");
    connect(Quitter1, &QAction::triggered, this, &Tmodul::Quitter1Click);

    for (QWidget* level : {static_cast<QWidget*>(MainMenu1), static_cast<QWidget*>(lire1),
                           static_cast<QWidget*>(Envoyer1), static_cast<QWidget*>(Alarme1),
                           static_cast<QWidget*>(texte1), static_cast<QWidget*>(Vitesse11)}) {
        accelerators_->watch(level);
    }
}
