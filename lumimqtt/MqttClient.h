#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include "Settings.h"

struct mosquitto;
struct mosquitto_message;

// libmosquitto's process-wide set-up, once for the program's life.
class MosquittoLibrary {
public:
    MosquittoLibrary();
    ~MosquittoLibrary();
    MosquittoLibrary(const MosquittoLibrary&) = delete;
    MosquittoLibrary& operator=(const MosquittoLibrary&) = delete;
    // "2.0.11"
    static QString version();
};

// One MQTT 3.1.1 connection with a persistent session, served in the Qt
// event loop: a notifier on the library's socket and a housekeeping timer
// drive mosquitto_loop with no wait, so no thread of its own runs. Lost
// connections are retried with a growing delay.
class MqttClient : public QObject {
    Q_OBJECT
public:
    struct Will {
        QString topic;
        QByteArray payload;
    };
    // Nothing happens until start(); settings and will must stay valid.
    MqttClient(const Settings& settings, const QString& clientId, const Will& will,
               QObject* parent = nullptr);
    ~MqttClient() override;

    // Sets up the library's session (login, TLS, will); false with why() when
    // it refuses the settings. Then connects, and keeps connecting.
    bool start();
    // Says goodbye (the will is not sent) and stops.
    void stop();
    bool connected() const { return connected_; }
    const QString& why() const { return why_; }

    // False when the library refused it (not connected: the message
    // waits in its queue until the connection comes back).
    bool publish(const QString& topic, const QByteArray& payload, bool retained, int qos = 1);
    bool subscribe(const QString& topic);
    // Writes what is queued; for the end, before stop().
    void flush(int milliseconds);

signals:
    void online();
    void disconnected(const QString& why);
    void message(const QString& topic, const QByteArray& payload, bool retained);
    // The broker refused us (login, TLS): nothing to gain by retrying.
    void refused(const QString& why);
    // A note for the log.
    void note(const QString& line);

private:
    static void onConnect(mosquitto*, void* self, int rc);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* msg);

    void connectNow();
    void service();
    void watchSocket();
    void lost(const QString& why);
    void scheduleReconnect();

    const Settings& settings_;
    QString clientId_;
    Will will_;
    mosquitto* mosq_ = nullptr;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    int watchedSocket_ = -1;
    QTimer housekeeping_;
    QTimer reconnect_;
    int delaySeconds_ = 1;
    bool connected_ = false;
    bool stopping_ = false;
    bool inService_ = false;
    bool attempted_ = false;  // connected once: later tries reconnect
    QString why_;
};

// The delay before the next reconnection: doubled from 1 s, at most 30 s.
int nextReconnectDelay(int current);
