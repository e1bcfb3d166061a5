// The bridge against a real mosquitto of the test's own and panelsim as the
// panel, through the real library; the test's client is libmosquitto.
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QtTest>

#include <csignal>

#include "Cp1252.h"
#include "MqttBroker.h"
#include "PanelLock.h"
#include "PanelSimProcess.h"
#include "ProcessMemory.h"
#include "StateFile.h"
#include "TestTexts.h"
#include "Topics.h"

class TestLumimqttE2e : public QObject {
    Q_OBJECT
    QTemporaryDir home_;  // the bridge's config, state and runtime folders
    std::unique_ptr<MqttBroker> broker_;
    std::unique_ptr<PanelSimProcess> panel_;
    std::unique_ptr<MqttObserver> observer_;
    QProcess bridge_;
    QByteArray bridgeLog_;
    Topics topics_;

    QString bridgeLog() {
        bridgeLog_ += bridge_.readAll();
        return QString::fromUtf8(bridgeLog_);
    }

    void startBridge(const QStringList& extra = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home_.filePath("config"));
        env.insert("XDG_STATE_HOME", home_.filePath("state"));
        env.insert("XDG_RUNTIME_DIR", home_.path());
        bridge_.setProcessEnvironment(env);
        bridge_.setProcessChannelMode(QProcess::MergedChannels);
        bridge_.start(QDir(PanelSimProcess::binDir()).filePath("lumimqtt"),
                      QStringList{"--virtual", panel_->socketPath(), "--port",
                                  QString::number(broker_->port()), "--poll", "1"} +
                          extra);
        QVERIFY(bridge_.waitForStarted(5000));
    }
    int stopBridge() {
        if (bridge_.state() == QProcess::NotRunning) {
            return bridge_.exitCode();
        }
        bridge_.terminate();
        if (!bridge_.waitForFinished(10000)) {
            bridge_.kill();
            bridge_.waitForFinished(2000);
            return -1;
        }
        bridgeLog();
        return bridge_.exitStatus() == QProcess::NormalExit ? bridge_.exitCode() : -2;
    }
    QString stored() const {
        const auto loaded = panelsim::loadState(panel_->statePath().toStdString());
        return loaded.state ? cp1252::decode(QByteArray::fromStdString(loaded.state->text()))
                            : QStringLiteral("?");
    }
    std::optional<panelsim::PanelState> panelState() const {
        return panelsim::loadState(panel_->statePath().toStdString()).state;
    }
    // Waits until the panel holds text.
    bool panelShows(const QString& text, int ms = 10000) {
        const QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            if (stored() == text) {
                return true;
            }
            QTest::qWait(25);
        }
        return stored() == text;
    }
    void waitOnline(qsizetype from = 0) {
        QVERIFY2(observer_->waitFor(topics_.availability, "online", from), qPrintable(bridgeLog()));
        QVERIFY2(observer_->waitFor(topics_.panel, "online", from), qPrintable(bridgeLog()));
    }

