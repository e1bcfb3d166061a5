#pragma once

#include <cstdint>

#include <QByteArray>

#include "LedPicture.h"
#include "PreviewEngine.h"

// The whole file is made in memory before it is written: a bound, so that a
// day of --seconds ends with a message rather than with the memory.
inline constexpr qsizetype kMostGifBytes = qsizetype{512} << 20;

// The scroll as an animated GIF that loops for ever: one frame a tick of the
// preview, shown for that tick's 50 ms.
struct LedAnimation {
    QByteArray gif;             // the file's bytes; empty when giflib failed
    int giflibError = 0;        // giflib's error code when it failed
    bool tooLarge = false;      // it would have passed the bound
    bool approximated = false;  // the LED pictures had too many colours for one palette
    int frames = 0;             // frames written, a run of identical ticks being one
    bool ok() const { return !gif.isEmpty(); }
};

// The frames the engine shows over its next ticks, made of the LED pictures
// as ledFrame lays them out, from the frame it shows now; the engine is left
// at the last frame.
// The palette is the pictures' own colours when they have at most 255 (one
// index stays for transparency), else giflib's quantiser picks 255.
LedAnimation encodeLedGif(PreviewEngine& engine, std::int64_t ticks, const RgbPicture& unlit,
                          const RgbPicture& lit, qsizetype mostBytes = kMostGifBytes);
