#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

#include "Seams.h"
#include "core/Capture.h"
#include "core/CellGrid.h"

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

    const QString& currentChar() const { return currentChar_; }
    std::int16_t xoff() const { return offsets_.xoff; }
    std::int16_t yoff() const { return offsets_.yoff; }
    const glyph::CaptureFont& captureFont() const { return font_; }
    int columns() const;
    QStringList lines() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void shift(int delta);
    void step(int code);
    QColor buttonFace() const;

    glyph::Services services_;
    QString currentChar_ = QStringLiteral("A");
    glyph::SamplingOffsets offsets_;
    glyph::CaptureFont font_ = glyph::startFont();
    bool activated_ = false;
    glyph::GridDrawing grid_;  // what Picture2 shows and is read from

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
