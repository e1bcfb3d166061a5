// The socket protocol between the virtual-panel backend of libmpusbapi and
// panelsim, over a Unix stream socket.
//
// Every message is a frame: one type byte, the payload length as two bytes
// (big-endian), then the payload (at most 64 bytes).
//
//   client -> panel  'H' hello       [protocol version]
//   panel -> client  'h' hello reply [protocol version]        the panel is there
//   client -> panel  'O' out report  [1..64 bytes]             one output report
//   panel -> client  'A' accepted    []                        the report was taken
//   panel -> client  'F' refused     [] or [reason]            the write fails
//   panel -> client  'I' in report   [64 bytes]                a reply, after its 'A'
//
// Every connection gets its hello reply at once; the panel takes the reports of
// one connection at a time and refuses the others' meanwhile with 'F' ['B']
// (busy), so the host can tell "held by another program" from a panel that
// refused the report itself ('F' without a reason). A reason it does not know
// is an ordinary refusal.
// A panel that is unplugged closes connections as soon as it takes them.
// Frames of an unknown type or with a length over 64 are skipped whole.
// A client keeps at most one 'I' per accepted out report, and only a full
// 64-byte one; anything beyond that is dropped.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace mpusbwire {

inline constexpr std::uint8_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 3;
inline constexpr std::size_t kMaxPayload = 64;

inline constexpr std::uint8_t kHello = 'H';
inline constexpr std::uint8_t kHelloReply = 'h';
inline constexpr std::uint8_t kOut = 'O';
inline constexpr std::uint8_t kAccepted = 'A';
inline constexpr std::uint8_t kRefused = 'F';
inline constexpr std::uint8_t kIn = 'I';
inline constexpr std::size_t kReportSize = 64;
// The reason byte of an 'F' for a report refused because another connection
// holds the panel.
inline constexpr std::uint8_t kBusyReason = 'B';

// A file descriptor that closes itself.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// The address of the socket at path; false if the path does not fit.
inline bool fillAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

inline std::vector<std::uint8_t> encode(std::uint8_t type, const std::uint8_t* payload,
                                        std::size_t size) {
    std::vector<std::uint8_t> f;
    f.reserve(kHeaderSize + size);
    f.push_back(type);
    f.push_back(static_cast<std::uint8_t>(size >> 8));
    f.push_back(static_cast<std::uint8_t>(size & 0xFF));
    f.insert(f.end(), payload, payload + size);
    return f;
}

struct Frame {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> payload;
    // Set when the frame was too long: its payload was skipped, not kept.
    bool oversized = false;
    std::size_t declaredSize = 0;

    bool isBusy() const {
        return type == kRefused && payload.size() == 1 && payload[0] == kBusyReason;
    }
};

// Cuts a byte stream into frames; bytes may arrive in any pieces.
class FrameReader {
public:
    void feed(const std::uint8_t* data, std::size_t size) {
        buffer_.insert(buffer_.end(), data, data + size);
    }

    std::optional<Frame> next() {
        while (skip_ > 0 && !buffer_.empty()) {
            const std::size_t n = skip_ < buffer_.size() ? skip_ : buffer_.size();
            buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
            skip_ -= n;
        }
        if (skip_ > 0 || buffer_.size() < kHeaderSize) {
            return std::nullopt;
        }
        Frame f;
        f.type = buffer_[0];
        f.declaredSize = std::size_t{buffer_[1]} << 8 | buffer_[2];
        if (f.declaredSize > kMaxPayload) {
            // Report it at once, then drop its payload as it comes in.
            buffer_.erase(buffer_.begin(), buffer_.begin() + kHeaderSize);
            skip_ = f.declaredSize;
            f.oversized = true;
            return f;
        }
        if (buffer_.size() < kHeaderSize + f.declaredSize) {
            return std::nullopt;
        }
        const auto begin = buffer_.begin() + kHeaderSize;
        const auto end = begin + static_cast<std::ptrdiff_t>(f.declaredSize);
        f.payload.assign(begin, end);
        buffer_.erase(buffer_.begin(), end);
        return f;
    }

private:
    std::deque<std::uint8_t> buffer_;
    std::size_t skip_ = 0;
};

// The client's side of the incoming stream: answers to its own frames come
// out one by one; a reply report is held aside, at most one, and only when an
// accepted out report allows it. Feed it at most a few hundred bytes between
// calls of nextAnswer() and nothing it keeps grows with what the peer sends.
class ClientInbox {
public:
    void feed(const std::uint8_t* data, std::size_t size) { reader_.feed(data, size); }

    // The next hello reply, accepted or refused; replies are set aside.
    std::optional<Frame> nextAnswer() {
        while (auto frame = reader_.next()) {
            if (frame->oversized) {
                continue;
            }
            switch (frame->type) {
                case kIn:
                    if (replyAllowed_ && frame->payload.size() == kReportSize) {
                        reply_ = std::move(frame->payload);
                        replyAllowed_ = false;
                    }
                    break;
                case kAccepted:
                    replyAllowed_ = true;
                    return frame;
                case kRefused:
                    // It answers a later report than any accepted before it,
                    // whose reply came first: a reply now is no-one's.
                    replyAllowed_ = false;
                    return frame;
                case kHelloReply:
                    return frame;
                default:
                    break;
            }
        }
        return std::nullopt;
    }

    // Takes in what has come so far, dropping answers no-one waits for.
    void settle() {
        while (nextAnswer()) {
        }
    }

    std::optional<std::vector<std::uint8_t>> takeReply() {
        std::optional<std::vector<std::uint8_t>> reply = std::move(reply_);
        reply_.reset();
        return reply;
    }
    bool hasReply() const { return reply_.has_value(); }

    // Before a new request: whatever came before it belongs to no-one.
    void forget() {
        settle();
        reply_.reset();
        replyAllowed_ = false;
    }

private:
    FrameReader reader_;
    bool replyAllowed_ = false;
    std::optional<std::vector<std::uint8_t>> reply_;
};

}  // namespace mpusbwire
