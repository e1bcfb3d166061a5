#include "PanelServer.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ErrnoText.h"

namespace panelsim {

static_assert(ListeningSocket::kBacklog == PanelServer::kMaxClients);

namespace {

// The process at the other end of a connection, as the kernel knows it; 0
// when it can't say.
long peerPid(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        return 0;
    }
    return std::max<long>(credentials.pid, 0);
}

}  // namespace

struct PanelServer::Client {
    std::uint64_t id = 0;
    UniqueFd fd;
    mpusbwire::FrameReader reader;
    Clock::time_point lastHeard;  // any frame: who is silent the longest
    bool closed = false;
    long pid = 0;  // asked only when a watcher shows who holds the panel
};

PanelServer::PanelServer(ListeningSocket& socket, Panel& panel, ReportLog& log,
                         std::function<void()> onStateChanged, std::chrono::milliseconds idleLimit)
    : socket_(socket),
      panel_(panel),
      log_(log),
      onStateChanged_(std::move(onStateChanged)),
      hold_(idleLimit) {}

PanelServer::~PanelServer() = default;

int PanelServer::run(int stopFd) {
    for (;;) {
        const auto now = Clock::now();
        if (acceptResumes_ && now >= *acceptResumes_) {
            acceptResumes_.reset();
        }
        const bool accepting = !acceptResumes_;
        showWatcher();
        // A hold lapses by itself (PanelHold): only a resting accept needs a
        // wake-up, and a watcher, which shows who holds the panel.
        std::optional<Clock::time_point> wake = acceptResumes_;
        for (const auto& at : {watcher_ ? hold_.lapses(now) : std::nullopt,
                               watcher_ ? watcher_->dueAt() : std::nullopt}) {
            if (at && (!wake || *at < *wake)) {
                wake = at;
            }
        }

        std::vector<pollfd> fds;
        fds.push_back({stopFd, POLLIN, 0});
        // A resting listening socket is polled for nothing, i.e. left out.
        fds.push_back({socket_.fd(), static_cast<short>(accepting ? POLLIN : 0), 0});
        for (const auto& client : clients_) {
            fds.push_back({client->fd.get(), POLLIN, 0});
        }
        const std::size_t watcherSlot = fds.size();
        if (watcher_ != nullptr && watcher_->pollFd() >= 0) {
            fds.push_back({watcher_->pollFd(), watcher_->pollEvents(), 0});
        }
        int timeout = -1;
        if (wake) {
            timeout = static_cast<int>(std::max<std::int64_t>(
                std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count(), 0));
        }
        const int rc = ::poll(fds.data(), fds.size(), timeout);
        if (rc < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 1;
        }
        if (fds[0].revents != 0) {
            return 0;
        }
        if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            return 1;
        }
        if (watcherSlot < fds.size() && fds[watcherSlot].revents != 0) {
            watcher_->ready(fds[watcherSlot].revents);
        }
        // Clients first: an accept may push one out of the list.
        for (std::size_t i = 0; i < clients_.size(); ++i) {
            if (fds[i + 2].revents != 0 && !clients_[i]->closed) {
                receive(*clients_[i]);
            }
        }
        std::erase_if(clients_, [](const auto& client) { return client->closed; });
        if (fds[1].revents & POLLIN) {
            acceptWaiting();
        }
    }
}

void PanelServer::closeClients() {
    for (const auto& client : clients_) {
        closeClient(*client);
    }
    clients_.clear();
}

void PanelServer::acceptWaiting() {
    // A burst of connections must not keep the backlog full, or a newcomer
    // finds the panel absent: what a full backlog holds is taken in one round,
    // and no more, so that a flood of connections cannot starve the clients.
    for (std::size_t i = 0; i <= kMaxClients && accept(); ++i) {
    }
}

bool PanelServer::accept() {
    const int fd = ::accept4(socket_.fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) {
            return true;  // that one is lost; others may wait behind it
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return false;
        }
        // Out of descriptors or memory: the connection stays in the backlog,
        // and asking again at once would only spin. Rest, longer each time.
        if (acceptBackoff_.count() == 0) {
            std::fprintf(stderr,
                         "panelsim: impossible d'accepter une connexion : %s ; nouvel essai "
                         "sous peu\n",
                         errnoText(errno).c_str());
        }
        acceptBackoff_ = std::clamp(acceptBackoff_ * 2, std::chrono::milliseconds(50),
                                    std::chrono::milliseconds(1000));
        acceptResumes_ = Clock::now() + acceptBackoff_;
        return false;
    }
    acceptBackoff_ = std::chrono::milliseconds(0);
    UniqueFd taken(fd);
    if (clients_.size() >= kMaxClients) {
        makeRoom();
    }
    // An unplugged panel is gone: the host sees the connection drop at once.
    if (panel_.unplugged()) {
        return true;
    }
    auto client = std::make_unique<Client>();
    client->id = nextClientId_++;
    client->fd = std::move(taken);
    client->lastHeard = Clock::now();
    if (watcher_ != nullptr) {
        client->pid = peerPid(client->fd.get());
    }
    clients_.push_back(std::move(client));
    return true;
}

