#include "Arguments.h"

#include <QHash>

#include "Output.h"
#include "ReportCoding.h"
#include "mpusbapi.h"

namespace {

QString quoted(const QString& s) {
    return QStringLiteral("« ") + s + QStringLiteral(" »");
}

const QHash<QString, Command> kCommands = {
    {QStringLiteral("status"), Command::Status}, {QStringLiteral("send"), Command::Send},
    {QStringLiteral("read"), Command::Read},     {QStringLiteral("clock"), Command::Clock},
    {QStringLiteral("alarm"), Command::Alarm},   {QStringLiteral("preview"), Command::Preview},
    {QStringLiteral("doctor"), Command::Doctor},
};

// Options seen anywhere on the line, checked against the command afterwards.
struct Seen {
    bool help = false, version = false, json = false, replace = false, sync = false;
    bool verify = false, quiet = false, bell = false, translit = false, full = false;
    std::optional<QString> virtualSocket, instance, file, set, ifDrift, at, seconds, png, gif;
    std::optional<QString> passFor;
    QStringList positionals;
};

std::optional<UsageError> collect(const QStringList& args, Seen& seen) {
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || !arg.startsWith(u'-') || arg == QStringLiteral("-")) {
            seen.positionals << arg;
            continue;
        }
        if (arg == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg;
        std::optional<QString> inlineValue;
        if (const qsizetype eq = arg.indexOf(u'=');
            arg.startsWith(QStringLiteral("--")) && eq > 0) {
            name = arg.left(eq);
            inlineValue = arg.mid(eq + 1);
        }
        std::optional<QString>* valued = name == QStringLiteral("--virtual") ? &seen.virtualSocket
                                         : name == QStringLiteral("--instance") ? &seen.instance
                                         : name == QStringLiteral("--file")     ? &seen.file
                                         : name == QStringLiteral("--set")      ? &seen.set
                                         : name == QStringLiteral("--if-drift") ? &seen.ifDrift
                                         : name == QStringLiteral("--at")       ? &seen.at
                                         : name == QStringLiteral("--seconds")  ? &seen.seconds
                                         : name == QStringLiteral("--png")      ? &seen.png
                                         : name == QStringLiteral("--for")      ? &seen.passFor
                                         : name == QStringLiteral("--gif")      ? &seen.gif
                                                                                : nullptr;
        if (valued != nullptr) {
            if (!inlineValue && i + 1 >= args.size()) {
                return UsageError{QStringLiteral("l'option %1 attend une valeur").arg(name)};
            }
            *valued = inlineValue ? *inlineValue : args[++i];
            continue;
        }
        bool* flag = name == QStringLiteral("--help") || name == QStringLiteral("-h") ? &seen.help
                     : name == QStringLiteral("--version") ? &seen.version
                     : name == QStringLiteral("--json")    ? &seen.json
                     : name == QStringLiteral("--replace") ? &seen.replace
                     : name == QStringLiteral("--sync")    ? &seen.sync
                     : name == QStringLiteral("--verify")  ? &seen.verify
                     : name == QStringLiteral("--quiet") || name == QStringLiteral("-q")
                         ? &seen.quiet
                     : name == QStringLiteral("--bell")     ? &seen.bell
                     : name == QStringLiteral("--translit") ? &seen.translit
                     : name == QStringLiteral("--full")     ? &seen.full
                                                            : nullptr;
        if (flag == nullptr || inlineValue) {
            return UsageError{QStringLiteral("option inconnue : ") + arg};
        }
        *flag = true;
    }
    return std::nullopt;
}

// A whole number from min to max, for an option's value.
std::optional<qint64> wholeNumber(const QString& text, qint64 min, qint64 max) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || text.startsWith(u'+') || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<UsageError> onlyFor(bool given, const char* option, bool allowed,
                                  const QString& where) {
    if (given && !allowed) {
        return UsageError{QStringLiteral("l'option %1 ne s'emploie qu'avec %2")
                              .arg(QLatin1String(option), where)};
    }
    return std::nullopt;
}

}  // namespace

