#include "MqttClient.h"

#include <cerrno>

#include <QDeadlineTimer>

#include <mosquitto.h>

#include "SystemErrors.h"

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kMaxReconnectSeconds = 30;
constexpr int kHousekeepingMs = 500;

QString libraryError(int rc) {
    switch (rc) {
        case MOSQ_ERR_ERRNO:
            return systemErrorReason(errno);
        case MOSQ_ERR_CONN_LOST:
            return QStringLiteral("connexion coupée");
        case MOSQ_ERR_NO_CONN:
            return QStringLiteral("pas de connexion");
        case MOSQ_ERR_PROTOCOL:
            return QStringLiteral("erreur de protocole MQTT");
        case MOSQ_ERR_TLS:
            return QStringLiteral("erreur TLS (certificat ou autorité refusés ?)");
        case MOSQ_ERR_EAI:
            return QStringLiteral("nom d'hôte introuvable");
        case MOSQ_ERR_KEEPALIVE:
            return QStringLiteral("le courtier ne répond plus");
        default:
            break;
    }
    return QString::fromUtf8(mosquitto_strerror(rc));
}

}  // namespace

int nextReconnectDelay(int current) {
    return current >= kMaxReconnectSeconds / 2 ? kMaxReconnectSeconds : current * 2;
}

MosquittoLibrary::MosquittoLibrary() {
    mosquitto_lib_init();
}

MosquittoLibrary::~MosquittoLibrary() {
    mosquitto_lib_cleanup();
}

QString MosquittoLibrary::version() {
    int major = 0;
    int minor = 0;
    int revision = 0;
    mosquitto_lib_version(&major, &minor, &revision);
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

MqttClient::MqttClient(const Settings& settings, const QString& clientId, const Will& will,
                       QObject* parent)
    : QObject(parent), settings_(settings), clientId_(clientId), will_(will) {
    housekeeping_.setInterval(kHousekeepingMs);
    connect(&housekeeping_, &QTimer::timeout, this, &MqttClient::service);
    reconnect_.setSingleShot(true);
    connect(&reconnect_, &QTimer::timeout, this, &MqttClient::connectNow);
}

MqttClient::~MqttClient() {
    readNotifier_.reset();
    writeNotifier_.reset();
    if (mosq_ != nullptr) {
        mosquitto_destroy(mosq_);
    }
}

bool MqttClient::start() {
    // clean_session false: the broker keeps our subscriptions and the QoS 1
    // commands published while we are away.
    mosq_ = mosquitto_new(clientId_.toUtf8().constData(), false, this);
    if (mosq_ == nullptr) {
        why_ = QStringLiteral("session MQTT impossible : %1").arg(systemErrorReason(errno));
        return false;
    }
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Small packets both ways: without it, an acknowledgement held back by
    // Nagle's rule costs a command up to the peer's 40 ms delayed ACK.
    mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(mosq_, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::onDisconnect);
    mosquitto_message_callback_set(mosq_, &MqttClient::onMessage);
    int rc = mosquitto_will_set(mosq_, will_.topic.toUtf8().constData(),
                                static_cast<int>(will_.payload.size()), will_.payload.constData(),
                                1, true);
    if (rc != MOSQ_ERR_SUCCESS) {
        why_ = QStringLiteral("dernière volonté refusée : %1").arg(libraryError(rc));
        return false;
    }
    if (!settings_.username.isEmpty()) {
        const QByteArray user = settings_.username.toUtf8();
        const QByteArray password = settings_.password.value_or(QString()).toUtf8();
        rc = mosquitto_username_pw_set(mosq_, user.constData(),
                                       settings_.password ? password.constData() : nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            why_ = QStringLiteral("identifiants refusés : %1").arg(libraryError(rc));
            return false;
        }
    }
    if (!settings_.cafile.isEmpty()) {
        const QByteArray ca = settings_.cafile.toLocal8Bit();
        const QByteArray cert = settings_.cert.toLocal8Bit();
        const QByteArray key = settings_.key.toLocal8Bit();
        rc = mosquitto_tls_set(mosq_, ca.constData(), nullptr,
                               cert.isEmpty() ? nullptr : cert.constData(),
                               key.isEmpty() ? nullptr : key.constData(), nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            why_ = QStringLiteral("TLS : %1 (--cafile %2)").arg(libraryError(rc), settings_.cafile);
            return false;
        }
    }
    housekeeping_.start();
    connectNow();
    return true;
}

void MqttClient::connectNow() {
    if (stopping_) {
        return;
    }
    // Blocking connect: mosquitto_loop, which serves us, needs it. On loopback
    // and a local network it is a moment; DNS may hold it longer.
    const int rc = attempted_ ? mosquitto_reconnect(mosq_)
                              : mosquitto_connect(mosq_, settings_.host.toUtf8().constData(),
                                                  settings_.port, kKeepAliveSeconds);
    attempted_ = true;
    if (rc != MOSQ_ERR_SUCCESS) {
        const QString why = libraryError(rc);
        if (rc == MOSQ_ERR_TLS && !settings_.keepTrying) {
            why_ = QStringLiteral("échec TLS avec %1:%2 : %3")
                       .arg(settings_.host)
                       .arg(settings_.port)
                       .arg(why);
            emit refused(why_);
            return;
        }
        emit note(QStringLiteral("courtier %1:%2 injoignable : %3 ; nouvel essai dans %4 s")
                      .arg(settings_.host)
                      .arg(settings_.port)
                      .arg(why)
                      .arg(delaySeconds_));
        scheduleReconnect();
        return;
    }
    watchSocket();
    service();
}

void MqttClient::scheduleReconnect() {
    reconnect_.start(delaySeconds_ * 1000);
    delaySeconds_ = nextReconnectDelay(delaySeconds_);
}

void MqttClient::watchSocket() {
    const int fd = mosquitto_socket(mosq_);
    if (fd == watchedSocket_ && readNotifier_) {
        return;
    }
    readNotifier_.reset();
    writeNotifier_.reset();
    watchedSocket_ = fd;
    if (fd < 0) {
        return;
    }
    readNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(readNotifier_.get(), &QSocketNotifier::activated, this, &MqttClient::service);
    writeNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_.get(), &QSocketNotifier::activated, this, &MqttClient::service);
}

