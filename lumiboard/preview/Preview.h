#pragma once

#include <optional>

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

#include "LedGeometry.h"
#include "PreviewEngine.h"

// One whole tick of the simulated panel: load both LED pictures, draw the
// 20 x 10 matrix, advance the engine one column.
class Preview {
public:
    // The pictures are read from imageDir (empty: the current working
    // directory), else from the data folder of the program in programDir
    // (empty: nowhere else).
    Preview(const Clock& clock, Beeper& beeper, QString imageDir, QString programDir);

    void reset() { engine_.reset(); }
    void setText(const QByteArray& text) { engine_.setText(text); }

    // Draws LED (0,0) at origin on canvas, then advances the engine. When a
    // picture can't be loaded nothing is drawn or advanced, and the error
    // report's message comes back for the first tick of a run of failures only.
    std::optional<QString> tick(QImage& canvas, QPoint origin);

    const PreviewEngine& engine() const { return engine_; }

private:
    // The picture, or the message of the failure that prevented it.
    struct Loaded {
        QImage image;
        QString error;
    };
    Loaded load(const char* fileName) const;
    void paint(QImage& canvas, QPoint origin, const QImage& unlit, const QImage& lit) const;

    PreviewEngine engine_;
    QString imageDir_;
    QString programDir_;
    bool failing_ = false;  // the last tick's load failed and was reported
};
