// The state file: the panel's memory across runs of panelsim.
#pragma once

#include <optional>
#include <string>

#include "PanelState.h"

namespace panelsim {

struct LoadedState {
    // The panel to serve; nullopt when panelsim must not start, because the
    // file holds something it may not read or may not replace.
    std::optional<PanelState> state;
    // One line for the user when the file was not simply read: why a new
    // panel, or why not starting. Empty when the file was read.
    std::string note;
};

// Reads the state file at path. No file yet: a new panel. A file that is not
// a panelsim state file is moved aside to path + ".bad" and a new panel
// starts; one that cannot be read (permissions, not a regular file) stops
// panelsim, so nothing it cannot read is ever overwritten.
LoadedState loadState(const std::string& path);

// Writes a temporary file beside path, flushes it to disk and renames it over
// path, then flushes the folder: a reader, a kill or a power cut sees either
// the old file or the new one. False, with errno set, on failure.
bool saveState(const std::string& path, const PanelState& state);

// Removes temporary files that saveState left beside path when panelsim was
// killed between writing and renaming them. Returns how many went.
int removeStaleTemporaries(const std::string& path);

}  // namespace panelsim
