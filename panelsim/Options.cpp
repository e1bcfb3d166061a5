#include "Options.h"

#include <charconv>

namespace panelsim {

namespace {

template <typename T>
bool parseNumber(const std::string& s, T& value) {
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return !s.empty() && ec == std::errc{} && ptr == s.data() + s.size();
}

// H,M,S,D,MO,Y,AH,AM,ON: bytes each but the year, which takes two.
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
    return "usage: panelsim [options]\n"
           "A virtual LED message panel (USB 04d8:000c) served on a Unix socket;\n"
           "point libmpusbapi at it with MPUSBAPI_VIRTUAL=<socket>.\n"
           "\n"
           "  --socket PATH        socket to serve on (default $XDG_RUNTIME_DIR/panelsim.sock,\n"
           "                       else a private folder under /tmp)\n"
           "  --state FILE         keep text, clock and alarm in FILE across runs\n"
           "                       (a damaged FILE is moved aside to FILE.bad)\n"
           "  --log FILE           append every report, both ways, to FILE (created 0600;\n"
           "                       an existing FILE must be a regular file of yours that\n"
           "                       nobody else may write)\n"
           "  --show               show the panel's LEDs in a window, \"Panneau virtuel\"\n"
           "                       (needs a display; the panel serves on without it)\n"
           "  --no-reply           never answer a report\n"
           "  --nak                answer with 0x55 in byte 0\n"
           "  --fail-write-at N    refuse the Nth output report of the run\n"
           "  --clock-reply H,M,S,D,MO,Y,AH,AM,ON\n"
           "                       answer 0x43 with these values (out of range allowed)\n"
           "  --unplug-after N     act unplugged after N output reports\n"
           "  --help               show this help\n";
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
                return flag + " needs a file name";
            }
            (flag == "--socket"  ? options.socketPath
             : flag == "--state" ? options.statePath
                                 : options.logPath) = *v;
        } else if (flag == "--fail-write-at" || flag == "--unplug-after") {
            const auto v = value();
            std::uint64_t n = 0;
            if (!v || !parseNumber(*v, n) || (flag == "--fail-write-at" && n == 0)) {
                return flag + " needs a number" + (flag == "--fail-write-at" ? " from 1 on" : "");
            }
            (flag == "--fail-write-at" ? options.faults.failWriteAt : options.faults.unplugAfter) =
                n;
        } else if (flag == "--clock-reply") {
            const auto v = value();
            std::array<std::uint8_t, 10> bytes{};
            if (!v || !parseClockReply(*v, bytes)) {
                return "--clock-reply needs nine numbers H,M,S,D,MO,Y,AH,AM,ON "
                       "(bytes, the year up to 65535)";
            }
            options.faults.clockReply = bytes;
        } else {
            return "unknown option " + args[i];
        }
    }
    return options;
}

}  // namespace panelsim