void PanelServer::makeRoom() {
    // What the clients have sent is served first, and those that already hung
    // up go: in a burst of connect-and-close they would otherwise push out one
    // still talking, and a client taken in the same round gets its answer
    // before it may have to make room.
    std::vector<pollfd> fds;
    for (const auto& client : clients_) {
        fds.push_back({client->fd.get(), POLLIN | POLLRDHUP, 0});
    }
    if (::poll(fds.data(), fds.size(), 0) > 0) {
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents & (POLLRDHUP | POLLHUP | POLLERR)) {
                while (!clients_[i]->closed && receive(*clients_[i])) {
                }
            } else if (fds[i].revents != 0 && !clients_[i]->closed) {
                receive(*clients_[i]);
            }
        }
        std::erase_if(clients_, [](const auto& c) { return c->closed; });
    }
    if (clients_.size() < kMaxClients) {
        return;
    }
    // Else the client silent the longest goes, never the holder.
    const auto holder = hold_.holder(Clock::now());
    Client* silent = nullptr;
    for (const auto& other : clients_) {
        if (other->id != holder && (silent == nullptr || other->lastHeard < silent->lastHeard)) {
            silent = other.get();
        }
    }
    if (silent != nullptr) {
        closeClient(*silent);
        std::erase_if(clients_, [](const auto& c) { return c->closed; });
    }
}

void PanelServer::closeClient(Client& client) {
    hold_.release(client.id);
    client.fd.reset();
    client.closed = true;
}

bool PanelServer::receive(Client& client) {
    std::uint8_t buffer[4096];
    const ssize_t n = ::recv(client.fd.get(), buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
        return false;
    }
    if (n <= 0) {
        closeClient(client);
        return false;
    }
    client.lastHeard = Clock::now();
    client.reader.feed(buffer, static_cast<std::size_t>(n));
    while (!client.closed) {
        const auto frame = client.reader.next();
        if (!frame) {
            break;
        }
        handle(client, *frame);
    }
    return true;
}

void PanelServer::handle(Client& client, const mpusbwire::Frame& frame) {
    const auto drop = [&](const char* why) {
        char what[96];
        std::snprintf(what, sizeof what, "%s frame type 0x%02x length %zu", why, frame.type,
                      frame.declaredSize);
        log_.dropped(what);
    };
    if (frame.oversized) {
        drop("oversized");
        return;
    }
    switch (frame.type) {
        case mpusbwire::kHello: {
            if (frame.payload.size() != 1) {
                drop("malformed");
                return;
            }
            const std::uint8_t version = mpusbwire::kVersion;
            send(client, mpusbwire::kHelloReply, &version, 1);
            return;
        }
        case mpusbwire::kOut: {
            if (!mpusbwire::isReport(frame)) {
                drop("malformed");
                return;
            }
            // Only a report takes or keeps the panel.
            if (!hold_.claim(client.id, Clock::now())) {
                drop("busy: the panel serves another client;");
                send(client, mpusbwire::kRefused, &mpusbwire::kBusyReason, 1);
                return;
            }
            // A short report reaches the firmware padded with zeros.
            Report out{};
            std::copy(frame.payload.begin(), frame.payload.end(), out.begin());
            log_.report("OUT", out.data(), out.size());
            const Outcome outcome = panel_.onReport(out);
            if (outcome.stateChanged && onStateChanged_) {
                onStateChanged_();
            }
            // The face has the new memory before the program hears it was taken.
            if (outcome.stateChanged) {
                showWatcher();
            }
            if (!send(client, outcome.accepted ? mpusbwire::kAccepted : mpusbwire::kRefused,
                      nullptr, 0)) {
                return;
            }
            if (outcome.reply) {
                log_.report("IN", outcome.reply->data(), outcome.reply->size());
                if (!send(client, mpusbwire::kIn, outcome.reply->data(), outcome.reply->size())) {
                    return;
                }
            }
            if (panel_.unplugged()) {
                // Gone for every client, not only this one.
                for (const auto& other : clients_) {
                    closeClient(*other);
                }
            }
            return;
        }
        default:
            drop("unknown");
            return;
    }
}

void PanelServer::showWatcher() {
    if (watcher_ == nullptr) {
        return;
    }
    ServerView view;
    const auto holder = hold_.holder(Clock::now());
    for (const auto& client : clients_) {
        if (client->closed) {
            continue;
        }
        ++view.clients;
        if (holder && client->id == *holder) {
            view.holderPid = client->pid;
        }
    }
    watcher_->seen(view);
}

bool PanelServer::send(Client& client, std::uint8_t type, const std::uint8_t* payload,
                       std::size_t size) {
    const std::vector<std::uint8_t> frame = mpusbwire::encode(type, payload, size);
    std::size_t sent = 0;
    while (sent < frame.size()) {
        const ssize_t n =
            ::send(client.fd.get(), frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // Gone, or so far behind on its replies that it is not listening.
            closeClient(client);
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace panelsim
