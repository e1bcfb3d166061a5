// What the panel remembers, and its text form in the state file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace panelsim {

// The panel's text memory.
inline constexpr std::size_t kTextMemory = 200;

// The message a new panel comes with, as a real one does from the factory.
inline constexpr std::string_view kNewPanelText = "Journal lumineux #H  ";

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

// A panel fresh from the box: its own short message, the host's clock, no alarm.
PanelState newPanelState();

// Text form of the state for the state file; importState refuses anything it
// did not write (nullopt), so a damaged file never yields a half-read panel.
std::string exportState(const PanelState& state);
std::optional<PanelState> importState(std::string_view data);

}  // namespace panelsim
