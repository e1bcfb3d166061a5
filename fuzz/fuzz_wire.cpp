// The virtual panel's socket framing, as the library meets a peer's bytes:
// any stream cut anywhere gives the frames a whole read gives, and the
// client keeps a reply only when it is 64 bytes and an accepted report
// allows it, one at a time.
#include <vector>

#include "FuzzSupport.h"
#include "VirtualWire.h"

using namespace mpusbwire;

namespace {

struct Seen {
    std::uint8_t type;
    std::vector<std::uint8_t> payload;
    bool oversized;
    bool operator==(const Seen&) const = default;
};

// The frames of a whole stream, read straight from the rules.
std::vector<Seen> framesOf(const std::uint8_t* p, std::size_t size) {
    std::vector<Seen> out;
    std::size_t i = 0;
    while (i + kHeaderSize <= size) {
        const std::size_t n = std::size_t{p[i + 1]} << 8 | p[i + 2];
        if (n > kMaxPayload) {
            out.push_back({p[i], {}, true});
            i += kHeaderSize + n;
            continue;
        }
        if (i + kHeaderSize + n > size) {
            break;
        }
        out.push_back({p[i], {p + i + kHeaderSize, p + i + kHeaderSize + n}, false});
        i += kHeaderSize + n;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const auto cuts = in.take<std::uint64_t>();
    const QByteArray stream = in.rest();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.constData());
    const auto total = static_cast<std::size_t>(stream.size());

    // Fed in pieces of 1 to 8 bytes, as the cuts say, with a look after each.
    FrameReader reader;
    ClientInbox inbox;
    std::vector<Seen> frames;
    int accepted = 0;
    int replies = 0;
    for (std::size_t pos = 0, k = 0; pos < total; ++k) {
        const std::size_t n = std::min<std::size_t>(1 + (cuts >> (3 * (k % 21)) & 7), total - pos);
        reader.feed(bytes + pos, n);
        inbox.feed(bytes + pos, n);
        pos += n;
        while (auto f = reader.next()) {
            FUZZ_CHECK(f->oversized ? f->payload.empty() : f->payload.size() == f->declaredSize);
            frames.push_back({f->type, f->payload, f->oversized});
        }
        while (auto answer = inbox.nextAnswer()) {
            FUZZ_CHECK(answer->type == kAccepted || answer->type == kRefused ||
                       answer->type == kHelloReply);
            accepted += answer->type == kAccepted;
        }
        if ((cuts >> (k % 64)) & 1) {
            if (const auto reply = inbox.takeReply()) {
                FUZZ_CHECK(reply->size() == kReportSize);
                FUZZ_CHECK(++replies <= accepted);
            }
        }
    }
    FUZZ_CHECK(frames == framesOf(bytes, total));
    inbox.forget();
    FUZZ_CHECK(!inbox.hasReply());
    return 0;
}
