#include "Bridge.h"

#include <cerrno>

#include "SystemErrors.h"

namespace {

// While the panel is away it is looked for this often, so a text waiting for
// it goes as soon as it is back.
constexpr int kAbsentPollMs = 2000;

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString stepText(LinkFailure::Step step) {
    switch (step) {
        case LinkFailure::Step::Open:
            return QStringLiteral("panneau inaccessible");
        case LinkFailure::Step::Write:
            return QStringLiteral("écriture vers le panneau échouée");
        case LinkFailure::Step::Read:
            return QStringLiteral("le panneau n'a pas répondu");
        case LinkFailure::Step::Refused:
            return QStringLiteral("le panneau a refusé la demande");
    }
    return {};
}

}  // namespace

QString linkFailureText(const LinkFailure& failure) {
    if (failure.lock) {
        return QStringLiteral("verrou du panneau inutilisable (%1) : %2")
            .arg(failure.lock->path, systemErrorReason(failure.error));
    }
    if (failure.step == LinkFailure::Step::Open && failure.error == EBUSY) {
        return QStringLiteral("panneau occupé par un autre programme");
    }
    QString text = stepText(failure.step);
    if (failure.chunks > 0) {
        text += QStringLiteral(" (morceau %1 sur %2)").arg(failure.chunk).arg(failure.chunks);
    }
    if (failure.error != 0) {
        text += QStringLiteral(" : ") + systemErrorReason(failure.error);
    }
    return text;
}

Bridge::Bridge(PanelSession& session, const Topics& topics, const QByteArray& discovery,
               int pollSeconds, Publish publish, Log log, QObject* parent)
    : QObject(parent),
      session_(session),
      topics_(topics),
      discovery_(discovery),
      pollSeconds_(pollSeconds),
      publish_(std::move(publish)),
      log_(std::move(log)) {
    pollTimer_.setSingleShot(true);
    connect(&pollTimer_, &QTimer::timeout, this, &Bridge::poll);
    passingTimer_.setSingleShot(true);
    connect(&passingTimer_, &QTimer::timeout, this, &Bridge::endNotify);
    // Once the commands waiting have run: a burst publishes its states once.
    statesTimer_.setSingleShot(true);
    statesTimer_.setInterval(0);
    connect(&statesTimer_, &QTimer::timeout, this, &Bridge::poll);
}

QStringList Bridge::subscriptions() const {
    return {topics_.messageSet, topics_.notifySet,    topics_.clockSet,
            topics_.alarmSet,   topics_.alarmTimeSet, topics_.homeAssistant};
}

void Bridge::connected() {
    publish_(topics_.discovery, discovery_, true, 1);
    publish_(topics_.availability, "online", true, 1);
    poll();
}

void Bridge::received(const QString& topic, const QByteArray& payload) {
    const TopicMatch match = matchTopic(topics_, topic);
    if (match.homeAssistantStatus) {
        if (payload == "online") {
            note(QStringLiteral("Home Assistant redémarré : découverte publiée à nouveau"));
            publish_(topics_.discovery, discovery_, true, 1);
            poll();
        }
        return;
    }
    if (match.command) {
        command(match.kind, payload);
    }
}

void Bridge::error(const QString& line) {
    log_(QStringLiteral("erreur : ") + line);
    publish_(topics_.error, line.toUtf8(), false, 1);
}

void Bridge::note(const QString& line) {
    log_(line);
}

