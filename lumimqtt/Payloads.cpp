#include "Payloads.h"

#include <cmath>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QList>
#include <QRegularExpression>
#include <QStringDecoder>

#include "Discovery.h"
#include "TextAdmission.h"

namespace {

// What of a refused payload goes into the log and the error topic: its
// start, controls shown as "?", so a sender cannot write lines of its own
// into the journal.
QString shownPart(const QString& text) {
    QString out;
    for (const char32_t c : text.left(40).toUcs4()) {
        out += isControlCharacter(c) ? QStringLiteral("?") : QString::fromUcs4(&c, 1);
    }
    return out;
}

PayloadRefusal refuse(PayloadRefusal::Why why, const QString& detail = {}) {
    return PayloadRefusal{why, shownPart(detail)};
}

// The payload as text, trimmed of the line end a shell's echo adds.
std::optional<QString> utf8(const QByteArray& payload) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(payload);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    // A byte order mark some editors put first is not part of the message.
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    return text;
}

QString withoutLineEnd(QString text) {
    while (text.endsWith(u'\n') || text.endsWith(u'\r')) {
        text.chop(1);
    }
    return text;
}

Command decodeNotify(const QString& text) {
    // A payload that opens like a JSON object is one; anything else is the
    // message itself, shown for the default time.
    if (!text.trimmed().startsWith(u'{')) {
        return NotifyCommand{withoutLineEnd(text), kNotifyDefaultSeconds};
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        return refuse(PayloadRefusal::Why::NotifyShape,
                      QStringLiteral("JSON illisible : ") + error.errorString());
    }
    const QJsonObject obj = doc.object();
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        if (it.key() != u"message" && it.key() != u"seconds") {
            return refuse(PayloadRefusal::Why::NotifyShape,
                          QStringLiteral("champ inconnu « %1 »").arg(it.key()));
        }
    }
    if (!obj.value(u"message").isString()) {
        return refuse(PayloadRefusal::Why::NotifyShape,
                      QStringLiteral("« message » manque ou n'est pas un texte"));
    }
    NotifyCommand notify{obj.value(u"message").toString(), kNotifyDefaultSeconds};
    if (obj.contains(u"seconds")) {
        const QJsonValue seconds = obj.value(u"seconds");
        const double value = seconds.toDouble(std::nan(""));
        if (!seconds.isDouble() || value != std::floor(value)) {
            return refuse(PayloadRefusal::Why::NotifyShape,
                          QStringLiteral("« seconds » n'est pas un nombre entier"));
        }
        if (value < kNotifyMinSeconds || value > kNotifyMaxSeconds) {
            return refuse(PayloadRefusal::Why::NotifyDuration,
                          QStringLiteral("%1 s").arg(value, 0, 'g', 12));
        }
        notify.seconds = static_cast<int>(value);
    }
    if (notify.text.isEmpty()) {
        return refuse(PayloadRefusal::Why::Empty);
    }
    return notify;
}

}  // namespace

Command decodeCommand(CommandKind kind, const QByteArray& payload) {
    if (payload.size() > kMaxPayloadBytes) {
        return refuse(PayloadRefusal::Why::TooLarge,
                      QStringLiteral("%1 octets").arg(payload.size()));
    }
    const auto decoded = utf8(payload);
    if (!decoded) {
        return refuse(PayloadRefusal::Why::NotUtf8);
    }
    const QString& text = *decoded;
    switch (kind) {
        case CommandKind::Message: {
            QString message = withoutLineEnd(text);
            if (message.isEmpty()) {
                return refuse(PayloadRefusal::Why::Empty);
            }
            return TextCommand{message};
        }
        case CommandKind::Notify: {
            Command notify = decodeNotify(text);
            if (const auto* n = std::get_if<NotifyCommand>(&notify);
                n != nullptr && n->text.isEmpty()) {
                return refuse(PayloadRefusal::Why::Empty);
            }
            return notify;
        }
        case CommandKind::Clock:
            if (text.trimmed() != u"PRESS") {
                return refuse(PayloadRefusal::Why::Button, text);
            }
            return SyncCommand{};
        case CommandKind::Alarm: {
            const QString word = text.trimmed().toUpper();
            if (word == u"ON") {
                return AlarmSwitchCommand{true};
            }
            if (word == u"OFF") {
                return AlarmSwitchCommand{false};
            }
            return refuse(PayloadRefusal::Why::Switch, text);
        }
        case CommandKind::AlarmTime: {
            static const QRegularExpression form{QLatin1String(kAlarmTimePattern)};
            const QString time = text.trimmed();
            if (!form.match(time).hasMatch()) {
                return refuse(PayloadRefusal::Why::AlarmTime, time);
            }
            const qsizetype colon = time.indexOf(u':');
            return AlarmTimeCommand{time.left(colon).toInt(), time.mid(colon + 1).toInt()};
        }
    }
    return refuse(PayloadRefusal::Why::Empty);
}

QString refusalText(const PayloadRefusal& refusal) {
    QString what;
    switch (refusal.why) {
        case PayloadRefusal::Why::TooLarge:
            what = QStringLiteral("message trop gros (plus de %1 octets)").arg(kMaxPayloadBytes);
            break;
        case PayloadRefusal::Why::NotUtf8:
            what = QStringLiteral("texte qui n'est pas de l'UTF-8 valide");
            break;
        case PayloadRefusal::Why::Empty:
            what = QStringLiteral("texte vide");
            break;
        case PayloadRefusal::Why::NotifyShape:
            what = QStringLiteral(
                "annonce JSON mal formée, {\"message\": \"…\", \"seconds\": N} "
                "attendu");
            break;
        case PayloadRefusal::Why::NotifyDuration:
            what = QStringLiteral("durée d'annonce hors de %1 s à %2 s")
                       .arg(kNotifyMinSeconds)
                       .arg(kNotifyMaxSeconds);
            break;
        case PayloadRefusal::Why::AlarmTime:
            what = QStringLiteral("heure du réveil qui n'est pas HH:MM");
            break;
        case PayloadRefusal::Why::Switch:
            what = QStringLiteral("ON ou OFF attendu");
            break;
        case PayloadRefusal::Why::Button:
            what = QStringLiteral("PRESS attendu");
            break;
    }
    return refusal.detail.isEmpty() ? what : what + QStringLiteral(" (") + refusal.detail + u')';
}

PreparedText prepareText(const QString& received) {
    PreparedText out;
    QString kept;
    kept.reserve(received.size());
    for (const char32_t c : received.toUcs4()) {
        if (isControlCharacter(c)) {
            ++out.dropped;
        } else {
            kept.append(QString::fromUcs4(&c, 1));
        }
    }
    // Controls are gone, so the only refusal left cannot come.
    const TextAdmission admitted = admitText(kept, Unsendable::Replace, /*transliterate*/ true);
    if (const auto* ok = std::get_if<AdmittedText>(&admitted)) {
        out.text = ok->text;
        out.transliterated = ok->transliterated;
        out.replaced = ok->replaced;
    }
    return out;
}
