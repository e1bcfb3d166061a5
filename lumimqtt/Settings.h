#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <variant>

#include <QByteArray>
#include <QString>
#include <QStringList>

// The bridge's settings, from the settings file and then the flags, which win.
struct Settings {
    QString host = QStringLiteral("127.0.0.1");
    int port = 1883;
    QString cafile;  // TLS when set
    QString cert;
    QString key;
    QString username;
    std::optional<QString> password;  // from the file or the password file
    QString passwordFile;
    QString clientId;   // empty: derived from the panel's id
    QString topicBase;  // empty: lumiboard/<panel id>
    QString discoveryPrefix = QStringLiteral("homeassistant");
    int pollSeconds = 60;
    std::uint32_t instance = 0;
    QString virtualSocket;    // the virtual panel's socket; empty: the USB panel
    bool keepTrying = false;  // a refused login or TLS failure is retried too
    // What the run is for, from flags only.
    bool remove = false;
    bool help = false;
    bool version = false;
};

inline constexpr int kMaxPollSeconds = 24 * 3600;

// A file as the settings loader sees it: its bytes, and whether users other
// than its owner may read it.
struct SettingsFile {
    QByteArray bytes;
    bool othersMayRead = false;
};
// Reads a file, or says why it cannot (French, one line).
using SettingsFileReader = std::function<std::variant<SettingsFile, QString>(const QString& path)>;
SettingsFileReader realFileReader();

struct SettingsError {
    QString message;  // one line, French
};
using SettingsLoad = std::variant<Settings, SettingsError>;

// Where the settings live by default: $XDG_CONFIG_HOME/lumiboard/lumimqtt.conf,
// else ~/.config/lumiboard/lumimqtt.conf.
QString defaultSettingsPath(const QString& xdgConfigHome, const QString& home);

// The settings from args (the program's arguments, without its name): the
// file named by --settings, or the default one when it exists, then the
// flags. A password never comes from the command line: argv is public.
SettingsLoad loadSettings(const QStringList& args, const QString& defaultPath,
                          const SettingsFileReader& read = realFileReader());

// The file's lines applied to settings ("key = value", "#" or ";" comments);
// an unknown key or a bad value names the line.
std::optional<SettingsError> applySettingsText(Settings& settings, const QByteArray& text,
                                               const QString& fileName);

// The text of --help.
QString helpText();
