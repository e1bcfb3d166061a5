#include "Settings.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "SystemErrors.h"

namespace {

// The keys of the file, each also a flag "--key"; the password only in files.
enum class Key {
    Host,
    Port,
    Cafile,
    Cert,
    KeyFile,
    Username,
    Password,
    PasswordFile,
    ClientId,
    TopicBase,
    DiscoveryPrefix,
    Poll,
    Instance,
    Virtual,
    KeepTrying,
};

struct KeyName {
    const char* name;
    Key key;
};
constexpr KeyName kKeys[] = {
    {"host", Key::Host},
    {"port", Key::Port},
    {"cafile", Key::Cafile},
    {"cert", Key::Cert},
    {"key", Key::KeyFile},
    {"username", Key::Username},
    {"password", Key::Password},
    {"password-file", Key::PasswordFile},
    {"client-id", Key::ClientId},
    {"topic-base", Key::TopicBase},
    {"discovery-prefix", Key::DiscoveryPrefix},
    {"poll", Key::Poll},
    {"instance", Key::Instance},
    {"virtual", Key::Virtual},
    {"keep-trying", Key::KeepTrying},
};

std::optional<Key> keyNamed(const QString& name) {
    for (const auto& k : kKeys) {
        if (name == QLatin1String(k.name)) {
            return k.key;
        }
    }
    return std::nullopt;
}

std::optional<long long> wholeNumber(const QString& text) {
    bool ok = false;
    const long long n = text.trimmed().toLongLong(&ok);
    if (!ok || text.trimmed().startsWith(u'+')) {
        return std::nullopt;
    }
    return n;
}

std::optional<bool> yesNo(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == u"true" || t == u"yes" || t == u"oui" || t == u"1") {
        return true;
    }
    if (t == u"false" || t == u"no" || t == u"non" || t == u"0") {
        return false;
    }
    return std::nullopt;
}

// A topic level the bridge builds on: MQTT forbids wildcards in a published
// topic, and an empty level would make a different topic than the user meant.
bool usableTopicRoot(const QString& topic) {
    return !topic.isEmpty() && !topic.contains(u'+') && !topic.contains(u'#') &&
           !topic.contains(QChar(0)) && !topic.startsWith(u'/') && !topic.endsWith(u'/') &&
           !topic.contains(QStringLiteral("//"));
}

