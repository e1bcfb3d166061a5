#pragma once

#include <QString>

#include "LinkOutcome.h"
#include "USB2Lib.h"

// The panel's own French texts, said alike by the window and by lumictl: one
// home for each, so a text mended once is mended in both.
namespace paneltext {

inline constexpr char16_t kNoPanel[] = u"Pas de Journal lumineux connecté sur port USB.";
inline constexpr char16_t kPanelFound[] = u"Journal lumineux connecté sur port USB.";

// The text transfer.
inline constexpr char16_t kSendFailed[] = u"Redémarrez , ou rebranchez la carte !";
inline constexpr char16_t kTextSent[] = u"Texte envoyé !";
inline constexpr char16_t kReadTextFailed[] = u"Ré-essayez, ou Débranchez & rebranchez la carte !";

// The clock transfer.
inline constexpr char16_t kClockWriteFailedOnRead[] =
    u"Erreur ecriture usb - Débranchez & rebranchez la carte !";
inline constexpr char16_t kClockReadFailed[] =
    u"Erreur lecture usb - Débranchez & rebranchez la carte !";
inline constexpr char16_t kPanelTimeWrong[] = u"L\"Heure du montage est incorrecte !";
inline constexpr char16_t kPanelDateWrong[] = u"La date du panneau est incorrecte !";
inline constexpr char16_t kClockWriteFailed[] = u"Erreur usb - Débranchez & rebranchez la carte !";
inline constexpr char16_t kClockWritten[] = u"Heure / Date / Alarme mises à jour !";

inline QString text(const char16_t* s) {
    return QString::fromUtf16(s);
}

// Why the panel's lock could not be taken, naming its file or folder:
// "verrou du panneau inutilisable : PATH (reason)".
QString lockProblemText(const LockProblem& problem);

// What binding the USB library met, before the program's verdict; the
// loader's own reason follows the separator. Empty when it loaded.
QString libraryLoadProblem(const LibraryLoad& load, const QString& separator);

}  // namespace paneltext
