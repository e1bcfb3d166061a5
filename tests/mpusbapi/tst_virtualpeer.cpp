// The library's virtual backend against peers that are not a good panel: one
// served by another user, one that floods replies, and a zero-length read.
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <thread>

#include "MpusbLibrary.h"
#include "VirtualWire.h"

namespace {

constexpr char kId[] = "vid_04d8&pid_000c";
constexpr char kEndpoint[] = "\\MCHP_EP1";
constexpr uid_t kNobody = 65534;

enum class Mode {
    Answer,              // as a panel: 'A', then one 'I' per out report
    FloodAfterAccept,    // 'A', then 'I' frames without end
    FloodWithoutAnswer,  // 'I' frames without end, never an 'A'
};

bool sendFrame(int fd, std::uint8_t type, const std::uint8_t* payload, std::size_t size) {
    const std::vector<std::uint8_t> frame = mpusbwire::encode(type, payload, size);
    return ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) == ssize_t(frame.size());
}

// Serves one client until it leaves or stop is set.
void serveClient(int fd, Mode mode, const std::atomic<bool>& stop) {
    timeval sendLimit{0, 100000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    mpusbwire::FrameReader reader;
    while (!stop) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            continue;
        }
        std::uint8_t buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return;
        }
        reader.feed(buffer, std::size_t(n));
        while (auto frame = reader.next()) {
            if (frame->type == mpusbwire::kHello) {
                const std::uint8_t version = mpusbwire::kVersion;
                sendFrame(fd, mpusbwire::kHelloReply, &version, 1);
                continue;
            }
            if (frame->type != mpusbwire::kOut) {
                continue;
            }
            std::uint8_t reply[64] = {0xAA};
            std::copy_n(frame->payload.begin() + 1,
                        std::min<std::size_t>(63, frame->payload.size() - 1), reply + 1);
            if (mode != Mode::FloodWithoutAnswer) {
                sendFrame(fd, mpusbwire::kAccepted, nullptr, 0);
            }
            if (mode == Mode::Answer) {
                sendFrame(fd, mpusbwire::kIn, reply, sizeof reply);
                continue;
            }
            while (!stop && sendFrame(fd, mpusbwire::kIn, reply, sizeof reply)) {
                ++reply[1];
            }
            return;
        }
    }
}

void serve(int listenFd, Mode mode, const std::atomic<bool>& stop) {
    while (!stop) {
        pollfd p{listenFd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            continue;
        }
        const mpusbwire::UniqueFd client(::accept(listenFd, nullptr, nullptr));
        if (client.get() >= 0) {
            serveClient(client.get(), mode, stop);
        }
    }
}

mpusbwire::UniqueFd listenAt(const std::string& path) {
    sockaddr_un address{};
    if (!mpusbwire::fillAddress(path, address)) {
        return {};
    }
    mpusbwire::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.get(), 4) != 0) {
        return {};
    }
    return fd;
}

// Resident memory of this process, in kB.
long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
    }
    return -1;
}

// A peer served from a thread of this process, as this user.
class ThreadPeer {
public:
    ThreadPeer(const std::string& path, Mode mode) : fd_(listenAt(path)) {
        if (fd_.get() >= 0) {
            thread_ = std::thread([this, mode] { serve(fd_.get(), mode, stop_); });
        }
    }
    ~ThreadPeer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool listening() const { return fd_.get() >= 0; }

private:
    mpusbwire::UniqueFd fd_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

}  // namespace

class VirtualPeerTest : public QObject {
    Q_OBJECT

    MpusbLibrary lib;
    QTemporaryDir dir;
    QString socketPath;

    struct Pipes {
        const MpusbLibrary& lib;
        std::uint32_t write = lib.open(0, kId, kEndpoint, MPUSB_DIR_WRITE, 0);
        std::uint32_t read = lib.open(0, kId, kEndpoint, MPUSB_DIR_READ, 0);
        ~Pipes() {
            lib.close(read);
            lib.close(write);
        }
    };

private slots:
    void initTestCase() {
        QVERIFY2(lib.load(), qPrintable(lib.library.errorString()));
        QVERIFY(dir.isValid());
    }
    void init() {
        socketPath = dir.filePath(QString("panel-%1.sock").arg(QTest::currentTestFunction()));
        qputenv("MPUSBAPI_VIRTUAL", socketPath.toLocal8Bit());
    }
    void cleanup() { QFile::remove(socketPath); }