// Applies one value; the error says what is wrong with it, without where.
std::optional<QString> apply(Settings& s, Key key, const QString& value) {
    switch (key) {
        case Key::Host:
            if (value.trimmed().isEmpty()) {
                return QStringLiteral("hôte vide");
            }
            s.host = value.trimmed();
            return std::nullopt;
        case Key::Port: {
            const auto n = wholeNumber(value);
            if (!n || *n < 1 || *n > 65535) {
                return QStringLiteral("port « %1 » : un nombre de 1 à 65535 est attendu")
                    .arg(value);
            }
            s.port = static_cast<int>(*n);
            return std::nullopt;
        }
        case Key::Cafile:
            s.cafile = value;
            return std::nullopt;
        case Key::Cert:
            s.cert = value;
            return std::nullopt;
        case Key::KeyFile:
            s.key = value;
            return std::nullopt;
        case Key::Username:
            s.username = value;
            return std::nullopt;
        case Key::Password:
            s.password = value;
            return std::nullopt;
        case Key::PasswordFile:
            s.passwordFile = value;  // read by the loader, which knows the reader
            return std::nullopt;
        case Key::ClientId:
            if (value.isEmpty() || value.toUtf8().size() > 65535) {
                return QStringLiteral("identifiant de client vide ou trop long");
            }
            s.clientId = value;
            return std::nullopt;
        case Key::TopicBase:
            if (!usableTopicRoot(value)) {
                return QStringLiteral(
                           "base de sujets « %1 » inutilisable (vide, « + », « # » ou « / » "
                           "au bord)")
                    .arg(value);
            }
            s.topicBase = value;
            return std::nullopt;
        case Key::DiscoveryPrefix:
            if (!usableTopicRoot(value)) {
                return QStringLiteral("préfixe de découverte « %1 » inutilisable").arg(value);
            }
            s.discoveryPrefix = value;
            return std::nullopt;
        case Key::Poll: {
            const auto n = wholeNumber(value);
            if (!n || *n < 1 || *n > kMaxPollSeconds) {
                return QStringLiteral(
                           "intervalle « %1 » : un nombre de secondes de 1 à %2 est attendu")
                    .arg(value)
                    .arg(kMaxPollSeconds);
            }
            s.pollSeconds = static_cast<int>(*n);
            return std::nullopt;
        }
        case Key::Instance: {
            const auto n = wholeNumber(value);
            if (!n || *n < 0 || *n > 0xFFFFFFFFLL) {
                return QStringLiteral("instance « %1 » : un nombre positif est attendu").arg(value);
            }
            s.instance = static_cast<std::uint32_t>(*n);
            return std::nullopt;
        }
        case Key::Virtual:
            s.virtualSocket = value;
            return std::nullopt;
        case Key::KeepTrying: {
            const auto b = yesNo(value);
            if (!b) {
                return QStringLiteral("« %1 » : true ou false est attendu").arg(value);
            }
            s.keepTrying = *b;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// A password file: its first line, the newline an editor adds left out.
QString passwordFromFile(const QByteArray& bytes) {
    QByteArray line = bytes;
    const qsizetype end = line.indexOf('\n');
    if (end >= 0) {
        line.truncate(end);
    }
    if (line.endsWith('\r')) {
        line.chop(1);
    }
    return QString::fromUtf8(line);
}

QString refusedForOthers(const QString& path) {
    return QStringLiteral(
               "%1 : mot de passe lisible par d'autres utilisateurs, refusé "
               "(chmod 600 %1)")
        .arg(path);
}

}  // namespace

SettingsFileReader realFileReader() {
    return [](const QString& path) -> std::variant<SettingsFile, QString> {
        const QByteArray name = QFile::encodeName(path);
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            return QStringLiteral("%1 : %2").arg(path, systemErrorReason(errno));
        }
        SettingsFile file;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return QStringLiteral("%1 : pas un fichier ordinaire").arg(path);
        }
        file.othersMayRead = (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                const int error = errno;
                ::close(fd);
                return QStringLiteral("%1 : %2").arg(path, systemErrorReason(error));
            }
            if (n == 0) {
                break;
            }
            file.bytes.append(buffer, n);
            // Settings are a few lines; a huge file is a mistake, not settings.
            if (file.bytes.size() > 1024 * 1024) {
                ::close(fd);
                return QStringLiteral("%1 : fichier trop grand").arg(path);
            }
        }
        ::close(fd);
        return file;
    };
}

QString defaultSettingsPath(const QString& xdgConfigHome, const QString& home) {
    const QString base =
        QDir::isAbsolutePath(xdgConfigHome) ? xdgConfigHome : QDir(home).filePath(".config");
    return QDir(base).filePath(QStringLiteral("lumiboard/lumimqtt.conf"));
}

std::optional<SettingsError> applySettingsText(Settings& settings, const QByteArray& text,
                                               const QString& fileName) {
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        const auto where = [&](const QString& what) {
            return SettingsError{QStringLiteral("%1:%2 : %3").arg(fileName).arg(i + 1).arg(what)};
        };
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';')) {
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) {
            return where(QStringLiteral("« clé = valeur » attendu"));
        }
        const QString name = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        const auto key = keyNamed(name);
        if (!key) {
            return where(QStringLiteral("clé inconnue « %1 »").arg(name));
        }
        if (auto error = apply(settings, *key, value)) {
            return where(*error);
        }
    }
    return std::nullopt;
}

