#include "WindowMessages.h"

#include <cerrno>

#include <QCoreApplication>

#include "PanelTexts.h"
#include "ReportCoding.h"

namespace {

using namespace paneltext;

// Start-up.
constexpr char16_t kReadMemory[] = u"Lire la mémoire du Journal ?";
constexpr char16_t kLibraryMissing[] = u"La librairie MPUSBAPI.DLL est introuvable !";

// The text transfer.
constexpr char16_t kNoTextToSend[] = u"Aucun texte a envoyer !";
constexpr char16_t kTextSentCut[] =
    u"Texte envoyé ! Seuls les %1 premiers caractères ont été envoyés.";

// The clock transfer.
constexpr char16_t kClockUnknown[] =
    u"Heure du panneau inconnue : lisez-la d'abord par le menu Lire > Heure/date/alarme !";

// Second line of a failure's dialog when the panel is there but this user
// may not open it (errno EACCES): replugging never helps, the udev rule does.
constexpr char16_t kNoAccessLine[] =
    u"Accès au panneau refusé : installez la règle udev 70-lumiboard-panel.rules "
    u"(voir le README, Dépannage).";

// Second line when another program holds the panel (errno EBUSY).
constexpr char16_t kBusyLine[] =
    u"Panneau occupé par un autre programme : réessayez dans un instant.";
// Second line of a failed clock write whose request left: a stalled panel
// applies it when it wakes.
constexpr char16_t kClockMayBeWritten[] = u"L'heure a pu être écrite : relisez-la.";

// The alarm menu.
constexpr char16_t kAlarmTitle[] = u"Réveil";
constexpr char16_t kAlarmPrompt[] = u"Entrez l`heure de réveil... (ex. 12:34)";
constexpr char16_t kAlarmEntryWrong[] = u"Heure incorrecte !";
constexpr char16_t kNotAnInteger[] = u"'%1' is not a valid integer value";
constexpr char16_t kDisarmedCaption[] = u"Activer";
constexpr char16_t kArmedCaption[] = u"désactiver sonnerie de ";

// A failure's text: the operation's own, then the reason when the library
// gave one worth a line of its own.
QString failureText(int error, const char16_t* first) {
    QString shown = text(first);
    if (error == EACCES) {
        shown += u'\n' + text(kNoAccessLine);
    } else if (error == EBUSY) {
        shown += u'\n' + text(kBusyLine);
    }
    return shown;
}

// The same for an exchange's failure: a lock that could not be used is named.
QString failureText(const LinkFailure& failure, const char16_t* first) {
    if (!failure.lock) {
        return failureText(failure.error, first);
    }
    QString line = lockProblemText(*failure.lock);
    line[0] = line[0].toUpper();
    return text(first) + u'\n' + line + u'.';
}

QString n(unsigned value) {
    return QString::number(value);
}

}  // namespace

void WindowMessages::libraryNotBound(const LibraryLoad& load) {
    if (load.ok()) {
        return;
    }
    dialogs_.message(libraryLoadProblem(load, QStringLiteral("\n")));
    dialogs_.message(text(kLibraryMissing));
}

void WindowMessages::noPanel(int error) {
    // A panel this user may not open counts as none; say why.
    dialogs_.confirm(failureText(error, kNoPanel));
}

bool WindowMessages::askReadMemory() {
    return dialogs_.askYesNo(text(kReadMemory));
}

void WindowMessages::whileOpen(const SendOutcome& outcome) {
    if (outcome.failure) {
        dialogs_.error(failureText(*outcome.failure, kSendFailed));
    }
}

void WindowMessages::afterSend(const SendOutcome& outcome) {
    if (outcome.nothingToSend) {
        dialogs_.error(text(kNoTextToSend));
    } else if (outcome.ok()) {
        // Say so when the tail of a long text stayed on the PC.
        dialogs_.confirm(outcome.cutChars > 0 ? text(kTextSentCut).arg(kMaxSentChars)
                                              : text(kTextSent));
    }
}

void WindowMessages::whileOpen(const TextRead& outcome) {
    if (outcome.failure) {
        dialogs_.error(failureText(*outcome.failure, kReadTextFailed));
    }
}

void WindowMessages::whileOpen(const ClockRead& outcome) {
    if (outcome.failure) {
        const bool atWrite = outcome.failure->transfer == LinkFailure::Step::Write;
        dialogs_.error(
            failureText(*outcome.failure, atWrite ? kClockWriteFailedOnRead : kClockReadFailed));
        return;
    }
    if (!outcome.timeValid) {
        dialogs_.error(text(kPanelTimeWrong));
    }
    if (!outcome.dateValid) {
        dialogs_.error(text(kPanelDateWrong));
    }
}

void WindowMessages::whileOpen(const ClockWrite& outcome) {
    if (!outcome.failure) {
        return;
    }
    QString shown = failureText(*outcome.failure, kClockWriteFailed);
    if (outcome.failure->step != LinkFailure::Step::Open) {
        shown += u'\n' + text(kClockMayBeWritten);
    }
    dialogs_.error(shown);
}

void WindowMessages::afterClockWrite(const ClockWrite& outcome) {
    switch (outcome.result) {
        case ClockWrite::Result::Written:
            dialogs_.confirm(text(kClockWritten));
            break;
        case ClockWrite::Result::Unknown:
            dialogs_.error(text(kClockUnknown));
            break;
        case ClockWrite::Result::Failed:
            break;  // told while the pipes were open
    }
}

std::optional<QString> WindowMessages::askAlarmEntry() {
    return dialogs_.inputText(text(kAlarmTitle), text(kAlarmPrompt), kAlarmEntryMaxLength);
}

void WindowMessages::alarmRefused(const AlarmEntry& entry) {
    if (const auto* bad = std::get_if<NotANumber>(&entry)) {
        dialogs_.reportError(text(kNotAnInteger).arg(bad->text));
    } else if (std::holds_alternative<OutOfRange>(entry)) {
        dialogs_.message(text(kAlarmEntryWrong));
    }
}

void WindowMessages::pictureFailed(const LedPictureFailure& failure) {
    dialogs_.reportError(pictureFailureText(failure));
}

QString WindowMessages::pictureFailureText(const LedPictureFailure& failure) {
    // The words of the toolkit's own image loading, which the report always showed.
    if (failure.kind == LedPictureFailure::Kind::NotValid) {
        return QStringLiteral("Bitmap image is not valid");
    }
    const QString reason = failure.error == EISDIR ? QCoreApplication::translate(
                                                         "QIODevice", "file to open is a directory")
                                                   : qt_error_string(failure.error);
    return QStringLiteral("Cannot open file \"%1\". %2").arg(failure.path, reason);
}

QString WindowMessages::alarmCaption(bool armed, const QString& entry) {
    return armed ? text(kArmedCaption) + entry : text(kDisarmedCaption);
}

QString WindowMessages::clockSummary(const PanelClock& c) {
    QString s = QStringLiteral("Heure ") + n(c.hour) + u':' + n(c.minute) + u':' + n(c.second);
    s += QStringLiteral("    Date ") + n(c.day) + u'/' + n(c.month) + u'/' + n(c.year);
    s += QStringLiteral("    Réveil activé ") + n(c.alarmHour) + u':' + n(c.alarmMinute);
    return s;
}
