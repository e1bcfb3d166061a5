#include "VirtualBackend.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "Errors.h"
#include "VirtualWire.h"

namespace mpusb {

namespace {

using Clock = std::chrono::steady_clock;

constexpr DeviceId kPanelId{0x04D8, 0x000C};
constexpr std::uint8_t kPanelEndpoint = 1;
// How long a panel may take to answer the hello before it counts as absent.
constexpr std::chrono::milliseconds kHelloTimeout{1000};
// How long a connect is tried again while the panel's backlog is full (a
// burst of other connections): a busy panel, not an absent one.
constexpr std::chrono::milliseconds kConnectPatience{100};
// The pause between two tries, doubling from 1 ms up to this.
constexpr std::chrono::milliseconds kConnectPauseMax{10};
// What one look at the socket takes in; a few frames, so a flood is handled
// a bite at a time between checks of the deadline.
constexpr std::size_t kChunk = 512;
// What a drain before a write takes in at most, without waiting.
constexpr int kDrainMaxChunks = 64;

bool isPanel(const DeviceId& id) {
    return id.vendor == kPanelId.vendor && id.product == kPanelId.product;
}

class Connection final : public Device {
public:
    explicit Connection(mpusbwire::UniqueFd fd) : fd_(std::move(fd)) {}

    // Says hello; false if no panel answers.
    bool start() {
        const std::uint8_t version = mpusbwire::kVersion;
        const auto deadline = Clock::now() + kHelloTimeout;
        if (!send(mpusbwire::kHello, &version, 1, deadline)) {
            return false;
        }
        const auto reply = awaitAnswer(deadline);
        return reply && reply->type == mpusbwire::kHelloReply && reply->payload.size() == 1 &&
               reply->payload[0] == mpusbwire::kVersion;
    }

    int write(std::uint8_t endpoint, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t& transferred, std::uint32_t timeoutMs) override {
        transferred = 0;
        if (endpoint & kEndpointIn || size == 0 || size > mpusbwire::kMaxPayload) {
            return EINVAL;
        }
        const std::lock_guard lock(mutex_);
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        // Whatever came before this request answers an earlier one.
        drain();
        refusedBusy_ = false;
        if (!send(mpusbwire::kOut, data, size, deadline)) {
            return failure();
        }
        const auto answer = awaitAnswer(deadline);
        if (!answer) {
            return failure();
        }
        // Refused because another program holds the panel: no reply will
        // come either, and the read says so at once.
        refusedBusy_ = answer->isBusy();
        if (answer->type != mpusbwire::kAccepted) {
            return refusedBusy_ ? EBUSY : EIO;
        }
        transferred = size;
        return 0;
    }

    int read(std::uint8_t endpoint, std::uint8_t* data, std::uint32_t size,
             std::uint32_t& transferred, std::uint32_t timeoutMs) override {
        transferred = 0;
        // An empty buffer cannot take the reply: leave it for a real read.
        if (!(endpoint & kEndpointIn) || size == 0) {
            return EINVAL;
        }
        const std::lock_guard lock(mutex_);
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            inbox_.settle();
            if (auto report = inbox_.takeReply()) {
                // A shorter buffer gets the start of the report, as a short read would.
                const std::size_t n = std::min<std::size_t>(size, report->size());
                std::copy_n(report->begin(), n, data);
                transferred = static_cast<std::uint32_t>(n);
                return 0;
            }
            if (refusedBusy_) {
                return EBUSY;
            }
            if (!takeIn(deadline)) {
                return failure();
            }
        }
    }

    bool gone() const override {
        if (dead_) {
            return true;
        }
        pollfd p{fd_.get(), POLLIN, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
    }

private:
    int failure() const { return dead_ ? ENODEV : ETIMEDOUT; }

    bool send(std::uint8_t type, const std::uint8_t* payload, std::size_t size,
              Clock::time_point deadline) {
        if (dead_) {
            return false;
        }
        const std::vector<std::uint8_t> frame = mpusbwire::encode(type, payload, size);
        std::size_t sent = 0;
        while (sent < frame.size()) {
            const ssize_t n =
                ::send(fd_.get(), frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!wait(POLLOUT, deadline)) {
                    return false;
                }
            } else {
                dead_ = true;
                return false;
            }
        }
        return true;
    }

