#pragma once

#include <optional>

#include <QByteArray>

#include "Dialogs.h"
#include "PanelLink.h"

// Dialog texts of the text transfer.
inline constexpr char16_t kNoTextToSend[] = u"Aucun texte a envoyer !";
inline constexpr char16_t kSendFailed[] = u"Redémarrez , ou rebranchez la carte !";
inline constexpr char16_t kTextSent[] = u"Texte envoyé !";
inline constexpr char16_t kTextSentTruncated[] =
    u"Texte envoyé ! Seuls les 199 premiers caractères ont été envoyés.";
inline constexpr char16_t kReadTextFailed[] = u"Ré-essayez, ou Débranchez & rebranchez la carte !";

// Sends the first 199 characters of fieldText (Windows-1252 bytes) in 62-character
// chunks and reports the outcome in a dialog; true when all of it went.
bool sendText(PanelLink& link, Dialogs& dialogs, const QByteArray& fieldText);

// Reads the panel's stored text: the bytes to put into the
// message field (" " when the panel holds none), or nothing after a failure,
// whose dialog has then been shown.
std::optional<QByteArray> readText(PanelLink& link, Dialogs& dialogs);
