#pragma once

#include <QByteArray>
#include <QString>

// The panel speaks bytes of the Western code page (Windows-1252); widgets hold
// QString. Every conversion between the two goes through here.
namespace cp1252 {

// Characters the code page cannot hold become '?', one byte each, so a text
// keeps its length in characters.
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);

}  // namespace cp1252