    // Waits for the socket until the deadline; false on time-out or a broken
    // connection.
    bool wait(short events, Clock::time_point deadline) {
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return false;
            }
            pollfd p{fd_.get(), events, 0};
            const int rc = ::poll(&p, 1, static_cast<int>(left.count()));
            if (rc < 0 && errno == EINTR) {
                continue;
            }
            if (rc < 0) {
                dead_ = true;
                return false;
            }
            if (rc == 0) {
                return false;
            }
            if ((p.revents & events) == 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
                dead_ = true;
                return false;
            }
            return true;
        }
    }

    // One bite of input; without waiting if it says so. False when nothing
    // came (time-out, nothing there, or the panel went away).
    bool takeIn(Clock::time_point deadline, bool waiting = true) {
        if (dead_ || (waiting && !wait(POLLIN, deadline))) {
            return false;
        }
        std::uint8_t buffer[kChunk];
        const ssize_t n = ::recv(fd_.get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            inbox_.feed(buffer, static_cast<std::size_t>(n));
            return true;
        }
        if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            // The panel went away: every later call fails at once.
            dead_ = true;
        }
        return false;
    }

    // Takes in what is already there, without waiting, and forgets it.
    void drain() {
        for (int i = 0; i < kDrainMaxChunks && takeIn({}, false); ++i) {
            inbox_.settle();
        }
        if (inbox_.hasReply()) {
            debugNote("dropped a reply that came after its read had given up");
        }
        inbox_.forget();
    }

    std::optional<mpusbwire::Frame> awaitAnswer(Clock::time_point deadline) {
        for (;;) {
            if (auto answer = inbox_.nextAnswer()) {
                return answer;
            }
            if (!takeIn(deadline)) {
                return std::nullopt;
            }
        }
    }

    mpusbwire::UniqueFd fd_;
    std::mutex mutex_;
    mpusbwire::ClientInbox inbox_;
    // The last write was refused because another program holds the panel.
    bool refusedBusy_ = false;
    // Also read without the lock, by count() and open().
    std::atomic<bool> dead_ = false;
};

// A connection to the socket at address, or an invalid descriptor with error
// set. A Unix socket connects at once or not at all: a full backlog (EAGAIN)
// is a panel busy with a burst of connections, so that, and a refusal from a
// socket that is there (ECONNREFUSED: nobody listens on it, or not yet), is
// tried again for a short while before the panel counts as absent. A missing
// socket (ENOENT) is no panel at once.
mpusbwire::UniqueFd connectPatiently(const sockaddr_un& address, int& error) {
    const auto deadline = Clock::now() + kConnectPatience;
    std::chrono::milliseconds pause{1};
    for (;;) {
        mpusbwire::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (fd.get() < 0) {
            error = ENODEV;
            return {};
        }
        if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            return fd;
        }
        const int failed = errno;
        const bool retry = failed == EAGAIN || failed == ECONNREFUSED || failed == EINTR;
        const auto now = Clock::now();
        if (!retry || now >= deadline) {
            // A backlog still full at the end: there, but taken up by others.
            error = failed == EACCES ? EACCES : failed == EAGAIN ? EBUSY : ENODEV;
            return {};
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, kConnectPauseMax);
    }
}

// Connects to the panel at path; nullptr with error set if there is none we
// may talk to.
std::shared_ptr<Connection> connectTo(const std::string& path, int& error) {
    error = ENODEV;
    sockaddr_un address{};
    if (!mpusbwire::fillAddress(path, address)) {
        error = EINVAL;
        return nullptr;
    }
    mpusbwire::UniqueFd fd = connectPatiently(address, error);
    if (fd.get() < 0) {
        return nullptr;
    }
    // Whoever made the socket first gets every text sent to it: only a panel
    // of our own user is one.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
        peer.uid != ::geteuid()) {
        debugNote(
            ("refusing " + path + ": served by uid " + std::to_string(peer.uid) + ", not ours")
                .c_str());
        error = EACCES;
        return nullptr;
    }
    auto connection = std::make_shared<Connection>(std::move(fd));
    return connection->start() ? connection : nullptr;
}

}  // namespace

std::uint32_t VirtualBackend::count(const std::string& socketPath, const DeviceId& id, int& error) {
    if (!isPanel(id)) {
        error = ENODEV;
        return 0;
    }
    const std::lock_guard lock(mutex_);
    // Our own open pipes hold the panel's one connection: it is there,
    // unless that connection broke.
    if (const auto device = open_[socketPath].lock(); device && !device->gone()) {
        return 1;
    }
    return connectTo(socketPath, error) ? 1 : 0;
}

std::shared_ptr<Device> VirtualBackend::open(const std::string& socketPath, std::uint32_t instance,
                                             const DeviceId& id, std::uint8_t endpoint,
                                             int& error) {
    if (!isPanel(id) || instance != 0 || (endpoint & 0x0F) != kPanelEndpoint) {
        error = ENODEV;
        return nullptr;
    }
    const std::lock_guard lock(mutex_);
    std::erase_if(open_, [](const auto& entry) { return entry.second.expired(); });
    std::shared_ptr<Device> device = open_[socketPath].lock();
    // A broken connection stays with the pipes that had it; a new one is tried.
    if (!device || device->gone()) {
        device = connectTo(socketPath, error);
        if (device) {
            open_[socketPath] = device;
        }
    }
    return device;
}

}  // namespace mpusb
