#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "PanelSession.h"
#include "Payloads.h"
#include "Topics.h"

// The bridge between the broker's topics and the panel's session: decodes a
// command, calls one operation of the session, publishes the panel's states
// and says every outcome in one log line. The broker is behind publish, so
// the logic runs without one.
class Bridge : public QObject {
    Q_OBJECT
public:
    // qos 0 for the states, which are published again at each poll and
    // connect: QoS 1 acknowledgements coming back after each one would hold
    // the next command up behind Nagle's rule on a broker left at its defaults.
    using Publish = std::function<void(const QString& topic, const QByteArray& payload,
                                       bool retained, int qos)>;
    using Log = std::function<void(const QString& line)>;

    Bridge(PanelSession& session, const Topics& topics, const QByteArray& discovery,
           int pollSeconds, Publish publish, Log log, QObject* parent = nullptr);

    // The broker took us (again): discovery, availability, the states.
    void connected();
    // A message on a subscribed topic.
    void received(const QString& topic, const QByteArray& payload);
    // The end of the run: a passing message on show gives the panel back.
    void finish();
    // The panel's states, published retained (and a text waiting for the panel sent).
    void poll();
    // Topics a bridge subscribes to.
    QStringList subscriptions() const;

private:
    void command(CommandKind kind, const QByteArray& payload);
    void sendText(const QString& text);
    void startNotify(const QString& text, int seconds);
    void endNotify();
    void error(const QString& line);
    void note(const QString& line);
    // Says what preparing the text changed; false when nothing is left to send.
    bool tellPrepared(const QString& what, const PreparedText& prepared);
    bool tellVerified(const QString& what, const VerifiedSend& sent);
    void tellClock(const QString& what, const ClockUpdate& update);
    void publishPresence(bool present);
    void schedulePoll();
    // The states published after the commands waiting now have run.
    void statesDue();

    PanelSession& session_;
    const Topics& topics_;
    QByteArray discovery_;
    int pollSeconds_;
    Publish publish_;
    Log log_;
    QTimer pollTimer_;
    QTimer passingTimer_;
    QTimer statesTimer_;
    // The passing message on show and what it covers.
    struct Passing {
        QString text;
        WholeText earlier;
    };
    std::optional<Passing> passing_;
    // A text received while the panel was away: the latest one wins.
    std::optional<QString> pending_;
    std::optional<bool> present_;  // last presence published
};

// An exchange's failure in words (French, one line).
QString linkFailureText(const LinkFailure& failure);
