// The virtual panel's socket framing, as the library meets a peer's bytes:
// any stream cut anywhere gives the frames a whole read gives, and the
// client keeps a reply only when it is 64 bytes and an accepted report
// allows it, one at a time; a busy refusal allows none.
// The same frames, as panelsim meets them from several clients, go to the
// panel's hold: only a report takes or keeps it, and a report of another
// client is refused until 3 s after the holder's last report or its leaving.
#include <array>
#include <chrono>
#include <optional>
#include <vector>

#include "FuzzSupport.h"
#include "PanelHold.h"
#include "VirtualWire.h"

using namespace mpusbwire;

namespace {

struct Seen {
    std::uint8_t type;
    std::vector<std::uint8_t> payload;
    bool oversized;
    bool operator==(const Seen&) const = default;
};

// The frames of a whole stream, read straight from the rules.
std::vector<Seen> framesOf(const std::uint8_t* p, std::size_t size) {
    std::vector<Seen> out;
    std::size_t i = 0;
    while (i + kHeaderSize <= size) {
        const std::size_t n = std::size_t{p[i + 1]} << 8 | p[i + 2];
        if (n > kMaxPayload) {
            out.push_back({p[i], {}, true});
            i += kHeaderSize + n;
            continue;
        }
        if (i + kHeaderSize + n > size) {
            break;
        }
        out.push_back({p[i], {p + i + kHeaderSize, p + i + kHeaderSize + n}, false});
        i += kHeaderSize + n;
    }
    return out;
}

constexpr std::chrono::milliseconds kLimit{3000};

// Frame i comes from one of four clients (2 bits of who) after a pause of
// 0 to 3 s in half seconds, or its client leaves instead (7 in 3 bits of when).
void checkHold(const std::vector<Seen>& frames, std::uint64_t who, std::uint64_t when) {
    using Clock = PanelHold::Clock;
    PanelHold hold(kLimit);
    Clock::time_point now{};
    // What the rule says, kept apart from PanelHold.
    std::optional<int> holder;
    Clock::time_point lastReport{};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int client = static_cast<int>(who >> (2 * (i % 32)) & 3);
        const int pause = static_cast<int>(when >> (3 * (i % 21)) & 7);
        if (pause == 7) {
            hold.release(static_cast<PanelHold::Client>(client));
            holder = holder == client ? std::nullopt : holder;
            continue;
        }
        now += std::chrono::milliseconds(500 * pause);
        if (holder && now >= lastReport + kLimit) {
            holder.reset();
        }
        const Seen& f = frames[i];
        const Frame frame{f.type, f.payload, f.oversized, f.payload.size()};
        const bool report =
            f.type == kOut && !f.oversized && !f.payload.empty() && f.payload.size() <= kMaxPayload;
        FUZZ_CHECK(isReport(frame) == report);
        if (report) {
            const bool taken = !holder || *holder == client;
            FUZZ_CHECK(hold.claim(static_cast<PanelHold::Client>(client), now) == taken);
            if (taken) {
                holder = client;
                lastReport = now;
            }
        }
        const auto held = hold.holder(now);
        FUZZ_CHECK(held.has_value() == holder.has_value());
        FUZZ_CHECK(!held || static_cast<int>(*held) == *holder);
        FUZZ_CHECK(hold.lapses(now) ==
                   (holder ? std::optional(lastReport + kLimit) : std::nullopt));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const auto cuts = in.take<std::uint64_t>();
    const auto who = in.take<std::uint64_t>();
    const auto when = in.take<std::uint64_t>();
    const QByteArray stream = in.rest();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.constData());
    const auto total = static_cast<std::size_t>(stream.size());

    // Fed in pieces of 1 to 8 bytes, as the cuts say, with a look after each.
    FrameReader reader;
    ClientInbox inbox;
    std::vector<Seen> frames;
    int accepted = 0;
    int replies = 0;
    // After a busy refusal, until the next accept: only a reply held already may come out.
    bool busy = false;
    bool heldAtBusy = false;
    for (std::size_t pos = 0, k = 0; pos < total; ++k) {
        const std::size_t n = std::min<std::size_t>(1 + (cuts >> (3 * (k % 21)) & 7), total - pos);
        reader.feed(bytes + pos, n);
        inbox.feed(bytes + pos, n);
        pos += n;
        while (auto f = reader.next()) {
            FUZZ_CHECK(f->oversized ? f->payload.empty() : f->payload.size() == f->declaredSize);
            frames.push_back({f->type, f->payload, f->oversized});
        }
        while (auto answer = inbox.nextAnswer()) {
            FUZZ_CHECK(answer->type == kAccepted || answer->type == kRefused ||
                       answer->type == kHelloReply);
            FUZZ_CHECK(!answer->isBusy() || answer->type == kRefused);
            accepted += answer->type == kAccepted;
            if (answer->isBusy()) {
                heldAtBusy = busy ? heldAtBusy : inbox.hasReply();
                busy = true;
            } else if (answer->type == kAccepted) {
                busy = false;
            }
        }
        if ((cuts >> (k % 64)) & 1) {
            if (const auto reply = inbox.takeReply()) {
                FUZZ_CHECK(reply->size() == kReportSize);
                FUZZ_CHECK(++replies <= accepted);
                // Nothing answers a report the panel refused as busy.
                FUZZ_CHECK(!busy || heldAtBusy);
                heldAtBusy = false;
            }
        }
    }
    FUZZ_CHECK(frames == framesOf(bytes, total));
    checkHold(frames, who, when);
    inbox.forget();
    FUZZ_CHECK(!inbox.hasReply());
    return 0;
}
