#include "Form1.h"

#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontInfo>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>

#include <memory>

#include "GlyphTexts.h"
#include "PictureBox.h"
#include "core/ArrowImages.h"
#include "core/BitmapFont.h"
#include "core/CellGrid.h"
#include "core/ColumnCodes.h"
#include "core/FontsFile.h"
#include "core/FontsTable.h"
#include "core/GlyphRules.h"

namespace {

const QString kTitle = QStringLiteral("Créateur de fontes pour panneau à Leds");
const QString kSavedTitle = QStringLiteral("Fini");
const QString kSavedText = QStringLiteral("Fichier 'fonts.txt' sauvegardé !");
const QString kSaveFailed = QStringLiteral("Le fichier '%1' n'a pas pu être écrit : %2");
const QString kClipboardFailed =
    QStringLiteral("La ligne n'a pas pu être placée dans le presse-papier.");
const QString kOpenFailed = QStringLiteral("Le fichier '%1' n'a pas pu être lu : %2");
const QString kNotATable =
    QStringLiteral("Le fichier '%1' ne contient aucune ligne de table ; la liste est gardée.");
const QString kFontFailed =
    QStringLiteral("Le fichier '%1' n'a pas pu être pris comme police : %2");
const QString kOutlineHint = QStringLiteral(" ; choisissez-la avec « Fonte ».");
const QString kLinesLeftOutTitle = QStringLiteral("Table ouverte");
const QString kLinesLeftOut = QStringLiteral("Lignes de '%1' laissées de côté :");
const QString kProblemLine = QStringLiteral("ligne %1 : %2");
const QString kMoreProblems = QStringLiteral("… et %1 autres");
constexpr int kProblemsShown = 10;

constexpr int kStandInStretch = 92;  // per cent

// The layout was drawn for an 11-pixel "MS Sans Serif"; where that is missing, a sans
// serif of about its widths keeps the list lines and the codes inside the window.
QFont windowFont() {
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    // The stand-in is wider than "MS Sans Serif" (its "E", "F" and "x" by a pixel
    // each): at full width ten codes would run 15 pixels off the window.
    if (QFontInfo(font).family() != QLatin1String("MS Sans Serif")) {
        font.setStretch(kStandInStretch);
    }
    return font;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, QRect place) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(place);
    // Enter presses the button that has the focus, so Enter alternates ">" and "Ajoute".
    button->setAutoDefault(true);
    return button;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, QPoint place) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->move(place);
    label->adjustSize();
    return label;
}

}  // namespace

Form1::Form1(glyph::Services services, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      model_(glyph::startFont(), buttonFace()),
      grid_(buttonFace()) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kTitle);
    setFixedSize(679, 250);
    setFont(windowFont());
    buildControls();
    Command1->setFocus();
}

void Form1::buildControls() {
    Picture1 = new PictureBox(true, this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(8, 8, 30, 28);
    Picture1->setImage(model_.captureBox());
    Picture1->setFont(model_.font().font());

    Picture2 = new PictureBox(true, this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(64, 8, 110, 129);
    Picture2->setImage(grid_.image());
    // At another screen scale the circles are drawn again at that scale, from
    // the record of what was drawn, rather than the image's pixels enlarged.
    Picture2->setRenderer(
        [this](qreal ratio) { return grid_.render(Picture2->contentsRect().size(), ratio); });
    connect(Picture2, &PictureBox::mouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPointF pos) {
                Picture2_MouseDown(static_cast<int>(button), static_cast<int>(modifiers.toInt()),
                                   pos.x(), pos.y());
            });

    downPict = new PictureBox(false, this);
    downPict->setObjectName(QStringLiteral("downPict"));
    downPict->setGeometry(176, 10, 20, 20);
    downPict->setImage(glyph::arrowImage(true));
    downPict->setRenderer([](qreal ratio) { return glyph::arrowImage(true, ratio); });
    connect(downPict, &PictureBox::clicked, this, &Form1::downPict_Click);

    upPict = new PictureBox(false, this);
    upPict->setObjectName(QStringLiteral("upPict"));
    upPict->setGeometry(176, 114, 20, 20);
    upPict->setImage(glyph::arrowImage(false));
    upPict->setRenderer([](qreal ratio) { return glyph::arrowImage(false, ratio); });
    connect(upPict, &PictureBox::clicked, this, &Form1::upPict_Click);

    for (PictureBox* picture : {Picture1, Picture2, downPict, upPict}) {
        // Reached by Tab as a picture area is; a click does not take the focus.
        picture->setFocusPolicy(Qt::TabFocus);
    }

    asclbl = makeLabel(this, "asclbl", QStringLiteral(" "), {8, 40});
    Label1 = makeLabel(this, "Label1", QStringLiteral("N Cols"), {16, 72});

    ncoltxt = new QLineEdit(QStringLiteral("8"), this);
    ncoltxt->setObjectName(QStringLiteral("ncoltxt"));
    ncoltxt->setGeometry(16, 90, 25, 20);

    Command2 = makeButton(this, "Command2", QStringLiteral("Efface"), {10, 152, 66, 22});
    fontCmd = makeButton(this, "fontCmd", QStringLiteral("Fonte"), {88, 152, 95, 22});
    backcmd = makeButton(this, "backcmd", QStringLiteral("<"), {8, 184, 28, 22});
    Command1 = makeButton(this, "Command1", QStringLiteral(">"), {48, 184, 28, 22});
    stocmd = makeButton(this, "stocmd", QStringLiteral("&Ajoute   ==>"), {88, 184, 95, 22});
    stocmd->setToolTip(QStringLiteral("Met en liste & presse-papier"));
    Command3 = makeButton(this, "Command3", QStringLiteral("Sauver fonts.txt"), {8, 214, 176, 24});
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(fontCmd, &QPushButton::clicked, this, &Form1::fontCmd_Click);
    connect(backcmd, &QPushButton::clicked, this, &Form1::backcmd_Click);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(stocmd, &QPushButton::clicked, this, &Form1::stocmd_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);

    hexlbl = makeLabel(this, "hexlbl", QStringLiteral(" "), {232, 8});

    outList = new QListWidget(this);
    outList->setObjectName(QStringLiteral("outList"));
    outList->setGeometry(232, 28, 441, 212);
    outList->setSortingEnabled(false);
    // A table dropped on the list opens; the list's own drag and drop stays off.
    // (The view turns its viewport's drops off again; they reach the list itself.)
    outList->setAcceptDrops(true);
    outList->installEventFilter(this);
    auto* open = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
    connect(open, &QShortcut::activated, this, &Form1::openTable);
    // A bitmap font dropped anywhere on the window, or opened with the table's
    // shortcut and Shift, becomes the capture source.
    setAcceptDrops(true);
    auto* openFont = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), this);
    connect(openFont, &QShortcut::activated, this, &Form1::openBitmapFont);

    // Keyboard order; the labels take no focus.
    const QList<QWidget*> order{Command1, Picture1, Picture2, backcmd, stocmd,   outList,
                                Command2, Command3, ncoltxt,  fontCmd, downPict, upPict};
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

