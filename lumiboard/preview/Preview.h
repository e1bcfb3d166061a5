#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include "LedGeometry.h"
#include "LedPictures.h"
#include "PreviewEngine.h"

// The place of the matrix on a canvas, in the canvas's own pixels: at a
// fractional scale the origin and the pitch are snapped to whole pixels, so
// every LED is drawn alike and the pitch is even.
struct LedGrid {
    QPoint origin;
    int pitch = kLedPitch;

    // LED (0,0) at origin, in the window's units, on a canvas of that pixel ratio.
    static LedGrid at(QPoint origin, qreal devicePixelRatio);
    // The size a picture of the given size is drawn at.
    QSize ledSize(QSize picture) const;
};

// One whole tick of the simulated panel: refresh both LED pictures, draw the
// 20 x 10 matrix, advance the engine one column.
class Preview {
public:
    // The pictures are read from imageDir (empty: the current working
    // directory), else from the data folder of the program in programDir
    // (empty: nowhere else).
    Preview(const Clock& clock, Beeper& beeper, QString imageDir, QString programDir);

    void reset() { engine_.reset(); }
    void setText(const QByteArray& text) { engine_.setText(text); }

    // Draws LED (0,0) at origin (in the canvas's logical units, whatever its
    // pixel ratio) on canvas, then advances the engine. When a picture can't be
    // loaded nothing is drawn or advanced, and why comes back for the first
    // tick of a run of failures only. LEDs that show what the canvas already
    // holds are not drawn again.
    std::optional<LedPictureFailure> tick(QImage& canvas, QPoint origin);

    const PreviewEngine& engine() const { return engine_; }
    // What the last tick drew, in the canvas's logical units; empty when it
    // drew nothing.
    QRect changedArea() const { return changed_; }
    // Pictures decoded since construction: a measure of the cache.
    int decodes() const { return pictures_.decodes(); }

private:
    void paint(QImage& canvas, QPoint origin);

    PreviewEngine engine_;
    LedPictures pictures_;
    bool failing_ = false;  // the last tick's load failed and was reported
    // The pictures at the size drawn on the canvas, and the generation of
    // the pictures they were scaled from.
    std::array<QImage, 2> scaled_;
    int scaledGeneration_ = -1;

    // What the canvas holds, so a tick draws only the LEDs that change.
    static constexpr int kLeds = PreviewEngine::kShownColumns * PreviewEngine::kRows;
    struct Drawn {
        qint64 canvasKey = 0;  // the canvas as left by the last tick
        QPoint origin;
        qreal ratio = 0;
        QSize scaledSize;
        int generation = -1;
        std::array<std::int8_t, kLeds> state{};  // 0 unlit, 1 lit
    };
    std::optional<Drawn> drawn_;
    QRect changed_;
};
