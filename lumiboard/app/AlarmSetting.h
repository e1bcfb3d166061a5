#pragma once

#include <optional>
#include <variant>

#include <QString>

#include "Dialogs.h"
#include "PanelClock.h"

// m_alarm's caption while disarmed: as the window stores it, and as it reads
// once the menu's accelerators have put their "&" in.
inline constexpr char16_t kDisarmedCaptionStored[] = u"Activer";
inline constexpr char16_t kDisarmedCaption[] = u"&Activer";

inline constexpr char16_t kAlarmTitle[] = u"Réveil";
inline constexpr char16_t kAlarmPrompt[] = u"Entrez l`heure de réveil... (ex. 12:34)";
inline constexpr int kAlarmEntryMaxLength = 255;
inline constexpr char16_t kAlarmEntryWrong[] = u"Heure incorrecte !";

// m_alarm's caption while armed for the given time text.
QString armedCaption(const QString& timeText);

// A whole number as the user may type it: leading blanks, an optional sign,
// digits and nothing after them; nothing when the text is not one.
std::optional<int> parseWholeNumber(const QString& text);

// An alarm entry ("7:30") read into hour and minute, or why it is refused.
struct AlarmTime {
    quint8 hour;
    quint8 minute;
};
struct NotANumber {
    QString text;  // the hour or minute text that is not a whole number
};
struct OutOfRange {};  // no colon, hour past 23 or minute past 59
using AlarmEntry = std::variant<AlarmTime, NotANumber, OutOfRange>;
AlarmEntry parseAlarmEntry(const QString& entry);

// What m_alarmClick changes in the window; empty members change nothing.
struct AlarmMenuOutcome {
    std::optional<QString> caption;  // m_alarm's new caption
    std::optional<QString> summary;  // timelbl's new text
    bool untickAlarmBox = false;     // revchk to be unticked (which disables revtxt)
};

// m_alarmClick: disarms when armed (caption, alarmOn and the check box),
// otherwise asks for an alarm time and, when the whole entry is sound, arms
// clock with it.
AlarmMenuOutcome alarmMenuClick(const QString& currentCaption, Dialogs& dialogs, PanelClock& clock);