QColor Form1::buttonFace() const {
    return palette().color(QPalette::Button);
}

int Form1::columns() const {
    return glyph::columnCount(ncoltxt->text());
}

QStringList Form1::lines() const {
    QStringList out;
    for (int i = 0; i < outList->count(); ++i) {
        out.append(outList->item(i)->text());
    }
    return out;
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Activate();
}

void Form1::showGrid() {
    model_.paint(grid_);
    Picture2->setImage(grid_.image());
}

void Form1::showCapture() {
    Picture1->setImage(model_.captureBox());
    showGrid();
}

void Form1::showLines() {
    outList->clear();
    outList->addItems(model_.lines());
}

void Form1::Form_Activate() {
    // A later re-activation would add the header again; once per run is enough.
    if (activated_) {
        return;
    }
    activated_ = true;
    model_.setColumns(columns());
    model_.start();
    asclbl->setText(QString::number(model_.code()));
    asclbl->adjustSize();
    showCapture();
    calcCodes();
    outList->addItem(model_.lines().back());
}

void Form1::captureChar(const QString& ch) {
    const QChar c = ch.isEmpty() ? QChar(u' ') : ch.front();
    model_.setColumns(columns());
    model_.capture(glyph::codeForChar(c));
    asclbl->setText(QString::number(glyph::codeForChar(c)));
    asclbl->adjustSize();
    showCapture();
}

void Form1::calcCodes() {
    model_.setColumns(columns());
    model_.computeCodes();
    hexlbl->setText(model_.codes());
    hexlbl->adjustSize();
    update();
}

void Form1::Picture2_MouseDown(int /*button*/, int /*shift*/, double x, double y) {
    if (!model_.click(x, y)) {
        return;
    }
    showGrid();
    calcCodes();
}

void Form1::upPict_Click() {
    model_.setOffsets({model_.offsets().xoff, glyph::shiftedOffset(model_.offsets().yoff, +1)});
    captureChar(currentChar());
    calcCodes();
}

void Form1::downPict_Click() {
    model_.setOffsets({model_.offsets().xoff, glyph::shiftedOffset(model_.offsets().yoff, -1)});
    captureChar(currentChar());
    calcCodes();
}

void Form1::backcmd_Click() {
    model_.setCode(glyph::previousCode(model_.code()));
    captureChar(currentChar());
    calcCodes();
    stocmd->setFocus();
}

void Form1::Command1_Click() {
    model_.setCode(glyph::nextCode(model_.code()));
    captureChar(currentChar());
    calcCodes();
    stocmd->setFocus();
}

