// Pipes of the built libmpusbapi, for tests that go through the real library
// and socket to a panelsim started with PanelSimProcess.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <QLibrary>
#include <QTest>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>

#include "MpusbLibrary.h"
#include "PanelSimProcess.h"
#include "mpusbapi.h"

inline constexpr char kPanelId[] = "vid_04d8&pid_000c";
inline constexpr char kEndpoint[] = "\\MCHP_EP1";

using Bytes = std::array<std::uint8_t, 64>;

// Both pipes of one operation, closed read pipe first as the program does.
struct Pipes {
    MpusbLibrary& lib;
    std::uint32_t write;
    std::uint32_t read;
    explicit Pipes(MpusbLibrary& l)
        : lib(l),
          write(l.open(0, kPanelId, kEndpoint, MPUSB_DIR_WRITE, 0)),
          read(l.open(0, kPanelId, kEndpoint, MPUSB_DIR_READ, 0)) {}
    ~Pipes() {
        lib.close(read);
        lib.close(write);
    }
    bool valid() const { return write != MPUSB_INVALID_HANDLE && read != MPUSB_INVALID_HANDLE; }

    bool send(Bytes out, std::uint32_t timeoutMs = 1000) {
        std::uint32_t n = 0;
        return lib.write(write, out.data(), 64, &n, timeoutMs) != 0 && n == 64;
    }
    // A command that has a reply: written, and its reply read (1000 ms).
    std::optional<Bytes> ask(std::uint8_t code) {
        Bytes out{};
        out[0] = code;
        return send(out) ? receive(1000) : std::nullopt;
    }
    std::optional<Bytes> receive(std::uint32_t timeoutMs) {
        Bytes in{};
        std::uint32_t n = 0;
        if (lib.read(read, in.data(), 64, &n, timeoutMs) == 0) {
            return std::nullopt;
        }
        return in;
    }
};

inline Bytes command(std::uint8_t code) {
    Bytes b{};
    b[0] = code;
    return b;
}

// A raw client of the socket, to send what the library never would.
class RawClient {
public:
    // Connected at once; a non-blocking one fails rather than waits when the
    // panel's backlog is full.
    explicit RawClient(const QString& path, bool nonBlocking = false)
        : fd_(::socket(AF_UNIX, SOCK_STREAM | (nonBlocking ? SOCK_NONBLOCK : 0), 0)) {
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        const QByteArray p = QFile::encodeName(path);
        std::memcpy(a.sun_path, p.constData(), static_cast<std::size_t>(p.size()));
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;
    bool connected() const { return connected_; }
    bool send(const QByteArray& bytes) {
        return ::send(fd_, bytes.constData(), static_cast<std::size_t>(bytes.size()),
                      MSG_NOSIGNAL) == bytes.size();
    }
    // Bytes that arrive within timeoutMs.
    QByteArray receive(int timeoutMs, int want) {
        using namespace std::chrono;
        QByteArray got;
        const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
        while (got.size() < want && steady_clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
            if (::poll(&p, 1, static_cast<int>(std::max<long>(left, 0))) <= 0) {
                break;
            }
            char buf[256];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
            if (n <= 0) {
                break;
            }
            got.append(buf, static_cast<int>(n));
        }
        return got;
    }

private:
    int fd_;
    bool connected_ = false;
};

inline const QByteArray kHello("H\x00\x01\x01", 4);
inline const QByteArray kHelloReply("h\x00\x01\x01", 4);
inline const QByteArray kClockRead("O\x00\x01\x43", 4);
inline const QByteArray kAcceptedFrame("A\x00\x00", 3);
// What another client's report gets while one holds the panel.
inline const QByteArray kBusyFrame(
    "F\x00\x01"
    "B",
    4);
// A clock read accepted: 'A', then the 64-byte reply.
inline constexpr int kAnswerSize = 3 + 3 + 64;

// The children of a process, by their names.
inline QList<qint64> childrenNamed(qint64 parent, const QByteArray& name) {
    QList<qint64> found;
    QFile list(QStringLiteral("/proc/%1/task/%1/children").arg(parent));
    if (!list.open(QIODevice::ReadOnly)) {
        return found;
    }
    for (const QByteArray& pid : list.readAll().split(' ')) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid)));
        if (!pid.isEmpty() && comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name) {
            found.append(pid.toLongLong());
        }
    }
    return found;
}

// A process's state letter as /proc shows it ('T' stopped, 'Z' ended but not
// yet reaped), or 0 once it is gone.
inline char processState(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() ? line[close + 2] : char(0);
}
