#include "PanelFirmware.h"

#include <algorithm>
#include <ctime>

namespace panelsim {

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

}  // namespace panelsim