void Bridge::command(CommandKind kind, const QByteArray& payload) {
    const Command decoded = decodeCommand(kind, payload);
    if (const auto* refusal = std::get_if<PayloadRefusal>(&decoded)) {
        const QString topic = kind == CommandKind::Message  ? topics_.messageSet
                              : kind == CommandKind::Notify ? topics_.notifySet
                              : kind == CommandKind::Clock  ? topics_.clockSet
                              : kind == CommandKind::Alarm  ? topics_.alarmSet
                                                            : topics_.alarmTimeSet;
        error(topic + QStringLiteral(" : refusé, ") + refusalText(*refusal));
        return;
    }
    if (const auto* text = std::get_if<TextCommand>(&decoded)) {
        const PreparedText prepared = prepareText(text->text);
        if (!tellPrepared(QStringLiteral("message"), prepared)) {
            return;
        }
        if (!session_.panelPresent().present) {
            if (pending_) {
                note(
                    QStringLiteral("panneau absent : ce texte remplace celui qui attendait "
                                   "(le dernier reçu l'emporte)"));
            } else {
                note(QStringLiteral("panneau absent : le texte attend son retour"));
            }
            pending_ = prepared.text;
            publishPresence(false);
            return;
        }
        sendText(prepared.text);
        statesDue();
        return;
    }
    if (!session_.panelPresent().present) {
        error(QStringLiteral("panneau absent : commande non exécutée"));
        publishPresence(false);
        return;
    }
    if (const auto* notify = std::get_if<NotifyCommand>(&decoded)) {
        const PreparedText prepared = prepareText(notify->text);
        if (tellPrepared(QStringLiteral("annonce"), prepared)) {
            startNotify(prepared.text, notify->seconds);
        }
    } else if (std::holds_alternative<SyncCommand>(decoded)) {
        tellClock(QStringLiteral("mise à l'heure"), session_.syncClock());
    } else if (const auto* sw = std::get_if<AlarmSwitchCommand>(&decoded)) {
        tellClock(sw->on ? QStringLiteral("réveil activé") : QStringLiteral("réveil désactivé"),
                  sw->on ? session_.changeAlarm(AlarmOn{}) : session_.changeAlarm(AlarmOff{}));
    } else if (const auto* at = std::get_if<AlarmTimeCommand>(&decoded)) {
        const AlarmTime time{static_cast<quint8>(at->hour), static_cast<quint8>(at->minute)};
        tellClock(QStringLiteral("réveil à %1:%2").arg(at->hour).arg(twoDigits(at->minute)),
                  session_.changeAlarm(time));
    }
    statesDue();
}

bool Bridge::tellPrepared(const QString& what, const PreparedText& prepared) {
    if (prepared.dropped > 0) {
        error(QStringLiteral("%1 : %2 caractère(s) de contrôle retiré(s)")
                  .arg(what)
                  .arg(prepared.dropped));
    }
    if (prepared.transliterated > 0 || prepared.replaced > 0) {
        error(QStringLiteral("%1 : %2 caractère(s) que le panneau ne sait pas afficher, %3 "
                             "transcrit(s), %4 remplacé(s) par « ? »")
                  .arg(what)
                  .arg(prepared.transliterated + prepared.replaced)
                  .arg(prepared.transliterated)
                  .arg(prepared.replaced));
    }
    if (prepared.text.isEmpty()) {
        error(QStringLiteral("%1 : refusé, rien à envoyer").arg(what));
        return false;
    }
    return true;
}

bool Bridge::tellVerified(const QString& what, const VerifiedSend& sent) {
    if (sent.sent.cutChars > 0) {
        error(QStringLiteral("%1 : texte coupé, les %2 premiers caractères envoyés, %3 de trop")
                  .arg(what)
                  .arg(sent.sent.sentChars)
                  .arg(sent.sent.cutChars));
    }
    if (sent.sent.failure) {
        error(QStringLiteral("%1 : non envoyé, %2").arg(what, linkFailureText(*sent.sent.failure)));
        return false;
    }
    if (sent.readBackFailure) {
        error(QStringLiteral("%1 : envoyé mais non relu, %2")
                  .arg(what, linkFailureText(*sent.readBackFailure)));
        return false;
    }
    if (sent.difference) {
        error(QStringLiteral("%1 : le panneau ne montre pas le texte envoyé (différence au "
                             "caractère %2)")
                  .arg(what)
                  .arg(*sent.difference));
        return false;
    }
    return true;
}

void Bridge::sendText(const QString& text) {
    // A text sent now wins over a passing message: nothing is put back later.
    if (passing_) {
        passingTimer_.stop();
        passing_.reset();
    }
    if (tellVerified(QStringLiteral("message"), session_.sendVerified(text))) {
        note(QStringLiteral("message envoyé (%1 caractères)").arg(text.size()));
    }
}