private slots:
    void init() {
        broker_ = std::make_unique<MqttBroker>();
        QVERIFY2(broker_->start(), qPrintable(broker_->output()));
        panel_ = std::make_unique<PanelSimProcess>(QStringList{}, true);
        QVERIFY2(panel_->ready(), qPrintable(panel_->errorText()));
        const QString id = panelId(QSysInfo::machineHostName(), panel_->socketPath(), 0);
        topics_ = makeTopics(id, {}, "homeassistant");
        observer_ = std::make_unique<MqttObserver>(broker_->port());
        bridgeLog_.clear();
        startBridge();
        waitOnline();
    }
    void cleanup() {
        stopBridge();
        observer_.reset();
        panel_.reset();
        broker_.reset();
    }

    void discoveryRetainedWithItsFields() {
        // A client that comes later gets it from the broker: it is retained.
        MqttObserver late(broker_->port());
        const auto msg = late.waitForAny(topics_.discovery);
        QVERIFY(msg);
        QVERIFY(msg->retained);
        QVERIFY(topics_.discovery.startsWith("homeassistant/device/"));
        QJsonParseError error{};
        const QJsonObject root = QJsonDocument::fromJson(msg->payload, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(root.contains("dev") && root.contains("o"));
        const QJsonObject cmps = root["cmps"].toObject();
        QCOMPARE(cmps.size(), 7);
        for (const QString& key : cmps.keys()) {
            const QJsonObject c = cmps[key].toObject();
            QVERIFY2(c.contains("p") && c.contains("unique_id") && c.contains("default_entity_id"),
                     qPrintable(key));
        }
        QCOMPARE(cmps["message"].toObject()["command_topic"].toString(), topics_.messageSet);
        // The states too are retained, for a Home Assistant that starts later.
        QVERIFY(late.waitForAny(topics_.message)->retained);
        QVERIFY(late.waitForAny(topics_.alarm)->retained);
    }

    void textReachesThePanelAndComesBack() {
        const qsizetype mark = observer_->mark();
        observer_->publish(topics_.messageSet, "Bonjour");
        QVERIFY2(panelShows("Bonjour"), qPrintable(bridgeLog()));
        QVERIFY(observer_->waitFor(topics_.message, "Bonjour", mark));
        // A long text: the whole of it comes back, from the memory of our send.
        const QString longText = letters(150);
        observer_->publish(topics_.messageSet, longText.toUtf8());
        QVERIFY(observer_->waitFor(topics_.message, longText.toUtf8(), mark));
    }

    void notifyShowsThenRestores() {
        observer_->publish(topics_.messageSet, "Texte de fond");
        QVERIFY(panelShows("Texte de fond"));
        const qsizetype mark = observer_->mark();
        observer_->publish(topics_.notifySet, R"({"message": "Sonnette", "seconds": 2})");
        QVERIFY2(panelShows("Sonnette"), qPrintable(bridgeLog()));
        QVERIFY(observer_->waitFor(topics_.message, "Sonnette", mark));
        QVERIFY2(panelShows("Texte de fond", 8000), qPrintable(bridgeLog()));
    }

    void buttonSyncsAClockSetWrong() {
        stopBridge();
        panel_->stop();
        auto state = panelState();
        QVERIFY(state);
        state->clockOffsetSeconds = 3 * 3600;
        QVERIFY(panelsim::saveState(panel_->statePath().toStdString(), *state));
        QVERIFY(panel_->start());
        qsizetype mark = observer_->mark();
        startBridge();
        QVERIFY(observer_->waitUntil(
            topics_.drift, [](const QByteArray& p) { return p.toLongLong() > 3 * 3600 - 10; },
            mark));
        mark = observer_->mark();
        observer_->publish(topics_.clockSet, "PRESS");
        QVERIFY2(
            observer_->waitUntil(
                topics_.drift, [](const QByteArray& p) { return qAbs(p.toLongLong()) <= 2; }, mark),
            qPrintable(bridgeLog()));
        QVERIFY(qAbs(panelState()->clockOffsetSeconds) <= 2);
    }

    void alarmSwitchAndTime() {
        qsizetype mark = observer_->mark();
        observer_->publish(topics_.alarmTimeSet, "06:45");
        QVERIFY2(observer_->waitFor(topics_.alarmTime, "06:45", mark), qPrintable(bridgeLog()));
        QVERIFY(observer_->waitFor(topics_.alarm, "ON", mark));
        QCOMPARE(panelState()->alarmHour, 6);
        QCOMPARE(panelState()->alarmMinute, 45);
        QVERIFY(panelState()->alarmOn);
        mark = observer_->mark();
        observer_->publish(topics_.alarmSet, "OFF");
        QVERIFY(observer_->waitFor(topics_.alarm, "OFF", mark));
        QVERIFY(!panelState()->alarmOn);
        QCOMPARE(panelState()->alarmHour, 6);  // the time stays
        mark = observer_->mark();
        observer_->publish(topics_.alarmSet, "ON");
        QVERIFY(observer_->waitFor(topics_.alarm, "ON", mark));
        QVERIFY(panelState()->alarmOn);
    }

    void brokerRestartedThenCommandApplied() {
        broker_->kill();
        QVERIFY(broker_->start());
        // A new observer: the old one lost its connection with the broker.
        observer_ = std::make_unique<MqttObserver>(broker_->port());
        QVERIFY2(observer_->waitFor(topics_.availability, "online"), qPrintable(bridgeLog()));
        observer_->publish(topics_.messageSet, "Après coupure");
        QVERIFY2(panelShows("Après coupure"), qPrintable(bridgeLog()));
        QVERIFY(bridgeLog().contains("nouvel essai dans"));
    }

    void commandWhileBridgeDownApplied() {
        // Our client's will, and the clean goodbye, both say offline.
        qsizetype mark = observer_->mark();
        QCOMPARE(stopBridge(), 0);
        QVERIFY(observer_->waitFor(topics_.availability, "offline", mark));
        observer_->publish(topics_.messageSet, "Pendant l'absence");
        QTest::qWait(200);
        QVERIFY(stored() != "Pendant l'absence");
        startBridge();
        QVERIFY2(panelShows("Pendant l'absence"), qPrintable(bridgeLog()));
    }

    void killedBridgeLeavesItsWill() {
        const qsizetype mark = observer_->mark();
        bridge_.kill();
        bridge_.waitForFinished(5000);
        // The broker notices at the dropped connection and sends the will.
        QVERIFY(observer_->waitFor(topics_.availability, "offline", mark, 20000));
    }

    void panelAwayThenBackGetsLatestText() {
        qsizetype mark = observer_->mark();
        panel_->stop();
        QVERIFY2(observer_->waitFor(topics_.panel, "offline", mark), qPrintable(bridgeLog()));
        observer_->publish(topics_.messageSet, "Premier");
        observer_->publish(topics_.messageSet, "Dernier");
        QTRY_VERIFY_WITH_TIMEOUT(bridgeLog().contains("le dernier reçu l'emporte"), 5000);
        mark = observer_->mark();
        QVERIFY(panel_->start());
        QVERIFY(observer_->waitFor(topics_.panel, "online", mark));
        QVERIFY2(panelShows("Dernier"), qPrintable(bridgeLog()));
    }

    // Each bad input: an error published, nothing sent, the bridge goes on.
    void badInputs_data() {
        QTest::addColumn<QString>("topic");  // under the base
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("error");  // a piece of the error
        QTest::newRow("over 64 KiB") << "message/set" << QByteArray(65 * 1024, 'a') << "trop gros";
        QTest::newRow("invalid utf-8") << "message/set" << QByteArray("caf\xE9") << "UTF-8";
        QTest::newRow("alarm time") << "alarm/time/set" << QByteArray("25:00") << "HH:MM";
        QTest::newRow("notify shape") << "notify/set" << QByteArray(R"({"text": "a"})") << "JSON";
        QTest::newRow("notify 0 s")
            << "notify/set" << QByteArray(R"({"message":"a","seconds":0})") << "durée";
        QTest::newRow("notify 2 days")
            << "notify/set" << QByteArray(R"({"message":"a","seconds":172800})") << "durée";
        QTest::newRow("only controls")
            << "message/set" << QByteArray("\x1B\x07") << "rien à envoyer";
    }
    void badInputs() {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(QString, error);
        observer_->publish(topics_.messageSet, "Avant");
        QVERIFY(panelShows("Avant"));
        const auto alarmBefore = panelState()->alarmHour;
        const qsizetype mark = observer_->mark();
        observer_->publish(topics_.base + u'/' + topic, payload);
        const auto published = observer_->waitUntil(
            topics_.error,
            [&](const QByteArray& p) { return QString::fromUtf8(p).contains(error); }, mark);
        QVERIFY2(published, qPrintable(bridgeLog()));
        QVERIFY(!published->retained);
        QCOMPARE(stored(), QStringLiteral("Avant"));
        QCOMPARE(panelState()->alarmHour, alarmBefore);
        // The bridge goes on.
        observer_->publish(topics_.messageSet, "Après");
        QVERIFY2(panelShows("Après"), qPrintable(bridgeLog()));
    }

    // Accepted with a word said: the panel gets the text as it can take it.
    void adjustedInputs_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("error");
        QTest::newRow("too long") << letters(230).toUtf8() << letters(199) << "coupé";
        QTest::newRow("transliterated") << QByteArray("Łódź") << "Lódz"
                                        << "transcrit";
        QTest::newRow("controls") << QByteArray(
                                         "a\tb\x1B"
                                         "c")
                                  << "abc"
                                  << "contrôle";
    }
    void adjustedInputs() {
        QFETCH(QByteArray, payload);
        QFETCH(QString, shown);
        QFETCH(QString, error);
        const qsizetype mark = observer_->mark();
        observer_->publish(topics_.messageSet, payload);
        QVERIFY2(panelShows(shown), qPrintable(bridgeLog()));
        const auto published = observer_->waitUntil(
            topics_.error,
            [&](const QByteArray& p) { return QString::fromUtf8(p).contains(error); }, mark);
        QVERIFY2(published, qPrintable(bridgeLog()));
    }

    // Bursts of 1,000 text commands: the last one on the panel, and the
    // bridge's memory as flat after the second burst as after the first.
    void burstOfCommands() {
        const auto burst = [this](int round) {
            for (int i = 0; i < 1000; ++i) {
                observer_->publish(topics_.messageSet,
                                   QStringLiteral("Salve %1 n°%2").arg(round).arg(i).toUtf8());
            }
            return panelShows(QStringLiteral("Salve %1 n°999").arg(round), 120000);
        };
        QVERIFY2(burst(1), qPrintable(bridgeLog().right(2000)));
        const qint64 afterFirst = residentKiB(bridge_.processId());
        QVERIFY2(burst(2), qPrintable(bridgeLog().right(2000)));
        const qint64 afterSecond = residentKiB(bridge_.processId());
        qInfo("resident memory: %lld KiB after the first burst, %lld KiB after the second",
              afterFirst, afterSecond);
        QVERIFY(afterFirst > 0);
#ifndef __SANITIZE_ADDRESS__
        // AddressSanitizer keeps freed memory in quarantine, so the resident
        // size grows there whatever the bridge does; its leak check stands in.
        QVERIFY(afterSecond - afterFirst < 2048);
#endif
        QCOMPARE(bridge_.state(), QProcess::Running);
    }

    // Another program keeps the panel past the bridge's wait: the command
    // fails with a published error, and the next one goes once it is free.
    void busyPanelFailsTheCommand() {
        qputenv("XDG_RUNTIME_DIR", home_.path().toLocal8Bit());
        PanelLock other(panelLockPath(panelLockFolder(), panel_->socketPath(), 0));
        QCOMPARE(other.acquire(), PanelLock::Result::Held);
        const qsizetype mark = observer_->mark();
        const QString before = stored();
        QElapsedTimer waited;
        waited.start();
        observer_->publish(topics_.messageSet, "Occupé");
        const auto published = observer_->waitUntil(
            topics_.error,
            [](const QByteArray& p) { return QString::fromUtf8(p).contains("occupé"); }, mark,
            20000);
        QVERIFY2(published, qPrintable(bridgeLog()));
        // Retried for a few seconds first.
        QVERIFY(waited.elapsed() >= 4000);
        QCOMPARE(stored(), before);
        other.release();
        observer_->publish(topics_.messageSet, "Libre");
        QVERIFY2(panelShows("Libre"), qPrintable(bridgeLog()));
    }

    void sigtermEndsCleanlyPuttingBackANotify() {
        observer_->publish(topics_.messageSet, "Fond");
        QVERIFY(panelShows("Fond"));
        observer_->publish(topics_.notifySet, R"({"message": "Visite", "seconds": 600})");
        QVERIFY(panelShows("Visite"));
        QCOMPARE(stopBridge(), 0);
        QCOMPARE(stored(), QStringLiteral("Fond"));
        QVERIFY(bridgeLog().contains("SIGTERM"));
    }
};

QTEST_GUILESS_MAIN(TestLumimqttE2e)
#include "tst_lumimqtt_e2e.moc"
