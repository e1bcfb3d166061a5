// lumimqtt: one panel on an MQTT broker, discovered by Home Assistant.
#include <csignal>
#include <cstdio>

#include <sys/signalfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QSysInfo>

#include "Bridge.h"
#include "Discovery.h"
#include "MqttClient.h"
#include "Settings.h"
#include "SystemClock.h"
#include "SystemErrors.h"
#include "Topics.h"
#include "USB2Lib.h"
#include "mpusbapi.h"

namespace {

enum ExitCode : int {
    kExitDone = 0,
    kExitFailed = 1,  // the broker refused us, or the run could not start
    kExitUsage = 2,
    kExitNoLibrary = 4,
};

// One line per event: under systemd the journal keeps stderr.
void logLine(const QString& line) {
    const QByteArray bytes = QByteArrayLiteral("lumimqtt: ") + line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

QString libraryProblem(const LibraryLoad& load) {
    switch (load.result) {
        case LibraryLoad::Result::NotFound:
            return QStringLiteral("bibliothèque USB du panneau introuvable (%1)")
                .arg(load.fileName);
        case LibraryLoad::Result::WillNotLoad:
            return QStringLiteral("bibliothèque USB du panneau inutilisable (%1) : %2")
                .arg(load.fileName, load.loaderError);
        case LibraryLoad::Result::EntryPointMissing:
            return QStringLiteral("bibliothèque USB du panneau incomplète (%1)").arg(load.fileName);
        case LibraryLoad::Result::Loaded:
            break;
    }
    return {};
}

// SIGTERM, SIGINT and SIGHUP read from a descriptor, in the event loop, so
// the end runs as any other event: never inside a panel exchange.
class EndingSignals {
public:
    EndingSignals() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGHUP);
        sigprocmask(SIG_BLOCK, &set, nullptr);
        fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    ~EndingSignals() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    EndingSignals(const EndingSignals&) = delete;
    EndingSignals& operator=(const EndingSignals&) = delete;
    int fd() const { return fd_; }
    // The signal's name, once read.
    QString take() const {
        signalfd_siginfo info{};
        if (::read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
            return {};
        }
        return QString::fromUtf8(sigabbrev_np(static_cast<int>(info.ssi_signo)));
    }

private:
    int fd_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromUtf8(argv[i]);
    }
    const SettingsLoad loaded = loadSettings(
        args, defaultSettingsPath(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath()));
    if (const auto* problem = std::get_if<SettingsError>(&loaded)) {
        logLine(problem->message);
        std::fputs("Essayez « lumimqtt --help ».\n", stderr);
        return kExitUsage;
    }
    const Settings& settings = std::get<Settings>(loaded);
    if (settings.help) {
        std::fputs(helpText().toUtf8().constData(), stdout);
        return kExitDone;
    }
    if (settings.version) {
        std::printf("lumimqtt %s (libmosquitto %s)\n", LUMIMQTT_VERSION,
                    MosquittoLibrary::version().toUtf8().constData());
        return kExitDone;
    }
    if (!settings.virtualSocket.isEmpty()) {
        // Read by the library on every call.
        qputenv(MPUSBAPI_VIRTUAL_VARIABLE, settings.virtualSocket.toLocal8Bit());
    }

    EndingSignals endingSignals;  // before any thread exists, so all inherit the mask
    QCoreApplication app(argc, argv);
    const QString socket = qEnvironmentVariable(MPUSBAPI_VIRTUAL_VARIABLE);
    const QString id = panelId(QSysInfo::machineHostName(), socket, settings.instance);
    const Topics topics = makeTopics(id, settings.topicBase, settings.discoveryPrefix);
    const QString clientId =
        settings.clientId.isEmpty() ? QStringLiteral("lumimqtt-") + id : settings.clientId;

    const MosquittoLibrary mosquittoLibrary;
    MqttClient client(settings, clientId, {topics.availability, "offline"});
    int exitCode = kExitDone;
    QObject::connect(&client, &MqttClient::note, &logLine);
    // Queued: a refusal may come from the first connect, before the loop runs.
    QObject::connect(
        &client, &MqttClient::refused, &app,
        [&](const QString& why) {
            logLine(why);
            exitCode = kExitFailed;
            app.quit();
        },
        Qt::QueuedConnection);

    if (settings.remove) {
        // The empty retained payloads take the device and our states off the broker.
        QObject::connect(&client, &MqttClient::online, &app, [&] {
            for (const QString& topic : {topics.discovery, topics.panel, topics.message,
                                         topics.drift, topics.alarm, topics.alarmTime}) {
                client.publish(topic, {}, true);
            }
            client.publish(topics.availability, "offline", true);
            client.flush(2000);
            logLine(QStringLiteral("panneau %1 retiré de Home Assistant (%2)")
                        .arg(id, topics.discovery));
            app.quit();
        });
    }

    SystemClock clock;
    UsbLibrary usb;  // loaded once, kept until the process ends
    PanelSession session(clock);
    std::unique_ptr<Bridge> bridge;
    if (!settings.remove) {
        const LibraryLoad load =
            usb.load(usbLibraryFileName(), {}, QCoreApplication::applicationDirPath());
        if (!load.ok()) {
            logLine(libraryProblem(load));
            return kExitNoLibrary;
        }
        session.bind(load.api, settings.instance);
        // Our turn on the panel with lumiboard and lumictl; a busy panel is
        // waited for a few seconds before the command fails.
        session.setLockFile(panelLockPath(panelLockFolder(), socket, settings.instance),
                            std::chrono::milliseconds(5000));
        session.setMemoryFile(panelMemoryPath(panelMemoryFolder(), socket, settings.instance));
        const QByteArray discovery = discoveryPayload(topics, id, QStringLiteral(LUMIMQTT_VERSION));
        bridge = std::make_unique<Bridge>(
            session, topics, discovery, settings.pollSeconds,
            [&client](const QString& topic, const QByteArray& payload, bool retained, int qos) {
                client.publish(topic, payload, retained, qos);
            },
            &logLine);
        QObject::connect(&client, &MqttClient::online, &app, [&] {
            logLine(QStringLiteral("connecté à %1:%2, sujets sous %3")
                        .arg(settings.host)
                        .arg(settings.port)
                        .arg(topics.base));
            for (const QString& topic : bridge->subscriptions()) {
                client.subscribe(topic);
            }
            bridge->connected();
        });
        QObject::connect(&client, &MqttClient::message, &app,
                         [&](const QString& topic, const QByteArray& payload, bool) {
                             bridge->received(topic, payload);
                         });
    }

    QSocketNotifier ending(endingSignals.fd(), QSocketNotifier::Read);
    QObject::connect(&ending, &QSocketNotifier::activated, &app, [&] {
        logLine(QStringLiteral("SIG%1 reçu : arrêt").arg(endingSignals.take()));
        app.quit();
    });

    logLine(QStringLiteral("panneau %1, courtier %2:%3, client %4")
                .arg(id, settings.host)
                .arg(settings.port)
                .arg(clientId));
    if (!client.start()) {
        logLine(client.why());
        return kExitFailed;
    }
    app.exec();

    if (bridge) {
        bridge->finish();
        // A clean goodbye sends no will: say it ourselves.
        client.publish(topics.availability, "offline", true);
        client.flush(2000);
    }
    client.stop();
    return exitCode;
}
