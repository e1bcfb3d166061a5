// panelsim's command line.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "Panel.h"

namespace panelsim {

struct Options {
    std::string socketPath;  // empty: the default place
    std::string statePath;   // empty: no state file
    std::string logPath;     // empty: no log
    Faults faults;
    bool show = false;  // open the panel's LED face in a window
    bool help = false;
};

// The options, or the reason the command line is refused.
std::variant<Options, std::string> parseOptions(const std::vector<std::string>& args);

std::string usage();

}  // namespace panelsim
