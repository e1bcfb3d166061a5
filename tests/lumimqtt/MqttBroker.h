// A mosquitto of the test's own on a free loopback port with its own
// configuration file, and a libmosquitto client that records what it sees.
#pragma once

#include <map>
#include <mutex>
#include <optional>

#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class MqttBroker {
public:
    // extraConfig: more lines of mosquitto.conf (password_file, TLS).
    explicit MqttBroker(const QString& extraConfig = {}) : extra_(extraConfig) {
        // A port the kernel gives free on loopback, released for mosquitto.
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            port_ = ntohs(addr.sin_port);
        }
        ::close(fd);
    }

    // True when something listens on the port.
    bool listening() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port_);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::close(fd);
        return ok;
    }
    ~MqttBroker() { stop(); }
    MqttBroker(const MqttBroker&) = delete;
    MqttBroker& operator=(const MqttBroker&) = delete;

    bool start() {
        const QString conf = dir_.filePath("mosquitto.conf");
        QFile f(conf);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return false;
        }
        f.write(QStringLiteral("listener %1 127.0.0.1\n"
                               "persistence false\n"
                               "log_dest stderr\n"
                               "log_type error\nlog_type warning\nlog_type notice\n")
                    .arg(port_)
                    .toUtf8());
        // Started as root, mosquitto would become the user "mosquitto", who
        // may not read the test's private folder.
        if (::geteuid() == 0) {
            f.write("user root\n");
        }
        f.write(extra_.isEmpty() ? QByteArray("allow_anonymous true\n") : extra_.toUtf8());
        f.close();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral("mosquitto"), {"-c", conf});
        if (!process_.waitForStarted(5000)) {
            return false;
        }
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (listening()) {
                return true;
            }
            QTest::qWait(50);
            if (process_.state() == QProcess::NotRunning) {
                return false;
            }
        }
        return false;
    }
    // Killed at once, as a crash would end it.
    void kill() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    void stop() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(2000);
            }
        }
    }
    quint16 port() const { return port_; }
    QString folder() const { return dir_.path(); }
    QString output() { return QString::fromUtf8(log_ += process_.readAll()); }

private:
    QString extra_;
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    QByteArray log_;
};

// The test's own client: subscribes to everything and keeps every message.
class MqttObserver {
public:
    struct Message {
        QString topic;
        QByteArray payload;
        bool retained = false;
    };

    explicit MqttObserver(quint16 port, const QString& user = {}, const QString& password = {},
                          const QString& cafile = {}) {
        mosquitto_lib_init();
        mosq_ = mosquitto_new(nullptr, true, this);
        mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_message_callback_set(
            mosq_, [](mosquitto*, void* self, const mosquitto_message* m) {
                auto* o = static_cast<MqttObserver*>(self);
                const std::lock_guard lock(o->mutex_);
                o->messages_.push_back(
                    {QString::fromUtf8(m->topic),
                     QByteArray(static_cast<const char*>(m->payload), m->payloadlen), m->retain});
            });
        mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void*, int rc) {
            if (rc == 0) {
                mosquitto_subscribe(m, nullptr, "#", 1);
            }
        });
        if (!user.isEmpty()) {
            mosquitto_username_pw_set(mosq_, user.toUtf8().constData(),
                                      password.toUtf8().constData());
        }
        if (!cafile.isEmpty()) {
            mosquitto_tls_set(mosq_, cafile.toLocal8Bit().constData(), nullptr, nullptr, nullptr,
                              nullptr);
        }
        mosquitto_connect(mosq_, "127.0.0.1", port, 30);
        mosquitto_loop_start(mosq_);
    }
    ~MqttObserver() {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, true);
        mosquitto_destroy(mosq_);
        mosquitto_lib_cleanup();
    }
    MqttObserver(const MqttObserver&) = delete;
    MqttObserver& operator=(const MqttObserver&) = delete;

    void publish(const QString& topic, const QByteArray& payload) {
        mosquitto_publish(mosq_, nullptr, topic.toUtf8().constData(), int(payload.size()),
                          payload.constData(), 1, false);
    }
    // How many messages so far: a mark to wait for later ones.
    qsizetype mark() {
        const std::lock_guard lock(mutex_);
        return qsizetype(messages_.size());
    }
    // The first message on topic from the mark on that payload satisfies,
    // within the time.
    template <typename Pred>
    std::optional<Message> waitUntil(const QString& topic, Pred pred, qsizetype from = 0,
                                     int ms = 15000) {
        const QDeadlineTimer deadline(ms);
        for (;;) {
            {
                const std::lock_guard lock(mutex_);
                for (std::size_t i = std::size_t(from); i < messages_.size(); ++i) {
                    if (messages_[i].topic == topic && pred(messages_[i].payload)) {
                        return messages_[i];
                    }
                }
            }
            if (deadline.hasExpired()) {
                return std::nullopt;
            }
            QTest::qWait(20);
        }
    }
    std::optional<Message> waitFor(const QString& topic, const QByteArray& payload,
                                   qsizetype from = 0, int ms = 15000) {
        return waitUntil(
            topic, [&payload](const QByteArray& p) { return p == payload; }, from, ms);
    }
    std::optional<Message> waitForAny(const QString& topic, qsizetype from = 0, int ms = 15000) {
        return waitUntil(
            topic, [](const QByteArray&) { return true; }, from, ms);
    }

private:
    mosquitto* mosq_ = nullptr;
    std::mutex mutex_;
    std::vector<Message> messages_;
};
