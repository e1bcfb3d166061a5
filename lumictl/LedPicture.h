#pragma once

#include <optional>

#include <QByteArray>

#include "PreviewEngine.h"

// A picture as three bytes a pixel (red, green, blue), rows from the top.
struct RgbPicture {
    int width = 0;
    int height = 0;
    QByteArray rgb;
};

// An uncompressed 24 or 32-bit BMP, as the LED pictures are; nothing for
// anything else, or a file cut short.
std::optional<RgbPicture> readBmp(const QByteArray& data);

// The matrix as the panel shows it: each LED's picture on the LED pitch.
RgbPicture ledFrame(const PreviewEngine& engine, const RgbPicture& unlit, const RgbPicture& lit);

// The picture as a PNG file's bytes.
QByteArray encodePng(const RgbPicture& picture);
