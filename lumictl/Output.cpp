#include "Output.h"

#include <cerrno>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>

#include "PanelRules.h"
#include "PanelTexts.h"
#include "ReportCoding.h"

namespace {

using namespace paneltext;

// A text, then the library's reason when it gave one.
QString withReason(const QString& shown, int error) {
    const QString reason = failureReason(error);
    return reason.isEmpty() ? shown : shown + QStringLiteral(" (") + reason + u')';
}

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
    const PanelAlarm alarm = panelAlarm(c);
    return two(unsigned(alarm.hour)) + u':' + two(unsigned(alarm.minute));
}

}  // namespace

QString isoDateTime(const PanelClock& clock) {
    return isoDate(clock) + u'T' + isoTime(clock);
}

QString alarmText(const PanelClock& clock) {
    return alarmTime(clock) +
           (panelAlarm(clock).armed ? QStringLiteral(" on") : QStringLiteral(" off"));
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

QByteArray wholeTextJson(const QString& text, bool complete) {
    QByteArray json = textJson(text);
    json.chop(2);  // "}\n": the text's own escaping is kept
    return json + ",\"complete\":" + (complete ? "true" : "false") + "}\n";
}

QByteArray passingJson(const PassingStart& start, const PassingEnd& end) {
    return line({{"sent", start.sent.sent.sentChars},
                 {"cut", start.sent.sent.cutChars},
                 {"restored", end.stillShown && end.restored.verified()},
                 {"overtaken", end.now.ok() && !end.stillShown},
                 {"earlier_complete", start.earlier.complete}});
}

QByteArray clockJson(const PanelClock& clock, bool timeValid, bool dateValid,
                     std::optional<qint64> driftSeconds) {
    return line(
        {{"datetime", isoDateTime(clock)},
         {"date", isoDate(clock)},
         {"time", isoTime(clock)},
         {"time_valid", timeValid},
         {"date_valid", dateValid},
         {"drift_seconds", driftSeconds ? QJsonValue(*driftSeconds) : QJsonValue()},
         {"alarm", QJsonObject{{"time", alarmTime(clock)}, {"on", panelAlarm(clock).armed}}}});
}

QByteArray sendJson(const SendOutcome& sent, std::optional<bool> verified) {
    return line({{"sent", sent.sentChars},
                 {"cut", sent.cutChars},
                 {"verified", verified ? QJsonValue(*verified) : QJsonValue()}});
}

QString driftMessage(qint64 seconds) {
    return QStringLiteral("décalage : %1%2 s")
        .arg(seconds > 0 ? QStringLiteral("+") : QString())
        .arg(seconds);
}

QString syncSkippedMessage(qint64 seconds) {
    return driftMessage(seconds) + QStringLiteral(" : horloge laissée telle quelle");
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
            return QStringLiteral("demande refusée par la bibliothèque (paramètre incorrect)");
        default:
            return systemErrorReason(error);
    }
}

QString refusalMessage(const RefusedCharacter& refused) {
    const QString code =
        QStringLiteral("%1").arg(uint(refused.character), 4, 16, QLatin1Char('0')).toUpper();
    if (refused.control) {
        // A control has no glyph to show; its code says it all.
        return QStringLiteral(
                   "caractère de contrôle (U+%1) en position %2 : le panneau n'en reçoit "
                   "aucun ; --replace le remplace par « ? »")
            .arg(code, QString::number(refused.position));
    }
    return QStringLiteral(
               "caractère « %1 » (U+%2) en position %3 : le panneau ne peut pas le "
               "recevoir (Windows-1252) ; --replace le remplace par « ? »")
        .arg(QString::fromUcs4(&refused.character, 1), code, QString::number(refused.position));
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
    QString shown;
    switch (operation) {
        case Operation::Send:
            shown = text(kSendFailed);
            break;
        case Operation::ReadText:
            shown = text(kReadTextFailed);
            break;
        case Operation::ReadClock:
            shown = text(failure.transfer == LinkFailure::Step::Write ? kClockWriteFailedOnRead
                                                                      : kClockReadFailed);
            break;
        case Operation::WriteClock:
            shown = text(kClockWriteFailed);
            break;
    }
    if (failure.lock) {
        return shown + QStringLiteral(" (") + lockProblemText(*failure.lock) + u')';
    }
    return withReason(shown, failure.error);
}

QString noPanelMessage(int error, const QString& virtualSocket) {
    // The window's words name the USB port; a virtual panel has none.
    return withReason(
        virtualSocket.isEmpty()
            ? text(kNoPanel)
            : QStringLiteral("Pas de panneau virtuel sur %1 (panelsim est-il lancé ?)")
                  .arg(virtualSocket),
        error);
}

QString panelFoundMessage(const QString& virtualSocket) {
    return virtualSocket.isEmpty()
               ? text(kPanelFound)
               : QStringLiteral("Panneau virtuel connecté sur %1.").arg(virtualSocket);
}

QStringList libraryMessages(const LibraryLoad& load) {
    if (load.ok()) {
        return {};
    }
    return {libraryLoadProblem(load, QStringLiteral(" : ")),
            QStringLiteral("bibliothèque USB du panneau introuvable : rien n'a été fait")};
}

QString noTextMessage() {
    return QStringLiteral("aucun texte à envoyer");
}

QString textSentMessage() {
    return text(kTextSent);
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
        warnings << text(kPanelTimeWrong);
    }
    if (!read.dateValid) {
        warnings << text(kPanelDateWrong);
    }
    return warnings;
}

QString clockWrittenMessage() {
    return text(kClockWritten);
}

QString unreadableInputMessage(const QString& source, const QString& reason) {
    return QStringLiteral("lecture impossible de %1 : %2").arg(source, reason);
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

QString passingMessage(std::chrono::seconds duration) {
    return QStringLiteral(
               "message de passage envoyé pour %1 s ; le texte d'avant reviendra ensuite")
        .arg(duration.count());
}

QString notWholeMessage() {
    return QStringLiteral(
        "seuls les 62 premiers caractères sont connus : le texte vient d'un envoi dont "
        "lumictl n'a pas la trace");
}

QString restoredMessage(const WholeText& earlier) {
    return earlier.complete ? QStringLiteral("texte d'avant remis")
                            : QStringLiteral(
                                  "texte d'avant remis (ses 62 premiers caractères "
                                  "seulement : le reste n'était pas connu)");
}

QString notRestoredMessage() {
    return QStringLiteral(
        "le panneau affiche un autre texte depuis : il le garde, le texte d'avant n'est pas remis");
}

QString restoreFailedMessage(const QString& earlier) {
    return QStringLiteral("le texte d'avant n'a pas pu être remis ; il faudrait : %1").arg(earlier);
}

QString gifFailedMessage(int giflibError) {
    return QStringLiteral("l'animation GIF n'a pas pu être faite (erreur %1 de giflib)")
        .arg(giflibError);
}

QString gifTooLargeMessage(qsizetype mostBytes) {
    return QStringLiteral("l'animation GIF dépasserait %1 Mio : donnez moins de --seconds")
        .arg(mostBytes >> 20);
}

QString gifApproximatedMessage() {
    return QStringLiteral(
        "les images des LED ont plus de 255 couleurs : le GIF en montre des couleurs approchées");
}
