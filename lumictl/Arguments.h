#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <variant>

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "AlarmSetting.h"

// What one run of lumictl was asked to do, read from its arguments.
enum class Command { Help, Version, Status, Send, Read, Clock, Alarm, Preview, Doctor };
enum class TextSource { Words, Stdin, File };
enum class ClockAction { Show, Sync, Set };
enum class AlarmAction { At, On, Off };

struct Invocation {
    Command command = Command::Help;
    bool json = false;
    bool quiet = false;                    // nothing on stdout when all went well
    std::optional<QString> virtualSocket;  // --virtual: the panelsim socket to use
    std::uint32_t instance = 0;

    // send and preview
    TextSource source = TextSource::Words;
    QString text;      // Words: the words joined by single blanks
    QString fileName;  // File
    bool replace = false;
    bool verify = false;    // send: read the text back and compare
    bool translit = false;  // the nearest spelling of what the code page lacks
    std::optional<std::chrono::seconds> passFor;  // send --for: put the earlier text back after

    // read
    bool full = false;  // the whole text, completed by the record of our last send

    // preview
    std::optional<qint64> atTick;    // one frame, after that many ticks
    std::optional<int> seconds;      // how long it scrolls; none: once round the message
    bool bell = false;               // #B rings the terminal's bell
    std::optional<QString> pngFile;  // with atTick: the frame as a picture
    std::optional<QString> gifFile;  // the scroll as an animated picture

    // clock
    ClockAction clockAction = ClockAction::Show;
    QDateTime clockValue;            // Set: local date and time
    std::optional<int> ifDriftOver;  // Sync: write only when off by more seconds

    // alarm
    AlarmAction alarmAction = AlarmAction::On;
    AlarmTime alarmTime{0, 0};
};

// Why the arguments cannot be run; the program exits with the usage code.
struct UsageError {
    QString message;
};

// The arguments after the program name. Options may come before or after the
// command; "--" ends them, so a text may begin with "-".
std::variant<Invocation, UsageError> parseArguments(const QStringList& args);

// An alarm time as lumiboard's entry rule reads it, with the whole of it
// required to be the two numbers: "7:30" and "07:05" pass, "7:305" and
// "12:34:56" (which lumiboard cuts to 12:34) do not.
std::optional<AlarmTime> parseAlarmArgument(const QString& text);

// "YYYY-MM-DD HH:MM:SS" (or with a "T" between date and time), local time.
std::optional<QDateTime> parseClockArgument(const QString& text);

// A duration as send --for takes it: a whole number and s, m or h ("30s",
// "5m", "1h"; a bare number is seconds), 0 to 24 hours.
std::optional<std::chrono::seconds> parseDuration(const QString& text);

// The --help text.
QString usageText();
