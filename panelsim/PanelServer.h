// Serves a Panel on a Unix stream socket (the protocol is in
// mpusbapi/wire/VirtualWire.h). Plain POSIX: poll on the listening socket, the
// clients and a signal descriptor.
//
// Every client is answered its hello at once, so a presence test never waits
// on another client. The panel itself serves one client at a time: the first
// to send a report holds it until it leaves or sends no report for the idle
// limit (PanelHold.h); meanwhile the reports of others are refused as busy, as
// a second claim of a USB device is.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FaceFeed.h"
#include "ListeningSocket.h"
#include "Panel.h"
#include "PanelHold.h"
#include "ReportLog.h"
#include "VirtualWire.h"

namespace panelsim {

using mpusbwire::UniqueFd;

// Who is connected, as a watcher beside the server sees it.
struct ServerView {
    std::size_t clients = 0;
    std::optional<long> holderPid;  // 0: a holder whose process is unknown
    bool operator==(const ServerView&) const = default;
};

// Something beside the server that follows the panel (its face). It is told
// after every round and before any reply that follows a change of the panel's
// memory, and its descriptor is polled with the clients: it must never block.
class ServerWatcher {
public:
    virtual ~ServerWatcher() = default;
    // Called often: compare with what was last seen before doing any work.
    virtual void seen(const ServerView& view) = 0;
    // A descriptor to poll, or -1; and the events it waits for now (0: none).
    virtual int pollFd() const = 0;
    virtual short pollEvents() const = 0;
    virtual void ready(short revents) = 0;
    // When it wants to be shown the server again even if nothing happens.
    virtual std::optional<std::chrono::steady_clock::time_point> dueAt() const = 0;
};

class PanelServer {
public:
    using Clock = std::chrono::steady_clock;
    // How long a client keeps the panel after its last report.
    static constexpr std::chrono::milliseconds kIdleLimit{3000};
    // Clients beyond this many push out the one silent the longest. The
    // listening backlog takes as many, so a burst of them waits its turn
    // rather than finding the panel absent.
    static constexpr std::size_t kMaxClients = 16;

    // onStateChanged runs after each report that changed the panel's memory.
    PanelServer(ListeningSocket& socket, Panel& panel, ReportLog& log,
                std::function<void()> onStateChanged,
                std::chrono::milliseconds idleLimit = kIdleLimit);
    ~PanelServer();

    // Follows the server from now on; nullptr: nobody. The watcher outlives
    // the server's run.
    void setWatcher(ServerWatcher* watcher) { watcher_ = watcher; }

    // Serves until stopFd (a signalfd) becomes readable. Returns 0, or 1 on a
    // failure of the listening socket itself.
    int run(int stopFd);

    // Hangs up on every client: the panel is gone for them.
    void closeClients();

private:
    struct Client;

    // Takes every connection waiting in the backlog.
    void acceptWaiting();
    // Takes one; false when none is waiting or it failed.
    bool accept();
    void makeRoom();
    void closeClient(Client& client);
    // False when nothing more is there to read for now.
    bool receive(Client& client);
    void handle(Client& client, const mpusbwire::Frame& frame);
    bool send(Client& client, std::uint8_t type, const std::uint8_t* payload, std::size_t size);
    // Tells the watcher, if any, how things stand now.
    void showWatcher();

    ListeningSocket& socket_;
    Panel& panel_;
    ReportLog& log_;
    std::function<void()> onStateChanged_;
    mpusbwire::PanelHold hold_;
    std::vector<std::unique_ptr<Client>> clients_;
    std::uint64_t nextClientId_ = 1;
    // After a failing accept (out of descriptors), the listening socket rests
    // until then, so the loop does not spin on a connection it cannot take.
    std::optional<Clock::time_point> acceptResumes_;
    std::chrono::milliseconds acceptBackoff_{0};
    ServerWatcher* watcher_ = nullptr;
};

}  // namespace panelsim
