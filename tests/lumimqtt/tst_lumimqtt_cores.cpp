// The bridge's pure cores: settings, topics, the discovery payload and the
// decoding of command payloads.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include "Discovery.h"
#include "Payloads.h"
#include "Settings.h"
#include "Topics.h"

Q_DECLARE_METATYPE(CommandKind)
Q_DECLARE_METATYPE(PayloadRefusal::Why)

namespace {

// Writes a file with the given mode; its path.
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes,
                  mode_t mode) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return {};
    }
    f.write(bytes);
    f.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
    return path;
}

}  // namespace

class TestLumimqttCores : public QObject {
    Q_OBJECT

private slots:
    void settingsDefaultsWithoutFile() {
        const auto loaded = loadSettings({}, QStringLiteral("/nonexistent/lumimqtt.conf"));
        QVERIFY(std::holds_alternative<Settings>(loaded));
        const Settings& s = std::get<Settings>(loaded);
        QCOMPARE(s.host, QStringLiteral("127.0.0.1"));
        QCOMPARE(s.port, 1883);
        QCOMPARE(s.pollSeconds, 60);
        QCOMPARE(s.discoveryPrefix, QStringLiteral("homeassistant"));
        QVERIFY(s.topicBase.isEmpty());
        QVERIFY(!s.password);
    }

    void settingsFileThenFlags() {
        QTemporaryDir dir;
        const QString file = writeFile(dir, "a.conf",
                                       "# comment\n; other\n\nhost = broker.lan\nport=8883\n"
                                       "poll = 5\ntopic-base = maison/panneau\n",
                                       0644);
        const auto loaded =
            loadSettings({"--settings", file, "--port=1884", "--instance", "2"}, {});
        QVERIFY(std::holds_alternative<Settings>(loaded));
        const Settings& s = std::get<Settings>(loaded);
        QCOMPARE(s.host, QStringLiteral("broker.lan"));
        QCOMPARE(s.port, 1884);  // the flag wins
        QCOMPARE(s.pollSeconds, 5);
        QCOMPARE(s.instance, 2u);
        QCOMPARE(s.topicBase, QStringLiteral("maison/panneau"));
    }