void MqttClient::service() {
    if (mosq_ == nullptr || inService_ || reconnect_.isActive() || stopping_ || !readNotifier_) {
        return;
    }
    inService_ = true;
    const int rc = mosquitto_loop(mosq_, 0, 1);
    inService_ = false;
    if (rc != MOSQ_ERR_SUCCESS) {
        if (rc == MOSQ_ERR_TLS && !settings_.keepTrying) {
            why_ = QStringLiteral("échec TLS avec %1:%2").arg(settings_.host).arg(settings_.port);
            readNotifier_.reset();
            writeNotifier_.reset();
            emit refused(why_);
            return;
        }
        lost(libraryError(rc));
        return;
    }
    if (writeNotifier_) {
        writeNotifier_->setEnabled(mosquitto_want_write(mosq_));
    }
}

void MqttClient::lost(const QString& why) {
    readNotifier_.reset();
    writeNotifier_.reset();
    const bool was = connected_;
    connected_ = false;
    if (was) {
        emit disconnected(why);
    }
    if (stopping_) {
        return;
    }
    emit note(QStringLiteral("connexion au courtier perdue : %1 ; nouvel essai dans %2 s")
                  .arg(why)
                  .arg(delaySeconds_));
    scheduleReconnect();
}

void MqttClient::onConnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    if (rc != 0) {
        const QString why = QString::fromUtf8(mosquitto_connack_string(rc));
        // 4: bad user name or password, 5: not authorised.
        if ((rc == 4 || rc == 5) && !client->settings_.keepTrying) {
            client->why_ = QStringLiteral("connexion refusée par le courtier : %1").arg(why);
            // Out of the library's callback before anyone reacts.
            QMetaObject::invokeMethod(
                client, [client] { emit client->refused(client->why_); }, Qt::QueuedConnection);
            return;
        }
        emit client->note(QStringLiteral("connexion refusée par le courtier : %1").arg(why));
        return;
    }
    client->connected_ = true;
    client->delaySeconds_ = 1;
    // Publishing inside the library's callback only queues; the bridge's
    // work runs once the loop has returned.
    QMetaObject::invokeMethod(
        client, [client] { emit client->online(); }, Qt::QueuedConnection);
}

void MqttClient::onDisconnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    if (rc == 0) {
        return;  // ours
    }
    QMetaObject::invokeMethod(
        client,
        [client] {
            if (client->readNotifier_) {
                client->lost(QStringLiteral("le courtier a coupé"));
            }
        },
        Qt::QueuedConnection);
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* msg) {
    auto* client = static_cast<MqttClient*>(self);
    const QString topic = QString::fromUtf8(msg->topic);
    const QByteArray payload(static_cast<const char*>(msg->payload), msg->payloadlen);
    const bool retained = msg->retain;
    QMetaObject::invokeMethod(
        client,
        [client, topic, payload, retained] { emit client->message(topic, payload, retained); },
        Qt::QueuedConnection);
}

bool MqttClient::publish(const QString& topic, const QByteArray& payload, bool retained, int qos) {
    if (mosq_ == nullptr) {
        return false;
    }
    const int rc =
        mosquitto_publish(mosq_, nullptr, topic.toUtf8().constData(),
                          static_cast<int>(payload.size()), payload.constData(), qos, retained);
    if (writeNotifier_) {
        writeNotifier_->setEnabled(mosquitto_want_write(mosq_));
    }
    return rc == MOSQ_ERR_SUCCESS;
}

bool MqttClient::subscribe(const QString& topic) {
    if (mosq_ == nullptr) {
        return false;
    }
    const int rc = mosquitto_subscribe(mosq_, nullptr, topic.toUtf8().constData(), 1);
    if (writeNotifier_) {
        writeNotifier_->setEnabled(mosquitto_want_write(mosq_));
    }
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttClient::flush(int milliseconds) {
    if (mosq_ == nullptr || !connected_) {
        return;
    }
    QDeadlineTimer deadline(milliseconds);
    while (mosquitto_want_write(mosq_) && !deadline.hasExpired()) {
        if (mosquitto_loop(mosq_, 50, 1) != MOSQ_ERR_SUCCESS) {
            return;
        }
    }
}

void MqttClient::stop() {
    stopping_ = true;
    housekeeping_.stop();
    reconnect_.stop();
    if (mosq_ != nullptr && connected_) {
        mosquitto_disconnect(mosq_);
        mosquitto_loop(mosq_, 50, 1);
    }
    readNotifier_.reset();
    writeNotifier_.reset();
    connected_ = false;
}
