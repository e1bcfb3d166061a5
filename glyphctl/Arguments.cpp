#include "Arguments.h"

#include <QRegularExpression>

#include <cstdint>
#include <limits>

namespace {

using Parsed = std::variant<GlyphInvocation, GlyphUsageError>;

GlyphUsageError usage(const QString& text) {
    return {text};
}

std::optional<int> wholeNumber(const QString& text, int lo, int hi) {
    static const QRegularExpression pattern(QStringLiteral(R"(^[+-]?\d{1,6}$)"));
    if (!pattern.match(text).hasMatch()) {
        return std::nullopt;
    }
    const int value = text.toInt();
    if (value < lo || value > hi) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> pointSize(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral(R"(^\d{1,4}(\.\d{1,4})?$)"));
    if (!pattern.match(text).hasMatch()) {
        return std::nullopt;
    }
    const double value = text.toDouble();
    if (!(value >= kMinPoints && value <= kMaxPoints)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::variant<CharRange, QString> parseRange(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral(R"(^(\d{1,3})-(\d{1,3})$)"));
    if (text.isEmpty()) {
        return QStringLiteral("plage vide : « A-B » attendu, codes de 0 à 255");
    }
    const auto match = pattern.match(text);
    if (!match.hasMatch()) {
        return QStringLiteral("plage illisible : « %1 » (« A-B » attendu, codes de 0 à 255)")
            .arg(text);
    }
    const CharRange range{match.captured(1).toInt(), match.captured(2).toInt()};
    if (range.from > 255 || range.to > 255) {
        return QStringLiteral("plage hors des codes 0 à 255 : « %1 »").arg(text);
    }
    if (range.from > range.to) {
        return QStringLiteral("plage à l'envers : « %1 » (le premier code vient d'abord)")
            .arg(text);
    }
    return range;
}

std::variant<GlyphInvocation, GlyphUsageError> parseGlyphArguments(const QStringList& args) {
    GlyphInvocation inv;
    if (args.isEmpty()) {
        return usage(QStringLiteral("commande attendue : table ou show"));
    }
    const QString& first = args.front();
    if (first == u"--help" || first == u"-h") {
        return inv;
    }
    if (first == u"--version") {
        inv.command = GlyphCommand::Version;
        return inv;
    }
    if (first == u"table") {
        inv.command = GlyphCommand::Table;
    } else if (first == u"show") {
        inv.command = GlyphCommand::Show;
    } else {
        return usage(QStringLiteral("commande inconnue : « %1 » (table ou show)").arg(first));
    }

    QStringList positional;
    bool optionsEnd = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        QString word = args[i];
        if (optionsEnd || !word.startsWith(u'-') || word == u"-") {
            positional.append(word);
            continue;
        }
        if (word == u"--") {
            optionsEnd = true;
            continue;
        }
        std::optional<QString> inlineValue;
        if (const auto eq = word.indexOf(u'='); word.startsWith(u"--") && eq > 0) {
            inlineValue = word.mid(eq + 1);
            word.truncate(eq);
        }
        const auto value = [&]() -> std::optional<QString> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };
        const auto flag = [&]() { return !inlineValue.has_value(); };
        const auto setChars = [&](CharSource source) -> bool {
            if (!std::holds_alternative<std::monostate>(inv.chars)) {
                return false;
            }
            inv.chars = std::move(source);
            return true;
        };
        const bool takesValue = word == u"--font" || word == u"--font-file" || word == u"--size" ||
                                word == u"--columns" || word == u"--xoff" || word == u"--yoff" ||
                                word == u"--range" || word == u"--chars" ||
                                word == u"--chars-from" || word == u"-o";
        if (word == u"--help" || word == u"-h") {
            inv.command = GlyphCommand::Help;
            return inv;
        }
        if (!takesValue && word != u"--bold" && word != u"--italic") {
            return usage(QStringLiteral("option inconnue : « %1 »").arg(word));
        }
        if (!takesValue) {
            if (!flag()) {
                return usage(QStringLiteral("« %1 » ne prend pas de valeur").arg(word));
            }
            (word == u"--bold" ? inv.capture.bold : inv.capture.italic) = true;
            inv.capture.any = true;
            continue;
        }
        const auto given = value();
        if (!given) {
            return usage(QStringLiteral("valeur attendue après « %1 »").arg(word));
        }
        if (word == u"--font") {
            if (given->trimmed().isEmpty()) {
                return usage(QStringLiteral("nom de police vide"));
            }
            inv.capture.family = *given;
            inv.capture.any = true;
        } else if (word == u"--font-file") {
            if (given->isEmpty()) {
                return usage(QStringLiteral("nom de fichier de police vide"));
            }
            inv.capture.fontFile = *given;
            inv.capture.any = true;
        } else if (word == u"--size") {
            inv.capture.points = pointSize(*given);
            if (!inv.capture.points) {
                return usage(QStringLiteral("taille hors de %1 à %2 points : « %3 »")
                                 .arg(kMinPoints)
                                 .arg(kMaxPoints)
                                 .arg(*given));
            }
            inv.capture.any = true;
        } else if (word == u"--columns") {
            const auto n = wholeNumber(*given, 0, kMaxTableColumns);
            if (!n) {
                return usage(QStringLiteral("nombre de colonnes hors de 0 à %1 : « %2 »")
                                 .arg(kMaxTableColumns)
                                 .arg(*given));
            }
            inv.capture.columns = *n;
            inv.capture.any = true;
        } else if (word == u"--xoff" || word == u"--yoff") {
            const auto n = wholeNumber(*given, std::numeric_limits<std::int16_t>::min(),
                                       std::numeric_limits<std::int16_t>::max());
            if (!n) {
                return usage(
                    QStringLiteral("décalage hors de -32768 à 32767 : « %1 »").arg(*given));
            }
            (word == u"--xoff" ? inv.capture.xoff : inv.capture.yoff) = *n;
            inv.capture.any = true;
        } else if (word == u"-o") {
            if (inv.command != GlyphCommand::Table || given->isEmpty()) {
                return usage(QStringLiteral("« -o FICHIER » ne va qu'avec table"));
            }
            inv.output = *given;
        } else {
            CharSource source;
            if (word == u"--range") {
                auto range = parseRange(*given);
                if (auto* reason = std::get_if<QString>(&range)) {
                    return usage(*reason);
                }
                source = std::get<CharRange>(range);
            } else if (word == u"--chars") {
                source = CharText{*given};
            } else {
                source = CharFile{*given};
            }
            if (!setChars(std::move(source))) {
                return usage(
                    QStringLiteral("un seul choix de caractères : --range, --chars ou "
                                   "--chars-from"));
            }
        }
    }

