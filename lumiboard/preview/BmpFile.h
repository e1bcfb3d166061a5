#pragma once

#include <QByteArray>

// The BMP file's few rules both LED picture readers share: little-endian
// header fields, and whether all the pixel rows the headers announce are
// there (an image reader fills the rows of a cut file with whatever it finds).
quint32 bmpLittle(const QByteArray& data, qsizetype at, int bytes);
bool bmpIsWhole(const QByteArray& data);