SettingsLoad loadSettings(const QStringList& args, const QString& defaultPath,
                          const SettingsFileReader& read) {
    Settings settings;
    // The flags first, to find --settings; they are applied after the file.
    struct Flag {
        Key key;
        QString value;
    };
    QList<Flag> flags;
    std::optional<QString> settingsPath;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == u"--help" || arg == u"-h") {
            settings.help = true;
            continue;
        }
        if (arg == u"--version") {
            settings.version = true;
            continue;
        }
        if (arg == u"--remove") {
            settings.remove = true;
            continue;
        }
        if (arg == u"--keep-trying") {
            flags.append({Key::KeepTrying, QStringLiteral("true")});
            continue;
        }
        if (!arg.startsWith(QStringLiteral("--"))) {
            return SettingsError{QStringLiteral("argument inattendu « %1 »").arg(arg)};
        }
        QString name = arg.mid(2);
        std::optional<QString> value;
        if (const qsizetype eq = name.indexOf(u'='); eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        const auto key = keyNamed(name);
        if (name != u"settings" && !key) {
            return SettingsError{QStringLiteral("option inconnue « --%1 »").arg(name)};
        }
        if (key == Key::Password) {
            return SettingsError{
                QStringLiteral("le mot de passe ne se donne pas sur la ligne de "
                               "commande (visible de tous) : --password-file "
                               "ou le fichier de réglages")};
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                return SettingsError{QStringLiteral("« --%1 » attend une valeur").arg(name)};
            }
            value = args[++i];
        }
        if (name == u"settings") {
            settingsPath = *value;
        } else {
            flags.append({*key, *value});
        }
    }
    if (settings.help || settings.version) {
        return settings;
    }

    // The default file is optional; a file asked for must be there.
    const QString path = settingsPath.value_or(defaultPath);
    if (settingsPath || QFileInfo::exists(path)) {
        const auto file = read(path);
        if (const auto* why = std::get_if<QString>(&file)) {
            return SettingsError{*why};
        }
        const SettingsFile& f = std::get<SettingsFile>(file);
        if (auto error = applySettingsText(settings, f.bytes, path)) {
            return *error;
        }
        if (settings.password && f.othersMayRead) {
            return SettingsError{refusedForOthers(path)};
        }
    }
    for (const Flag& flag : flags) {
        if (auto error = apply(settings, flag.key, flag.value)) {
            return SettingsError{
                QStringLiteral("--%1 : %2")
                    .arg(QLatin1String(kKeys[static_cast<int>(flag.key)].name), *error)};
        }
    }
    if (!settings.passwordFile.isEmpty()) {
        const auto file = read(settings.passwordFile);
        if (const auto* why = std::get_if<QString>(&file)) {
            return SettingsError{*why};
        }
        const SettingsFile& f = std::get<SettingsFile>(file);
        if (f.othersMayRead) {
            return SettingsError{refusedForOthers(settings.passwordFile)};
        }
        settings.password = passwordFromFile(f.bytes);
    }
    if (settings.password && settings.username.isEmpty()) {
        return SettingsError{QStringLiteral("un mot de passe sans nom d'utilisateur (username)")};
    }
    if ((!settings.cert.isEmpty()) != (!settings.key.isEmpty())) {
        return SettingsError{QStringLiteral("--cert et --key vont ensemble")};
    }
    if (!settings.cert.isEmpty() && settings.cafile.isEmpty()) {
        return SettingsError{QStringLiteral("--cert sans --cafile : le TLS demande --cafile")};
    }
    return settings;
}

QString helpText() {
    return QStringLiteral(
        "Usage : lumimqtt [options]\n"
        "Relie un journal lumineux à un courtier MQTT ; Home Assistant le découvre.\n"
        "\n"
        "Le panneau :\n"
        "  --instance N            le panneau USB N (0 : le premier branché)\n"
        "  --virtual SOCKET        le panneau virtuel (panelsim) sur SOCKET\n"
        "Le courtier :\n"
        "  --host HÔTE             (127.0.0.1)\n"
        "  --port PORT             (1883)\n"
        "  --cafile FICHIER        TLS, avec l'autorité qui signe le courtier\n"
        "  --cert FICHIER --key FICHIER   certificat du client (TLS)\n"
        "  --username NOM\n"
        "  --password-file FICHIER le mot de passe (jamais sur la ligne de commande)\n"
        "  --client-id ID          (lumimqtt-<identifiant du panneau>)\n"
        "  --keep-trying           réessaie même quand le courtier refuse l'accès\n"
        "Les sujets :\n"
        "  --topic-base BASE       (lumiboard/<identifiant du panneau>)\n"
        "  --discovery-prefix P    (homeassistant)\n"
        "  --poll SECONDES         relève l'état du panneau (60)\n"
        "Le reste :\n"
        "  --settings FICHIER      un autre fichier de réglages\n"
        "                          ($XDG_CONFIG_HOME/lumiboard/lumimqtt.conf)\n"
        "  --remove                retire le panneau de Home Assistant, puis s'arrête\n"
        "  --help, --version\n"
        "\n"
        "Chaque option est aussi une clé du fichier (« port = 8883 »), et le mot de passe\n"
        "s'y met en « password = ... » (le fichier doit alors n'être lisible que par vous).\n");
}