    if (inv.capture.fontFile) {
        if (inv.capture.family) {
            return usage(QStringLiteral("--font ou --font-file, pas les deux"));
        }
        if (inv.capture.bold || inv.capture.italic) {
            return usage(QStringLiteral(
                "--bold et --italic ne vont pas avec --font-file : une police bitmap a son style"));
        }
    }
    const bool charsGiven = !std::holds_alternative<std::monostate>(inv.chars);
    if (inv.command == GlyphCommand::Table) {
        if (!positional.isEmpty()) {
            return usage(QStringLiteral("argument en trop : « %1 »").arg(positional.front()));
        }
        if (!charsGiven) {
            return usage(QStringLiteral("caractères attendus : --range, --chars ou --chars-from"));
        }
        return inv;
    }
    // show: a table file alone, or characters with settings.
    if (!charsGiven && !inv.capture.any && positional.size() == 1) {
        inv.tableFile = positional.front();
        return inv;
    }
    if (!positional.isEmpty()) {
        if (charsGiven) {
            return usage(QStringLiteral("argument en trop : « %1 »").arg(positional.front()));
        }
        inv.chars = CharText{positional.join(QString())};
    } else if (!charsGiven) {
        return usage(QStringLiteral("fichier de table ou caractères attendus"));
    }
    return inv;
}

QString glyphctlHelp() {
    return QStringLiteral(
        "Usage : glyphctl table [RÉGLAGES] (--range A-B | --chars TEXTE | --chars-from FICHIER)\n"
        "                       [-o FICHIER]\n"
        "        glyphctl show FICHIER\n"
        "        glyphctl show [RÉGLAGES] (CARACTÈRE... | --range A-B | --chars TEXTE |\n"
        "                                  --chars-from FICHIER)\n"
        "\n"
        "Fait la table de fontes du panneau (comme « fonts.txt » de glyphsmith) ou la montre\n"
        "en texte, une LED par caractère (# allumée, . éteinte). « show A » montre le fichier\n"
        "A s'il existe, sinon le caractère A.\n"
        "\n"
        "Réglages (par défaut ceux de glyphsmith au démarrage) :\n"
        "  --font POLICE     police de capture (celle de glyphsmith)\n"
        "  --font-file FICHIER\n"
        "                    police bitmap (BDF, PCF, PCF.GZ, OTB) prise telle quelle, au\n"
        "                    lieu de --font : une taille de H rangées (16 au plus) donne\n"
        "                    H rangées échantillonnées\n"
        "  --size POINTS     taille, de 1 à 72 points (8.25) ; avec --font-file, la taille\n"
        "                    en pixels la plus proche (sinon celle de hauteur la plus\n"
        "                    proche de 10 rangées)\n"
        "  --bold, --italic  gras, italique\n"
        "  --columns N       colonnes par caractère, de 0 à 26 (8)\n"
        "  --xoff X          décalage horizontal de l'échantillonnage (0)\n"
        "  --yoff Y          décalage vertical de l'échantillonnage (2)\n"
        "\n"
        "Caractères (Windows-1252) :\n"
        "  --range A-B          les codes A à B (0 à 255)\n"
        "  --chars TEXTE        les caractères du texte, une fois chacun, dans l'ordre donné\n"
        "  --chars-from FICHIER les caractères d'un message (UTF-8), une fois chacun, par code\n"
        "  -o FICHIER           écrit la table dans FICHIER (sinon sur la sortie standard)\n"
        "\n"
        "Codes de sortie : 0 fait, 1 échec, 2 usage.\n");
}
