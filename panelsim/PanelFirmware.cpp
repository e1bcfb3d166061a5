#include "PanelFirmware.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <sstream>
#include <vector>

namespace panelsim {

namespace {

constexpr std::int64_t kDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t daysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil {
    std::int64_t year, month, day;
};

Civil civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp + (mp < 10 ? 3 : -9);
    return {yoe + era * 400 + (m <= 2), m, d};
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

constexpr std::string_view kStateMagic = "panelsim-state 1";

}  // namespace

std::string PanelState::text() const {
    const auto end = std::find(memory.begin(), memory.end(), std::uint8_t{0});
    return std::string(memory.begin(), end);
}

std::int64_t secondsFromFields(const ClockFields& f) {
    // Carry months into years first, then days, hours... add up linearly.
    const std::int64_t months = std::int64_t{f.year} * 12 + (f.month - 1);
    const std::int64_t y = floorDiv(months, 12);
    const std::int64_t m = months - y * 12 + 1;
    const std::int64_t days = daysFromCivil(y, m, 1) + (f.day - 1);
    return days * kDay + std::int64_t{f.hour} * 3600 + std::int64_t{f.minute} * 60 + f.second;
}

ClockFields fieldsFromSeconds(std::int64_t seconds) {
    const std::int64_t days = floorDiv(seconds, kDay);
    const std::int64_t rest = seconds - days * kDay;
    const Civil c = civilFromDays(days);
    ClockFields f;
    f.hour = static_cast<int>(rest / 3600);
    f.minute = static_cast<int>(rest / 60 % 60);
    f.second = static_cast<int>(rest % 60);
    f.day = static_cast<int>(c.day);
    f.month = static_cast<int>(c.month);
    f.year = static_cast<int>(c.year);
    return f;
}

std::int64_t clampToClockRange(std::int64_t seconds) {
    static constexpr ClockFields first{0, 0, 0, 1, 1, 0};
    static constexpr ClockFields last{23, 59, 59, 31, 12, 65535};
    return std::clamp(seconds, secondsFromFields(first), secondsFromFields(last));
}

std::int64_t PanelFirmware::systemLocalSeconds(std::chrono::system_clock::time_point t) {
    const std::time_t tt = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    if (localtime_r(&tt, &tm) == nullptr) {
        return static_cast<std::int64_t>(tt);
    }
    return static_cast<std::int64_t>(tt) + tm.tm_gmtoff;
}

PanelFirmware::PanelFirmware(Now now, ToLocal toLocal)
    : now_(std::move(now)), toLocal_(std::move(toLocal)) {}

std::int64_t PanelFirmware::localNow() const {
    return toLocal_(now_());
}

ClockFields PanelFirmware::clock() const {
    ClockFields f = fieldsFromSeconds(clampToClockRange(localNow() + state_.clockOffsetSeconds));
    f.alarmHour = state_.alarmHour;
    f.alarmMinute = state_.alarmMinute;
    f.alarmOn = state_.alarmOn ? 1 : 0;
    return f;
}

std::optional<Report> PanelFirmware::handle(const Report& out) {
    Report reply{};
    switch (out[0]) {
        case kCmdWriteText:
            writeText(out);
            return std::nullopt;
        case kCmdReadText:
            reply[0] = kReplyAck;
            std::copy_n(state_.memory.begin(), kChunkChars, reply.begin() + 2);
            // Only the text goes out: what lies behind its end stays zero.
            if (const auto end = std::find(reply.begin() + 2, reply.end(), std::uint8_t{0});
                end != reply.end()) {
                std::fill(end, reply.end(), std::uint8_t{0});
            }
            return reply;
        case kCmdReadClock: {
            const ClockFields f = clock();
            reply[0] = kReplyAck;
            reply[1] = static_cast<std::uint8_t>(f.hour);
            reply[2] = static_cast<std::uint8_t>(f.minute);
            reply[3] = static_cast<std::uint8_t>(f.second);
            reply[4] = static_cast<std::uint8_t>(f.day);
            reply[5] = static_cast<std::uint8_t>(f.month);
            reply[6] = static_cast<std::uint8_t>(f.year >> 8);
            reply[7] = static_cast<std::uint8_t>(f.year & 0xFF);
            reply[8] = f.alarmHour;
            reply[9] = f.alarmMinute;
            reply[10] = f.alarmOn;
            return reply;
        }
        case kCmdWriteClock:
            writeClock(out);
            reply[0] = kReplyAck;
            return reply;
        default:
            return std::nullopt;
    }
}

void PanelFirmware::writeText(const Report& out) {
    const std::size_t offset = out[1];
    const auto first = out.begin() + 2;
    const auto end = std::find(first, out.end(), std::uint8_t{0});
    const std::size_t count = static_cast<std::size_t>(end - first);
    if (offset >= kTextMemory) {
        return;
    }
    const std::size_t stored = std::min(count, kTextMemory - offset);
    std::copy_n(first, stored, state_.memory.begin() + static_cast<std::ptrdiff_t>(offset));
    // The chunk ends the text; a later chunk at that offset carries it on.
    if (offset + stored < kTextMemory) {
        state_.memory[offset + stored] = 0;
    }
}

void PanelFirmware::writeClock(const Report& out) {
    ClockFields f;
    f.hour = out[1];
    f.minute = out[2];
    f.second = out[3];
    f.day = out[4];
    f.month = out[5];
    f.year = out[6] * 256 + out[7];
    // An impossible date carries over like a calendar (31/02 -> 3/03) instead
    // of being refused: the host has no way to see a refusal.
    const std::int64_t wanted = clampToClockRange(secondsFromFields(f));
    state_.clockOffsetSeconds = wanted - localNow();
    state_.alarmHour = out[8];
    state_.alarmMinute = out[9];
    state_.alarmOn = out[10] != 0;
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