std::optional<AlarmTime> parseAlarmArgument(const QString& text) {
    const AlarmEntry entry = parseAlarmEntry(text);
    const auto* time = std::get_if<AlarmTime>(&entry);
    if (time == nullptr) {
        return std::nullopt;
    }
    // lumiboard reads two characters after the colon; here the rest must be the minute.
    const auto minute = parseWholeNumber(text.mid(text.indexOf(u':') + 1));
    if (!minute || *minute != time->minute) {
        return std::nullopt;
    }
    return *time;
}

std::optional<QDateTime> parseClockArgument(const QString& text) {
    QString normal = text;
    if (normal.size() > 10 && normal[10] == u'T') {
        normal[10] = u' ';
    }
    const QDateTime value = QDateTime::fromString(normal, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!value.isValid() || value.date().year() < 1) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::chrono::seconds> parseDuration(const QString& text) {
    static constexpr std::pair<char16_t, qint64> kUnits[] = {{u's', 1}, {u'm', 60}, {u'h', 3600}};
    qint64 unit = 1;
    QString number = text;
    for (const auto& [suffix, seconds] : kUnits) {
        if (text.endsWith(QChar(suffix))) {
            unit = seconds;
            number.chop(1);
        }
    }
    const auto value = wholeNumber(number, 0, 86400 / unit);
    if (!value || number.isEmpty() || !number[0].isDigit()) {
        return std::nullopt;
    }
    return std::chrono::seconds(*value * unit);
}

std::variant<Invocation, UsageError> parseArguments(const QStringList& args) {
    Seen seen;
    if (auto error = collect(args, seen)) {
        return *error;
    }
    Invocation inv;
    if (seen.help) {
        inv.command = Command::Help;
        return inv;
    }
    if (seen.version) {
        inv.command = Command::Version;
        return inv;
    }
    if (seen.positionals.isEmpty()) {
        return UsageError{QStringLiteral(
            "commande manquante (status, send, read, clock, alarm, preview ou doctor)")};
    }
    const QString name = seen.positionals.takeFirst();
    const auto command = kCommands.constFind(name);
    if (command == kCommands.cend()) {
        return UsageError{QStringLiteral("commande inconnue : ") + quoted(name)};
    }
    inv.command = *command;
    QStringList& rest = seen.positionals;

    inv.virtualSocket = seen.virtualSocket;
    if (inv.virtualSocket && inv.virtualSocket->isEmpty()) {
        return UsageError{QStringLiteral("--virtual attend le chemin d'une socket")};
    }
    if (seen.instance) {
        bool ok = false;
        inv.instance = seen.instance->toUInt(&ok);
        if (!ok || seen.instance->startsWith(u'+')) {
            return UsageError{QStringLiteral("--instance attend un nombre entier positif ou nul")};
        }
    }

    const bool send = inv.command == Command::Send;
    const bool preview = inv.command == Command::Preview;
    const bool clock = inv.command == Command::Clock;
    const bool reading = inv.command == Command::Status || inv.command == Command::Read ||
                         (clock && !seen.sync && !seen.set) || send ||
                         inv.command == Command::Doctor;
    for (auto error :
         {onlyFor(seen.replace, "--replace", send || preview, QStringLiteral("send et preview")),
          onlyFor(seen.file.has_value(), "--file", send || preview,
                  QStringLiteral("send et preview")),
          onlyFor(seen.verify, "--verify", send, quoted("send")),
          onlyFor(seen.translit, "--translit", send || preview, QStringLiteral("send et preview")),
          onlyFor(seen.passFor.has_value(), "--for", send, quoted("send")),
          onlyFor(seen.full, "--full", inv.command == Command::Read, quoted("read")),
          onlyFor(seen.sync, "--sync", clock, quoted("clock")),
          onlyFor(seen.set.has_value(), "--set", clock, quoted("clock")),
          onlyFor(seen.ifDrift.has_value(), "--if-drift", clock && seen.sync,
                  quoted("clock --sync")),
          onlyFor(seen.at.has_value(), "--at", preview, quoted("preview")),
          onlyFor(seen.seconds.has_value(), "--seconds", preview, quoted("preview")),
          onlyFor(seen.bell, "--bell", preview, quoted("preview")),
          onlyFor(seen.png.has_value(), "--png", preview, quoted("preview")),
          onlyFor(seen.gif.has_value(), "--gif", preview, quoted("preview")),
          onlyFor(seen.json, "--json", reading,
                  QStringLiteral("status, send, read, clock (lecture) et doctor"))}) {
        if (error) {
            return *error;
        }
    }
    inv.json = seen.json;
    inv.quiet = seen.quiet;
    inv.replace = seen.replace;
    inv.verify = seen.verify;
    inv.translit = seen.translit;
    inv.full = seen.full;
    if (seen.passFor) {
        inv.passFor = parseDuration(*seen.passFor);
        if (!inv.passFor) {
            return UsageError{
                QStringLiteral("durée incorrecte : %1 (attendu par exemple 30s, 5m ou 1h, "
                               "24 h au plus)")
                    .arg(quoted(*seen.passFor))};
        }
    }
    inv.bell = seen.bell;
    if (seen.ifDrift) {
        const auto value = wholeNumber(*seen.ifDrift, 0, 86400 * 366);
        if (!value) {
            return UsageError{QStringLiteral("--if-drift attend un nombre de secondes")};
        }
        inv.ifDriftOver = int(*value);
    }
    if (seen.at) {
        const auto value = wholeNumber(*seen.at, 0, qint64{1} << 40);
        if (!value) {
            return UsageError{QStringLiteral("--at attend un nombre de pas positif ou nul")};
        }
        inv.atTick = *value;
    }
    if (seen.seconds) {
        const auto value = wholeNumber(*seen.seconds, 1, 86400);
        if (!value) {
            return UsageError{QStringLiteral("--seconds attend un nombre de 1 à 86400")};
        }
        inv.seconds = int(*value);
    }
    if (seen.png) {
        if (!seen.at) {
            return UsageError{QStringLiteral("--png s'emploie avec --at PAS")};
        }
        inv.pngFile = *seen.png;
    }
    if (seen.gif) {
        if (seen.at || seen.png) {
            return UsageError{QStringLiteral("--gif ne va ni avec --at ni avec --png")};
        }
        inv.gifFile = *seen.gif;
    }
    if (seen.at && seen.seconds) {
        return UsageError{QStringLiteral("--at et --seconds ne vont pas ensemble")};
    }

    switch (inv.command) {
        case Command::Send:
        case Command::Preview:
            if (seen.file) {
                if (!rest.isEmpty()) {
                    return UsageError{QStringLiteral("--file et un texte ne vont pas ensemble")};
                }
                inv.source = TextSource::File;
                inv.fileName = *seen.file;
            } else if (rest == QStringList{QStringLiteral("-")}) {
                inv.source = TextSource::Stdin;
            } else if (rest.isEmpty()) {
                return UsageError{
                    QStringLiteral("« %1 » attend un texte, « - » ou --file FICHIER")
                        .arg(send ? QStringLiteral("send") : QStringLiteral("preview"))};
            } else {
                inv.text = rest.join(u' ');
            }
            return inv;
        case Command::Clock:
            if (!rest.isEmpty()) {
                return UsageError{QStringLiteral("argument en trop : ") + quoted(rest.first())};
            }
            if (seen.sync && seen.set) {
                return UsageError{QStringLiteral("--sync et --set ne vont pas ensemble")};
            }
            if (seen.set) {
                const auto value = parseClockArgument(*seen.set);
                if (!value) {
                    return UsageError{QStringLiteral("date et heure incorrectes : %1 (attendu : "
                                                     "AAAA-MM-JJ HH:MM:SS)")
                                          .arg(quoted(*seen.set))};
                }
                inv.clockAction = ClockAction::Set;
                inv.clockValue = *value;
            } else if (seen.sync) {
                inv.clockAction = ClockAction::Sync;
            }
            return inv;
        case Command::Alarm:
            if (rest.size() != 1) {
                return UsageError{QStringLiteral("« alarm » attend HH:MM, on ou off")};
            }
            if (rest.first() == QStringLiteral("on")) {
                inv.alarmAction = AlarmAction::On;
            } else if (rest.first() == QStringLiteral("off")) {
                inv.alarmAction = AlarmAction::Off;
            } else if (const auto time = parseAlarmArgument(rest.first())) {
                inv.alarmAction = AlarmAction::At;
                inv.alarmTime = *time;
            } else {
                return UsageError{
                    QStringLiteral("heure de réveil incorrecte : %1 (attendu HH:MM, de 00:00 à "
                                   "23:59, ou on, ou off)")
                        .arg(quoted(rest.first()))};
            }
            return inv;
        default:
            if (!rest.isEmpty()) {
                return UsageError{QStringLiteral("argument en trop : ") + quoted(rest.first())};
            }
            return inv;
    }
}

QString usageText() {
    return QStringLiteral(
               "usage : lumictl [options] COMMANDE [arguments]\n"
               "Pilote le journal lumineux USB depuis la ligne de commande.\n"
               "\n"
               "Commandes :\n"
               "  status                    un panneau est-il branché ? (code 0 ou 3)\n"
               "  send TEXTE...             envoie le message (%1 caractères au plus,\n"
               "                            codes de fonction tels quels : #I, #H, ...)\n"
               "  send -                    envoie le texte lu sur l'entrée standard\n"
               "  send --file FICHIER       envoie le texte du fichier (UTF-8)\n"
               "                            (entrée standard ou fichier : %3 Kio au plus)\n"
               "  send --verify ...         relit ensuite le texte et le compare (code 1\n"
               "                            s'il diffère)\n"
               "  send --for DURÉE ...      message de passage (30s, 5m, 1h) : le texte\n"
               "                            d'avant revient ensuite, vérifié\n"
               "  read                      affiche le texte du panneau (62 caractères au plus)\n"
               "  read --full               le texte entier, quand le dernier envoi le dit\n"
               "  clock                     affiche l'heure, la date et le réveil du panneau\n"
               "  clock --sync              met le panneau à l'heure de cet ordinateur\n"
               "  clock --sync --if-drift S seulement s'il est décalé de plus de S secondes\n"
               "  clock --set 'AAAA-MM-JJ HH:MM:SS'\n"
               "                            met le panneau à cette date et cette heure\n"
               "  alarm HH:MM | on | off    règle, arme ou désarme le réveil\n"
               "  doctor                    vérifie pas à pas ce qu'il faut pour joindre le\n"
               "                            panneau et dit comment corriger (code 0 ou 1)\n"
               "  preview TEXTE... | - | --file FICHIER\n"
               "                            montre le défilement dans le terminal\n"
               "    --seconds N             pendant N secondes (sinon un tour du message)\n"
               "    --at PAS                seulement l'image après PAS pas de 50 ms\n"
               "    --png FICHIER           avec --at : l'image des LED en PNG\n"
               "    --gif FICHIER           le défilement des LED en GIF animé\n"
               "    --bell                  #B fait sonner le terminal\n"
               "\n"
               "Options :\n"
               "  --json                    sortie JSON (status, send, read, clock, doctor)\n"
               "  -q, --quiet               rien sur la sortie standard quand tout va bien\n"
               "  --replace                 send : remplace par « ? » les caractères que\n"
               "                            le panneau ne connaît pas et les caractères de\n"
               "                            contrôle (sinon refus)\n"
               "  --translit                send, preview : l'orthographe la plus proche\n"
               "                            (Ł → L, ő → o), « ? » faute de mieux\n"
               "  --virtual SOCKET          panneau virtuel (panelsim) : comme %2\n"
               "  --instance N              le N-ième panneau branché (0 = le premier)\n"
               "  -h, --help                cette aide\n"
               "  --version                 la version\n"
               "\n"
               "Codes de sortie : 0 fait, 1 échec du panneau, 2 usage, 3 pas de panneau,\n"
               "4 bibliothèque introuvable.\n")
        .arg(kMaxSentChars)
        .arg(QStringLiteral(MPUSBAPI_VIRTUAL_VARIABLE))
        .arg(kMaxInputBytes / 1024);
}
