#pragma once

#include <chrono>
#include <cstdint>

#include "PanelFirmware.h"

// The one fixed clock of the firmware tests: the host's clock stopped at
// 2009-07-14 09:05:00 and read as local time, so a clock written to the
// panel reads back unchanged. Tests move it on by hand.
struct FirmwareClock {
    static constexpr std::chrono::sys_seconds kStart =
        std::chrono::sys_days{std::chrono::year{2009} / 7 / 14} + std::chrono::hours{9} +
        std::chrono::minutes{5};

    std::chrono::system_clock::time_point now = kStart;

    // A firmware that reads this clock for as long as the clock lives.
    panelsim::PanelFirmware firmware() {
        return panelsim::PanelFirmware(
            [this] { return now; },
            [](std::chrono::system_clock::time_point t) {
                return std::int64_t(
                    std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count());
            });
    }
};
