// The panel as panelsim serves it: the firmware plus the faults asked for on
// the command line. Pure: no I/O.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "PanelFirmware.h"

namespace panelsim {

inline constexpr std::uint8_t kReplyNak = 0x55;

struct Faults {
    bool noReply = false;  // takes every report, answers none
    bool nak = false;      // answers with 0x55 in byte 0 instead of 0xAA
    // 1-based number of the output report of the run that is refused.
    std::optional<std::uint64_t> failWriteAt;
    // The 0x43 answer, bytes 1..10, whatever the clock says.
    std::optional<std::array<std::uint8_t, 10>> clockReply;
    // After this many output reports the panel is unplugged.
    std::optional<std::uint64_t> unplugAfter;
};

struct Outcome {
    bool accepted = false;        // false: the host's write fails
    std::optional<Report> reply;  // the input report to send back
    bool stateChanged = false;    // the state file is due
};

class Panel {
public:
    Panel(PanelFirmware& firmware, Faults faults) : firmware_(firmware), faults_(faults) {}

    Outcome onReport(const Report& out);
    // True once the panel stopped answering for good.
    bool unplugged() const { return faults_.unplugAfter && reports_ >= *faults_.unplugAfter; }

private:
    PanelFirmware& firmware_;
    Faults faults_;
    std::uint64_t reports_ = 0;
};

}  // namespace panelsim
