// The panel's firmware fed a state file and any run of output reports: the
// import takes only what the export wrote, a reply is an acknowledged report
// or none, the clock stays a clock and the state always survives its file.
#include <chrono>
#include <string>

#include "FuzzSupport.h"
#include "PanelFirmware.h"

namespace {

using namespace panelsim;

void checkStateFile(const PanelState& state) {
    const auto back = importState(exportState(state));
    FUZZ_CHECK(back && *back == state);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const bool stateFirst = (in.take<std::uint8_t>() & 1) != 0;
    // Any host time from 1970 on 2106, read as local time.
    const auto hostSeconds = std::chrono::seconds{in.take<std::uint32_t>()};
    PanelFirmware firmware(
        [hostSeconds] { return std::chrono::system_clock::time_point{hostSeconds}; },
        [](std::chrono::system_clock::time_point t) {
            return std::int64_t{
                std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count()};
        });
    if (stateFirst) {
        const QByteArray file = in.rest();
        if (const auto state = importState(std::string_view(file.constData(), file.size()))) {
            checkStateFile(*state);
        }
        return 0;
    }
    while (!in.empty()) {
        Report out{};
        const QByteArray bytes = in.bytes(out.size());
        std::copy(bytes.begin(), bytes.end(), out.begin());
        const auto reply = firmware.handle(out);
        const bool answers =
            out[0] == kCmdReadText || out[0] == kCmdReadClock || out[0] == kCmdWriteClock;
        FUZZ_CHECK(reply.has_value() == answers);
        if (reply) {
            FUZZ_CHECK((*reply)[0] == kReplyAck);
        }
        const ClockFields c = firmware.clock();
        FUZZ_CHECK(c.hour >= 0 && c.hour < 24 && c.minute >= 0 && c.minute < 60 && c.second >= 0 &&
                   c.second < 60 && c.day >= 1 && c.day <= 31 && c.month >= 1 && c.month <= 12 &&
                   c.year >= 0 && c.year <= 65535);
        if (out[0] == kCmdWriteClock) {
            FUZZ_CHECK(c.alarmHour == out[8] && c.alarmMinute == out[9] &&
                       c.alarmOn == (out[10] != 0));
        }
        if (out[0] == kCmdReadText) {
            // The text as stored, up to its end or the chunk's.
            const std::string text = firmware.state().text();
            const std::size_t shown = std::min(text.size(), kChunkChars);
            FUZZ_CHECK(std::string(reply->begin() + 2, reply->begin() + 2 + shown) ==
                       text.substr(0, shown));
            FUZZ_CHECK(std::all_of(reply->begin() + 2 + shown, reply->end(),
                                   [](auto b) { return b == 0; }));
        }
        FUZZ_CHECK(firmware.state().text().size() <= kTextMemory);
        checkStateFile(firmware.state());
    }
    return 0;
}
