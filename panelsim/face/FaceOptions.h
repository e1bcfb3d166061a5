// panelsim-face's command line, as panelsim starts it: "--feed FD" and
// "--pictures-from DIR". Pure: no I/O.
#pragma once

#include <string>
#include <variant>
#include <vector>

struct FaceOptions {
    int feedFd = -1;
    std::string picturesFrom;  // empty: the working folder
};

// The options, or why they are refused (French, without the program's name).
// Other words are left to Qt, as any Qt program's.
std::variant<FaceOptions, std::string> parseFaceOptions(const std::vector<std::string>& args);
