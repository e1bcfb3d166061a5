#include "Topics.h"

#include "PanelLock.h"

QString panelId(const QString& hostName, const QString& socket, std::uint32_t instance) {
    QString host;
    for (const QChar c : hostName.toLower()) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')) {
            host.append(c);
        } else if (!host.isEmpty() && !host.endsWith(u'-')) {
            host.append(u'-');  // dots and the like
        }
    }
    while (host.endsWith(u'-')) {
        host.chop(1);
    }
    if (host.isEmpty()) {
        host = QStringLiteral("pc");
    }
    QString panel = panelFileName(socket, instance);
    const QString common = QStringLiteral("lumiboard-panel-");
    if (panel.startsWith(common)) {
        panel.remove(0, common.size());
    }
    return host + u'-' + panel;
}

Topics makeTopics(const QString& id, const QString& topicBase, const QString& discoveryPrefix) {
    Topics t;
    t.base = topicBase.isEmpty() ? QStringLiteral("lumiboard/") + id : topicBase;
    const auto under = [&t](const char* rest) { return t.base + u'/' + QLatin1String(rest); };
    t.availability = under("availability");
    t.panel = under("panel");
    t.messageSet = under("message/set");
    t.message = under("message");
    t.notifySet = under("notify/set");
    t.clockSet = under("clock/set");
    t.drift = under("drift");
    t.alarmSet = under("alarm/set");
    t.alarm = under("alarm");
    t.alarmTimeSet = under("alarm/time/set");
    t.alarmTime = under("alarm/time");
    t.error = under("error");
    t.discovery = discoveryPrefix + QStringLiteral("/device/") + id + QStringLiteral("/config");
    t.homeAssistant = discoveryPrefix + QStringLiteral("/status");
    return t;
}

TopicMatch matchTopic(const Topics& topics, const QString& topic) {
    const std::pair<const QString*, CommandKind> commands[] = {
        {&topics.messageSet, CommandKind::Message},     {&topics.notifySet, CommandKind::Notify},
        {&topics.clockSet, CommandKind::Clock},         {&topics.alarmSet, CommandKind::Alarm},
        {&topics.alarmTimeSet, CommandKind::AlarmTime},
    };
    for (const auto& [name, kind] : commands) {
        if (topic == *name) {
            return {true, kind, false};
        }
    }
    return {false, CommandKind::Message, topic == topics.homeAssistant};
}
