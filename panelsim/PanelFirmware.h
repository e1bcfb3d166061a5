// The panel's firmware as a pure function of its state: one output report in,
// the reply (if the command has one) out. No I/O, no threads.
// Its protocol constants are its own on purpose: a codec shared with the
// library would hide a misreading that both sides share.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "Calendar.h"
#include "PanelState.h"

namespace panelsim {

using Report = std::array<std::uint8_t, 64>;

// Command codes and the acknowledgement the panel understands.
inline constexpr std::uint8_t kCmdWriteText = 0x58;
inline constexpr std::uint8_t kCmdReadText = 0x85;
inline constexpr std::uint8_t kCmdReadClock = 0x43;
inline constexpr std::uint8_t kCmdWriteClock = 0x34;
inline constexpr std::uint8_t kReplyAck = 0xAA;

// The characters one report carries.
inline constexpr std::size_t kChunkChars = 62;

class PanelFirmware {
public:
    using Now = std::function<std::chrono::system_clock::time_point()>;
    // Host's local wall-clock time of an instant, as seconds since 1970-01-01
    // (as if the local time were UTC). The default asks the C library.
    using ToLocal = std::function<std::int64_t(std::chrono::system_clock::time_point)>;

    explicit PanelFirmware(
        Now now = [] { return std::chrono::system_clock::now(); },
        ToLocal toLocal = systemLocalSeconds);

    std::optional<Report> handle(const Report& out);

    const PanelState& state() const { return state_; }
    void setState(const PanelState& state) { state_ = state; }

    // The panel's clock and alarm right now, as a 0x43 reply would carry them.
    ClockFields clock() const;

    static std::int64_t systemLocalSeconds(std::chrono::system_clock::time_point t);

private:
    void writeText(const Report& out);
    void writeClock(const Report& out);
    std::int64_t localNow() const;

    Now now_;
    ToLocal toLocal_;
    PanelState state_;
};

}  // namespace panelsim
