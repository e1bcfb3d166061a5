#include "Discovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "ReportCoding.h"

namespace {

QJsonObject availableWhen(const QString& topic) {
    return QJsonObject{
        {"topic", topic}, {"payload_available", "online"}, {"payload_not_available", "offline"}};
}

}  // namespace

QString objectId(const QString& id) {
    QString out = QStringLiteral("lumiboard_");
    for (const QChar c : id.toLower()) {
        out.append((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ? c : QChar(u'_'));
    }
    return out;
}

QByteArray discoveryPayload(const Topics& topics, const QString& id, const QString& version) {
    const QString object = objectId(id);
    // The bridge's own entity needs only the bridge; the panel's need the
    // panel too, so they go unavailable while it is unplugged.
    const QJsonArray bridgeOnly{availableWhen(topics.availability)};
    const QJsonArray bridgeAndPanel{availableWhen(topics.availability),
                                    availableWhen(topics.panel)};
    const auto component = [&](const char* key, const char* platform, const QString& name,
                               bool needsPanel) {
        QJsonObject c{{"p", platform},
                      {"name", name},
                      {"unique_id", object + u'_' + QLatin1String(key)},
                      {"default_entity_id",
                       QLatin1String(platform) + u'.' + object + u'_' + QLatin1String(key)},
                      {"availability", needsPanel ? bridgeAndPanel : bridgeOnly},
                      {"availability_mode", "all"}};
        return c;
    };

    QJsonObject message = component("message", "text", QStringLiteral("Message"), true);
    message["command_topic"] = topics.messageSet;
    message["state_topic"] = topics.message;
    message["min"] = 0;
    message["max"] = static_cast<int>(kMaxSentChars);
    message["icon"] = "mdi:message-text";

    QJsonObject notify = component("notify", "notify", QStringLiteral("Annonce"), true);
    notify["command_topic"] = topics.notifySet;

    QJsonObject sync = component("clock", "button", QStringLiteral("Mettre à l'heure"), true);
    sync["command_topic"] = topics.clockSet;
    sync["payload_press"] = "PRESS";
    sync["icon"] = "mdi:clock-check";

    QJsonObject drift = component("drift", "sensor", QStringLiteral("Décalage de l'horloge"), true);
    drift["state_topic"] = topics.drift;
    drift["unit_of_measurement"] = "s";
    drift["state_class"] = "measurement";
    drift["entity_category"] = "diagnostic";

    QJsonObject alarm = component("alarm", "switch", QStringLiteral("Réveil"), true);
    alarm["command_topic"] = topics.alarmSet;
    alarm["state_topic"] = topics.alarm;
    alarm["payload_on"] = "ON";
    alarm["payload_off"] = "OFF";
    alarm["icon"] = "mdi:alarm";

    QJsonObject alarmTime =
        component("alarm_time", "text", QStringLiteral("Heure du réveil"), true);
    alarmTime["command_topic"] = topics.alarmTimeSet;
    alarmTime["state_topic"] = topics.alarmTime;
    alarmTime["min"] = 4;
    alarmTime["max"] = 5;
    alarmTime["pattern"] = QLatin1String(kAlarmTimePattern);
    alarmTime["icon"] = "mdi:alarm";

    QJsonObject plugged =
        component("panel", "binary_sensor", QStringLiteral("Panneau branché"), false);
    plugged["state_topic"] = topics.panel;
    plugged["payload_on"] = "online";
    plugged["payload_off"] = "offline";
    plugged["device_class"] = "connectivity";
    plugged["entity_category"] = "diagnostic";

    const QJsonObject payload{
        {"dev", QJsonObject{{"identifiers", QJsonArray{object}},
                            {"name", QStringLiteral("Journal lumineux ") + id},
                            {"manufacturer", "lumiboard"},
                            {"model", "Journal lumineux USB (04d8:000c)"},
                            {"sw_version", version}}},
        {"o", QJsonObject{{"name", "lumimqtt"}, {"sw_version", version}}},
        {"qos", 1},
        {"cmps", QJsonObject{{"message", message},
                             {"notify", notify},
                             {"clock", sync},
                             {"drift", drift},
                             {"alarm", alarm},
                             {"alarm_time", alarmTime},
                             {"panel", plugged}}},
    };
    return QJsonDocument(payload).toJson(QJsonDocument::Compact);
}