    // Each bad file names its line, each bad flag its option.
    void settingsRefused_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");  // a piece of the one line
        QTest::newRow("unknown key") << QByteArray("host = a\n\ncolour = red\n") << QStringList{}
                                     << "a.conf:3 : clé inconnue « colour »";
        QTest::newRow("no equals") << QByteArray("port 1883\n") << QStringList{} << "a.conf:1 :";
        QTest::newRow("port zero")
            << QByteArray("port = 0\n") << QStringList{} << "a.conf:1 : port";
        QTest::newRow("port big") << QByteArray() << QStringList{"--port", "65536"} << "--port :";
        QTest::newRow("poll words") << QByteArray() << QStringList{"--poll", "soon"} << "--poll :";
        QTest::newRow("poll zero") << QByteArray("poll = 0\n") << QStringList{} << "a.conf:1 :";
        QTest::newRow("wildcard base")
            << QByteArray("topic-base = a/+/b\n") << QStringList{} << "a.conf:1 :";
        QTest::newRow("trailing slash")
            << QByteArray() << QStringList{"--topic-base", "a/"} << "--topic-base :";
        QTest::newRow("password flag")
            << QByteArray() << QStringList{"--password", "x"} << "ligne de commande";
        QTest::newRow("password flag =")
            << QByteArray() << QStringList{"--password=x"} << "ligne de commande";
        QTest::newRow("unknown flag")
            << QByteArray() << QStringList{"--colour", "red"} << "option inconnue « --colour »";
        QTest::newRow("missing value")
            << QByteArray() << QStringList{"--host"} << "attend une valeur";
        QTest::newRow("cert without key")
            << QByteArray() << QStringList{"--cafile", "ca", "--cert", "c"} << "--key";
        QTest::newRow("password no user")
            << QByteArray("password = s\n") << QStringList{} << "nom d'utilisateur";
    }
    void settingsRefused() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = writeFile(dir, "a.conf", file, 0600);
        const auto loaded = loadSettings(QStringList{"--settings", path} + args, {});
        QVERIFY(std::holds_alternative<SettingsError>(loaded));
        const QString message = std::get<SettingsError>(loaded).message;
        QVERIFY2(message.contains(expected), qPrintable(message));
        QVERIFY(!message.contains(u'\n'));
    }

    // A password others may read is refused, in the settings or its own file.
    void settingsPasswordFiles_data() {
        QTest::addColumn<bool>("inSettings");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("settings 600") << true << 0600 << true;
        QTest::newRow("settings 640") << true << 0640 << false;
        QTest::newRow("settings 604") << true << 0604 << false;
        QTest::newRow("password file 400") << false << 0400 << true;
        QTest::newRow("password file 644") << false << 0644 << false;
    }
    void settingsPasswordFiles() {
        QFETCH(bool, inSettings);
        QFETCH(int, mode);
        QFETCH(bool, accepted);
        QTemporaryDir dir;
        QString settings;
        QStringList args;
        if (inSettings) {
            settings = writeFile(dir, "a.conf", "username = u\npassword = s3cret\n", mode_t(mode));
        } else {
            settings = writeFile(dir, "a.conf", "username = u\n", 0644);
            args = {"--password-file", writeFile(dir, "pw", "s3cret\n", mode_t(mode))};
        }
        const auto loaded = loadSettings(QStringList{"--settings", settings} + args, {});
        QCOMPARE(std::holds_alternative<Settings>(loaded), accepted);
        if (accepted) {
            QCOMPARE(std::get<Settings>(loaded).password, std::optional<QString>("s3cret"));
        } else {
            QVERIFY(std::get<SettingsError>(loaded).message.contains("chmod 600"));
        }
    }

    void settingsFileAskedMustExist() {
        const auto loaded = loadSettings({"--settings", "/nonexistent/x.conf"}, {});
        QVERIFY(std::holds_alternative<SettingsError>(loaded));
        QVERIFY(std::get<SettingsError>(loaded).message.startsWith("/nonexistent/x.conf : "));
    }

    void defaultPath() {
        QCOMPARE(defaultSettingsPath("/x/conf", "/home/u"),
                 QStringLiteral("/x/conf/lumiboard/lumimqtt.conf"));
        // A relative XDG_CONFIG_HOME is ignored: the XDG base folders must be absolute.
        QCOMPARE(defaultSettingsPath("rel", "/home/u"),
                 QStringLiteral("/home/u/.config/lumiboard/lumimqtt.conf"));
    }

    void panelIds_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<quint32>("instance");
        QTest::addColumn<QString>("id");
        QTest::newRow("plain") << "salon" << 0u << "salon-usb-0";
        QTest::newRow("dotted, upper") << "Bureau.Local" << 1u << "bureau-local-usb-1";
        QTest::newRow("odd characters") << "pc_#/+x." << 0u << "pc-x-usb-0";
        QTest::newRow("empty") << "" << 3u << "pc-usb-3";
    }
    void panelIds() {
        QFETCH(QString, host);
        QFETCH(quint32, instance);
        QFETCH(QString, id);
        QCOMPARE(panelId(host, {}, instance), id);
    }

    void virtualPanelIdStableAndDistinct() {
        QTemporaryDir dir;
        const QString a = dir.filePath("a.sock");
        const QString id = panelId("pc", a, 0);
        QVERIFY(id.startsWith("pc-virtual-"));
        QVERIFY(QRegularExpression("^[a-z0-9-]+$").match(id).hasMatch());
        // However the socket is named, the same panel.
        QCOMPARE(panelId("pc", dir.path() + "/./a.sock", 0), id);
        QVERIFY(panelId("pc", dir.filePath("b.sock"), 0) != id);
    }

    void topicsAndMatching_data() {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<bool>("command");
        QTest::addColumn<CommandKind>("kind");
        QTest::addColumn<bool>("status");
        QTest::newRow("message") << "lumiboard/pc-usb-0/message/set" << true << CommandKind::Message
                                 << false;
        QTest::newRow("notify") << "lumiboard/pc-usb-0/notify/set" << true << CommandKind::Notify
                                << false;
        QTest::newRow("clock") << "lumiboard/pc-usb-0/clock/set" << true << CommandKind::Clock
                               << false;
        QTest::newRow("alarm") << "lumiboard/pc-usb-0/alarm/set" << true << CommandKind::Alarm
                               << false;
        QTest::newRow("alarm time")
            << "lumiboard/pc-usb-0/alarm/time/set" << true << CommandKind::AlarmTime << false;
        QTest::newRow("a state") << "lumiboard/pc-usb-0/message" << false << CommandKind::Message
                                 << false;
        QTest::newRow("ha status")
            << "homeassistant/status" << false << CommandKind::Message << true;
        QTest::newRow("other panel")
            << "lumiboard/pc-usb-1/message/set" << false << CommandKind::Message << false;
    }
    void topicsAndMatching() {
        QFETCH(QString, topic);
        QFETCH(bool, command);
        QFETCH(CommandKind, kind);
        QFETCH(bool, status);
        const Topics t = makeTopics("pc-usb-0", {}, "homeassistant");
        QCOMPARE(t.base, QStringLiteral("lumiboard/pc-usb-0"));
        QCOMPARE(t.discovery, QStringLiteral("homeassistant/device/pc-usb-0/config"));
        const TopicMatch m = matchTopic(t, topic);
        QCOMPARE(m.command, command);
        if (command) {
            QCOMPARE(m.kind, kind);
        }
        QCOMPARE(m.homeAssistantStatus, status);
    }

    void topicBaseGiven() {
        const Topics t = makeTopics("pc-usb-0", "maison/journal", "ha");
        QCOMPARE(t.messageSet, QStringLiteral("maison/journal/message/set"));
        QCOMPARE(t.homeAssistant, QStringLiteral("ha/status"));
        QCOMPARE(t.discovery, QStringLiteral("ha/device/pc-usb-0/config"));
    }

    // Every component Home Assistant needs, each with its platform and ids,
    // and the topics the bridge serves.
    void discoveryPayloadFields() {
        const Topics t = makeTopics("pc-usb-0", {}, "homeassistant");
        QJsonParseError error{};
        const QJsonDocument doc =
            QJsonDocument::fromJson(discoveryPayload(t, "pc-usb-0", "1.0"), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonObject root = doc.object();
        QVERIFY(root["dev"].toObject()["identifiers"].toArray().contains("lumiboard_pc_usb_0"));
        QVERIFY(!root["dev"].toObject()["name"].toString().isEmpty());
        QCOMPARE(root["o"].toObject()["name"].toString(), QStringLiteral("lumimqtt"));
        const QJsonObject cmps = root["cmps"].toObject();
        const struct {
            const char* key;
            const char* platform;
            const char* name;
        } expected[] = {{"message", "text", "Message"},
                        {"notify", "notify", "Annonce"},
                        {"clock", "button", "Mettre à l'heure"},
                        {"drift", "sensor", "Décalage de l'horloge"},
                        {"alarm", "switch", "Réveil"},
                        {"alarm_time", "text", "Heure du réveil"},
                        {"panel", "binary_sensor", "Panneau branché"}};
        QCOMPARE(cmps.size(), qsizetype(std::size(expected)));
        QSet<QString> ids;
        for (const auto& e : expected) {
            const QJsonObject c = cmps[e.key].toObject();
            QCOMPARE(c["p"].toString(), QLatin1String(e.platform));
            QCOMPARE(c["name"].toString(), QString::fromUtf8(e.name));
            ids.insert(c["unique_id"].toString());
            QCOMPARE(c["default_entity_id"].toString(),
                     QLatin1String(e.platform) + QStringLiteral(".lumiboard_pc_usb_0_") + e.key);
            QVERIFY(!c.contains("object_id"));
            QVERIFY(c.contains("command_topic") || c.contains("state_topic"));
            const QJsonArray avty = c["availability"].toArray();
            QCOMPARE(avty.first().toObject()["topic"].toString(), t.availability);
            // The panel's entities go unavailable with the panel; its own
            // sensor says it is away.
            QCOMPARE(avty.size(), QString(e.key) == "panel" ? 1 : 2);
        }
        QCOMPARE(ids.size(), qsizetype(std::size(expected)));
        QCOMPARE(cmps["message"].toObject()["max"].toInt(), 199);
        QCOMPARE(cmps["message"].toObject()["command_topic"].toString(), t.messageSet);
        QCOMPARE(cmps["panel"].toObject()["device_class"].toString(),
                 QStringLiteral("connectivity"));
        // The pattern Home Assistant checks is the one the bridge decodes with.
        const QRegularExpression pattern(cmps["alarm_time"].toObject()["pattern"].toString());
        QVERIFY(pattern.match("07:30").hasMatch());
        QVERIFY(!pattern.match("7:3").hasMatch());
    }

    void decodeAccepted_data() {
        QTest::addColumn<CommandKind>("kind");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("text");  // text or notify
        QTest::addColumn<int>("number");  // notify seconds, alarm on (1/0), minutes since midnight
        QTest::newRow("text") << CommandKind::Message << QByteArray("Bonjour") << "Bonjour" << 0;
        QTest::newRow("text echo newline")
            << CommandKind::Message << QByteArray("Bonjour\n") << "Bonjour" << 0;
        QTest::newRow("text utf8") << CommandKind::Message << QByteArray("Café €") << "Café €" << 0;
        QTest::newRow("text bom") << CommandKind::Message << QByteArray("\xEF\xBB\xBFHi") << "Hi"
                                  << 0;
        QTest::newRow("notify plain")
            << CommandKind::Notify << QByteArray("Sonnette") << "Sonnette" << 30;
        QTest::newRow("notify json")
            << CommandKind::Notify << QByteArray(R"({"message": "Colis", "seconds": 5})") << "Colis"
            << 5;
        QTest::newRow("notify json default")
            << CommandKind::Notify << QByteArray(R"({"message":"A"})") << "A" << 30;
        QTest::newRow("notify 24 h")
            << CommandKind::Notify << QByteArray(R"({"message":"A","seconds":86400})") << "A"
            << 86400;
        QTest::newRow("notify 1 s")
            << CommandKind::Notify << QByteArray(R"({"message":"A","seconds":1.0})") << "A" << 1;
        QTest::newRow("alarm on") << CommandKind::Alarm << QByteArray("ON") << "" << 1;
        QTest::newRow("alarm off") << CommandKind::Alarm << QByteArray("off\n") << "" << 0;
        QTest::newRow("time") << CommandKind::AlarmTime << QByteArray("07:30") << "" << 450;
        QTest::newRow("time one digit")
            << CommandKind::AlarmTime << QByteArray("6:05") << "" << 365;
        QTest::newRow("time last") << CommandKind::AlarmTime << QByteArray("23:59\n") << "" << 1439;
        QTest::newRow("press") << CommandKind::Clock << QByteArray("PRESS") << "" << 0;
    }
    void decodeAccepted() {
        QFETCH(CommandKind, kind);
        QFETCH(QByteArray, payload);
        QFETCH(QString, text);
        QFETCH(int, number);
        const Command c = decodeCommand(kind, payload);
        if (const auto* r = std::get_if<PayloadRefusal>(&c)) {
            QFAIL(qPrintable(refusalText(*r)));
        }
        switch (kind) {
            case CommandKind::Message:
                QCOMPARE(std::get<TextCommand>(c).text, text);
                break;
            case CommandKind::Notify:
                QCOMPARE(std::get<NotifyCommand>(c).text, text);
                QCOMPARE(std::get<NotifyCommand>(c).seconds, number);
                break;
            case CommandKind::Alarm:
                QCOMPARE(std::get<AlarmSwitchCommand>(c).on, number == 1);
                break;
            case CommandKind::AlarmTime:
                QCOMPARE(
                    std::get<AlarmTimeCommand>(c).hour * 60 + std::get<AlarmTimeCommand>(c).minute,
                    number);
                break;
            case CommandKind::Clock:
                QVERIFY(std::holds_alternative<SyncCommand>(c));
                break;
        }
    }

    void decodeRefused_data() {
        QTest::addColumn<CommandKind>("kind");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<PayloadRefusal::Why>("why");
        using W = PayloadRefusal::Why;
        QTest::newRow("over 64 KiB")
            << CommandKind::Message << QByteArray(kMaxPayloadBytes + 1, 'a') << W::TooLarge;
        // Refused for its size before its bad bytes are looked at.
        QTest::newRow("big and bad")
            << CommandKind::Notify << QByteArray(kMaxPayloadBytes + 1, '\xFF') << W::TooLarge;
        QTest::newRow("latin-1 byte")
            << CommandKind::Message << QByteArray("caf\xE9") << W::NotUtf8;
        QTest::newRow("overlong") << CommandKind::Message << QByteArray("\xC0\xAF") << W::NotUtf8;
        QTest::newRow("surrogate")
            << CommandKind::Notify << QByteArray("\xED\xA0\x80") << W::NotUtf8;
        QTest::newRow("empty text") << CommandKind::Message << QByteArray("\n") << W::Empty;
        QTest::newRow("empty notify") << CommandKind::Notify << QByteArray() << W::Empty;
        QTest::newRow("json broken")
            << CommandKind::Notify << QByteArray(R"({"message": )") << W::NotifyShape;
        QTest::newRow("json array msg")
            << CommandKind::Notify << QByteArray(R"({"message": [1]})") << W::NotifyShape;
        QTest::newRow("json no msg")
            << CommandKind::Notify << QByteArray(R"({"seconds": 3})") << W::NotifyShape;
        QTest::newRow("json extra")
            << CommandKind::Notify << QByteArray(R"({"message":"a","colour":1})") << W::NotifyShape;
        QTest::newRow("json string s")
            << CommandKind::Notify << QByteArray(R"({"message":"a","seconds":"5"})")
            << W::NotifyShape;
        QTest::newRow("json fraction")
            << CommandKind::Notify << QByteArray(R"({"message":"a","seconds":1.5})")
            << W::NotifyShape;
        QTest::newRow("json empty msg")
            << CommandKind::Notify << QByteArray(R"({"message":""})") << W::Empty;
        QTest::newRow("0 s") << CommandKind::Notify << QByteArray(R"({"message":"a","seconds":0})")
                             << W::NotifyDuration;
        QTest::newRow("negative") << CommandKind::Notify
                                  << QByteArray(R"({"message":"a","seconds":-4})")
                                  << W::NotifyDuration;
        QTest::newRow("past 24 h")
            << CommandKind::Notify << QByteArray(R"({"message":"a","seconds":86401})")
            << W::NotifyDuration;
        QTest::newRow("huge") << CommandKind::Notify
                              << QByteArray(R"({"message":"a","seconds":1e300})")
                              << W::NotifyDuration;
        QTest::newRow("time 24:00")
            << CommandKind::AlarmTime << QByteArray("24:00") << W::AlarmTime;
        QTest::newRow("time 7:60") << CommandKind::AlarmTime << QByteArray("7:60") << W::AlarmTime;
        QTest::newRow("time 7:5") << CommandKind::AlarmTime << QByteArray("7:5") << W::AlarmTime;
        QTest::newRow("time words")
            << CommandKind::AlarmTime << QByteArray("sept heures") << W::AlarmTime;
        QTest::newRow("time seconds")
            << CommandKind::AlarmTime << QByteArray("07:30:00") << W::AlarmTime;
        QTest::newRow("time arabic digits")
            << CommandKind::AlarmTime << QByteArray("٠٧:٣٠") << W::AlarmTime;
        QTest::newRow("switch") << CommandKind::Alarm << QByteArray("maybe") << W::Switch;
        QTest::newRow("button") << CommandKind::Clock << QByteArray("push") << W::Button;
        // The payload shown in the refusal cannot forge lines in the log.
        QTest::newRow("switch, lines")
            << CommandKind::Alarm << QByteArray("\0\n\nfaux: ligne", 14) << W::Switch;
        QTest::newRow("time, lines")
            << CommandKind::AlarmTime << QByteArray("7:\r\n30") << W::AlarmTime;
    }
    void decodeRefused() {
        QFETCH(CommandKind, kind);
        QFETCH(QByteArray, payload);
        QFETCH(PayloadRefusal::Why, why);
        const Command c = decodeCommand(kind, payload);
        QVERIFY(std::holds_alternative<PayloadRefusal>(c));
        QCOMPARE(std::get<PayloadRefusal>(c).why, why);
        for (const QChar ch : refusalText(std::get<PayloadRefusal>(c))) {
            QVERIFY(ch >= u' ');
        }
    }

    void preparedTexts_data() {
        QTest::addColumn<QString>("received");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("dropped");
        QTest::addColumn<int>("transliterated");
        QTest::addColumn<int>("replaced");
        QTest::newRow("plain") << "Bonjour #H"
                               << "Bonjour #H" << 0 << 0 << 0;
        QTest::newRow("controls") << QString("a\tb\x1B[2Jc\x7F") << "ab[2Jc" << 3 << 0 << 0;
        QTest::newRow("c1 control") << QString("a") + QChar(0x85) + "b"
                                    << "ab" << 1 << 0 << 0;
        QTest::newRow("cp1252 kept") << "Été 5 €"
                                     << "Été 5 €" << 0 << 0 << 0;
        QTest::newRow("transliterated") << "Łódź"
                                        << "Lódz" << 0 << 2 << 0;
        QTest::newRow("only controls") << QString("\r\n\t") << "" << 3 << 0 << 0;
    }
    void preparedTexts() {
        QFETCH(QString, received);
        QFETCH(QString, text);
        QFETCH(int, dropped);
        QFETCH(int, transliterated);
        QFETCH(int, replaced);
        const PreparedText p = prepareText(received);
        QCOMPARE(p.text, text);
        QCOMPARE(p.dropped, dropped);
        QCOMPARE(p.transliterated, transliterated);
        QCOMPARE(p.replaced, replaced);
    }
};

QTEST_GUILESS_MAIN(TestLumimqttCores)
#include "tst_lumimqtt_cores.moc"
