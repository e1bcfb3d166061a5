// The library's virtual backend against a panel whose answers come from the
// input: a read succeeds only with bytes in its buffer (a zero-length read is
// refused and leaves the reply waiting), a write only when it all went. A
// write refused as busy says EBUSY, and so does the read after it: no reply
// is coming.
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "FuzzSupport.h"
#include "VirtualBackend.h"
#include "VirtualWire.h"

namespace {

// One listening socket for the whole run, in a private folder.
const std::string& panelPath(int& listener) {
    static int fd = -1;
    // Plain storage: it outlives the string, for the clean-up at exit.
    static char dir[] = "/tmp/fuzz_virtual.XXXXXX";
    static const std::string path = [] {
        FUZZ_CHECK(::mkdtemp(dir) != nullptr);
        std::string p = std::string(dir) + "/panel.sock";
        sockaddr_un address{};
        FUZZ_CHECK(mpusbwire::fillAddress(p, address));
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        FUZZ_CHECK(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
        FUZZ_CHECK(::listen(fd, 4) == 0);
        std::atexit([] {
            ::unlink((std::string(dir) + "/panel.sock").c_str());
            ::rmdir(dir);
        });
        return p;
    }();
    listener = fd;
    return path;
}

// Says hello, then answers each out report with the next scripted bytes.
void servePanel(int listener, std::vector<QByteArray> answers) {
    mpusbwire::UniqueFd client(::accept(listener, nullptr, nullptr));
    mpusbwire::FrameReader reader;
    std::size_t next = 0;
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t n = ::recv(client.get(), buffer, sizeof buffer, 0);
        if (n <= 0) {
            return;
        }
        reader.feed(buffer, static_cast<std::size_t>(n));
        while (const auto frame = reader.next()) {
            std::vector<std::uint8_t> out;
            if (frame->type == mpusbwire::kHello) {
                out = mpusbwire::encode(mpusbwire::kHelloReply, &mpusbwire::kVersion, 1);
            } else if (frame->type == mpusbwire::kOut && next < answers.size()) {
                out.assign(answers[next].begin(), answers[next].end());
                ++next;
            }
            if (!out.empty() && ::send(client.get(), out.data(), out.size(), MSG_NOSIGNAL) < 0) {
                return;
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Each op byte: odd, a 64-byte write whose answer follows in the input;
    // even, a read of (byte >> 1) bytes.
    FuzzInput in(data, size);
    std::vector<std::uint8_t> ops;
    std::vector<QByteArray> answers;
    while (!in.empty() && ops.size() < 16) {
        ops.push_back(in.take<std::uint8_t>());
        if (ops.back() & 1) {
            answers.push_back(in.bytes(255));
        }
    }
    int listener = -1;
    const std::string& path = panelPath(listener);
    std::thread panel(servePanel, listener, answers);
    {
        mpusb::VirtualBackend backend;
        int error = 0;
        const auto device = backend.open(path, 0, {0x04D8, 0x000C}, 0x01, error);
        FUZZ_CHECK(device != nullptr);
        std::uint8_t report[64] = {0x85};
        bool refusedBusy = false;
        for (const std::uint8_t op : ops) {
            std::uint32_t moved = 99;
            if (op & 1) {
                const int rc = device->write(0x01, report, sizeof report, moved, 20);
                FUZZ_CHECK(rc == 0 ? moved == sizeof report : moved == 0);
                FUZZ_CHECK(rc == 0 || rc == EIO || rc == EBUSY || rc == ETIMEDOUT || rc == ENODEV);
                refusedBusy = rc == EBUSY;
            } else {
                std::uint8_t buffer[128];
                const std::uint32_t want = op >> 1;
                const int rc = device->read(0x81, buffer, want, moved, 5);
                FUZZ_CHECK(rc == 0 ? want > 0 && moved == std::min<std::uint32_t>(want, 64)
                                   : moved == 0);
                FUZZ_CHECK(want > 0 || rc == EINVAL);
                FUZZ_CHECK(!refusedBusy || want == 0 || rc == EBUSY);
            }
        }
    }
    panel.join();
    return 0;
}
