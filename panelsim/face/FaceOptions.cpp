#include "FaceOptions.h"

#include <charconv>

std::variant<FaceOptions, std::string> parseFaceOptions(const std::vector<std::string>& args) {
    FaceOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word != "--feed" && word != "--pictures-from") {
            continue;
        }
        if (i + 1 >= args.size()) {
            return "valeur attendue après « " + word + " »";
        }
        const std::string& value = args[++i];
        if (word == "--pictures-from") {
            options.picturesFrom = value;
            continue;
        }
        // Digits only: "abc" must not become descriptor 0, standard input.
        int fd = -1;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), fd);
        if (value.empty() || ec != std::errc{} || end != value.data() + value.size() || fd < 0) {
            return "--feed attend un numéro de descripteur : « " + value + " »";
        }
        options.feedFd = fd;
    }
    if (options.feedFd < 0) {
        return "lancé sans son flux ; lancez panelsim --show";
    }
    return options;
}
