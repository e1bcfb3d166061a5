#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// The panel speaks bytes of the Western code page (Windows-1252); widgets hold
// QString. Every conversion between the two goes through here.
namespace cp1252 {

// Characters the code page cannot hold become '?', one byte each, so a text
// keeps its length in characters.
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);
// The text as the panel would receive it: every character the code page
// cannot hold becomes '?'. Same as decode(encode(text)).
QString receivable(const QString& text);

// One code (0..255) as a character; the five codes the code page leaves
// undefined decode to the C1 control of the same value.
QChar decodeByte(unsigned char code);
// The code of one character, or -1 when the code page has none for it.
int encodeChar(char16_t u);

}  // namespace cp1252
