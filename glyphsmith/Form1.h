#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

#include "Seams.h"
#include "core/Capture.h"
#include "core/CellGrid.h"
#include "core/GlyphModel.h"

class PictureBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The glyph editor window: capture of a character, the cell grid, its column codes
// and the list of table lines.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(glyph::Services services, QWidget* parent = nullptr);

    // Start-up: offsets, "A" captured and coded, the table's first line. Runs once.
    void Form_Activate();

    void Picture2_MouseDown(int button, int shift, double x, double y);
    void upPict_Click();
    void downPict_Click();
    void backcmd_Click();
    void Command1_Click();
    void fontCmd_Click();
    void stocmd_Click();
    void Command2_Click();
    void Command3_Click();

    void captureChar(const QString& ch);
    void calcCodes();

    // Ctrl+O: a table chosen in the file dialog replaces the list.
    void openTable();
    // The list filled from a table file (also what a drop on the list does).
    void loadTable(const QString& path);
    // Ctrl+Shift+O: a bitmap font chosen in the file dialog becomes the capture source.
    void openBitmapFont();
    // A bitmap font file as the capture source (also what dropping one does), until
    // "Fonte" chooses a font; a file that is refused leaves the source as it was.
    void loadBitmapFont(const QString& path);

    QString currentChar() const { return QString(model_.character()); }
    std::int16_t xoff() const { return model_.offsets().xoff; }
    std::int16_t yoff() const { return model_.offsets().yoff; }
    const glyph::CaptureFont& captureFont() const { return model_.font(); }
    const glyph::GlyphModel& model() const { return model_; }
    int columns() const;
    QStringList lines() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    // The model's state onto the controls.
    void showGrid();
    void showCapture();
    void showLines();
    QColor buttonFace() const;

    glyph::Services services_;
    glyph::GlyphModel model_;
    bool activated_ = false;
    glyph::GridDrawing grid_;  // the model as Picture2 shows it

    PictureBox* Picture1 = nullptr;
    PictureBox* Picture2 = nullptr;
    PictureBox* downPict = nullptr;
    PictureBox* upPict = nullptr;
    QLabel* asclbl = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* ncoltxt = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* fontCmd = nullptr;
    QPushButton* backcmd = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* stocmd = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* hexlbl = nullptr;
    QListWidget* outList = nullptr;
};
