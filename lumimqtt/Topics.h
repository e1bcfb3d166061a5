#pragma once

#include <cstdint>

#include <QString>

// The panel's id on the broker: the computer's name and the panel's own name
// on it (the one its lock and memory files share), so that it stays the same
// from run to run and two computers' panels never meet. Letters, digits and
// "-" only: it goes into topics and Home Assistant's ids.
QString panelId(const QString& hostName, const QString& socket, std::uint32_t instance);

// Every topic of one bridge.
struct Topics {
    QString base;
    QString availability;   // the bridge: "online", or "offline" (its last will)
    QString panel;          // the panel: "online" when plugged in, "offline" otherwise
    QString messageSet;     // a text to send
    QString message;        // the panel's whole text as the session knows it
    QString notifySet;      // a passing message
    QString clockSet;       // "PRESS": the clock set to the computer's
    QString drift;          // seconds the panel's clock is ahead
    QString alarmSet;       // "ON" or "OFF"
    QString alarm;          // "ON" or "OFF"
    QString alarmTimeSet;   // "HH:MM", which also arms it
    QString alarmTime;      // "HH:MM"
    QString error;          // one line per refused command or failed operation
    QString discovery;      // <prefix>/device/<id>/config
    QString homeAssistant;  // <prefix>/status: "online" when Home Assistant (re)starts
};

// topicBase empty: lumiboard/<id>.
Topics makeTopics(const QString& id, const QString& topicBase, const QString& discoveryPrefix);

// Which command a message's topic is, if any.
enum class CommandKind { Message, Notify, Clock, Alarm, AlarmTime };
struct TopicMatch {
    bool command = false;
    CommandKind kind = CommandKind::Message;
    bool homeAssistantStatus = false;
};
TopicMatch matchTopic(const Topics& topics, const QString& topic);
