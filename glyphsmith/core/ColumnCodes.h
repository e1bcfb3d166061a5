#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

// Column codes of the grid and the lines of the font table.
namespace glyph {

// Lines are written with this line end, whatever the platform.
inline constexpr char kLineEnd[] = "\r\n";
inline constexpr char kTableHeader[] = "const rom chr car[255] = {";

// 0xFC00 plus the weight of every sample row whose cell centre on the grid is not
// black; the bottom row weighs 512, each row above half the one below.
double columnSum(const QImage& grid, int column, double size);

// The sum rounded to the nearest whole number (a half to the even one), in
// upper-case hexadecimal without leading zeros.
QString formatWord(double sum);

// " 0x<word>" per column, "} }," after the eighth column, "," after the others.
QString codeText(const QImage& grid, int columns, double size);

// " { <code>, {<code text>".
QString glyphLine(int code, const QString& codeText);

// Every non-empty line followed by CR LF, nothing else. The program only makes
// ASCII lines; anything else goes out in Latin-1, the Western code page's base.
QByteArray fileBytes(const QStringList& lines);

}  // namespace glyph
