// The panel's firmware as a pure function of its state: one output report in,
// the reply (if the command has one) out. No I/O, no threads.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace panelsim {

using Report = std::array<std::uint8_t, 64>;

// Command codes and the acknowledgement the panel understands.
inline constexpr std::uint8_t kCmdWriteText = 0x58;
inline constexpr std::uint8_t kCmdReadText = 0x85;
inline constexpr std::uint8_t kCmdReadClock = 0x43;
inline constexpr std::uint8_t kCmdWriteClock = 0x34;
inline constexpr std::uint8_t kReplyAck = 0xAA;

// The panel's text memory and the characters one report carries.
inline constexpr std::size_t kTextMemory = 200;
inline constexpr std::size_t kChunkChars = 62;

// The panel's clock and alarm as they travel in bytes 1..10 of a report.
struct ClockFields {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int day = 1;
    int month = 1;
    int year = 2000;
    std::uint8_t alarmHour = 0;
    std::uint8_t alarmMinute = 0;
    std::uint8_t alarmOn = 0;
    bool operator==(const ClockFields&) const = default;
};

// Everything the panel remembers. The text memory is kept raw: a zero byte
// ends the text, and a full 200-byte text has no zero at all.
struct PanelState {
    std::array<std::uint8_t, kTextMemory> memory{};
    // Panel clock minus the host's local time: the clock runs with the host's.
    std::int64_t clockOffsetSeconds = 0;
    std::uint8_t alarmHour = 0;
    std::uint8_t alarmMinute = 0;
    bool alarmOn = false;
    bool operator==(const PanelState&) const = default;

    // The stored text, up to its first zero byte.
    std::string text() const;
};

// Text form of the state for the state file; importState refuses anything it
// did not write (nullopt), so a damaged file never yields a half-read panel.
std::string exportState(const PanelState& state);
std::optional<PanelState> importState(std::string_view data);

// Wall-clock time as a plain count of seconds since 1970-01-01 and back. Out
// of range fields carry over the way a calendar does (31/02 is 3/03 or 2/03,
// hour 24 is the next day); the alarm fields are not part of the count.
std::int64_t secondsFromFields(const ClockFields& f);
ClockFields fieldsFromSeconds(std::int64_t seconds);
// The clock keeps to years 0..65535, what the two year bytes can carry.
std::int64_t clampToClockRange(std::int64_t seconds);

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
