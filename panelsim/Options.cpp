#include "Options.h"

#include <charconv>

namespace panelsim {

namespace {

template <typename T>
bool parseNumber(const std::string& s, T& value) {
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return !s.empty() && ec == std::errc{} && ptr == s.data() + s.size();
}

// H,M,S,J,MO,A,RH,RM,ON (hour, minute, second, day, month, year, alarm): bytes each but the year,
// which takes two.
bool parseClockReply(const std::string& text, std::array<std::uint8_t, 10>& bytes) {
    std::vector<unsigned> values;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        unsigned v = 0;
        if (!parseNumber(text.substr(start, comma - start), v)) {
            return false;
        }
        values.push_back(v);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (values.size() != 9) {
        return false;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] > (i == 5 ? 0xFFFFu : 0xFFu)) {
            return false;
        }
    }
    bytes = {static_cast<std::uint8_t>(values[0]),        static_cast<std::uint8_t>(values[1]),
             static_cast<std::uint8_t>(values[2]),        static_cast<std::uint8_t>(values[3]),
             static_cast<std::uint8_t>(values[4]),        static_cast<std::uint8_t>(values[5] >> 8),
             static_cast<std::uint8_t>(values[5] & 0xFF), static_cast<std::uint8_t>(values[6]),
             static_cast<std::uint8_t>(values[7]),        static_cast<std::uint8_t>(values[8])};
    return true;
}

}  // namespace

std::string usage() {
    return "usage : panelsim [options]\n"
           "Un journal lumineux virtuel (USB 04d8:000c) servi sur un socket Unix ;\n"
           "la bibliothèque libmpusbapi s'y adresse avec MPUSBAPI_VIRTUAL=<socket>.\n"
           "\n"
           "  --socket CHEMIN      le socket où répondre (par défaut\n"
           "                       $XDG_RUNTIME_DIR/panelsim.sock, sinon un dossier\n"
           "                       privé sous /tmp)\n"
           "  --state FICHIER      garde le texte, l'horloge et le réveil dans FICHIER\n"
           "                       d'une fois sur l'autre (un FICHIER abîmé est mis de\n"
           "                       côté sous FICHIER.bad)\n"
           "  --log FICHIER        ajoute chaque rapport, dans les deux sens, à FICHIER\n"
           "                       (créé en 0600 ; un FICHIER déjà là doit être un\n"
           "                       fichier ordinaire à vous que personne d'autre ne\n"
           "                       peut écrire)\n"
           "  --show               montre les LED du panneau dans une fenêtre,\n"
           "                       « Panneau virtuel » (il faut un écran ; le panneau\n"
           "                       sert quand même sans elle)\n"
           "  --no-reply           ne répond jamais à un rapport\n"
           "  --nak                répond avec 0x55 dans l'octet 0\n"
           "  --fail-write-at N    refuse le N-ième rapport de sortie\n"
           "  --clock-reply H,M,S,J,MO,A,RH,RM,ON\n"
           "                       répond à 0x43 avec ces valeurs (même hors limites)\n"
           "  --unplug-after N     fait comme s'il était débranché après N rapports\n"
           "                       de sortie\n"
           "  --help               cette aide\n";
}

std::variant<Options, std::string> parseOptions(const std::vector<std::string>& args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string flag = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = flag.find('='); flag.starts_with("--") && eq != std::string::npos) {
            inlineValue = flag.substr(eq + 1);
            flag.resize(eq);
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };
        const auto takesNoValue = [&] { return !inlineValue; };
        if (flag == "--help" || flag == "-h") {
            options.help = true;
        } else if (flag == "--show" && takesNoValue()) {
            options.show = true;
        } else if (flag == "--no-reply" && takesNoValue()) {
            options.faults.noReply = true;
        } else if (flag == "--nak" && takesNoValue()) {
            options.faults.nak = true;
        } else if (flag == "--socket" || flag == "--state" || flag == "--log") {
            const auto v = value();
            if (!v || v->empty()) {
                return flag + " attend un nom de fichier";
            }
            (flag == "--socket"  ? options.socketPath
             : flag == "--state" ? options.statePath
                                 : options.logPath) = *v;
        } else if (flag == "--fail-write-at" || flag == "--unplug-after") {
            const auto v = value();
            std::uint64_t n = 0;
            if (!v || !parseNumber(*v, n) || (flag == "--fail-write-at" && n == 0)) {
                return flag + " attend un nombre" +
                       (flag == "--fail-write-at" ? " à partir de 1" : "");
            }
            (flag == "--fail-write-at" ? options.faults.failWriteAt : options.faults.unplugAfter) =
                n;
        } else if (flag == "--clock-reply") {
            const auto v = value();
            std::array<std::uint8_t, 10> bytes{};
            if (!v || !parseClockReply(*v, bytes)) {
                return "--clock-reply attend neuf nombres H,M,S,J,MO,A,RH,RM,ON "
                       "(des octets, l'année jusqu'à 65535)";
            }
            options.faults.clockReply = bytes;
        } else {
            return "option inconnue : « " + args[i] + " »";
        }
    }
    return options;
}

}  // namespace panelsim
