// A text command through the bridge against the bare verified send, in one
// run on one panelsim: from mosquitto_publish (QoS 1, loopback broker of our
// own) until panelsim's state file holds the text, beside from the call of
// PanelSession::sendVerified in this process until the file holds it. Both
// stop there, before the read-back that verifies the send.
//   build/bench/mqtt_latency [commands [--default-broker]]
// (LUMI_BIN_DIR defaults to build/bin)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QProcess>
#include <QSysInfo>

#include "Cp1252.h"
#include "MqttBroker.h"
#include "PanelSession.h"
#include "PanelSimProcess.h"
#include "Payloads.h"
#include "StateFile.h"
#include "SystemClock.h"
#include "Topics.h"
#include "USB2Lib.h"

namespace {

using Steady = std::chrono::steady_clock;

QString heldText(const PanelSimProcess& panel) {
    const auto loaded = panelsim::loadState(panel.statePath().toStdString());
    return loaded.state ? cp1252::decode(QByteArray::fromStdString(loaded.state->text()))
                        : QString();
}

// Milliseconds from start until the panel holds text; negative after 10 s.
double untilHeld(const PanelSimProcess& panel, const QString& text, Steady::time_point start) {
    while (heldText(panel) != text) {
        if (Steady::now() - start > std::chrono::seconds(10)) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

bool report(const char* name, std::vector<double> ms) {
    if (ms.empty() || std::any_of(ms.begin(), ms.end(), [](double t) { return t < 0; })) {
        std::fprintf(stderr, "%s: a command was not applied\n", name);
        return false;
    }
    std::sort(ms.begin(), ms.end());
    const std::size_t p99 = std::min(ms.size() - 1, (ms.size() * 99 + 99) / 100 - 1);
    std::printf("%-34s median %7.2f ms   p99 %7.2f   min %7.2f   max %7.2f   (%zu)\n", name,
                ms[ms.size() / 2], ms[p99], ms.front(), ms.back(), ms.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int commands = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    QProcess version;
    version.start("mosquitto", {"-h"});
    version.waitForFinished(5000);
    std::printf("broker: %s\n", version.readAllStandardOutput().split('\n').first().constData());

    // As a broker tuned for small messages runs; the default one is measured too
    // with --default-broker.
    const bool tuned = !(argc > 2 && std::string(argv[2]) == "--default-broker");
    MqttBroker broker(tuned ? QStringLiteral("allow_anonymous true\nset_tcp_nodelay true\n")
                            : QString());
    PanelSimProcess panel({}, true);
    std::printf("broker configuration: %s\n", tuned ? "set_tcp_nodelay true" : "defaults");
    if (!broker.start() || !panel.ready()) {
        std::fprintf(stderr, "broker or panelsim did not start: %s %s\n",
                     qPrintable(broker.output()), qPrintable(panel.errorText()));
        return 1;
    }
    panel.select();
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_STATE_HOME", home.filePath("state"));
    env.insert("XDG_RUNTIME_DIR", home.path());
    QProcess bridge;
    bridge.setProcessEnvironment(env);
    bridge.setStandardOutputFile(QProcess::nullDevice());
    bridge.setStandardErrorFile(QProcess::nullDevice());
    // Its own polls stay out of the way.
    bridge.start(QDir(PanelSimProcess::binDir()).filePath("lumimqtt"),
                 {"--virtual", panel.socketPath(), "--port", QString::number(broker.port()),
                  "--poll", "86400"});
    const Topics topics = makeTopics(panelId(QSysInfo::machineHostName(), panel.socketPath(), 0),
                                     {}, "homeassistant");
    MqttObserver client(broker.port());
    if (!client.waitFor(topics.panel, "online")) {
        std::fprintf(stderr, "the bridge did not come online\n");
        return 1;
    }

    SystemClock clock;
    UsbLibrary usb;
    const LibraryLoad load =
        usb.load(usbLibraryFileName(), {PanelSimProcess::binDir()}, PanelSimProcess::binDir());
    if (!load.ok()) {
        std::fprintf(stderr, "USB library: %s\n", qPrintable(load.fileName));
        return 1;
    }
    PanelSession session(clock);
    session.bind(load.api);
    // The bridge's own lock: the two take turns as they would in use.
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    session.setLockFile(panelLockPath(panelLockFolder(), panel.socketPath(), 0));

    // Interleaved, so both see the same machine load.
    std::vector<double> viaBridge, bare;
    for (int i = 0; i < commands; ++i) {
        const QString a = QStringLiteral("Par MQTT n°%1").arg(i);
        const qsizetype mark = client.mark();
        const auto start = Steady::now();
        client.publish(topics.messageSet, a.toUtf8());
        viaBridge.push_back(untilHeld(panel, a, start));
        // The bridge's read-back and states done, so the bare send does not
        // wait for its turn on the panel.
        if (!client.waitFor(topics.message, a.toUtf8(), mark)) {
            std::fprintf(stderr, "the bridge published no state for command %d\n", i);
            return 1;
        }

        const QString b = QStringLiteral("Direct n°%1").arg(i);
        // The send on a thread of its own, so its end is seen as the bridge's
        // is: when panelsim holds the text, before the read-back.
        const auto startBare = Steady::now();
        bool verified = false;
        std::thread sender([&] { verified = session.sendVerified(b).verified(); });
        const double held = untilHeld(panel, b, startBare);
        sender.join();
        bare.push_back(verified ? held : -1);
    }
    // The bridge's own work before the send: controls out, transliteration.
    std::vector<double> prepare;
    for (int i = 0; i < commands; ++i) {
        const auto start = Steady::now();
        const PreparedText prepared = prepareText(QStringLiteral("Par MQTT n°%1").arg(i));
        prepare.push_back(
            prepared.text.isEmpty()
                ? -1
                : std::chrono::duration<double, std::milli>(Steady::now() - start).count());
    }
    report("prepareText", prepare);
    const bool ok = report("publish -> panelsim holds it", viaBridge) &
                    report("sendVerified -> panelsim holds it", bare);
    if (ok) {
        std::sort(viaBridge.begin(), viaBridge.end());
        std::sort(bare.begin(), bare.end());
        std::printf("median difference: %.2f ms (target: within 2 ms)\n",
                    viaBridge[viaBridge.size() / 2] - bare[bare.size() / 2]);
    }
    bridge.terminate();
    bridge.waitForFinished(5000);
    return ok ? 0 : 1;
}
