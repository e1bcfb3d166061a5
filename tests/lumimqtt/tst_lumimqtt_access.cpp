// The bridge against brokers that ask for more: a password, TLS with
// certificates the test makes with openssl; and --remove.
#include <QtTest>

#include "MqttBroker.h"
#include "PanelSimProcess.h"
#include "Topics.h"

#include <QSysInfo>

namespace {

bool run(const QString& program, const QStringList& args, const QString& folder) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A certificate authority and a server certificate for 127.0.0.1 signed by it.
bool makeCertificates(const QString& dir, const QString& prefix) {
    const QString ca = prefix + "ca";
    return run("openssl",
               {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca + ".key", "-out",
                ca + ".crt", "-days", "2", "-subj", "/CN=lumimqtt test " + prefix},
               dir) &&
           run("openssl",
               {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", prefix + "server.key", "-out",
                prefix + "server.csr", "-subj", "/CN=127.0.0.1"},
               dir) &&
           [&] {
               QFile ext(QDir(dir).filePath("ext.cnf"));
               return ext.open(QIODevice::WriteOnly) &&
                      ext.write("subjectAltName=IP:127.0.0.1\n") > 0;
           }() &&
           run("openssl",
               {"x509", "-req", "-in", prefix + "server.csr", "-CA", ca + ".crt", "-CAkey",
                ca + ".key", "-CAcreateserial", "-out", prefix + "server.crt", "-days", "2",
                "-extfile", "ext.cnf"},
               dir);
}

}  // namespace

class TestLumimqttAccess : public QObject {
    Q_OBJECT
    QTemporaryDir home_;
    QTemporaryDir certs_;

    struct Bridge {
        QProcess process;
        QString log() { return QString::fromUtf8(log_ += process.readAll()); }
        QByteArray log_;
    };
    void start(Bridge& b, const PanelSimProcess& panel, quint16 port, const QStringList& extra) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home_.filePath("config"));
        env.insert("XDG_STATE_HOME", home_.filePath("state"));
        env.insert("XDG_RUNTIME_DIR", home_.path());
        b.process.setProcessEnvironment(env);
        b.process.setProcessChannelMode(QProcess::MergedChannels);
        b.process.start(QDir(PanelSimProcess::binDir()).filePath("lumimqtt"),
                        QStringList{"--virtual", panel.socketPath(), "--port",
                                    QString::number(port), "--poll", "1"} +
                            extra);
    }
    static void stop(Bridge& b) {
        b.process.terminate();
        if (!b.process.waitForFinished(10000)) {
            b.process.kill();
            b.process.waitForFinished();
        }
    }
    static Topics topicsOf(const PanelSimProcess& panel) {
        return makeTopics(panelId(QSysInfo::machineHostName(), panel.socketPath(), 0), {},
                          "homeassistant");
    }
    QString writePrivate(const QString& name, const QByteArray& bytes) {
        const QString path = home_.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        f.write(bytes);
        return path;
    }

