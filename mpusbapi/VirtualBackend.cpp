#include "VirtualBackend.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>

#include "VirtualWire.h"

namespace mpusb {

namespace {

using Clock = std::chrono::steady_clock;

constexpr DeviceId kPanelId{0x04D8, 0x000C};
constexpr std::uint8_t kPanelEndpoint = 1;
// How long a panel may take to answer the hello before it counts as absent.
constexpr std::chrono::milliseconds kHelloTimeout{1000};

bool isPanel(const DeviceId& id) {
    return id.vendor == kPanelId.vendor && id.product == kPanelId.product;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

class Connection final : public Device {
public:
    explicit Connection(int fd) : fd_(fd) {}

    // Connects and says hello; false if no panel answers.
    bool start() {
        const std::uint8_t version = mpusbwire::kVersion;
        const auto deadline = Clock::now() + kHelloTimeout;
        if (!send(mpusbwire::kHello, &version, 1, deadline)) {
            return false;
        }
        const auto reply =
            awaitFrame(deadline, [](std::uint8_t t) { return t == mpusbwire::kHelloReply; });
        return reply && reply->payload.size() == 1 && reply->payload[0] == mpusbwire::kVersion;
    }

    bool write(std::uint8_t endpoint, const std::uint8_t* data, std::uint32_t size,
               std::uint32_t& transferred, std::uint32_t timeoutMs) override {
        transferred = 0;
        if (endpoint & kEndpointIn || size == 0 || size > mpusbwire::kMaxPayload) {
            return false;
        }
        const std::lock_guard lock(mutex_);
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        if (!send(mpusbwire::kOut, data, size, deadline)) {
            return false;
        }
        const auto answer = awaitFrame(deadline, [](std::uint8_t t) {
            return t == mpusbwire::kAccepted || t == mpusbwire::kRefused;
        });
        if (!answer || answer->type != mpusbwire::kAccepted) {
            return false;
        }
        transferred = size;
        return true;
    }

    bool read(std::uint8_t endpoint, std::uint8_t* data, std::uint32_t size,
              std::uint32_t& transferred, std::uint32_t timeoutMs) override {
        transferred = 0;
        if (!(endpoint & kEndpointIn)) {
            return false;
        }
        const std::lock_guard lock(mutex_);
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        if (replies_.empty() &&
            !awaitFrame(deadline, [](std::uint8_t t) { return t == mpusbwire::kIn; })) {
            return false;
        }
        const std::vector<std::uint8_t> report = std::move(replies_.front());
        replies_.pop_front();
        // A shorter buffer gets the start of the report, as a short read would.
        const std::size_t n = std::min<std::size_t>(size, report.size());
        std::copy_n(report.begin(), n, data);
        transferred = static_cast<std::uint32_t>(n);
        return true;
    }

    bool gone() const override {
        if (dead_) {
            return true;
        }
        pollfd p{fd_.get(), POLLIN, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
    }

private:
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

    // Waits for the socket; false on time-out or a broken connection.
    bool wait(short events, Clock::time_point deadline) {
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{fd_.get(), events, 0};
            const int rc = ::poll(&p, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
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

    // Reads frames until one of the wanted kind comes: replies that arrive in
    // the meantime wait for the next read.
    template <typename Wanted>
    std::optional<mpusbwire::Frame> awaitFrame(Clock::time_point deadline, Wanted wanted) {
        for (;;) {
            while (auto frame = reader_.next()) {
                if (frame->oversized) {
                    continue;
                }
                if (frame->type == mpusbwire::kIn) {
                    replies_.push_back(std::move(frame->payload));
                    if (wanted(mpusbwire::kIn)) {
                        return mpusbwire::Frame{};
                    }
                } else if (wanted(frame->type)) {
                    return frame;
                }
            }
            if (dead_ || !wait(POLLIN, deadline)) {
                return std::nullopt;
            }
            std::uint8_t buffer[512];
            const ssize_t n = ::recv(fd_.get(), buffer, sizeof buffer, 0);
            if (n > 0) {
                reader_.feed(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
                // The panel went away: every later call fails at once.
                dead_ = true;
                return std::nullopt;
            }
        }
    }

    FileDescriptor fd_;
    std::mutex mutex_;
    mpusbwire::FrameReader reader_;
    std::deque<std::vector<std::uint8_t>> replies_;
    // Also read without the lock, by count() and open().
    std::atomic<bool> dead_ = false;
};

std::shared_ptr<Connection> connectTo(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return nullptr;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return nullptr;
    }
    auto connection = std::make_shared<Connection>(fd);
    // A Unix socket connects at once or not at all; a full backlog (EAGAIN)
    // means the panel is too busy to count as there.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return nullptr;
    }
    return connection->start() ? connection : nullptr;
}

}  // namespace

std::uint32_t VirtualBackend::count(const std::string& socketPath, const DeviceId& id) {
    if (!isPanel(id)) {
        return 0;
    }
    const std::lock_guard lock(mutex_);
    // Our own open pipes hold the panel's one connection: it is there,
    // unless that connection broke.
    if (const auto device = open_[socketPath].lock(); device && !device->gone()) {
        return 1;
    }
    return connectTo(socketPath) ? 1 : 0;
}

std::shared_ptr<Device> VirtualBackend::open(const std::string& socketPath, std::uint32_t instance,
                                             const DeviceId& id, std::uint8_t endpoint) {
    if (!isPanel(id) || instance != 0 || (endpoint & 0x0F) != kPanelEndpoint) {
        return nullptr;
    }
    const std::lock_guard lock(mutex_);
    std::erase_if(open_, [](const auto& entry) { return entry.second.expired(); });
    std::shared_ptr<Device> device = open_[socketPath].lock();
    // A broken connection stays with the pipes that had it; a new one is tried.
    if (!device || device->gone()) {
        device = connectTo(socketPath);
        if (device) {
            open_[socketPath] = device;
        }
    }
    return device;
}

}  // namespace mpusb
