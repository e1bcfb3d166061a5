#include "BmpFile.h"

#include <cstdlib>

quint32 bmpLittle(const QByteArray& data, qsizetype at, int bytes) {
    quint32 value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | static_cast<quint8>(data[at + i]);
    }
    return value;
}

bool bmpIsWhole(const QByteArray& data) {
    constexpr qsizetype kFileHeader = 14;
    if (data.size() < kFileHeader + 4 || !data.startsWith("BM")) {
        return false;
    }
    const quint32 pixelsAt = bmpLittle(data, 10, 4);
    const quint32 infoSize = bmpLittle(data, kFileHeader, 4);
    if (infoSize < 12 || kFileHeader + qint64{infoSize} > data.size() || pixelsAt > data.size()) {
        return false;
    }
    qint64 width = 0;
    qint64 height = 0;
    quint32 bitsPerPixel = 0;
    quint32 compression = 0;
    quint32 imageSize = 0;
    if (infoSize == 12) {  // the old core header: 16-bit sizes
        width = bmpLittle(data, 18, 2);
        height = bmpLittle(data, 20, 2);
        bitsPerPixel = bmpLittle(data, 24, 2);
    } else if (infoSize >= 20) {
        width = static_cast<qint32>(bmpLittle(data, 18, 4));
        height = static_cast<qint32>(bmpLittle(data, 22, 4));
        bitsPerPixel = bmpLittle(data, 28, 2);
        compression = infoSize >= 24 ? bmpLittle(data, 30, 4) : 0;
        imageSize = infoSize >= 24 ? bmpLittle(data, 34, 4) : 0;
    } else {
        return false;
    }
    // Past these the rows could not be counted in 64 bits, nor any file hold
    // them: a picture that claims them is not whole.
    constexpr qint64 kMostSide = qint64{1} << 24;
    if (bitsPerPixel > 64 || std::abs(width) > kMostSide || std::abs(height) > kMostSide) {
        return false;
    }
    constexpr quint32 kRgb = 0, kBitfields = 3, kAlphaBitfields = 6;
    qint64 pixelBytes = imageSize;
    if (compression == kRgb || compression == kBitfields || compression == kAlphaBitfields) {
        const qint64 rowBytes = (std::abs(width) * bitsPerPixel + 31) / 32 * 4;
        pixelBytes = rowBytes * std::abs(height);
    }
    return qint64{pixelsAt} + pixelBytes <= data.size();
}