private slots:
    void initTestCase() {
        QVERIFY(makeCertificates(certs_.path(), "good-"));
        QVERIFY(makeCertificates(certs_.path(), "other-"));
    }

    // With the right password the bridge works; with a wrong one it says so
    // in one line and ends, unless told to keep trying.
    void passwordBroker_data() {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("keepTrying");
        QTest::addColumn<int>("exitCode");  // -1: still running
        QTest::newRow("right") << QByteArray("juste") << false << -1;
        QTest::newRow("wrong") << QByteArray("faux") << false << 1;
        QTest::newRow("wrong, keep trying") << QByteArray("faux") << true << -1;
    }
    void passwordBroker() {
        QFETCH(QByteArray, password);
        QFETCH(bool, keepTrying);
        QFETCH(int, exitCode);
        QTemporaryDir brokerDir;
        const QString passwd = brokerDir.filePath("passwd");
        QVERIFY(run("mosquitto_passwd", {"-c", "-b", passwd, "maison", "juste"}, brokerDir.path()));
        MqttBroker broker("allow_anonymous false\npassword_file " + passwd + "\n");
        QVERIFY2(broker.start(), qPrintable(broker.output()));
        PanelSimProcess panel;
        QVERIFY(panel.ready());
        const Topics topics = topicsOf(panel);
        MqttObserver observer(broker.port(), "maison", "juste");
        const QString settings =
            writePrivate("p.conf", "username = maison\npassword = " + password + "\n");
        Bridge bridge;
        start(bridge, panel, broker.port(),
              QStringList{"--settings", settings} +
                  (keepTrying ? QStringList{"--keep-trying"} : QStringList{}));
        if (exitCode < 0) {
            if (!keepTrying) {
                QVERIFY2(observer.waitFor(topics.availability, "online"), qPrintable(bridge.log()));
                observer.publish(topics.messageSet, "Avec mot de passe");
                QVERIFY(observer.waitFor(topics.message, "Avec mot de passe"));
            } else {
                QTest::qWait(3000);
                QCOMPARE(bridge.process.state(), QProcess::Running);
                QVERIFY2(bridge.log().contains("connexion refusée"), qPrintable(bridge.log()));
            }
            stop(bridge);
        } else {
            QVERIFY(bridge.process.waitForFinished(10000));
            QCOMPARE(bridge.process.exitCode(), exitCode);
            QVERIFY2(bridge.log().contains("connexion refusée par le courtier"),
                     qPrintable(bridge.log()));
        }
        // The password never shows in the log.
        QVERIFY(!bridge.log().contains(QString::fromUtf8(password)));
    }

    void tlsBroker_data() {
        QTest::addColumn<QString>("ca");
        QTest::addColumn<bool>("works");
        QTest::newRow("signed by the CA given") << "good-ca.crt" << true;
        QTest::newRow("another CA") << "other-ca.crt" << false;
    }
    void tlsBroker() {
        QFETCH(QString, ca);
        QFETCH(bool, works);
        const QDir c(certs_.path());
        MqttBroker broker(
            QStringLiteral("allow_anonymous true\ncafile %1\ncertfile %2\nkeyfile %3\n")
                .arg(c.filePath("good-ca.crt"), c.filePath("good-server.crt"),
                     c.filePath("good-server.key")));
        QVERIFY2(broker.start(), qPrintable(broker.output()));
        PanelSimProcess panel;
        QVERIFY(panel.ready());
        const Topics topics = topicsOf(panel);
        MqttObserver observer(broker.port(), {}, {}, c.filePath("good-ca.crt"));
        Bridge bridge;
        start(bridge, panel, broker.port(), {"--host", "127.0.0.1", "--cafile", c.filePath(ca)});
        if (works) {
            QVERIFY2(observer.waitFor(topics.availability, "online"), qPrintable(bridge.log()));
            observer.publish(topics.messageSet, "Par TLS");
            QVERIFY(observer.waitFor(topics.message, "Par TLS"));
            stop(bridge);
        } else {
            QVERIFY(bridge.process.waitForFinished(15000));
            QCOMPARE(bridge.process.exitCode(), 1);
            QVERIFY2(bridge.log().contains("TLS"), qPrintable(bridge.log()));
        }
    }

    void removeTakesTheDeviceOff() {
        MqttBroker broker;
        QVERIFY(broker.start());
        PanelSimProcess panel;
        QVERIFY(panel.ready());
        const Topics topics = topicsOf(panel);
        {
            Bridge bridge;
            MqttObserver observer(broker.port());
            start(bridge, panel, broker.port(), {});
            QVERIFY(observer.waitForAny(topics.discovery));
            const qsizetype mark = observer.mark();
            stop(bridge);
            // Its last word: the broker has taken every state published before it.
            QVERIFY(observer.waitFor(topics.availability, "offline", mark));
        }
        Bridge remover;
        start(remover, panel, broker.port(), {"--remove"});
        QVERIFY(remover.process.waitForFinished(10000));
        QCOMPARE(remover.process.exitCode(), 0);
        // A client that comes now finds no device to discover.
        MqttObserver late(broker.port());
        QVERIFY(late.waitForAny(topics.availability, 0, 3000));
        QVERIFY(!late.waitForAny(topics.discovery, 0, 500));
        QVERIFY(!late.waitForAny(topics.message, 0, 100));
    }

    void homeAssistantRestartGetsDiscoveryAgain() {
        MqttBroker broker;
        QVERIFY(broker.start());
        PanelSimProcess panel;
        QVERIFY(panel.ready());
        const Topics topics = topicsOf(panel);
        MqttObserver observer(broker.port());
        Bridge bridge;
        start(bridge, panel, broker.port(), {});
        QVERIFY(observer.waitForAny(topics.discovery));
        const qsizetype mark = observer.mark();
        observer.publish(topics.homeAssistant, "online");
        QVERIFY2(observer.waitForAny(topics.discovery, mark), qPrintable(bridge.log()));
        stop(bridge);
    }
};

QTEST_GUILESS_MAIN(TestLumimqttAccess)
#include "tst_lumimqtt_access.moc"