    void ownPanelIsCountedAnothersIsRefused_data();
    void ownPanelIsCountedAnothersIsRefused();
    void zeroLengthReadLeavesTheReply();
    void floodedCallsEndAtTheirDeadline_data();
    void floodedCallsEndAtTheirDeadline();
    void unansweredConnectIsTriedBriefly_data();
    void unansweredConnectIsTriedBriefly();
};

void VirtualPeerTest::ownPanelIsCountedAnothersIsRefused_data() {
    QTest::addColumn<bool>("another");
    QTest::newRow("ours") << false;
    QTest::newRow("another user's") << true;
}

// Whoever creates the socket first would get every text sent: only a panel
// served by our own user is one.
void VirtualPeerTest::ownPanelIsCountedAnothersIsRefused() {
    QFETCH(bool, another);
    if (another && ::geteuid() != 0) {
        QSKIP("needs root to serve the socket as another user");
    }
    // The folder open to the other user, as /tmp is.
    QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
    const std::string path = socketPath.toStdString();
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        if (another &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(125);
        }
        const mpusbwire::UniqueFd fd = listenAt(path);
        const std::atomic<bool> never = false;
        serve(fd.get(), Mode::Answer, never);
        ::_exit(0);
    }
    struct Reap {
        pid_t pid;
        ~Reap() {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } reap{child};
    QTRY_VERIFY(QFileInfo::exists(socketPath));

    errno = 0;
    const std::uint32_t count = lib.count(kId);
    const int countError = errno;
    const Pipes pipes{lib};
    const int openError = errno;
    if (another) {
        QCOMPARE(count, 0u);
        QCOMPARE(countError, EACCES);
        QCOMPARE(pipes.write, MPUSB_INVALID_HANDLE);
        QCOMPARE(pipes.read, MPUSB_INVALID_HANDLE);
        QCOMPARE(openError, EACCES);
    } else {
        QCOMPARE(count, 1u);
        QVERIFY(pipes.write != MPUSB_INVALID_HANDLE && pipes.read != MPUSB_INVALID_HANDLE);
        std::uint8_t out[64] = {0x43, 7};
        std::uint32_t moved = 0;
        QCOMPARE(lib.write(pipes.write, out, 64, &moved, 1000), 1u);
        std::uint8_t in[64] = {};
        QCOMPARE(lib.read(pipes.read, in, 64, &moved, 1000), 1u);
        QCOMPARE(int(in[1]), 7);
    }
}

// A read of nothing must not take the reply that a real read wants.
void VirtualPeerTest::zeroLengthReadLeavesTheReply() {
    ThreadPeer peer(socketPath.toStdString(), Mode::Answer);
    QVERIFY(peer.listening());
    const Pipes pipes{lib};
    std::uint8_t out[64] = {0x85, 0x42};
    std::uint32_t moved = 0;
    QCOMPARE(lib.write(pipes.write, out, 64, &moved, 1000), 1u);
    std::uint8_t in[64] = {};
    moved = 99;
    errno = 0;
    QCOMPARE(lib.read(pipes.read, in, 0, &moved, 1000), 0u);
    QCOMPARE(errno, EINVAL);
    QCOMPARE(moved, 0u);
    QCOMPARE(lib.read(pipes.read, in, 64, &moved, 1000), 1u);
    QCOMPARE(moved, 64u);
    QCOMPARE(int(in[0]), 0xAA);
    QCOMPARE(int(in[1]), 0x42);
}

void VirtualPeerTest::floodedCallsEndAtTheirDeadline_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("replies without an accept") << int(Mode::FloodWithoutAnswer);
    QTest::newRow("replies after the accept") << int(Mode::FloodAfterAccept);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// A peer that sends reply after reply: the library keeps the one the protocol