void Form1::fontCmd_Click() {
    const glyph::CaptureFont& font = model_.font();
    const glyph::FontChoice current{font.family, font.size(), font.bold, font.italic};
    // A cancelled dialog keeps the current font; the capture is redone either way.
    if (const auto choice = services_.fonts.chooseFont(current)) {
        model_.setColumns(columns());
        model_.setFont(glyph::CaptureFont::fromPoints(choice->family, choice->points, choice->bold,
                                                      choice->italic));
        Picture1->setFont(model_.font().font());
    }
    captureChar(currentChar());
}

void Form1::stocmd_Click() {
    // The codes as hexlbl shows them: a font choice does not compute them again.
    const QString line = model_.add();
    outList->addItem(line);
    if (!services_.clipboard.setText(line)) {
        services_.messages.error(kClipboardFailed);
    }
    Command1->setFocus();
}

void Form1::Command2_Click() {
    model_.clear();
    outList->clear();
}

void Form1::Command3_Click() {
    const auto saved =
        glyph::saveFontsFile(services_.programFolder, services_.workingFolder, model_.fileBytes());
    if (saved.failure) {
        services_.messages.error(kSaveFailed.arg(saved.path, *saved.failure));
        return;
    }
    // Away from the program, the user must be told where it went.
    services_.messages.exclamation(
        kSavedTitle, saved.besideProgram ? kSavedText : kSavedText + u'\n' + saved.path);
}

void Form1::openTable() {
    // Where "Sauver fonts.txt" puts it, so the last table saved is at hand.
    if (const auto path = services_.tables.chooseTable(services_.programFolder)) {
        loadTable(*path);
    }
}

void Form1::loadTable(const QString& path) {
    const auto loaded = glyph::loadTableFile(path);
    if (const auto* failure = std::get_if<glyph::FileProblem>(&loaded)) {
        services_.messages.error(kOpenFailed.arg(path, glyphtext::tableFileProblem(*failure)));
        return;
    }
    const auto& read = std::get<glyph::TableRead>(loaded);
    QStringList problems;
    for (const auto& problem : read.problems) {
        if (problems.size() == kProblemsShown) {
            problems.append(kMoreProblems.arg(read.problems.size() - kProblemsShown));
            break;
        }
        problems.append(
            kProblemLine.arg(problem.line).arg(glyphtext::lineProblem(problem.problem)));
    }
    // A file with nothing of a table in it is not a table: the list is kept.
    if (read.lines.isEmpty() && !read.problems.empty()) {
        services_.messages.error(kNotATable.arg(path) + u'\n' + problems.join(u'\n'));
        return;
    }
    model_.setLines(read.lines);
    showLines();
    if (!problems.isEmpty()) {
        services_.messages.exclamation(kLinesLeftOutTitle,
                                       kLinesLeftOut.arg(path) + u'\n' + problems.join(u'\n'));
    }
}

void Form1::openBitmapFont() {
    // Where Debian keeps the X11 pixel fonts, when it is there.
    const QString misc = QStringLiteral("/usr/share/fonts/X11/misc");
    if (const auto path =
            services_.tables.chooseFontFile(QFileInfo(misc).isDir() ? misc : QDir::homePath())) {
        loadBitmapFont(*path);
    }
}

void Form1::loadBitmapFont(const QString& path) {
    auto read = glyph::loadBitmapFont(path);
    if (const auto* problem = std::get_if<glyph::FontProblem>(&read)) {
        QString text = kFontFailed.arg(path, glyphtext::fontProblem(*problem));
        text +=
            problem->fault == glyph::FontFault::OutlineOnly ? kOutlineHint : QStringLiteral(".");
        services_.messages.error(text);
        return;
    }
    model_.setColumns(columns());
    model_.setBitmapFont(std::make_shared<const glyph::BitmapStrike>(
        std::get<glyph::BitmapStrike>(std::move(read))));
    // The whole of a new source, codes included, as the arrows refresh it.
    captureChar(currentChar());
    calcCodes();
}

namespace {

// The one local bitmap font file a drag carries, if that is what it carries.
QString droppedFontFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().front().isLocalFile()) {
        return {};
    }
    const QString path = data->urls().front().toLocalFile();
    return glyph::isBitmapFontName(path) ? path : QString();
}

}  // namespace

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFontFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void Form1::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedFontFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void Form1::dropEvent(QDropEvent* event) {
    const QString path = droppedFontFile(event->mimeData());
    if (path.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    loadBitmapFont(path);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched != outList) {
        return QWidget::eventFilter(watched, event);
    }
    // One local file dropped on the list opens it as a table.
    const auto droppedFile = [](const QMimeData* data) -> QString {
        if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 ||
            !data->urls().front().isLocalFile()) {
            return {};
        }
        return data->urls().front().toLocalFile();
    };
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (droppedFile(drag->mimeData()).isEmpty()) {
                return false;
            }
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString path = droppedFile(drop->mimeData());
            if (path.isEmpty()) {
                return false;
            }
            drop->acceptProposedAction();
            glyph::isBitmapFontName(path) ? loadBitmapFont(path) : loadTable(path);
            return true;
        }
        default:
            return QWidget::eventFilter(watched, event);
    }
}
