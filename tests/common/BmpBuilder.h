#pragma once

// BMP files made by the tests, to feed the picture reader and the LED painters.
#include <QByteArray>
#include <QColor>

// A 24-bit BMP whose pixel (x, y) has colour(x, y); bottom-up rows.
template <typename Colour>
inline QByteArray bmp(int width, int height, Colour colour) {
    const int stride = (width * 3 + 3) / 4 * 4;
    QByteArray data("BM");
    const auto le = [&data](quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            data.append(char((v >> (8 * i)) & 0xFF));
        }
    };
    le(quint32(54 + stride * height), 4);
    le(0, 4);
    le(54, 4);
    le(40, 4);
    le(quint32(width), 4);
    le(quint32(height), 4);
    le(1, 2);
    le(24, 2);
    le(0, 4);
    le(quint32(stride * height), 4);
    data.append(QByteArray(16, '\0'));
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const QRgb c = colour(x, y);
            data.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        }
        data.append(QByteArray(stride - width * 3, '\0'));
    }
    return data;
}

// The same, of one colour.
inline QByteArray bmp(int width, int height, QRgb colour) {
    return bmp(width, height, [colour](int, int) { return colour; });
}