// allows, its memory stays put, and each call ends by its time-out.
void VirtualPeerTest::floodedCallsEndAtTheirDeadline() {
    QFETCH(int, mode);
    ThreadPeer peer(socketPath.toStdString(), Mode(mode));
    QVERIFY(peer.listening());
    const Pipes pipes{lib};
    QVERIFY(pipes.write != MPUSB_INVALID_HANDLE);
    const long before = residentKb();
    constexpr std::uint32_t kTimeoutMs = 500;
    std::uint8_t out[64] = {0x43, 1};
    std::uint8_t in[64] = {};
    std::uint32_t moved = 0;
    QElapsedTimer clock;
    clock.start();
    const std::uint32_t written = lib.write(pipes.write, out, 64, &moved, kTimeoutMs);
    if (Mode(mode) == Mode::FloodWithoutAnswer) {
        QCOMPARE(written, 0u);
        QCOMPARE(errno, ETIMEDOUT);
        QVERIFY2(clock.elapsed() >= kTimeoutMs, qPrintable(QString::number(clock.elapsed())));
    } else {
        QCOMPARE(written, 1u);
        // The first reply after the accept is the one; the rest are dropped.
        QCOMPARE(lib.read(pipes.read, in, 64, &moved, kTimeoutMs), 1u);
        QCOMPARE(int(in[1]), 1);
        clock.restart();
        QCOMPARE(lib.read(pipes.read, in, 64, &moved, kTimeoutMs), 0u);
        QCOMPARE(errno, ETIMEDOUT);
    }
    // Never late by more than a loaded machine may add.
    QVERIFY2(clock.elapsed() < kTimeoutMs + 3 * 100, qPrintable(QString::number(clock.elapsed())));
    // AddressSanitizer's quarantine holds freed blocks (up to 256 MB), so the
    // resident size says nothing about a queue there; the normal build checks it.
    if constexpr (!kAddressSanitizer) {
        const long grown = residentKb() - before;
        QVERIFY2(grown < 16 * 1024, qPrintable(QString("grew by %1 kB").arg(grown)));
    }
}

void VirtualPeerTest::unansweredConnectIsTriedBriefly_data() {
    QTest::addColumn<QString>("socket");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("tried");
    // Others' connections fill the backlog: a panel busy, not absent.
    QTest::newRow("backlog full") << "full" << EBUSY << true;
    // Nobody listening on a socket that is there: maybe a panelsim restarting.
    QTest::newRow("nobody listening") << "stale" << ENODEV << true;
    QTest::newRow("no socket") << "none" << ENODEV << false;
}

// A connect that fails where a panel may be is tried again for about 100 ms
// before the panel counts as absent; a missing socket is no panel at once.
void VirtualPeerTest::unansweredConnectIsTriedBriefly() {
    QFETCH(QString, socket);
    QFETCH(int, expected);
    QFETCH(bool, tried);
    const std::string path = socketPath.toStdString();
    mpusbwire::UniqueFd listener;
    std::vector<mpusbwire::UniqueFd> fillers;
    if (socket != "none") {
        sockaddr_un address{};
        QVERIFY(mpusbwire::fillAddress(path, address));
        listener.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        QCOMPARE(
            ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        if (socket == "full") {
            // Listening, never accepting: a few connections fill its backlog.
            QCOMPARE(::listen(listener.get(), 0), 0);
            for (int i = 0; i < 16; ++i) {
                mpusbwire::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
                if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address),
                              sizeof address) != 0) {
                    QCOMPARE(errno, EAGAIN);
                    break;
                }
                fillers.push_back(std::move(fd));
            }
            QVERIFY(!fillers.empty() && fillers.size() < 16);
        }
    }
    QElapsedTimer timer;
    timer.start();
    errno = 0;
    QCOMPARE(lib.count(kId), 0u);
    QCOMPARE(errno, expected);
    const qint64 took = timer.elapsed();
    QVERIFY2(tried ? took >= 90 && took < 1000 : took < 90, qPrintable(QString::number(took)));
}

QTEST_GUILESS_MAIN(VirtualPeerTest)
#include "tst_virtualpeer.moc"
