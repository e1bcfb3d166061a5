#pragma once

#include <QByteArray>

#include "LinkOutcome.h"
#include "PanelLink.h"

// Sends the first kMaxSentChars characters of fieldText (Windows-1252 bytes)
// in chunks of kChunkChars. An empty text opens nothing. A failed chunk ends
// the send: the chunks before it have gone, the rest never will.
SendOutcome sendText(PanelLink& link, const QByteArray& fieldText,
                     const WhileOpen<SendOutcome>& whileOpen = {});

// Reads the panel's stored text (" " when the panel holds none).
TextRead readText(PanelLink& link, const WhileOpen<TextRead>& whileOpen = {});
