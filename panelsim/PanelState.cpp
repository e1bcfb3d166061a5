#include "PanelState.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <vector>

namespace panelsim {

namespace {

constexpr std::string_view kStateMagic = "panelsim-state 1";

}  // namespace

std::string PanelState::text() const {
    const auto end = std::find(memory.begin(), memory.end(), std::uint8_t{0});
    return std::string(memory.begin(), end);
}

PanelState newPanelState() {
    PanelState state;
    std::copy(kNewPanelText.begin(), kNewPanelText.end(), state.memory.begin());
    return state;
}

std::string exportState(const PanelState& state) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string memory;
    for (const std::uint8_t b : state.memory) {
        memory += hex[b >> 4];
        memory += hex[b & 0xF];
    }
    std::ostringstream os;
    os << kStateMagic << '\n'
       << "text " << memory << '\n'
       << "clock-offset " << state.clockOffsetSeconds << '\n'
       << "alarm " << int{state.alarmHour} << ' ' << int{state.alarmMinute} << ' '
       << (state.alarmOn ? 1 : 0) << '\n';
    return os.str();
}

namespace {

// Splits into lines; a missing final newline means the file was cut short.
std::optional<std::vector<std::string_view>> lines(std::string_view data) {
    std::vector<std::string_view> result;
    while (!data.empty()) {
        const auto nl = data.find('\n');
        if (nl == std::string_view::npos) {
            return std::nullopt;
        }
        result.push_back(data.substr(0, nl));
        data.remove_prefix(nl + 1);
    }
    return result;
}

template <typename T>
bool parseNumber(std::string_view s, T& value) {
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc{} && ptr == s.data() + s.size() && !s.empty();
}

std::optional<std::string_view> field(std::string_view line, std::string_view key) {
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ' ') {
        return std::nullopt;
    }
    return line.substr(key.size() + 1);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

std::optional<PanelState> importState(std::string_view data) {
    const auto ls = lines(data);
    if (!ls || ls->size() != 4 || (*ls)[0] != kStateMagic) {
        return std::nullopt;
    }
    PanelState state;
    const auto text = field((*ls)[1], "text");
    if (!text || text->size() != 2 * kTextMemory) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kTextMemory; ++i) {
        const int hi = hexValue((*text)[2 * i]);
        const int lo = hexValue((*text)[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            return std::nullopt;
        }
        state.memory[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    const auto offset = field((*ls)[2], "clock-offset");
    // Beyond the clock's whole span an offset means nothing and would overflow.
    constexpr std::int64_t kMaxOffset = std::int64_t{1} << 42;
    if (!offset || !parseNumber(*offset, state.clockOffsetSeconds) ||
        state.clockOffsetSeconds > kMaxOffset || state.clockOffsetSeconds < -kMaxOffset) {
        return std::nullopt;
    }
    const auto alarm = field((*ls)[3], "alarm");
    if (!alarm) {
        return std::nullopt;
    }
    unsigned hour = 0, minute = 0, on = 0;
    const auto sp1 = alarm->find(' ');
    const auto sp2 = sp1 == std::string_view::npos ? sp1 : alarm->find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || !parseNumber(alarm->substr(0, sp1), hour) ||
        !parseNumber(alarm->substr(sp1 + 1, sp2 - sp1 - 1), minute) ||
        !parseNumber(alarm->substr(sp2 + 1), on) || hour > 255 || minute > 255 || on > 1) {
        return std::nullopt;
    }
    state.alarmHour = static_cast<std::uint8_t>(hour);
    state.alarmMinute = static_cast<std::uint8_t>(minute);
    state.alarmOn = on == 1;
    return state;
}

}  // namespace panelsim
