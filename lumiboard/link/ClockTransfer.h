#pragma once

#include <QString>

#include "Dialogs.h"
#include "PanelClock.h"
#include "PanelLink.h"

// Dialog texts of the clock transfer.
inline constexpr char16_t kClockWriteFailedOnRead[] =
    u"Erreur ecriture usb - Débranchez & rebranchez la carte !";
inline constexpr char16_t kClockReadFailed[] =
    u"Erreur lecture usb - Débranchez & rebranchez la carte !";
inline constexpr char16_t kPanelTimeWrong[] = u"L\"Heure du montage est incorrecte !";
inline constexpr char16_t kPanelDateWrong[] = u"La date du panneau est incorrecte !";
inline constexpr char16_t kClockWriteFailed[] = u"Erreur usb - Débranchez & rebranchez la carte !";
inline constexpr char16_t kClockWritten[] = u"Heure / Date / Alarme mises à jour !";
inline constexpr char16_t kClockUnknown[] =
    u"Heure du panneau inconnue : lisez-la d'abord par le menu Lire > Heure/date/alarme !";

// Reads the panel's clock, date and alarm into clock. Out of range time or
// date values are kept, after a warning that comes while the pipes are still
// open. False, with the record unchanged, after a failed exchange (its dialog
// shown).
bool readClock(PanelLink& link, Dialogs& dialogs, PanelClock& clock);

// Writes clock to the panel as it is; true once the panel answered. Whether
// the record is worth sending is the caller's to judge (see kClockUnknown).
bool writeClock(PanelLink& link, Dialogs& dialogs, const PanelClock& clock);
