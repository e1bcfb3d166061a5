// Which connection the virtual panel serves. The first to send a report takes
// the panel, and keeps it while it goes on sending reports: it is free again
// when that connection leaves or has sent no report for the limit. Nothing but
// a report counts, so a program that only says hello (a presence test, a
// keep-alive) cannot lock the others out.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "VirtualWire.h"

namespace mpusbwire {

// The frames that claim the panel: out reports with something in them.
inline bool isReport(const Frame& frame) {
    return frame.type == kOut && !frame.oversized && !frame.payload.empty();
}

class PanelHold {
public:
    using Clock = std::chrono::steady_clock;
    using Client = std::uint64_t;

    explicit PanelHold(std::chrono::milliseconds limit) : limit_(limit) {}

    // A report from client at now: true when the panel takes it (the client
    // then holds it until limit after now), false while another holds it.
    bool claim(Client client, Clock::time_point now) {
        if (const auto other = holder(now); other && *other != client) {
            return false;
        }
        holder_ = client;
        lastReport_ = now;
        return true;
    }

    // The client left: the panel is free for the next one at once.
    void release(Client client) {
        if (holder_ == client) {
            holder_.reset();
        }
    }

    std::optional<Client> holder(Clock::time_point now) const {
        if (holder_ && now < lastReport_ + limit_) {
            return holder_;
        }
        return std::nullopt;
    }

    // When the present hold lapses, if someone holds the panel at now.
    std::optional<Clock::time_point> lapses(Clock::time_point now) const {
        if (holder(now)) {
            return lastReport_ + limit_;
        }
        return std::nullopt;
    }

private:
    std::chrono::milliseconds limit_;
    std::optional<Client> holder_;
    Clock::time_point lastReport_{};
};

}  // namespace mpusbwire