void Bridge::startNotify(const QString& text, int seconds) {
    const std::optional<Passing> before = passing_;
    passingTimer_.stop();
    PassingStart start = session_.startPassing(text);
    if (!start.earlier.ok()) {
        error(QStringLiteral("annonce : texte du panneau illisible, rien envoyé, %1")
                  .arg(linkFailureText(*start.earlier.read.failure)));
        passing_.reset();
        return;
    }
    // An announcement over another one: the panel's own text goes back at the end.
    Passing passing{text, before ? before->earlier : start.earlier};
    if (!tellVerified(QStringLiteral("annonce"), start.sent)) {
        if (before) {
            passing_ = before;  // the earlier one may still be on show
            passingTimer_.start(0);
        }
        return;
    }
    passing_ = std::move(passing);
    passingTimer_.start(seconds * 1000);
    note(QStringLiteral("annonce affichée pour %1 s").arg(seconds));
}

void Bridge::endNotify() {
    if (!passing_) {
        return;
    }
    const Passing passing = *passing_;
    passing_.reset();
    const PassingEnd end = session_.endPassing(passing.text, passing.earlier);
    if (!end.now.ok()) {
        error(QStringLiteral("fin d'annonce : texte du panneau illisible, %1")
                  .arg(linkFailureText(*end.now.failure)));
    } else if (!end.stillShown) {
        note(QStringLiteral("fin d'annonce : un autre texte l'a remplacée, rien remis"));
    } else if (tellVerified(QStringLiteral("fin d'annonce"), end.restored)) {
        note(QStringLiteral("fin d'annonce : texte précédent remis"));
    }
    statesDue();
}

void Bridge::tellClock(const QString& what, const ClockUpdate& update) {
    if (update.notHeld) {
        error(QStringLiteral("%1 : %2").arg(what, linkFailureText(*update.notHeld)));
    } else if (!update.read.ok()) {
        error(QStringLiteral("%1 : horloge illisible, %2")
                  .arg(what, linkFailureText(*update.read.failure)));
    } else if (update.write && !update.write->ok()) {
        error(QStringLiteral("%1 : horloge non écrite%2")
                  .arg(what, update.write->failure
                                 ? QStringLiteral(", ") + linkFailureText(*update.write->failure)
                                 : QString()));
    } else {
        note(what + QStringLiteral(" : fait"));
    }
}

void Bridge::publishPresence(bool present) {
    if (present_ != present) {
        note(present ? QStringLiteral("panneau branché") : QStringLiteral("panneau absent"));
    }
    present_ = present;
    publish_(topics_.panel, present ? "online" : "offline", true, 0);
}

void Bridge::statesDue() {
    statesTimer_.start();
}

void Bridge::poll() {
    pollTimer_.stop();
    statesTimer_.stop();
    const bool present = session_.panelPresent().present;
    publishPresence(present);
    if (present && pending_) {
        const QString text = *pending_;
        pending_.reset();
        note(QStringLiteral("panneau revenu : le texte reçu en son absence part"));
        sendText(text);
    }
    if (present) {
        const WholeText whole = session_.readWholeText();
        if (whole.ok()) {
            publish_(topics_.message, whole.text.toUtf8(), true, 0);
        }
        const ClockRead clock = session_.readClock();
        if (clock.ok()) {
            if (const auto drift = session_.drift(clock)) {
                publish_(topics_.drift, QByteArray::number(*drift), true, 0);
            }
            const PanelAlarm alarm = panelAlarm(clock.record);
            publish_(topics_.alarm, alarm.armed ? "ON" : "OFF", true, 0);
            publish_(topics_.alarmTime,
                     (twoDigits(alarm.hour) + u':' + twoDigits(alarm.minute)).toUtf8(), true, 0);
        }
        if (!whole.ok() || !clock.ok()) {
            const LinkFailure failure = whole.ok() ? *clock.failure : *whole.read.failure;
            log_(QStringLiteral("relevé du panneau incomplet : ") + linkFailureText(failure));
        }
    }
    schedulePoll();
}

void Bridge::schedulePoll() {
    const bool away = present_ == false;
    pollTimer_.start(away ? std::min(kAbsentPollMs, pollSeconds_ * 1000) : pollSeconds_ * 1000);
}

void Bridge::finish() {
    pollTimer_.stop();
    statesTimer_.stop();
    if (passing_) {
        passingTimer_.stop();
        endNotify();
        pollTimer_.stop();
    }
}
