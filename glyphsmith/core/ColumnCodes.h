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

// The sum rounded to the nearest whole number (a half to the even one), in
// upper-case hexadecimal without leading zeros.
QString formatWord(double sum);

// " { <code>, {<code text>".
QString glyphLine(int code, const QString& codeText);

// Every non-empty line followed by CR LF, nothing else. The program only makes
// ASCII lines; anything else goes out in Latin-1, the Western code page's base.
QByteArray fileBytes(const QStringList& lines);

}  // namespace glyph
