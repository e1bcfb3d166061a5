// The state file: the panel's memory across runs of panelsim.
#pragma once

#include <optional>
#include <string>

#include "PanelFirmware.h"

namespace panelsim {

struct LoadedState {
    std::optional<PanelState> state;  // nullopt: start a new panel
    std::string problem;              // why not, when the file was there but unusable
};

LoadedState loadState(const std::string& path);

// Writes a temporary file beside path and renames it over path, so a reader
// (or a crash) never sees half a file. False, with errno set, on failure.
bool saveState(const std::string& path, const PanelState& state);

}  // namespace panelsim
