#include "Output.h"

#include <algorithm>
#include <cerrno>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>

#include "Cp1252.h"
#include "ReportCoding.h"

namespace {

QString two(unsigned n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QByteArray line(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QString isoTime(const PanelClock& c) {
    return two(c.hour) + u':' + two(c.minute) + u':' + two(c.second);
}

QString isoDate(const PanelClock& c) {
    return QStringLiteral("%1").arg(c.year, 4, 10, QLatin1Char('0')) + u'-' + two(c.month) + u'-' +
           two(c.day);
}

QString alarmTime(const PanelClock& c) {
    return two(c.alarmHour) + u':' + two(c.alarmMinute);
}

}  // namespace

QString isoDateTime(const PanelClock& clock) {
    return isoDate(clock) + u'T' + isoTime(clock);
}

QString alarmText(const PanelClock& clock) {
    return alarmTime(clock) + (clock.alarmOn ? QStringLiteral(" on") : QStringLiteral(" off"));
}

QByteArray statusJson(bool present, quint32 instance) {
    return line({{"present", present}, {"instance", static_cast<qint64>(instance)}});
}

QByteArray textJson(const QString& text) {
    // QJsonDocument leaves DEL and the C1 controls raw; a terminal would act on them.
    QString escaped;
    for (const QChar c : QString::fromUtf8(line({{"text", text}}))) {
        if (c.unicode() >= 0x7F && c.unicode() <= 0x9F) {
            escaped += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            escaped += c;
        }
    }
    return escaped.toUtf8();
}

QByteArray clockJson(const PanelClock& clock, bool timeValid, bool dateValid,
                     std::optional<qint64> driftSeconds) {
    return line({{"datetime", isoDateTime(clock)},
                 {"date", isoDate(clock)},
                 {"time", isoTime(clock)},
                 {"timeValid", timeValid},
                 {"dateValid", dateValid},
                 {"drift_seconds", driftSeconds ? QJsonValue(*driftSeconds) : QJsonValue()},
                 {"alarm", QJsonObject{{"time", alarmTime(clock)}, {"on", clock.alarmOn != 0}}}});
}

QByteArray sendJson(const SendOutcome& sent, std::optional<bool> verified) {
    return line({{"sent", sent.sentChars},
                 {"cut", sent.cutChars},
                 {"verified", verified ? QJsonValue(*verified) : QJsonValue()}});
}

std::optional<qint64> clockDrift(const ClockRead& read, const QDateTime& now) {
    const PanelClock& c = read.record;
    const QDate date(c.year, c.month, c.day);
    const QTime time(c.hour, c.minute, c.second);
    if (!read.timeValid || !read.dateValid || !date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    // The panel keeps the computer's local time, as clock --sync sets it.
    return now.secsTo(QDateTime(date, time));
}

QString driftMessage(qint64 seconds) {
    return QStringLiteral("décalage : %1%2 s")
        .arg(seconds > 0 ? QStringLiteral("+") : QString())
        .arg(seconds);
}

QString syncSkippedMessage(qint64 seconds) {
    return driftMessage(seconds) + QStringLiteral(" : horloge laissée telle quelle");
}

std::optional<qsizetype> firstDifference(const QString& sent, const QString& readBack) {
    // A read returns one report's payload: the start of a longer text.
    const QString expected = sent.left(kMaxSentChars).left(kChunkChars);
    const qsizetype common = std::min(expected.size(), readBack.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (expected[i] != readBack[i]) {
            return i + 1;
        }
    }
    if (expected.size() != readBack.size()) {
        return common + 1;
    }
    return std::nullopt;
}

QString verifyMismatchMessage(qsizetype position) {
    return QStringLiteral("vérification : le texte du panneau diffère à partir du caractère %1")
        .arg(position);
}

QString verifyFailedMessage(const LinkFailure& failure) {
    return QStringLiteral("vérification impossible : ") +
           failureMessage(Operation::ReadText, failure);
}

QString failureReason(int error) {
    switch (error) {
        case 0:
            return {};
        case EACCES:
            return QStringLiteral("accès au panneau refusé : droits insuffisants (règle udev ?)");
        case ENODEV:
            return QStringLiteral("panneau absent ou débranché");
        case ETIMEDOUT:
            return QStringLiteral("le panneau n'a pas répondu à temps");
        case EBUSY:
            return QStringLiteral("panneau occupé par un autre programme");
        case EINVAL:
            return QStringLiteral("demande refusée par la librairie (paramètre incorrect)");
        default:
            return systemErrorReason(error);
    }
}

std::variant<QString, RefusedCharacter> panelText(const QString& text, bool replace) {
    QString out;
    out.reserve(text.size());
    qsizetype position = 0;
    for (const char32_t c : text.toUcs4()) {
        ++position;
        // A control character would act on the panel's firmware or on whoever
        // reads the text back on a terminal.
        const bool receivable =
            !isControlCharacter(c) && c <= 0xFFFF && cp1252::encodeChar(char16_t(c)) >= 0;
        if (receivable) {
            out.append(QChar(char16_t(c)));
        } else if (replace) {
            out.append(u'?');
        } else {
            return RefusedCharacter{c, position};
        }
    }
    return out;
}

QString refusalMessage(const RefusedCharacter& refused) {
    // Controls have no glyph to show; their code says it all.
    const QString shown =
        refused.character >= 0x20 && refused.character != 0x7F
            ? QStringLiteral(" « %1 »").arg(QString::fromUcs4(&refused.character, 1))
            : QString();
    const QString code =
        QStringLiteral("%1").arg(uint(refused.character), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral(
               "caractère%1 (U+%2) en position %3 : le panneau ne peut pas le "
               "recevoir (Windows-1252) ; --replace le remplace par « ? »")
        .arg(shown, code, QString::number(refused.position));
}

QString oneLine(const QString& text) {
    QString out = text;
    while (out.endsWith(u'\n') || out.endsWith(u'\r')) {
        out.chop(1);
    }
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    return out.replace(lineEnd, QStringLiteral(" "));
}

QString failureMessage(Operation operation, const LinkFailure& failure) {
    QString text;
    switch (operation) {
        case Operation::Send:
            text = QStringLiteral("Redémarrez , ou rebranchez la carte !");
            break;
        case Operation::ReadText:
            text = QStringLiteral("Ré-essayez, ou Débranchez & rebranchez la carte !");
            break;
        case Operation::ReadClock:
            text = failure.transfer == LinkFailure::Step::Write
                       ? QStringLiteral("Erreur ecriture usb - Débranchez & rebranchez la carte !")
                       : QStringLiteral("Erreur lecture usb - Débranchez & rebranchez la carte !");
            break;
        case Operation::WriteClock:
            text = QStringLiteral("Erreur usb - Débranchez & rebranchez la carte !");
            break;
    }
    const QString reason = failureReason(failure.error);
    return reason.isEmpty() ? text : text + QStringLiteral(" (") + reason + u')';
}

QString noPanelMessage(int error) {
    const QString text = QStringLiteral("Pas de Journal lumineux connecté sur port USB.");
    const QString reason = failureReason(error);
    return reason.isEmpty() ? text : text + QStringLiteral(" (") + reason + u')';
}

QString panelFoundMessage() {
    return QStringLiteral("Journal lumineux connecté sur port USB.");
}

QStringList libraryMessages(const LibraryLoad& load) {
    QStringList lines;
    const QString loading = QStringLiteral("Erreur lors du chargement de ") + load.fileName;
    switch (load.result) {
        case LibraryLoad::Result::NotFound:
            lines << QStringLiteral("Fichier ") + load.fileName + QStringLiteral(" introuvable");
            break;
        case LibraryLoad::Result::WillNotLoad:
            lines << loading + QStringLiteral(" : ") + load.loaderError;
            break;
        case LibraryLoad::Result::EntryPointMissing:
            lines << loading;
            break;
        case LibraryLoad::Result::Loaded:
            return lines;
    }
    lines << QStringLiteral("La librairie MPUSBAPI.DLL est introuvable !");
    return lines;
}

QString noTextMessage() {
    return QStringLiteral("Aucun texte a envoyer !");
}

QString textSentMessage() {
    return QStringLiteral("Texte envoyé !");
}

QString textCutMessage(qsizetype cutChars) {
    return QStringLiteral(
               "texte coupé : seuls les %1 premiers caractères ont été envoyés, %2 laissés de "
               "côté")
        .arg(kMaxSentChars)
        .arg(cutChars);
}

QString sendInterruptedMessage() {
    return QStringLiteral("envoi interrompu : le panneau peut garder le début du texte");
}

QStringList clockWarnings(const ClockRead& read) {
    QStringList warnings;
    if (!read.timeValid) {
        warnings << QStringLiteral("L\"Heure du montage est incorrecte !");
    }
    if (!read.dateValid) {
        warnings << QStringLiteral("La date du panneau est incorrecte !");
    }
    return warnings;
}

QString clockWrittenMessage() {
    return QStringLiteral("Heure / Date / Alarme mises à jour !");
}

QString unreadableInputMessage(const QString& source, const QString& reason) {
    return QStringLiteral("lecture impossible de %1 : %2").arg(source, reason);
}

bool isControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

QString terminalSafe(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (isControlCharacter(c.unicode())) {
            out += QStringLiteral("\\x") +
                   QStringLiteral("%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        } else {
            out += c;
        }
    }
    return out;
}

QString inputTooLongMessage(const QString& source) {
    return QStringLiteral("%1 dépasse %2 Kio : rien n'est envoyé")
        .arg(source)
        .arg(kMaxInputBytes / 1024);
}

QString clockMayBeWrittenMessage() {
    return QStringLiteral("l'heure a pu être écrite : relisez-la");
}

QString unreadablePictureMessage(const QString& path) {
    return QStringLiteral("image de LED illisible : %1").arg(path);
}

QString unwritableFileMessage(const QString& path, const QString& reason) {
    return QStringLiteral("écriture impossible de %1 : %2").arg(path, reason);
}
