#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "FakeServices.h"
#include "Form1.h"
#include "GridDrawing.h"
#include "PictureBox.h"
#include "QtSeams.h"
#include "core/ColumnCodes.h"

namespace {

const QString kHeader = QStringLiteral("const rom chr car[255] = {");

// One window on fakes, shown (so its start-up has run), files going to a temp folder.
struct Rig {
    QTemporaryDir dir;
    FakeFontChooser fonts;
    FakeMessages messages;
    FakeClipboard clipboard;
    FakeTableChooser tables;
    std::unique_ptr<Form1> form;

    explicit Rig(const QString& folder = {}, const QString& working = {}) {
        form = std::make_unique<Form1>(glyph::Services{
            fonts, messages, clipboard, tables, folder.isEmpty() ? dir.path() : folder,
            working.isEmpty() ? dir.path() + "/elsewhere" : working});
        form->show();
    }
    template <typename T>
    T* child(const char* name) const {
        return form->findChild<T*>(QLatin1String(name));
    }
    QString hex() const { return child<QLabel>("hexlbl")->text(); }
    QString asc() const { return child<QLabel>("asclbl")->text(); }
    QImage grid() const { return child<PictureBox>("Picture2")->image(); }
    QPushButton* button(const char* name) const { return child<QPushButton>(name); }
    QByteArray savedFile() const {
        QFile file(dir.path() + "/fonts.txt");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

}  // namespace

class TestGlyphWindow : public QObject {
    Q_OBJECT
private slots:
    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Picture1") << "Picture1" << QRect(8, 8, 30, 28) << "";
        QTest::newRow("Picture2") << "Picture2" << QRect(64, 8, 110, 129) << "";
        QTest::newRow("downPict") << "downPict" << QRect(176, 10, 20, 20) << "";
        QTest::newRow("upPict") << "upPict" << QRect(176, 114, 20, 20) << "";
        QTest::newRow("ncoltxt") << "ncoltxt" << QRect(16, 90, 25, 20) << "8";
        QTest::newRow("Command2") << "Command2" << QRect(10, 152, 66, 22) << "Efface";
        QTest::newRow("fontCmd") << "fontCmd" << QRect(88, 152, 95, 22) << "Fonte";
        QTest::newRow("backcmd") << "backcmd" << QRect(8, 184, 28, 22) << "<";
        QTest::newRow("Command1") << "Command1" << QRect(48, 184, 28, 22) << ">";
        QTest::newRow("stocmd") << "stocmd" << QRect(88, 184, 95, 22) << "&Ajoute   ==>";
        QTest::newRow("Command3") << "Command3" << QRect(8, 214, 176, 24) << "Sauver fonts.txt";
        QTest::newRow("outList") << "outList" << QRect(232, 28, 441, 212) << "";
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        QFETCH(QString, caption);
        Rig rig;
        auto* widget = rig.form->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), place);
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QCOMPARE(button->text(), caption);
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            QCOMPARE(edit->text(), caption);
        }
    }

    void window() {
        Rig rig;
        QCOMPARE(rig.form->windowTitle(), QStringLiteral("Créateur de fontes pour panneau à Leds"));
        QCOMPARE(rig.form->size(), QSize(679, 250));
        QCOMPARE(rig.button("stocmd")->toolTip(), QStringLiteral("Met en liste & presse-papier"));
        QCOMPARE(rig.child<QLabel>("Label1")->text(), QStringLiteral("N Cols"));
        QCOMPARE(rig.child<QLabel>("hexlbl")->pos(), QPoint(232, 8));
        QCOMPARE(rig.child<QLabel>("asclbl")->pos(), QPoint(8, 40));
        // Tab runs through the controls in their keyboard order.
        const QStringList order{"Command1", "Picture1", "Picture2", "backcmd",
                                "stocmd",   "outList",  "Command2", "Command3",
                                "ncoltxt",  "fontCmd",  "downPict", "upPict"};
        QWidget* w = rig.form->findChild<QWidget*>(order.front());
        for (const QString& name : order.mid(1)) {
            do {
                w = w->nextInFocusChain();
            } while (w->parentWidget() != rig.form.get() || !(w->focusPolicy() & Qt::TabFocus));
            QCOMPARE(w->objectName(), name);
        }
    }

    void startUp() {
        Rig rig;
        QCOMPARE(rig.form->focusWidget(), rig.button("Command1"));
        QCOMPARE(rig.asc(), QStringLiteral("65"));
        QCOMPARE(rig.form->yoff(), std::int16_t{2});
        QCOMPARE(rig.form->xoff(), std::int16_t{0});
        QCOMPARE(rig.form->lines(), QStringList{kHeader});
        QCOMPARE(rig.form->captureFont().size(), 8.25);
        // The label shows the grid's codes; "A" lights something.
        QCOMPARE(rig.hex(), glyph::codeText(rig.grid(), 8, 8.25));
        QVERIFY(rig.hex() != repeatWord("FFFE", 8));
        // The tenth clickable row shows background until clicked.
        QCOMPARE(rig.grid().pixel(7, 118), rig.grid().pixel(0, 0));
        // Showing again does not run the start-up again.
        rig.form->hide();
        rig.form->show();
        rig.form->Form_Activate();
        QCOMPARE(rig.form->lines(), QStringList{kHeader});
    }

    void clicksOutsideChangeNothing_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::newRow("x = 2") << 2.0 << 10.0;
        QTest::newRow("x = 99") << 99.0 << 10.0;
        QTest::newRow("y = 123") << 10.0 << 123.0;
        QTest::newRow("negative") << -40.0 << -40.0;
    }
    void clicksOutsideChangeNothing() {
        QFETCH(double, x);
        QFETCH(double, y);
        Rig rig;
        const QImage before = rig.grid();
        const QString hex = rig.hex();
        rig.form->Picture2_MouseDown(1, 0, x, y);
        QCOMPARE(rig.grid(), before);
        QCOMPARE(rig.hex(), hex);
    }

    void clickTogglesCell() {
        Rig rig;
        rig.child<QLineEdit>("ncoltxt")->setText("1");
        // Start from an empty column: the space.
        while (rig.form->currentChar() != " ") {
            rig.form->backcmd_Click();
        }
        QCOMPARE(rig.hex(), " 0xFFFE,");
        // A real mouse press on the widget, inside its border: cell (0, 0) at (7, 10).
        auto* grid = rig.child<PictureBox>("Picture2");
        const QPoint inside = grid->contentsRect().topLeft();
        QTest::mouseClick(grid, Qt::LeftButton, {}, inside + QPoint(7, 10));
        QCOMPARE(rig.hex(), " 0xFFFC,");
        QTest::mouseClick(grid, Qt::RightButton, {}, inside + QPoint(7, 10));
        QCOMPARE(rig.hex(), " 0xFFFE,");
        // Bottom sample row (click row 8) clears bit 9.
        rig.form->Picture2_MouseDown(1, 0, 7, 12 * 8 + 10);
        QCOMPARE(rig.hex(), " 0xFDFE,");
    }

    void stepping() {
        Rig rig;
        for (int i = 0; i < 65; ++i) {
            rig.form->backcmd_Click();
        }
        QCOMPARE(rig.asc(), QStringLiteral("0"));
        rig.form->backcmd_Click();
        QCOMPARE(rig.asc(), QStringLiteral("255"));
        QCOMPARE(rig.form->currentChar(), QString(QChar(0xFF)));
        rig.form->Command1_Click();
        QCOMPARE(rig.asc(), QStringLiteral("14"));
        rig.form->backcmd_Click();
        QCOMPARE(rig.asc(), QStringLiteral("13"));
        rig.form->Command1_Click();
        QCOMPARE(rig.asc(), QStringLiteral("14"));
        // 0x80 is the euro sign in the Western code page.
        while (rig.asc() != "128") {
            rig.form->Command1_Click();
        }
        QCOMPARE(rig.form->currentChar(), QString(QChar(0x20AC)));
    }

    void enterAlternatesStepAndAdd() {
        Rig rig;
        QTest::keyClick(rig.button("Command1"), Qt::Key_Return);
        QCOMPARE(rig.asc(), QStringLiteral("66"));
        QCOMPARE(rig.form->focusWidget(), rig.button("stocmd"));
        QTest::keyClick(rig.form->focusWidget(), Qt::Key_Return);
        QCOMPARE(rig.form->focusWidget(), rig.button("Command1"));
        QCOMPARE(rig.form->lines().size(), 2);
        QVERIFY(rig.form->lines().last().startsWith(" { 66, { 0x"));
        QTest::keyClick(rig.form->focusWidget(), Qt::Key_Return);
        QCOMPARE(rig.asc(), QStringLiteral("67"));
    }

    void shiftingKeepsFocus() {
        Rig rig;
        rig.button("backcmd")->setFocus();
        const QString start = rig.hex();
        QTest::mouseClick(rig.child<PictureBox>("upPict"), Qt::LeftButton);
        QCOMPARE(rig.form->yoff(), std::int16_t{3});
        QVERIFY(rig.hex() != start);
        QTest::mouseClick(rig.child<PictureBox>("downPict"), Qt::LeftButton);
        rig.form->downPict_Click();
        QCOMPARE(rig.form->yoff(), std::int16_t{1});
        QCOMPARE(rig.form->focusWidget(), rig.button("backcmd"));
    }

    void fontChoice() {
        Rig rig;
        const QString startFace = rig.form->captureFont().family;
        rig.fonts.answer = glyph::FontChoice{"DejaVu Sans", 12, true, false};
        const QString hex = rig.hex();
        const QImage grid = rig.grid();
        rig.button("fontCmd")->click();
        QCOMPARE(rig.fonts.asked.size(), 1);
        // The dialog opens on the face the capture really uses, at the start size.
        QCOMPARE(rig.fonts.asked.front().family, startFace);
        QCOMPARE(QFontInfo(glyph::startFont().font()).family(), startFace);
        QVERIFY2(QFontDatabase::families().contains(startFace), qPrintable(startFace));
        if (!QFontDatabase::families().contains("Tahoma") &&
            QFontDatabase::families().contains("DejaVu Sans Condensed")) {
            QCOMPARE(startFace, QStringLiteral("DejaVu Sans Condensed"));
        }
        QCOMPARE(rig.fonts.asked.front().points, 8.25);
        // The grid shows the new capture; the codes stay those of the previous grid.
        QVERIFY(rig.grid() != grid);
        QCOMPARE(rig.hex(), hex);
        QCOMPARE(rig.form->captureFont().size(), 12.0);
        QCOMPARE(rig.form->captureFont().bold, true);
        // The next step reads 13 sample rows: the words carry the fraction's rounding.
        rig.form->Command1_Click();
        rig.form->backcmd_Click();
        QCOMPARE(rig.hex(), glyph::codeText(rig.grid(), 8, 12.0));

        // Cancelled: the font stays.
        rig.fonts.answer.reset();
        rig.form->fontCmd_Click();
        QCOMPARE(rig.form->captureFont().size(), 12.0);
        QCOMPARE(rig.form->captureFont().family, QStringLiteral("DejaVu Sans"));
    }

    void messageBoxesShowPlainText() {
        const QString text = QStringLiteral("<b>12</b>:30 <img src=\"x.png\">");
        const auto error = glyph::makeErrorBox(text, nullptr);
        QCOMPARE(error->windowTitle(), QStringLiteral("Erreur"));
        QCOMPARE(error->icon(), QMessageBox::Critical);
        QCOMPARE(error->textFormat(), Qt::PlainText);
        QCOMPARE(error->text(), text);
        const auto done = glyph::makeMessageBox(QMessageBox::Warning, "Fini", text, nullptr);
        QCOMPARE(done->windowTitle(), QStringLiteral("Fini"));
        QCOMPARE(done->textFormat(), Qt::PlainText);
        QCOMPARE(done->standardButtons(), QMessageBox::Ok);
    }

    void dialogStyleOfTheStartFace() {
        // The start face's regular style, whatever the face calls it.
        const glyph::CaptureFont start = glyph::startFont();
        const QString style = glyph::styleOf({start.family, 8.25, false, false});
        QVERIFY2(!style.isEmpty(), qPrintable(start.family));
        QCOMPARE(QFontDatabase::weight(start.family, style), int(QFont::Normal));
        QCOMPARE(QFontDatabase::italic(start.family, style), false);
        if (QFontDatabase::families().contains("DejaVu Sans Condensed")) {
            QCOMPARE(glyph::styleOf({"DejaVu Sans Condensed", 8.25, true, true}),
                     QStringLiteral("Bold Oblique"));
        }
    }

    // The dialog opens on the size the capture box reports, fraction and all, and
    // gives it back when it is left as it is; a size picked there is the dialog's.
    void fontDialogOpensOnTheCaptureSize_data() {
        QTest::addColumn<double>("points");
        QTest::addColumn<QString>("typed");  // empty: left as shown
        QTest::addColumn<double>("chosen");
        QTest::newRow("8.25 kept") << 8.25 << "" << 8.25;
        QTest::newRow("9 kept") << 9.0 << "" << 9.0;
        QTest::newRow("12 typed") << 8.25 << "12" << 12.0;
    }
    void fontDialogOpensOnTheCaptureSize() {
        QFETCH(double, points);
        QFETCH(QString, typed);
        QFETCH(double, chosen);
        const glyph::CaptureFont start = glyph::startFont();
        glyph::QtFontChooser chooser;
        QString shown = QStringLiteral("<no dialog>");
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
            QLineEdit* size = dialog != nullptr ? glyph::fontDialogSizeBox(*dialog) : nullptr;
            if (size != nullptr) {
                shown = size->text();
                if (!typed.isEmpty()) {
                    size->selectAll();
                    QTest::keyClicks(size, typed);
                }
            }
            if (dialog != nullptr) {
                dialog->accept();
            }
        });
        const auto answer = chooser.chooseFont({start.family, points, false, false});
        QCOMPARE(shown, QString::number(points));
        QVERIFY(answer.has_value());
        QCOMPARE(answer->points, chosen);
        QCOMPARE(answer->family, start.family);
    }

    void windowTextsFitTheLayout() {
        Rig rig;
        if (QFontDatabase::families().contains("Liberation Sans")) {
            QCOMPARE(QFontInfo(rig.form->font()).family(), QStringLiteral("Liberation Sans"));
        }
        QCOMPARE(QFontInfo(rig.form->font()).pixelSize(), 11);
        // The longest code, 255, with ten columns: the codes stay inside the window...
        rig.child<QLineEdit>("ncoltxt")->setText("10");
        rig.form->backcmd_Click();
        while (rig.form->currentChar() != QChar(0xFF)) {
            rig.form->backcmd_Click();
        }
        QCOMPARE(rig.hex().count(u','), 10);
        QVERIFY2(rig.child<QLabel>("hexlbl")->geometry().right() < rig.form->width(),
                 qPrintable(QString::number(rig.child<QLabel>("hexlbl")->geometry().right())));
        // ...and with eight, its table line fits the list, closing "," and all.
        rig.child<QLineEdit>("ncoltxt")->setText("8");
        rig.form->backcmd_Click();
        rig.form->Command1_Click();
        rig.form->stocmd_Click();
        auto* list = rig.child<QListWidget>("outList");
        const QString line = rig.form->lines().back();
        QVERIFY(line.startsWith(" { 255, {"));
        QVERIFY2(list->fontMetrics().horizontalAdvance(line) < list->viewport()->width(),
                 qPrintable(QString::number(list->fontMetrics().horizontalAdvance(line))));
        QCoreApplication::processEvents();
        QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
    }

    void addCollectsLineAndClipboard() {
        Rig rig;
        const QString hex = rig.hex();
        rig.button("stocmd")->click();
        const QString line = " { 65, {" + hex;
        QCOMPARE(rig.form->lines(), (QStringList{kHeader, line}));
        QCOMPARE(rig.clipboard.texts, QStringList{line});
        QCOMPARE(rig.form->focusWidget(), rig.button("Command1"));
        QVERIFY(rig.messages.shown.isEmpty());
        // The same character again is a new line.
        rig.button("stocmd")->click();
        QCOMPARE(rig.form->lines(), (QStringList{kHeader, line, line}));
    }

    void clipboardFailureReported() {
        Rig rig;
        rig.clipboard.works = false;
        rig.button("stocmd")->click();
        QCOMPARE(rig.form->lines().size(), 2);
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(rig.messages.shown.front().error);
        QVERIFY(rig.messages.shown.front().text.contains("presse-papier"));
    }

    void saveWritesFile() {
        Rig rig;
        rig.button("stocmd")->click();
        rig.form->Command1_Click();
        rig.button("stocmd")->click();
        const QStringList lines = rig.form->lines();
        rig.button("Command3")->click();
        const QByteArray expected = lines.join("\r\n").toLatin1() + "\r\n";
        QCOMPARE(rig.savedFile(), expected);
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.messages.shown.front().error, false);
        QCOMPARE(rig.messages.shown.front().title, QStringLiteral("Fini"));
        QCOMPARE(rig.messages.shown.front().text,
                 QStringLiteral("Fichier 'fonts.txt' sauvegardé !"));
        QCOMPARE(rig.form->lines(), lines);
        // Saving again writes the same bytes.
        rig.form->Command3_Click();
        QCOMPARE(rig.savedFile(), expected);
        QCOMPARE(rig.messages.shown.size(), 2);
    }

    void saveAfterClearing() {
        Rig rig;
        rig.button("Command2")->click();
        QVERIFY(rig.form->lines().isEmpty());
        rig.form->Command3_Click();
        QCOMPARE(rig.savedFile(), QByteArray());
        rig.form->stocmd_Click();
        rig.form->Command3_Click();
        QCOMPARE(rig.savedFile(), rig.form->lines().front().toLatin1() + "\r\n");
        QVERIFY(!rig.savedFile().startsWith("const"));
    }

    void saveAwayFromTheProgramSaysWhere() {
        QTemporaryDir parent;
        Rig rig(parent.path() + "/gone", parent.path());
        rig.form->Command3_Click();
        QCOMPARE(rig.messages.shown.size(), 1);
        const auto& shown = rig.messages.shown.front();
        QCOMPARE(shown.error, false);
        QCOMPARE(shown.title, QStringLiteral("Fini"));
        QCOMPARE(shown.text, "Fichier 'fonts.txt' sauvegardé !\n" + parent.path() + "/fonts.txt");
        QFile file(parent.path() + "/fonts.txt");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kHeader.toLatin1() + "\r\n");
    }

    void saveFailureReported() {
        QTemporaryDir parent;
        const QString folder = parent.path() + "/gone";
        const QString working = parent.path() + "/gone too";
        Rig rig(folder, working);
        rig.form->stocmd_Click();
        rig.form->Command3_Click();
        QCOMPARE(rig.messages.shown.size(), 1);
        const auto& shown = rig.messages.shown.front();
        QVERIFY(shown.error);
        // The folder tried last, the working one, is named.
        QVERIFY2(shown.text.contains(working + "/fonts.txt"), qPrintable(shown.text));
        QVERIFY(!shown.text.contains(QStringLiteral("sauvegardé")));
        QCOMPARE(rig.form->lines().size(), 2);
    }

    // Reopening a table: readable lines replace the list, the others are named
    // in one message; what is no table at all leaves the list alone.
    void reopenTable_data() {
        QTest::addColumn<QByteArray>("content");  // "<none>": no such file
        QTest::addColumn<QStringList>("list");    // "<kept>": the list as it was
        QTest::addColumn<QString>("message");     // what the one message says, if any
        const QString b = QStringLiteral(" { 66, { 0xFFFE,");
        const QByteArray table = (kHeader + "\r\n" + b + "\r\n").toLatin1();
        QTest::newRow("as written") << table << QStringList{kHeader, b} << "";
        QTest::newRow("empty, as an empty list saves") << QByteArray() << QStringList{} << "";
        QTest::newRow("a damaged line") << table + " { 67, { 0xFFFE\r\n"
                                        << QStringList{kHeader, b} << "ligne 3 : colonne 1";
        QTest::newRow("no table") << QByteArray("hello\n") << QStringList{"<kept>"}
                                  << "ne contient aucune ligne de table";
        QTest::newRow("missing") << QByteArray("<none>") << QStringList{"<kept>"}
                                 << "fichier introuvable";
    }
    void reopenTable() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, list);
        QFETCH(QString, message);
        for (const QString how : {"Ctrl+O", "drop"}) {
            Rig rig;
            rig.form->stocmd_Click();
            const QStringList before = rig.form->lines();
            const QString path = rig.dir.filePath("table.txt");
            if (content != "<none>") {
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(content);
            }
            const QString hex = rig.hex();
            if (how == u"Ctrl+O") {
                rig.tables.answer = path;
                // Shortcuts go to the active window only.
                rig.form->activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(rig.form.get()));
                QTest::keyClick(rig.form->focusWidget(), Qt::Key_O, Qt::ControlModifier);
                QCOMPARE(rig.tables.asked, QStringList{rig.dir.path()});
            } else {
                auto* viewport = rig.child<QListWidget>("outList")->viewport();
                QMimeData data;
                data.setUrls({QUrl::fromLocalFile(path)});
                // As a drag arrives: entering, then the drop, on the list's viewport.
                QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
                QCoreApplication::sendEvent(viewport, &enter);
                QVERIFY(enter.isAccepted());
                QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
                QCoreApplication::sendEvent(viewport, &drop);
                QVERIFY(drop.isAccepted());
            }
            QCOMPARE(rig.form->lines(), list == QStringList{"<kept>"} ? before : list);
            QCOMPARE(rig.form->model().lines(), rig.form->lines());
            QCOMPARE(rig.hex(), hex);
            QCOMPARE(rig.messages.shown.size(), message.isEmpty() ? 0 : 1);
            if (!message.isEmpty()) {
                QVERIFY2(rig.messages.shown.front().text.contains(message),
                         qPrintable(rig.messages.shown.front().text));
            }
        }
    }

    // A bitmap font opened by Ctrl+Shift+O or dropped on the window becomes the
    // capture source until "Fonte" chooses a font; a refused file changes nothing.
    void bitmapFontSource_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("file");     // "TEXT": a text file named .bdf
        QTest::addColumn<QString>("message");  // empty: taken
        const QString misc = "/usr/share/fonts/X11/misc/";
        for (const QString how : {"Ctrl+Shift+O", "drop on a label", "drop on the list"}) {
            QTest::addRow("6x10, %s", qPrintable(how)) << how << misc + "6x10.pcf.gz"
                                                       << "";
            QTest::addRow("not a font, %s", qPrintable(how))
                << how << "TEXT"
                << "n'a pas pu être pris comme police : ce n'est pas une police lisible";
        }
        QTest::newRow("outline font, Ctrl+Shift+O")
            << "Ctrl+Shift+O"
            << "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
            << "police vectorielle, sans taille bitmap ; choisissez-la avec « Fonte »";
    }
    void bitmapFontSource() {
        QFETCH(QString, how);
        QFETCH(QString, file);
        QFETCH(QString, message);
        Rig rig;
        rig.form->stocmd_Click();
        const QStringList lines = rig.form->lines();
        if (file == u"TEXT") {
            file = rig.dir.filePath("text.bdf");
            QFile text(file);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("hello\n");
        }
        QVERIFY2(QFile::exists(file), qPrintable(file));
        const QString hex = rig.hex();
        const QImage box = rig.child<PictureBox>("Picture1")->image();
        if (how == u"Ctrl+Shift+O") {
            rig.tables.fontAnswer = file;
            rig.form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(rig.form.get()));
            QTest::keyClick(rig.form->focusWidget(), Qt::Key_O,
                            Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(rig.tables.fontAsked, QStringList{"/usr/share/fonts/X11/misc"});
            QVERIFY(rig.tables.asked.isEmpty());
        } else {
            QWidget* target = how == u"drop on a label"
                                  ? static_cast<QWidget*>(rig.child<QLabel>("Label1"))
                                  : rig.child<QListWidget>("outList")->viewport();
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(file)});
            QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(target, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(target, &drop);
            QVERIFY(drop.isAccepted());
        }
        // The list, the title and the character stay; only the source may change.
        QCOMPARE(rig.form->lines(), lines);
        QCOMPARE(rig.form->windowTitle(), QStringLiteral("Créateur de fontes pour panneau à Leds"));
        QCOMPARE(rig.asc(), QStringLiteral("65"));
        if (!message.isEmpty()) {
            QCOMPARE(rig.messages.shown.size(), 1);
            QVERIFY(rig.messages.shown.front().error);
            QVERIFY2(rig.messages.shown.front().text.contains(message),
                     qPrintable(rig.messages.shown.front().text));
            QVERIFY(rig.form->model().bitmapFont() == nullptr);
            QCOMPARE(rig.hex(), hex);
            QCOMPARE(rig.child<PictureBox>("Picture1")->image(), box);
            return;
        }
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(rig.form->model().bitmapFont() != nullptr);
        // The "A" of 6x10, as glyphctl gives it.
        const QString a6x10 = " 0xFF07, 0xFFDB, 0xFFDD, 0xFFDB, 0xFF07, 0xFFFF, 0xFFFF, 0xFFFF} },";
        QCOMPARE(rig.hex(), a6x10);
        // A cancelled font dialog keeps the bitmap source; a chosen font ends it.
        rig.form->fontCmd_Click();
        QVERIFY(rig.form->model().bitmapFont() != nullptr);
        rig.form->calcCodes();
        QCOMPARE(rig.hex(), a6x10);
        rig.fonts.answer = glyph::FontChoice{rig.form->captureFont().family, 9, false, false};
        rig.form->fontCmd_Click();
        QVERIFY(rig.form->model().bitmapFont() == nullptr);
    }
};

QTEST_MAIN(TestGlyphWindow)
#include "tst_glyphwindow.moc"
