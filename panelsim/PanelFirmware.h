// (interface agreed between rooms; the panelsim room fills in the implementation)
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace panelsim {

using Report = std::array<std::uint8_t, 64>;

// The panel's firmware as a pure function of its state: one output report in,
// the reply (if the command has one) out. No I/O, no threads.
class PanelFirmware {
public:
    using Now = std::function<std::chrono::system_clock::time_point()>;
    explicit PanelFirmware(Now now = [] { return std::chrono::system_clock::now(); });

    std::optional<Report> handle(const Report& out);
};

}  // namespace panelsim
