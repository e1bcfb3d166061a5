#include "FaceFeed.h"

#include <charconv>

namespace panelsim {

namespace {

constexpr std::string_view kEnd = "\n\n";
constexpr std::size_t kMaxName = 32;

}  // namespace

std::string peerName(std::string_view raw) {
    std::string name;
    for (const char c : raw.substr(0, kMaxName)) {
        name += (c > ' ' && c <= '~') ? c : '?';
    }
    return name.empty() ? "?" : name;
}

std::string encodeFaceView(const FaceView& view) {
    std::string message = exportState(view.state);
    message += "clients " + std::to_string(view.clients) + '\n';
    message += view.holder ? "holder " + std::to_string(view.holder->pid) + ' ' +
                                 peerName(view.holder->name) + '\n'
                           : std::string("holder -\n");
    message += '\n';
    return message;
}

std::optional<FaceView> decodeFaceView(std::string_view message) {
    // The last two lines are the server's; the state's own reader checks the rest.
    if (!message.ends_with(kEnd)) {
        return std::nullopt;
    }
    message.remove_suffix(1);
    const auto holderStart = message.rfind('\n', message.size() - 2);
    if (holderStart == std::string_view::npos || holderStart == 0) {
        return std::nullopt;
    }
    const auto clientsStart = message.rfind('\n', holderStart - 1);
    if (clientsStart == std::string_view::npos) {
        return std::nullopt;
    }
    const auto state = importState(message.substr(0, clientsStart + 1));
    if (!state) {
        return std::nullopt;
    }
    FaceView view;
    view.state = *state;
    std::string_view clients = message.substr(clientsStart + 1, holderStart - clientsStart - 1);
    std::string_view holder = message.substr(holderStart + 1, message.size() - holderStart - 2);
    if (!clients.starts_with("clients ") || !holder.starts_with("holder ")) {
        return std::nullopt;
    }
    clients.remove_prefix(8);
    holder.remove_prefix(7);
    const auto [end, ec] =
        std::from_chars(clients.data(), clients.data() + clients.size(), view.clients);
    if (ec != std::errc{} || end != clients.data() + clients.size() || clients.empty()) {
        return std::nullopt;
    }
    if (holder != "-") {
        const auto blank = holder.find(' ');
        Peer peer;
        const auto pid = holder.substr(0, blank);
        const auto [pend, pec] = std::from_chars(pid.data(), pid.data() + pid.size(), peer.pid);
        if (blank == std::string_view::npos || pec != std::errc{} ||
            pend != pid.data() + pid.size() || pid.empty() || peer.pid < 0) {
            return std::nullopt;
        }
        peer.name = std::string(holder.substr(blank + 1));
        if (peerName(peer.name) != peer.name) {
            return std::nullopt;
        }
        view.holder = peer;
    }
    return view;
}

void FaceFeedReader::feed(const char* data, std::size_t size) {
    buffer_.append(data, size);
}

std::optional<FaceView> FaceFeedReader::next() {
    for (;;) {
        const auto end = buffer_.find(kEnd);
        if (end == std::string::npos) {
            if (buffer_.size() > kMaxMessage) {
                // Too long to be one of ours: dropped up to its end.
                discarding_ = true;
                buffer_.erase(0, buffer_.size() - 1);
            }
            return std::nullopt;
        }
        const std::string message = buffer_.substr(0, end + kEnd.size());
        buffer_.erase(0, end + kEnd.size());
        if (discarding_) {
            discarding_ = false;
            ++skipped_;
            continue;
        }
        if (auto view = message.size() <= kMaxMessage ? decodeFaceView(message) : std::nullopt) {
            return view;
        }
        ++skipped_;
    }
}

}  // namespace panelsim
